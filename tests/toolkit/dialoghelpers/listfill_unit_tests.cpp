#include "toolkit/dialoghelpers/listfill.h"

#include <gtest/gtest.h>

namespace {

struct StatementCase
{
    bool distinct;
    QString table, field, condition, expected;
};

TEST(ListFillStatement, BracketsOnlyWithoutACondition)
{
    const StatementCase cases[] = {
        {true, "Herd", "Name", "", "Select Distinct [Name] From [Herd]"},
        {false, "Herd", "Name", "", "Select [Name] From [Herd]"},
        // Blank means nothing but spaces and control characters.
        {true, "Herd", "Name", " \t\r\n", "Select Distinct [Name] From [Herd]"},
        // With a condition the table name is the caller's SQL (a join, an alias), not bracketed.
        {true, "T", "Name", "Id>0", "Select Distinct [Name] From T Where Id>0"},
        {false, "T t Join U u On t.Id=u.Id", "Name", "u.X=1",
         "Select [Name] From T t Join U u On t.Id=u.Id Where u.X=1"},
        // A "]" in a bracketed name is doubled: the name cannot close its brackets and add SQL.
        {true, "a]b", "v", "", "Select Distinct [v] From [a]]b]"},
        {false, "T] ; Drop Table X --", "v]", "", "Select [v]]] From [T]] ; Drop Table X --]"},
        {true, "T", "x] From T; Drop Table T --", "Id>0",
         "Select Distinct [x]] From T; Drop Table T --] From T Where Id>0"},
    };
    for (const StatementCase& c : cases)
        EXPECT_EQ(rimo::listFillStatement(c.distinct, c.table, c.field, c.condition), c.expected)
            << c.table.toStdString() << " / " << c.condition.toStdString();
}

TEST(ListFillStatement, BracketNameDoublesEveryClosingBracket)
{
    EXPECT_EQ(rimo::bracketName(""), "[]");
    EXPECT_EQ(rimo::bracketName("]]"), "[]]]]]");
    EXPECT_EQ(rimo::bracketName("[a]"), "[[a]]]");
}

TEST(SetStringList, ReplacesWhatTheListHeldWithFiftyOneEmptyTexts)
{
    QStringList list{"x", "y"};
    TListFillers::SetStringList(list);
    ASSERT_EQ(list.size(), 51);
    for (const QString& s : list)
        EXPECT_TRUE(s.isEmpty());
}

} // namespace
