// Cutting scripts into GO batches, without a server.
#include "toolkit/sql/scriptsplit.h"

#include <gtest/gtest.h>

using namespace rimo::sql;

namespace {

// The batches as "number:line|line" texts.
QStringList batchesOf(const QStringList& script)
{
    QStringList out;
    for (const ScriptBatch& b : splitScriptBatches(withoutCommentLines(script)))
        out << QString::number(b.number) + u':' + b.lines.join(u'|') + (b.blank() ? "(blank)" : "");
    return out;
}

} // namespace

TEST(ScriptSplit, CommentAndEmptyLinesGo)
{
    const QStringList script = {"-- a", "", "// b", "x", "  -- kept", "--", "/", " ", "-x", "y//"};
    EXPECT_EQ(withoutCommentLines(script), (QStringList{"x", "  -- kept", "/", " ", "-x", "y//"}));
    for (const QString comment : {"", "--", "//", "-- x", "//x"})
        EXPECT_TRUE(isScriptCommentLine(comment)) << comment.toStdString();
}

TEST(ScriptSplit, SeparatorLines)
{
    for (const QString go : {"GO", "go", "Go", " GO ", "\tgo\t", "GO\r", " \x01GO"})
        EXPECT_TRUE(isBatchSeparator(go)) << go.toStdString();
    for (const QString other : {"GO 2", "GO;", "G O", "GOTO", "", "G", "-- GO", "ГО"})
        EXPECT_FALSE(isBatchSeparator(other)) << other.toStdString();
}

TEST(ScriptSplit, BatchesAndTheirNumbers)
{
    const struct
    {
        QStringList script;
        QStringList batches;
    } cases[] = {
        {{"A1", "A2", "GO", "B1", "B2"}, {"1:A1|A2", "2:B1|B2"}},
        {{"A1", "A2", "GO", "B1", "B2", "GO"}, {"1:A1|A2", "2:B1|B2"}},
        {{"A"}, {"1:A"}},
        {{"A", "go", "GO", "B"}, {"1:A", "2:(blank)", "3:B"}},
        {{"GO", "A"}, {"1:(blank)", "2:A"}},
        {{"GO"}, {"1:(blank)"}},
        {{"A", "GO 2", "GO;", "B"}, {"1:A|GO 2|GO;|B"}},
        {{"-- head", "A", "", "-- c", "GO", "  ", "GO", "B"}, {"1:A", "2:  (blank)", "3:B"}},
        {{}, {"1:(blank)"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(batchesOf(c.script), c.batches) << c.script.join(u'|').toStdString();
}
