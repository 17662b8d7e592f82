// The procedure text built from a section's rows.
#include "toolkit/commands/fielddefs.h"
#include "toolkit/commands/proceduretext.h"

#include <gtest/gtest.h>

using rimo::commands::procedureText;

TEST(ProcedureText, TwoRowsGiveFourLines)
{
    EXPECT_EQ(procedureText("S", {{"A", "select 1"}, {"B", "select 2"}}),
              "CREATE PROCEDURE [_AutoCompute_S] As Begin Select \r\n"
              "(select 1)[A],\r\n"
              "(select 2)[B] \r\n"
              "Into [_S] End");
}

TEST(ProcedureText, NoRowsLeaveTheSelectEmpty)
{
    EXPECT_EQ(procedureText("S", {}), "CREATE PROCEDURE [_AutoCompute_S] As Begin Select \r\nInto [_S] End");
}

TEST(ProcedureText, TitlesTrimmedAndBracketsDoubled)
{
    // A "]" in a name would otherwise end the bracketed name early and let the rest run as SQL.
    EXPECT_EQ(procedureText("x]y", {{"  T  ", "1"}, {"a]b", "2"}}),
              "CREATE PROCEDURE [_AutoCompute_x]]y] As Begin Select \r\n"
              "(1)[T],\r\n"
              "(2)[a]]b] \r\n"
              "Into [_x]]y] End");
}

TEST(ProcedureText, QuotedLiteral)
{
    EXPECT_EQ(rimo::commands::quotedLiteral("it's"), "'it''s'");
    EXPECT_EQ(rimo::commands::quotedLiteral(""), "''");
}

TEST(FieldDefLines, CommentsAndSplitting)
{
    using rimo::commands::withoutDefComments;
    EXPECT_EQ(withoutDefComments({"", "//a", "   // b", "A~1", " /x", "\t//c", "B~~2"}),
              (QStringList{"A~1", " /x", "\t//c", "B~~2"}));
    // Many comment lines in a row go in one pass.
    EXPECT_TRUE(withoutDefComments(QStringList(200000, "//")).isEmpty());
    using P = std::pair<QString, QString>;
    EXPECT_EQ(rimo::commands::splitFieldLine("A~b~c"), P("A", "b~c"));
    EXPECT_EQ(rimo::commands::splitFieldLine("A"), P("A", ""));
    EXPECT_EQ(rimo::commands::splitFieldLine("~v"), P("", "v"));
}
