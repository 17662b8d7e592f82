#include "toolkit/settingsfile.h"

#include "core/error.h"
#include "toolkit/scramble.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace rimo {

QStringList decodeSettingsLines(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder d(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                      : QStringConverter::Utf16BE);
        text = d.decode(bytes.mid(2));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            QStringDecoder arabic("windows-1256");
            text = arabic.isValid() ? arabic.decode(bytes) : QString::fromLatin1(bytes);
        }
    }
    if (text.isEmpty())
        return {};
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        lines.removeLast(); // a final line end does not start another line
    return lines;
}

QStringList firstLines(const QStringList& lines, int count)
{
    QStringList out = lines.mid(0, count);
    while (out.size() < count)
        out << QString();
    return out;
}

QStringList readScrambledSettings(const QByteArray& bytes)
{
    QStringList lines = firstLines(decodeSettingsLines(bytes), 4);
    for (QString& line : lines)
        line = FindXOR(line);
    return lines;
}

QString settingsFieldName(int field)
{
    switch (field) {
    case 0:
        return QStringLiteral("password");
    case 1:
        return QStringLiteral("server");
    case 2:
        return QStringLiteral("database");
    default:
        return QStringLiteral("user");
    }
}

std::optional<UnstorableCharacter> findUnstorableCharacter(const QStringList& settings)
{
    for (qsizetype f = 0; f < settings.size(); ++f) {
        const QString stored = FindXOR(settings[f]);
        for (qsizetype i = 0; i < stored.size(); ++i) {
            const char16_t c = stored[i].unicode();
            bool bad = c == u'\r' || c == u'\n';
            if (QChar::isHighSurrogate(c))
                bad = i + 1 == stored.size() || !QChar::isLowSurrogate(stored[i + 1].unicode());
            else if (QChar::isLowSurrogate(c))
                bad = i == 0 || !QChar::isHighSurrogate(stored[i - 1].unicode());
            if (bad)
                return UnstorableCharacter{static_cast<int>(f), static_cast<int>(i + 1),
                                           settings[f][i].unicode()};
            if (QChar::isHighSurrogate(c))
                ++i; // the pair is whole
        }
    }
    return std::nullopt;
}

QByteArray encodeScrambledSettings(const QStringList& settings)
{
    const QStringList four = firstLines(settings, 4);
    if (const auto bad = findUnstorableCharacter(four))
        throw Error(QStringLiteral("The %1 cannot be stored: its character U+%2 at position %3 would be "
                                   "scrambled into a line end or a broken character.")
                        .arg(settingsFieldName(bad->field))
                        .arg(static_cast<uint>(bad->character), 4, 16, QLatin1Char('0'))
                        .arg(bad->position));
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString& value : four)
        bytes += FindXOR(value).toUtf8() + "\r\n";
    // What the reader makes of it is what counts; anything the check above does not foresee ends here.
    const QStringList back = readScrambledSettings(bytes);
    for (int f = 0; f < 4; ++f) {
        if (back[f] != four[f])
            throw Error(QStringLiteral("The %1 cannot be stored: it would not read back as written.")
                            .arg(settingsFieldName(f)));
    }
    return bytes;
}

QString findFileCaseInsensitive(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    const QFileInfo exact(dir.filePath(name));
    if (exact.exists() || exact.isSymLink())
        return dir.filePath(name);
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

} // namespace rimo
