// The procedure text built from a section's rows.
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
