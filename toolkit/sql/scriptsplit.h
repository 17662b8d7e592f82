#pragma once
// Cutting an SQL script into its GO batches, as a plain function the runner, the fuzz target and
// the measurements share.

#include <QStringList>
#include <vector>

namespace rimo::sql {

// An empty line, or one whose first two characters are "//" or "--". A comment marker after
// leading spaces does not count.
bool isScriptCommentLine(const QString& line);
// A line that reads GO in any letter case once spaces and control characters around it are gone.
bool isBatchSeparator(const QString& line);
// The lines without the comment and empty lines, in order.
QStringList withoutCommentLines(const QStringList& lines);

struct ScriptBatch
{
    int number = 0;    // from 1; empty batches take a number too
    QStringList lines; // the separator lines are never part of a batch
    // A batch of blank lines only is neither sent nor reported.
    bool blank() const;
};

// The batches of script lines already free of comment lines. A trailing separator ends the last
// batch without starting another; two separators in a row give an empty batch.
std::vector<ScriptBatch> splitScriptBatches(const QStringList& lines);

} // namespace rimo::sql
