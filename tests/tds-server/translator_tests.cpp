// Plain-function tests of the server's lexer, translator and text conversions (no network).
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/lexer.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace rimo::tds;

namespace {

// The translation with its type slots shown as <kind:name>, as the session would fill them in.
std::string readable(std::string sql)
{
    resolveTypeSlots(sql, [](TypeSlot kind, const std::string& a, const std::string& b) {
        const char* tag = kind == TypeSlot::InsertColumn   ? "ins:"
                          : kind == TypeSlot::UpdateColumn ? "col:"
                          : kind == TypeSlot::Compared     ? "cmp:"
                          : kind == TypeSlot::Arithmetic   ? "ari:"
                                                           : "typ:";
        const bool qualified =
            kind == TypeSlot::Compared || kind == TypeSlot::DeclaredType || kind == TypeSlot::Arithmetic;
        return "<" + std::string(tag) + (qualified ? (a.empty() ? b : a + "." + b) : a) + ">";
    });
    return sql;
}

} // namespace

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

// T-SQL ends a line, and with it a -- comment, at CR, LF or CR LF; what follows on the next line is read.
TEST(TdsLexer, LineCommentsEndAtCrLfOrCrLf)
{
    for (const char* end : {"\r", "\n", "\r\n", "\n\r"}) {
        const std::string sql = std::string("SELECT * FROM T WHERE a = 1 -- c") + end + "AND Count = 2";
        const auto t = lex(sql);
        ASSERT_EQ(t.size(), 13u) << "line end " << static_cast<int>(end[0]);
        EXPECT_TRUE(t[8].isWord("AND"));
        EXPECT_EQ(t[11].text, "2");
    }
    // A comment at the end of the text takes the rest, whatever it holds.
    EXPECT_EQ(lex("SELECT 1 -- to the end 'no quote").size(), 3u);
    const auto batch = translateBatch("SELECT 1 -- one\rSELECT 2 -- two\r\nSELECT 3");
    ASSERT_EQ(batch.size(), 3u);
    EXPECT_EQ(batch[1].text, "SELECT 2 -- two");
}

