// The statement texts without a server: the count rewrite and its guard, the probes' catalogue
// queries, the error dialog's text.
#include "toolkit/sql/statementtext.h"

#include <gtest/gtest.h>

using namespace rimo::sql;

TEST(CountRewrite, KeepsTheSelectListLetterForLetter)
{
    const struct
    {
        QString given, sent;
    } cases[] = {
        {"SELECT * FROM T", "Select Count( * ) As Res  FROM T"},
        {"select Name from T where Id=1", "Select Count( Name ) As Res  from T where Id=1"},
        {"SELECT\tName\nFROM T", "Select Count(\tName\n) As Res  FROM T"},
        // Words that hold FROM, and FROM in literals, names and comments, are not the clause.
        {"SELECT DateFrom FROM T", "Select Count( DateFrom ) As Res  FROM T"},
        {"SELECT 'from' AS [From], \"FROM\" /* from */ FROM T", //
         "Select Count( 'from' AS [From], \"FROM\" /* from */ ) As Res  FROM T"},
        {"SELECT x -- from\nFROM T", "Select Count( x -- from\n) As Res  FROM T"},
        {"SELECT *FROM(T)", "Select Count( *) As Res  FROM(T)"},
        // Without FROM the list is empty and the whole rest follows.
        {"SELECT 1", "Select Count() As Res   1"},
        {"SELECT", "Select Count() As Res  "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(countStatement(c.given), c.sent) << c.given.toStdString();
}

TEST(CountRewrite, GuardTripsOnlyOnCountAsAWord)
{
    const struct
    {
        QString select;
        bool counts;
    } cases[] = {
        {"SELECT COUNT(*) AS Res FROM T", true},
        {"select count (Id) as Res from T", true},
        {"SELECT Id FROM T WHERE 1 < (SELECT Count(*) FROM U)", true},
        {"SELECT * FROM Accounts", false},
        {"SELECT Counter, Discount FROM T", false},
        {"SELECT @count, #count FROM T", false},
        {"SELECT * FROM INFORMATION_SCHEMA.TABLES Where (Table_Name = 'Count')", false},
        {"SELECT [Count] FROM T", false},
        {"SELECT \"count\" FROM T -- count", false},
        {"SELECT x /* count /* nested */ count */ FROM T", false},
        {"SELECT 'it''s count' FROM T", false},
        {"SELECT 'unterminated count", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(selectHoldsCount(c.select), c.counts) << c.select.toStdString();
}

TEST(CountRewrite, LeadingSpacesAndTheSelectTest)
{
    EXPECT_EQ(withoutLeadingSpaces("   select x"), "select x");
    EXPECT_EQ(withoutLeadingSpaces(" \tselect x"), "\tselect x") << "only U+0020 goes";
    EXPECT_EQ(withoutLeadingSpaces("   "), "");
    EXPECT_TRUE(startsWithSelect("sElEcT"));
    EXPECT_FALSE(startsWithSelect("\tSELECT x"));
    EXPECT_FALSE(startsWithSelect("\nSELECT x"));
    EXPECT_FALSE(startsWithSelect("SELEC"));
    EXPECT_EQ(findSqlWord(u"a from b", u"FROM"), 2);
    EXPECT_EQ(findSqlWord(u"from a from", u"FROM", 1), 7);
}

TEST(ProbeTexts, AreJoinedExactlyWithNamesAsLiterals)
{
    EXPECT_EQ(tableProbeSql("T"), "SELECT  * FROM  INFORMATION_SCHEMA.TABLES Where (Table_Name = 'T') And "
                                  "Table_Type='BASE TABLE' ");
    EXPECT_EQ(viewProbeSql("O'Neil"), "SELECT  * FROM  INFORMATION_SCHEMA.TABLES Where (Table_Name = "
                                      "'O''Neil') And Table_Type='VIEW' ");
    EXPECT_EQ(fieldProbeSql("T", "F"),
              "SELECT * FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'T'AND  COLUMN_NAME = 'F'");
    EXPECT_EQ(procedureProbeSql("P"), "select * from dbo.sysobjects where id = object_id(N'P') and "
                                      "OBJECTPROPERTY(id, N'IsProcedure') = 1");
    EXPECT_EQ(databaseProbeSql("herd"), "select * from Master.Dbo.sysdatabases where Name=(N'herd') ");
    EXPECT_EQ(dropViewSql("V"), "if exists (SELECT *  FROM  INFORMATION_SCHEMA.TABLES WHERE  (Table_Type = "
                                "'View') And Table_Name ='V')  drop view [dbo].[V]");
    // The bracketed name doubles its "]", so the name cannot end the brackets early.
    EXPECT_TRUE(dropViewSql("a]; drop table T; --").endsWith("drop view [dbo].[a]]; drop table T; --]"));
    EXPECT_TRUE(dropViewSql("it's").contains("Table_Name ='it''s')"));
}

TEST(ExceptMessage, CutsAt300AndNotesDuplicates)
{
    const QString cr = "\r";
    const QString tail = cr + QString(37, u'_') + cr + cr + "پيام اصلي سيستم :" + cr;
    const QString cut = cr + "(بدليل طولاني بودن ادامه دستور نمايش داده نمي شود)";
    const QString dup = cr + "نكته : احتمالا پيام در مورد اطلاعات تكراري است ";
    const QString m300(300, u'م');
    EXPECT_EQ(exceptMessageText(m300, "e"), m300 + tail + "e");
    EXPECT_EQ(exceptMessageText(m300 + "x", "e"), m300 + cut + tail + "e");
    EXPECT_EQ(exceptMessageText("m", "Violation of Primary Key constraint"),
              "m" + dup + tail + "Violation of Primary Key constraint");
    EXPECT_EQ(exceptMessageText(m300 + "xy", "primary key"), m300 + cut + dup + tail + "primary key");
    EXPECT_EQ(exceptMessageText("m", "PRIMARYKEY"), "m" + tail + "PRIMARYKEY");
    EXPECT_EQ(exceptMessageText("", ""), tail);
}
