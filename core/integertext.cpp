#include "core/integertext.h"

#include "core/error.h"
#include "core/textutil.h"

#include <limits>

namespace rimo {

std::optional<int> readInteger(QStringView text)
{
    text = trimmedView(text, TrimSet::Blanks);
    qsizetype i = 0;
    const qsizetype end = text.size();
    bool negative = false;
    if (i < end && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == end)
        return std::nullopt;
    // Accumulate as a negative number so that the most negative 32-bit value still fits.
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    if (negative)
        return static_cast<int>(-value);
    if (value == limit)
        return std::nullopt;
    return static_cast<int>(value);
}

int integerOrError(QStringView text)
{
    if (const auto value = readInteger(text))
        return *value;
    // Long texts are cut so that the message stays readable.
    QString shown = text.left(40).toString();
    if (text.size() > 40)
        shown += QStringLiteral("...");
    throw Error(QStringLiteral("'%1' is not a valid integer value").arg(shown));
}

} // namespace rimo