TEST(TdsTranslator, SupportedFormsTranslate)
{
    struct Case
    {
        const char* tsql;
        const char* sqlite;
    };
    const Case cases[] = {
        // Values written to a column, and values compared with one, go through rimo_store with the
        // column's type, which the session fills in.
        {"Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'",
         "UPDATE \"Firstrec\" SET \"MilkPeriod\" = rimo_store(3, '<col:MilkPeriod>') WHERE \"Serial\" = "
         "rimo_store('1024', '<cmp:Serial>') AND \"Rdate\" > rimo_store('1389/11/04', '<cmp:Rdate>')"},
        {"UPDATE TOP (1) [T] SET [a]=@P1 WHERE [c1]=@P2 AND [c2] IS NULL",
         "UPDATE \"T\" SET \"a\" = rimo_store(@P1, '<col:a>') WHERE rowid IN (SELECT rowid FROM \"T\" WHERE "
         "\"c1\" = rimo_store(@P2, '<cmp:c1>') AND \"c2\" IS NULL LIMIT 1)"},
        {"SELECT TOP 5 * FROM [dbo].[T] t WHERE (t.x = N'a') ORDER BY a DESC, b",
         "SELECT * FROM \"T\" AS \"t\" WHERE (\"t\".\"x\" = rimo_store('a', '<cmp:t.x>')) ORDER BY \"a\" "
         "DESC, "
         "\"b\" LIMIT 5"},
        {"select * from herd..T", "SELECT * FROM \"T\" AS \"T\""},
        {"SELECT * FROM Masters Where 'a''b' = DName",
         "SELECT * FROM \"Masters\" AS \"Masters\" WHERE rimo_store('a''b', '<cmp:DName>') = \"DName\""},
        {"INSERT INTO [T] ([a],[b]) VALUES (@P1,@P2), (1, NULL)",
         "INSERT INTO \"T\" (\"a\", \"b\") VALUES (rimo_store(@P1, '<ins:0>'), rimo_store(@P2, '<ins:1>')), "
         "(rimo_store(1, '<ins:0>'), rimo_store(NULL, '<ins:1>'))"},
        {"delete from dbo.T where a in (1, -2) and not b like 'x%' and c between @lo and 5 and d = e and 1 = "
         "2",
         "DELETE FROM \"T\" WHERE \"a\" IN (rimo_store(1, '<cmp:a>'), rimo_store(-2, '<cmp:a>')) AND NOT "
         "\"b\" "
         "LIKE 'x%' AND \"c\" BETWEEN rimo_store(@lo, '<cmp:c>') AND rimo_store(5, '<cmp:c>') AND \"d\" = "
         "\"e\" "
         "AND 1 = (2) COLLATE RIMO_CI"},
        // A client's text holding the slots' mark stays text.
        {"select * from T where a = 'x\x01"
         "cmp:y'",
         "SELECT * FROM \"T\" AS \"T\" WHERE \"a\" = rimo_store(('' || 'x' || char(1) || 'cmp:y'), "
         "'<cmp:a>')"},
    };
    for (const auto& c : cases) {
        const auto st = translateBatch(c.tsql);
        ASSERT_EQ(st.size(), 1u) << c.tsql;
        EXPECT_EQ(readable(st[0].sql), c.sqlite) << c.tsql;
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

// Thousands of nesting levels once ran the session thread out of stack and took the whole server down.
// Each recursive form is refused with SQL Server's own error once deep, and still translates when shallow.
TEST(TdsTranslator, DeepNestingIsRefusedWithTooDeeplyNested)
{
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    struct Case
    {
        const char* name;
        std::function<std::string(int)> make;
    };
    const Case cases[] = {
        {"parentheses", [&](int n) { return "select " + repeat("(", n) + "1" + repeat(")", n); }},
        {"unary minus", [&](int n) { return "select " + repeat("- ", n) + "1"; }},
        {"NOT", [&](int n) { return "select 1 where " + repeat("NOT ", n) + "1 = 1"; }},
        {"CASE",
         [&](int n) { return "select " + repeat("CASE WHEN 1 = 1 THEN ", n) + "1" + repeat(" END", n); }},
        {"sub-queries", [&](int n) { return "select " + repeat("(select ", n) + "1" + repeat(")", n); }},
        {"EXISTS", [&](int n) { return repeat("select 1 where exists (", n) + "select 1" + repeat(")", n); }},
        {"derived tables",
         [&](int n) { return repeat("select * from (", n) + "select 1 a" + repeat(") x", n); }},
    };
    for (const auto& c : cases) {
        EXPECT_NO_THROW(translateBatch(c.make(30))) << c.name;
        for (int depth : {300, 4000}) {
            try {
                translateBatch(c.make(depth));
                ADD_FAILURE() << c.name << " nested " << depth << " deep was accepted";
            } catch (const ServerError& e) {
                EXPECT_EQ(e.number(), 191) << c.name;
                EXPECT_EQ(e.severity(), 15) << c.name;
                EXPECT_STREQ(e.what(), "Some part of your SQL statement is nested too deeply. Rewrite the "
                                       "query or break it up into smaller queries.");
            }
        }
    }
}

TEST(TdsTranslator, BinaryLiteralsIncludingTheEmptyOne)
{
    const struct
    {
        const char* tsql;
        const char* sqlite;
    } cases[] = {
        {"select 0x", "SELECT X''"}, {"select 0X0aF", "SELECT X'00aF'"}, {"select 0x00ff", "SELECT X'00ff'"}};
    for (const auto& c : cases) {
        const auto st = translateBatch(c.tsql);
        ASSERT_EQ(st.size(), 1u) << c.tsql;
        EXPECT_NE(st[0].sql.find(c.sqlite), std::string::npos) << c.tsql << " -> " << st[0].sql;
    }
}

// A long chain of terms is written out in place: the wrapped form for operands of unknown type keeps
// its meaning (each rimo_arith takes everything to its left, with the types known of its operands).
TEST(TdsTranslator, LongTermChainsTranslateInOrder)
{
    const auto st = translateBatch("select a + b + c - 1 from t");
    ASSERT_EQ(st.size(), 1u);
    EXPECT_NE(
        readable(st[0].sql).find("rimo_arith('-', rimo_arith('+', rimo_arith('+', \"a\", \"b\", '<ari:a>', "
                                 "'<ari:b>'), \"c\", NULL, '<ari:c>'), 1, NULL, 6)"),
        std::string::npos)
        << st[0].sql;
    std::string longSum = "select 1";
    for (int i = 0; i < 20000; ++i)
        longSum += "+1";
    const auto sum = translateBatch(longSum);
    ASSERT_EQ(sum.size(), 1u);
    EXPECT_EQ(std::count(sum[0].sql.begin(), sum[0].sql.end(), '+'), 20000);
}

TEST(TdsTranslator, BuiltInFunctionsAndVariablesTranslateWithTheirResultTypes)
{
    struct Case
    {
        const char* expr;
        const char* sqlite;
        const char* type; // the select item's known result type, "" when left to the value
    };
    const Case cases[] = {
        {"COUNT(*)", "count(*)", "int"},
        {"count_big(DISTINCT a)", "count(DISTINCT \"a\")", "bigint"},
        {"COUNT(ALL a)", "count(\"a\")", "int"},
        {"CAST(a AS nvarchar(5))", "substr(CAST(\"a\" AS TEXT), 1, 5)", "nvarchar(5)"},
        {"CAST(a AS decimal(10,2))", "rimo_store(\"a\", 'decimal(10,2)')", "decimal(10,2)"},
        {"CAST(a AS numeric(10))", "rimo_store(\"a\", 'decimal(10,0)')", "numeric(10,0)"},
        {"CAST(a AS varbinary(4))", "rimo_binary(\"a\", '<ari:a>', 4, 0, 0)", "varbinary(4)"},
        {"CAST(N'ab' AS varbinary)", "rimo_binary('ab', 2, 30, 0, 0)", "varbinary(30)"},
        {"CONVERT(binary(2), '0x0102', 1)", "rimo_binary('0x0102', 1, 2, 1, 1)", "binary(2)"},
        {"CAST(a AS varchar)", "substr(rimo_store(CAST(\"a\" AS TEXT), 'varchar'), 1, 30)", "varchar(30)"},
        {"a * 2", "rimo_arith('*', \"a\", 2, '<ari:a>', 6)", ""},
        {"-a % @p", "rimo_arith('%', rimo_neg(\"a\", '<ari:a>'), @p, NULL, '@p')", ""},
        {"(a) / 2147483648", "rimo_arith('/', (\"a\"), 2147483648, '<ari:a>', 10)", ""},
        {"N'a' + 'b' + 'c'", "'a' || 'b' || 'c'", ""},
        {"CAST(a AS datetime)", "rimo_store(\"a\", 'datetime')", "datetime"},
        {"CAST(a AS money)", "rimo_store(\"a\", 'money')", "money"},
        {"CONVERT(int, '7', 1)", "rimo_store('7', 'int')", "int"},
        {"SUM(ALL a)", "sum(\"a\")", ""},
        {"max(DISTINCT a)", "max(DISTINCT \"a\")", ""},
        {"AVG(a)", "avg(\"a\")", ""},
        {"LEN(a)", "rimo_len(\"a\")", "int"},
        {"DATALENGTH(a)", "rimo_datalength(\"a\", '<typ:a>')", "int"},
        {"DATALENGTH(N'ab')", "rimo_datalength('ab', 'nvarchar')", "int"},
        {"DATALENGTH('ab')", "rimo_datalength('ab', 'varchar')", "int"},
        {"DATALENGTH(a + b)", "rimo_datalength(rimo_arith('+', \"a\", \"b\", '<ari:a>', '<ari:b>'), NULL)",
         "int"},
        {"Upper(a)", "upper(\"a\")", ""},
        {"LTRIM(RTRIM(a))", "ltrim(rtrim(\"a\"))", ""},
        {"ABS(a)", "abs(\"a\")", ""},
        {"REPLACE(a, 'x', 'y')", "replace(\"a\", 'x', 'y')", ""},
        {"ROUND(a, 2, 1)", "round(\"a\", 2)", ""},
        {"ISNULL(a, 0)", "ifnull(\"a\", 0)", ""},
        {"COALESCE(a, b, 1)", "coalesce(\"a\", \"b\", 1)", ""},
        {"NULLIF(a, 0)", "nullif(\"a\", 0)", ""},
        {"SUBSTRING(a, 2, 3)", "substr(\"a\", 2, 3)", ""},
        {"LEFT(a, 2)", "substr(\"a\", 1, 2)", ""},
        {"RIGHT(a, 2)", "CASE WHEN (2) <= 0 THEN '' ELSE substr(\"a\", -(2)) END", ""},
        {"CHARINDEX('x', a)", "instr(\"a\", 'x')", "int"},
        {"GETDATE()", "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')", "datetime"},
        {"SYSDATETIME()", "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')", "datetime"},
        {"CURRENT_TIMESTAMP()", "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')", "datetime"},
        {"DB_NAME()", "rimo_db_name()", "nvarchar(128)"},
        {"SCOPE_IDENTITY()", "rimo_identity()", "numeric(38,0)"},
        {"@@SPID", "rimo_spid()", "smallint"},
        {"@@identity", "rimo_identity()", "numeric(38,0)"},
        {"@@ROWCOUNT", "rimo_rowcount()", "int"},
        {"@@TRANCOUNT", "rimo_trancount()", "int"},
        {"@@SERVERNAME", "'RIMO-TEST'", "nvarchar(128)"},
        {"@@ERROR", "0", "int"},
        {"@P1", "@P1", ""},
    };
    for (const auto& c : cases) {
        const std::string tsql = std::string("SELECT ") + c.expr;
        std::vector<Statement> st;
        ASSERT_NO_THROW(st = translateBatch(tsql)) << tsql;
        ASSERT_EQ(st.size(), 1u) << tsql;
        EXPECT_EQ(readable(st[0].sql), std::string("SELECT ") + c.sqlite + " AS \"\"") << tsql;
        ASSERT_EQ(st[0].items.size(), 1u) << tsql;
        EXPECT_EQ(st[0].items[0].type ? st[0].items[0].type->sqlName() : std::string(), c.type) << tsql;
    }
    const auto version = translateBatch("SELECT @@VERSION");
    ASSERT_EQ(version.size(), 1u);
    EXPECT_NE(version[0].sql.find("sqlite_version()"), std::string::npos);
    EXPECT_EQ(version[0].items[0].type->sqlName(), "nvarchar(300)");
}

TEST(TdsTranslator, FunctionCallsWithWrongArgumentsOrNamesAreRefused)
{
    struct Case
    {
        const char* tsql;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {"SELECT LEN(a, b)", 174, "The len function requires 1 argument(s)."},
        {"SELECT Replace(a)", 174, "The replace function requires 3 argument(s)."},
        {"SELECT NULLIF(a, b, c)", 174, "The nullif function requires 2 argument(s)."},
        {"SELECT COALESCE(a)", 174, "The coalesce function requires 2 argument(s)."},
        {"SELECT GETDATE(1)", 174, "The getdate function requires 0 argument(s)."},
        {"SELECT ROUND(a)", 174, "The round function requires 2 argument(s)."},
        {"SELECT Frob(1)", 195, "'Frob' is not a recognized built-in function name."},
        // The arguments are read before the name is looked up.
        {"SELECT Frob(1,", 102, "Incorrect syntax near ','."},
        {"SELECT CAST(a AS widget)", 2715,
         "Column, parameter, or variable #1: Cannot find data type widget."},
        {"SELECT CAST(a AS nvarchar(0))", 131, "The size given to the type 'nvarchar' is not valid."},
        {"SELECT COUNT(*, a)", 102, "Incorrect syntax near ','."},
        {"SELECT @@NOPE", 137, "Must declare the scalar variable \"@@NOPE\"."},
    };
    for (const auto& c : cases) {
        try {
            translateBatch(c.tsql);
            ADD_FAILURE() << c.tsql << " translated";
        } catch (const ServerError& e) {
            EXPECT_EQ(e.number(), c.number) << c.tsql;
            EXPECT_STREQ(e.what(), c.text) << c.tsql;
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
