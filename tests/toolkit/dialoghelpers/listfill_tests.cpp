#include "sqlfixture.h"

namespace {

class ListFillTest : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE L (Id int PRIMARY KEY, v nvarchar(10) NULL);"
                    "INSERT INTO L VALUES (1, 'a'), (2, 'a'), (3, ''), (4, 'b');"
                    "CREATE TABLE [a]]b] (Id int PRIMARY KEY, v nvarchar(10) NULL);"
                    "INSERT INTO [a]]b] VALUES (1, 'q'), (2, 'r');");
    }
};

TEST_F(ListFillTest, DistinctAndNotInTheServersOrderWithADashForBlank)
{
    QStringList items{"old"};
    tools->FillListWithData(items, "L", "v", "");
    EXPECT_EQ(items, (QStringList{"a", "-", "b"}));
    tools->FillListWithDataBDistinct(items, "L", "v", "  ");
    EXPECT_EQ(items, (QStringList{"a", "a", "-", "b"}));
}

TEST_F(ListFillTest, ConditionKeepsTheCallersTableAndCondition)
{
    QStringList items;
    tools->FillListWithDataBDistinct(items, "L", "v", "Id>1 And Id<4");
    EXPECT_EQ(items, (QStringList{"a", "-"}));
    tools->FillListWithData(items, "L", "v", "Id=4");
    EXPECT_EQ(items, (QStringList{"b"}));
}

TEST_F(ListFillTest, ATableNameHoldingABracketIsRead)
{
    QStringList items;
    tools->FillListWithData(items, "a]b", "v", "");
    EXPECT_EQ(items, (QStringList{"q", "r"}));
    tools->FillListWithDataBDistinct(items, "a]b", "v", "");
    EXPECT_EQ(items, (QStringList{"q", "r"}));
}

TEST_F(ListFillTest, AFailingQueryRaisesAndLeavesTheListAlone)
{
    const QStringList before{"x", "y"};
    QStringList items = before;
    EXPECT_ANY_THROW(tools->FillListWithData(items, "Missing", "v", ""));
    EXPECT_EQ(items, before);
    // A name that tries to close its brackets names a table that does not exist.
    EXPECT_ANY_THROW(tools->FillListWithDataBDistinct(items, "L] ; Delete From [L", "v", ""));
    EXPECT_EQ(items, before);
    tools->FillListWithDataBDistinct(items, "L", "v", "");
    EXPECT_EQ(items.size(), 4);
    EXPECT_TRUE(takeMessages().isEmpty());
}

} // namespace
