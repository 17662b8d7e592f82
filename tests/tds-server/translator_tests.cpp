// Plain-function tests of the server's lexer, translator and text conversions (no network).
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/lexer.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <gtest/gtest.h>

using namespace rimo::tds;

TEST(TdsLexer, NumberDirectlyFollowedByKeywordSplits)
{
    const auto t = lex("Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'");
    ASSERT_GE(t.size(), 8u);
    EXPECT_EQ(t[5].kind, TokenKind::Number);
    EXPECT_EQ(t[5].text, "3");
    EXPECT_TRUE(t[6].isWord("WHERE"));
    EXPECT_EQ(t[9].kind, TokenKind::String);
    EXPECT_EQ(t[9].text, "1024");
}

TEST(TdsLexer, LiteralsNamesAndComments)
{
    const auto t = lex("select [a]]b], N'x''y' -- gone\n /* also /* nested */ gone */ 1.5e3 @P1");
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[1].kind, TokenKind::QuotedIdentifier);
    EXPECT_EQ(t[1].text, "a]b");
    EXPECT_TRUE(t[3].national);
    EXPECT_EQ(t[3].text, "x'y");
    EXPECT_EQ(t[4].text, "1.5e3");
    EXPECT_EQ(t[5].kind, TokenKind::Variable);
    EXPECT_THROW(lex("select 'open"), ServerError);
}

TEST(TdsTranslator, SupportedFormsTranslate)
{
    struct Case
    {
        const char* tsql;
        const char* sqlite;
    };
    const Case cases[] = {
        {"Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'",
         "UPDATE \"Firstrec\" SET \"MilkPeriod\" = 3 WHERE \"Serial\" = '1024' AND \"Rdate\" > '1389/11/04'"},
        {"UPDATE TOP (1) [T] SET [a]=@P1 WHERE [c1]=@P2 AND [c2] IS NULL",
         "UPDATE \"T\" SET \"a\" = @P1 WHERE rowid IN (SELECT rowid FROM \"T\" WHERE \"c1\" = @P2 AND \"c2\" "
         "IS NULL "
         "LIMIT 1)"},
        {"SELECT TOP 5 * FROM [dbo].[T] WHERE (x = N'a') ORDER BY a DESC, b",
         "SELECT * FROM \"T\" AS \"T\" WHERE (\"x\" = 'a') ORDER BY \"a\" DESC, \"b\" LIMIT 5"},
        {"select * from herd..T", "SELECT * FROM \"T\" AS \"T\""},
        {"SELECT * FROM Masters Where DName='a''b'",
         "SELECT * FROM \"Masters\" AS \"Masters\" WHERE \"DName\" = 'a''b'"},
        {"INSERT INTO [T] ([a],[b]) VALUES (@P1,@P2), (1, NULL)",
         "INSERT INTO \"T\" (\"a\", \"b\") VALUES (@P1, @P2), (1, NULL)"},
        {"delete from dbo.T where a in (1, 2) and not b like 'x%'",
         "DELETE FROM \"T\" WHERE \"a\" IN (1, 2) AND NOT \"b\" LIKE 'x%'"},
    };
    for (const auto& c : cases) {
        const auto st = translateBatch(c.tsql);
        ASSERT_EQ(st.size(), 1u) << c.tsql;
        EXPECT_EQ(st[0].sql, c.sqlite) << c.tsql;
    }
}

TEST(TdsTranslator, BatchSplitsIntoStatementsWithTheirOwnText)
{
    const auto st =
        translateBatch("SET TEXTSIZE 2147483647 SELECT 1 update t set a = 1\nUSE herd; create table t2 "
                       "(ID int IDENTITY(1,1) PRIMARY KEY, s nvarchar(20) NOT NULL, c char(10) "
                       "CHECK (c <> 'x'), CONSTRAINT PK2 UNIQUE (s))");
    ASSERT_EQ(st.size(), 5u);
    EXPECT_EQ(st[0].kind, Statement::Ignored);
    EXPECT_EQ(st[1].kind, Statement::Query);
    EXPECT_EQ(st[2].kind, Statement::Modify);
    EXPECT_EQ(st[2].text, "update t set a = 1");
    EXPECT_EQ(st[3].kind, Statement::Use);
    const TableDef& def = st[4].tableDef;
    ASSERT_EQ(def.columns.size(), 3u);
    EXPECT_TRUE(def.columns[0].identity);
    EXPECT_FALSE(def.columns[1].nullable);
    EXPECT_EQ(def.columns[2].type.sqlName(), "char(10)");
    ASSERT_EQ(def.constraints.size(), 3u);
}

TEST(TdsTranslator, UnsupportedOrBrokenTextGivesServerErrors)
{
    struct Case
    {
        const char* tsql;
        int number;
    };
    const Case cases[] = {{"selec 1", 102},
                          {"select * from t where", 102},
                          {"select frobnicate(1)", 195},
                          {"exec sp_who", 2812},
                          {"create table t (a widget)", 2715},
                          {"select * from INFORMATION_SCHEMA.ROUTINES", 208},
                          {"create table t (ID int IDENTITY(.0,1))", 102},
                          {"select @x", 137}};
    for (const auto& c : cases) {
        try {
            const auto st = translateBatch(c.tsql);
            // @x is bound at run time; the batch itself translates.
            EXPECT_EQ(c.number, 137) << c.tsql;
        } catch (const ServerError& e) {
            EXPECT_EQ(e.number(), c.number) << c.tsql << ": " << e.what();
        }
    }
}

TEST(TdsText, CollationIgnoresCaseAndTrailingBlanksButNotPersianLetters)
{
    EXPECT_EQ(compareCi("Serial", "SERIAL  "), 0);
    EXPECT_LT(compareCi("abc", "abd"), 0);
    EXPECT_NE(compareCi("\u0631\u0633\u0645\u064A", "\u0631\u0633\u0645\u06CC"), 0); // Arabic vs Persian yeh
    EXPECT_EQ(compareCi("\u00C9t\u00E9", "\u00E9T\u00C9"), 0);
    EXPECT_GT(compareCi("b", "A"), 0);
}

TEST(TdsText, Cp1256RoundTripsPersianAndMarksWhatItLacks)
{
    const std::string persian = "\u0631\u0633\u0645\u064A \u067E\u0698\u06AF\u0686 abc";
    EXPECT_EQ(cp1256ToUtf8(utf8ToCp1256(persian)), persian);
    EXPECT_EQ(utf8ToCp1256("\u0631"), "\xD1");
    EXPECT_EQ(utf8ToCp1256("\u4E2D"), "?");
    std::string utf16;
    EXPECT_EQ(appendUtf16le(utf16, "a\U0001F600"), 3u);
    EXPECT_EQ(utf16leToUtf8(utf16), "a\U0001F600");
}
