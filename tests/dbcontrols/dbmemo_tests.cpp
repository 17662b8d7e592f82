// The line splitting of multi-line columns and the memo's behaviour without a data set.
#include "dbcontrols/dbmemo.h"

#include <gtest/gtest.h>

using rimo::dbcontrols::joinLines;
using rimo::dbcontrols::splitLines;

TEST(ColumnLines, SplitAtEveryKindOfLineBreak)
{
    const struct
    {
        QString text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\n", {"a", ""}},
        {"\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}}, // LF then CR: two breaks
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitLines(c.text), c.lines) << c.text.toStdString();
}

TEST(ColumnLines, JoinedByCrLfAndBackUnchanged)
{
    const QStringList lines{"سلام", "", "SELECT 1", ""};
    EXPECT_EQ(joinLines(lines), "سلام\r\n\r\nSELECT 1\r\n");
    EXPECT_EQ(splitLines(joinLines(lines)), lines);
    EXPECT_EQ(joinLines({}), "");
}

TEST(DBMemo, UnboundKeepsItsLines)
{
    TDBMemo memo;
    memo.setLines({"a", "b"});
    EXPECT_EQ(memo.Text(), "a\r\nb");
    EXPECT_EQ(memo.toPlainText(), "a\nb");
    TDataSource source;
    memo.setDataSource(&source); // no data set: nothing to read
    memo.setDataField("X");
    EXPECT_EQ(memo.Lines(), (QStringList{"a", "b"}));
    memo.clearLines();
    EXPECT_TRUE(memo.Lines().isEmpty());
}
