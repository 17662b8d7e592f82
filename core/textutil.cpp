#include "core/textutil.h"

#include <algorithm>

namespace rimo {

QStringView trimmedView(QStringView text, TrimSet set)
{
    const auto trimmed = [set](QChar c) { return set == TrimSet::Blanks ? c == u' ' : c.unicode() <= 32; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && trimmed(text[begin]))
        ++begin;
    while (end > begin && trimmed(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString twoDigits(qint64 value)
{
    return value >= 0 && value < 10 ? u'0' + QString::number(value) : QString::number(value);
}

QString completedFrom(QStringView part, QStringView filler)
{
    QString result = filler.left(std::max<qsizetype>(0, filler.size() - part.size())).toString();
    result.append(part);
    return result;
}

} // namespace rimo
