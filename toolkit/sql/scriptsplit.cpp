#include "toolkit/sql/scriptsplit.h"

namespace rimo::sql {

namespace {

bool isBlankChar(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

bool isScriptCommentLine(const QString& line)
{
    return line.isEmpty() || line.startsWith(u"//") || line.startsWith(u"--");
}

bool isBatchSeparator(const QString& line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlankChar(line[begin]))
        ++begin;
    while (end > begin && isBlankChar(line[end - 1]))
        --end;
    return end - begin == 2 && QStringView(line).mid(begin, 2).compare(u"GO", Qt::CaseInsensitive) == 0;
}

QStringList withoutCommentLines(const QStringList& lines)
{
    // Removing a line never changes whether another one is a comment line, so one pass gives
    // what removing them one at a time and starting over would.
    QStringList kept;
    kept.reserve(lines.size());
    for (const QString& line : lines)
        if (!isScriptCommentLine(line))
            kept << line;
    return kept;
}

bool ScriptBatch::blank() const
{
    for (const QString& line : lines)
        for (const QChar c : line)
            if (!isBlankChar(c))
                return false;
    return true;
}

std::vector<ScriptBatch> splitScriptBatches(const QStringList& lines)
{
    std::vector<ScriptBatch> batches;
    const qsizetype n = lines.size();
    qsizetype i = 0;
    int number = 0;
    do {
        const qsizetype start = i;
        while (i < n && !isBatchSeparator(lines[i]))
            ++i;
        batches.push_back({++number, lines.mid(start, i - start)});
        if (i < n)
            ++i; // the separator
    } while (i < n);
    return batches;
}

} // namespace rimo::sql
