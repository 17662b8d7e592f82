#include "platform/xtext.h"

namespace rimo::xtext {

QString cutText(QString text)
{
    if (text.size() > kMaxTextLength) {
        text.truncate(kMaxTextLength);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

namespace {

// Compound text without its ISO 2022 escape sequences (ESC, intermediates 0x20-0x2F, a final
// byte) and control-sequence introducers (0x9B ... final 0x40-0x7E): what is left reads as
// Latin-1.
QString compoundTextAsLatin1(std::string_view s)
{
    std::string plain;
    plain.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0x1B) {
            ++i;
            while (i < s.size() && static_cast<unsigned char>(s[i]) >= 0x20 &&
                   static_cast<unsigned char>(s[i]) <= 0x2F)
                ++i;
            continue; // the final byte is skipped with i
        }
        if (c == 0x9B) {
            ++i;
            while (i < s.size() &&
                   (static_cast<unsigned char>(s[i]) < 0x40 || static_cast<unsigned char>(s[i]) > 0x7E))
                ++i;
            continue;
        }
        plain.push_back(static_cast<char>(c));
    }
    return QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size()));
}

} // namespace

QString decodeTitle(std::string_view bytes, Encoding encoding)
{
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    QString text;
    switch (encoding) {
    case Encoding::Utf8:
        text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        break;
    case Encoding::CompoundText:
        text = compoundTextAsLatin1(bytes);
        break;
    case Encoding::Latin1:
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        break;
    }
    return cutText(std::move(text));
}

QString classOfWmClass(std::string_view bytes)
{
    const size_t nul = bytes.find('\0');
    if (nul == std::string_view::npos)
        return {};
    std::string_view cls = bytes.substr(nul + 1);
    const size_t end = cls.find('\0');
    if (end != std::string_view::npos)
        cls = cls.substr(0, end);
    // ICCCM gives WM_CLASS in Latin-1.
    return cutText(QString::fromLatin1(cls.data(), static_cast<qsizetype>(cls.size())));
}

} // namespace rimo::xtext
