// Column values keep SQL Server's types: the conversions as plain functions, then tables of (column type,
// value sent, value read, comparisons that must and must not match) through FreeTDS db-lib and pytds.
#include "dblibclient.h"
#include "tdsserver.h"
#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/values.h"
#include "valuetable.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;
using namespace rimo::tds;

namespace {

TEST(TdsValues, DateTimeTextsReadAsSqlServerReadsThemUnderMdy)
{
    struct Case
    {
        const char* text;
        SqlType type;
        const char* kept; // nullptr: refused with `error`
        int error;
    };
    const Case cases[] = {
        {"2011-03-15", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"2011-03-15 00:00:00.000", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"2011-03-15T00:00:00", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"20110315", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"03/15/2011", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"3/15/11 10:30 PM", SqlType::DateTime, "2011-03-15 22:30:00.000", 0},
        {"Mar 15 2011 10:00AM", SqlType::DateTime, "2011-03-15 10:00:00.000", 0},
        {"15 March 2011", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"2011/03/15 12:00 AM", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"  2011-03-15  ", SqlType::DateTime, "2011-03-15 00:00:00.000", 0},
        {"", SqlType::DateTime, "1900-01-01 00:00:00.000", 0},
        {"10:15", SqlType::DateTime, "1900-01-01 10:15:00.000", 0},
        // datetime keeps 1/300 s: .001 and .002 become .000 and .003, .998 and .999 the next second.
        {"2011-03-15 10:00:00.001", SqlType::DateTime, "2011-03-15 10:00:00.000", 0},
        {"2011-03-15 10:00:00.002", SqlType::DateTime, "2011-03-15 10:00:00.003", 0},
        {"2011-03-15 10:00:00.005", SqlType::DateTime, "2011-03-15 10:00:00.007", 0},
        {"2011-03-15 23:59:59.999", SqlType::DateTime, "2011-03-16 00:00:00.000", 0},
        {"2011-03-15 10:29:29.998", SqlType::SmallDateTime, "2011-03-15 10:29:00.000", 0},
        {"2011-03-15 10:29:29.999", SqlType::SmallDateTime, "2011-03-15 10:30:00.000", 0},
        {"2011-03-15 10:29:59", SqlType::Date, "2011-03-15 00:00:00.000", 0},
        {"1700-01-01", SqlType::Date, "1700-01-01 00:00:00.000", 0},
        // Refused: day-first under mdy, impossible dates, other texts, and values out of the type's range.
        {"15/03/2011", SqlType::DateTime, nullptr, 241},
        {"2011-02-29", SqlType::DateTime, nullptr, 241},
        {"2011-03-15 24:00", SqlType::DateTime, nullptr, 241},
        {"1389/11/04x", SqlType::DateTime, nullptr, 241},
        {"yesterday", SqlType::DateTime, nullptr, 241},
        {"2011-03", SqlType::DateTime, nullptr, 241},
        {"1700-01-01", SqlType::DateTime, nullptr, 242},
        {"2079-06-07", SqlType::SmallDateTime, nullptr, 242},
    };
    for (const auto& c : cases) {
        int error = 0;
        const auto kept = storedDateTime(c.text, c.type, error);
        if (c.kept) {
            EXPECT_EQ(kept.value_or("<refused>"), c.kept) << "'" << c.text << "'";
        } else {
            EXPECT_FALSE(kept.has_value()) << "'" << c.text << "' kept as " << *kept;
            EXPECT_EQ(error, c.error) << "'" << c.text << "'";
        }
    }
}

TEST(TdsValues, DataLengthCountsSqlServersBytes)
{
    const std::string persian = "\u0631\u0633\u0645\u064A"; // 4 letters, 8 UTF-8 bytes
    EXPECT_EQ(dataLength("nvarchar(20)", SQLITE_TEXT, persian, 0), 8);
    EXPECT_EQ(dataLength("varchar(20)", SQLITE_TEXT, persian, 0), 4); // code page 1256
    EXPECT_EQ(dataLength("nchar(10)", SQLITE_TEXT, "ab\U0001F600", 0), 8);
    EXPECT_EQ(dataLength("", SQLITE_TEXT, "ab", 0), 4); // an expression's text is nvarchar
    EXPECT_EQ(dataLength("int", SQLITE_INTEGER, "", 7), 4);
    EXPECT_EQ(dataLength("tinyint", SQLITE_INTEGER, "", 7), 1);
    EXPECT_EQ(dataLength("bigint", SQLITE_INTEGER, "", 7), 8);
    EXPECT_EQ(dataLength("datetime", SQLITE_TEXT, "2011-03-15 00:00:00.000", 0), 8);
    EXPECT_EQ(dataLength("", SQLITE_INTEGER, "", 1LL << 40), 8);
    EXPECT_EQ(dataLength("varbinary(10)", SQLITE_BLOB, std::string("\0\1\2", 3), 0), 3);
}

// A lone surrogate from a client's UTF-16 survives the server's UTF-8 and goes back as it came.
TEST(TdsValues, LoneSurrogatesAreKeptAsSent)
{
    const std::string sent("a\0\x00\xD8"
                           "b\0\x00\xDC\x3D\xD8\x00\xDE",
                           12); // a, D800, b, DC00, U+1F600
    const std::string kept = utf16leToUtf8(sent);
    std::string back;
    EXPECT_EQ(appendUtf16le(back, kept), 6u);
    EXPECT_EQ(back, sent);
    EXPECT_EQ(utf16Length(kept), 6u);
    EXPECT_NE(compareCi(kept, utf16leToUtf8(std::string("a\0\xFD\xFF"
                                                        "b\0\xFD\xFF\x3D\xD8\x00\xDE",
                                                        12))),
              0);
}

struct TdsValuesTestDatabase
{
    static constexpr const char* name = "vals";
};
class TdsValuesTest : public OneDatabaseSuite<TdsValuesTestDatabase>
{
};

TEST_F(TdsValuesTest, ColumnValuesKeepSqlServersTypesThroughDbLib)
{
    const std::vector<ValueCase> cases = {
        {"int", "2147483647", "2147483647", {"2147483647", "'2147483647'"}, {"2147483646"}},
        {"int", "'  -12 '", "-12", {"-12", "'-12'"}, {"12"}},
        {"int", "2147483648", "", {}, {}, 8115},
        {"int", "'abc'", "", {}, {}, 245},
        {"int", "'1.5'", "", {}, {}, 245},
        {"int", "'99999999999'", "", {}, {}, 248},
        {"int", "0x01", "", {}, {}, 257},
        {"smallint", "-32769", "", {}, {}, 8115},
        // A number compared with a smaller whole-number type is not squeezed into it.
        {"tinyint", "255", "255", {"255", "'255'"}, {"-1", "256"}},
        {"tinyint", "-1", "", {}, {}, 8115},
        {"bigint", "9223372036854775807", "9223372036854775807", {"9223372036854775807"}, {"0"}},
        {"bit", "'TRUE'", "1", {"1", "'true'"}, {"0"}},
        {"bit", "7", "1", {"1"}, {"7"}},
        {"bit", "'yes'", "", {}, {}, 245},
        {"datetime",
         "'2011-03-15'",
         "Mar 15 2011 12:00:00:000AM",
         {"'2011-03-15 00:00:00.000'", "'2011-03-15T00:00:00'", "'20110315'", "'03/15/2011'",
          "'Mar 15 2011'"},
         {"'2011-03-15 00:00:00.003'", "'2011-03-16'"}},
        {"datetime",
         "'2011-03-15 10:00:00.002'",
         "Mar 15 2011 10:00:00:003AM",
         // The literal becomes a datetime too, so .002 is .003 on both sides.
         {"'2011-03-15 10:00:00.003'", "'2011-03-15 10:00:00.002'"},
         {"'2011-03-15 10:00:00'", "'2011-03-15 10:00:00.007'"}},
        {"datetime", "'2011-03-15 10:00:00.0025'", "", {}, {}, 241},
        {"datetime", "'15/03/2011'", "", {}, {}, 241},
        {"datetime", "'1752-12-31'", "", {}, {}, 242},
        {"smalldatetime",
         "'2011-03-15 10:29:31'",
         "Mar 15 2011 10:30:00:000AM",
         {"'2011-03-15 10:30'", "'2011-03-15 10:29:59'"},
         {"'2011-03-15 10:29'"}},
        {"date",
         "'20110315 10:00'",
         "Mar 15 2011 12:00:00:AM",
         {"'2011-03-15'", "'03/15/2011'"},
         {"'2011-03-16'"}},
        {"date", "'2011-02-30'", "", {}, {}, 241},
        {"real", "0.1", "0.100000001", {"0.1", "'0.1'", "CAST(0.1 AS real)"}, {"0.2"}},
        {"real", "1e39", "", {}, {}, 8115},
        {"float", "'abc'", "", {}, {}, 8114},
        {"varbinary(8)", "0x0102", "0102", {"0x0102"}, {"0x01", "0x"}},
        {"varbinary(8)", "0x", "*", {"0x"}, {"0x00"}},
        {"varbinary(8)", "'text'", "", {}, {}, 257},
        // decimal keeps its scale, rounded half away from zero from the digits as written; a number
        // compared with it is not rounded to its scale.
        {"decimal(5,2)", "2.675", "2.68", {"2.68", "'2.68'", "2.680"}, {"2.67", "2.675"}},
        {"decimal(5,2)", "'  -1.005 '", "-1.01", {"-1.01"}, {"-1.00", "-1.005"}},
        {"decimal(5,2)", "999.994", "999.99", {"999.99"}, {}},
        {"decimal(5,2)", "999.995", "", {}, {}, 8115},
        {"decimal(5,2)", "1000", "", {}, {}, 8115},
        {"decimal(5,2)", "'abc'", "", {}, {}, 8114},
        {"decimal(5,2)", "'1e2'", "", {}, {}, 8114},
        {"decimal(5,2)", "0x01", "", {}, {}, 257},
        {"numeric(18,0)", "'123456789012345678'", "123456789012345678", {"123456789012345678"}, {"0"}},
        {"numeric(10,0)", "12.5", "13", {"13"}, {"12.5"}},
        {"money", "12.34567", "12.3457", {"12.3457", "'12.3457'"}, {"12.3456"}},
        {"money", "922337203685478", "", {}, {}, 8115},
        {"smallmoney", "-214748.3648", "-214748.3648", {"-214748.3648"}, {}},
        {"smallmoney", "214748.3648", "", {}, {}, 8115},
        {"smallmoney", "'abc'", "", {}, {}, 235},
        {"nvarchar(10)", "N'Abc'", "Abc", {"'abc  '", "N'ABC'"}, {"'abd'"}},
        {"nvarchar(max)", "N'abc'", "abc", {"'ABC'"}, {"'abd'"}},
    };
    Client c(*s_server, "vals");
    ASSERT_TRUE(c.proc());
    expectValueCases(c, cases);
}

// A datetime RPC parameter (days and 1/300 s ticks, as db-lib sends it) equals the one instant however the
// row's text named it, and finds nothing a tick away.
TEST_F(TdsValuesTest, DateTimeParametersEqualTheStoredInstant)
{
    Client c(*s_server, "vals");
    ASSERT_TRUE(
        c.run("CREATE TABLE Births (Serial int, Born datetime);"
              "INSERT INTO Births VALUES (1, '2011-03-15'), (2, '20110315'), (3, '2011-03-15T00:00:00'), "
              "(4, '03/15/2011 12:00 AM'), (5, '2011-03-15 00:00:00.003')"));
    using namespace std::chrono;
    const auto days =
        static_cast<DBINT>((sys_days{year{2011} / 3 / 15} - sys_days{year{1900} / 1 / 1}).count());
    const std::string stmt = "SELECT COUNT(*) FROM Births WHERE Born = @P1";
    const std::string decl = "@P1 datetime";
    for (const auto& [ticks, count] :
         std::vector<std::pair<DBINT, std::string>>{{0, "4"}, {1, "1"}, {2, "0"}}) {
        DBDATETIME when{days, ticks};
        DBPROCESS* p = c.proc();
        ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
        dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
        dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBDATETIME, -1, -1, reinterpret_cast<BYTE*>(&when));
        ASSERT_EQ(dbrpcsend(p), kSucceed);
        ASSERT_EQ(dbsqlok(p), kSucceed);
        std::vector<ResultSet> rs;
        ASSERT_TRUE(c.drain(&rs));
        ASSERT_FALSE(rs.empty());
        EXPECT_EQ(rs[0].rows[0][0], count) << ticks << " ticks";
    }
}

// Texts compare as the database's collation has it even when no column takes part; DATALENGTH counts
// SQL Server's bytes; NUL inside a literal is a character like any other.
TEST_F(TdsValuesTest, LiteralsCompareUnderTheCollationAndCountSqlServersBytes)
{
    Client c(*s_server, "vals");
    struct Case
    {
        std::string expression;
        std::string value;
    };
    const Case cases[] = {
        {"CASE WHEN 'abc' = 'ABC  ' THEN 1 ELSE 0 END", "1"},
        {"CASE WHEN N'\u00C9t\u00E9' = N'\u00E9T\u00C9' THEN 1 ELSE 0 END", "1"},
        {"CASE WHEN 'abc' < 'ABD' THEN 1 ELSE 0 END", "1"},
        {"CASE WHEN 'a' = 'b' THEN 1 ELSE 0 END", "0"},
        {"CASE WHEN 2 = 2.0 THEN 1 ELSE 0 END", "1"},
        {"DATALENGTH(N'\u0631\u0633\u0645\u064A')", "8"},
        {"DATALENGTH('\u0631\u0633\u0645\u064A')", "4"},
        {"DATALENGTH(N'')", "0"},
        {"LEN('ab  ')", "2"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(scalar(c, "SELECT " + k.expression), k.value) << k.expression;
    ASSERT_TRUE(c.run("CREATE TABLE Texts (n nvarchar(10), v varchar(10), i int, d datetime)"));
    ASSERT_TRUE(c.run(
        "INSERT INTO Texts VALUES (N'\u0631\u0633\u0645\u064A', N'\u0631\u0633\u0645\u064A', 5, GETDATE())"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT DATALENGTH(n), DATALENGTH(v), DATALENGTH(i), DATALENGTH(d) FROM Texts", &rs));
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"8", "4", "4", "8"}));
}

// A text without N is varchar, and varchar holds only what code page 1256 holds: Persian digits and
// U+06CC become '?', U+06A9 and the Arabic letters stay. So a serial written in Persian digits is not
// found by a literal without N, and a varchar column keeps '?' for what it cannot hold.
TEST_F(TdsValuesTest, NonUnicodeTextHoldsOnlyTheCodePage)
{
    Client c(*s_server, "vals");
    const std::string digits = "\u06F1\u06F2\u06F3"; // Persian one, two, three
    const std::string yeh = "\u06CC";                // Persian yeh
    const std::string keheh = "\u06A9";              // in the code page (0x98)
    const std::string lost(4, '?');
    ASSERT_TRUE(c.run("CREATE TABLE Serials (k int, n nvarchar(20), v varchar(20))"));
    ASSERT_TRUE(c.run("INSERT INTO Serials VALUES (1, N'" + digits + yeh + "', N'" + digits + yeh +
                      "'), (2, '" + digits + yeh + "', '" + digits + yeh + "'), (3, '" + keheh + "', N'" +
                      keheh + "')"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT n, v FROM Serials ORDER BY k", &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{digits + yeh, lost}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{lost, lost}));
    EXPECT_EQ(rs[0].rows[2], (std::vector<std::string>{keheh, keheh}));
    struct Case
    {
        std::string where;
        std::string count;
    };
    const Case cases[] = {
        {"n = N'" + digits + yeh + "'", "1"},
        {"n = '" + digits + yeh + "'", "1"}, // the literal is '????', as row 2 keeps it
        {"k = 1 AND n = '" + digits + yeh + "'", "0"},
        {"n = '" + keheh + "'", "1"},
        {"n = N'" + keheh + "'", "1"},
        // Compared with a varchar column, an N literal is not narrowed: only the column's '?' matches '?'.
        {"v = N'" + digits + yeh + "'", "0"},
        {"v = N'" + lost + "'", "2"},
        {"v = '" + digits + yeh + "'", "2"},
        {"CAST(n AS varchar(20)) = N'" + lost + "'", "2"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Serials WHERE " + k.where), k.count) << k.where;
    EXPECT_EQ(scalar(c, "SELECT '" + digits + "' + N'" + digits + "'"), std::string(3, '?') + digits);
    // The same through pytds, whose texts go as nvarchar parameters: narrowed only into the varchar column.
    const std::string script = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='vals',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
s = '\u06f1\u06f2\u06f3\u06cc'
cur.execute('INSERT INTO Serials VALUES (4, %s, %s)', (s, s))
cur.execute('SELECT n, v FROM Serials WHERE k = 4')
print(cur.fetchall())
cur.execute('SELECT COUNT(*) FROM Serials WHERE n = %s', (s,))
print(cur.fetchall()[0][0])
cur.execute("SELECT COUNT(*) FROM Serials WHERE n = '" + s + "'")
print(cur.fetchall()[0][0])
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "[('" + digits + yeh + "', '" + lost + "')]\n2\n1\n");
}

// INSERT ... SELECT puts each value into its column as INSERT ... VALUES does: converted by the column's
// type or refused with the same error, and a statement refused for one row writes no row at all.
TEST_F(TdsValuesTest, InsertSelectConvertsEachValueAsValuesDoes)
{
    Client c(*s_server, "vals");
    ASSERT_TRUE(c.run("CREATE TABLE Src (k int, t nvarchar(20), f float);"
                      "INSERT INTO Src VALUES (1, N'12', 2.675), (2, N'20110315', 1.5), (3, N'abc', 1e300);"
                      "CREATE TABLE Dst (i int, d decimal(5,2), dt datetime, v varchar(10))"));
    struct Case
    {
        std::string insert;
        int error; // 0: stored
    };
    const Case cases[] = {
        {"INSERT INTO Dst (i, d) SELECT t, f FROM Src WHERE k = 1", 0},
        {"INSERT INTO Dst (dt, v) SELECT t, N'\u06F1x' FROM Src WHERE k = 2", 0},
        {"INSERT INTO Dst (i) SELECT t FROM Src", 245},  // the third row's 'abc'
        {"INSERT INTO Dst (d) SELECT f FROM Src", 8115}, // 1e300 in decimal(5,2)
        {"INSERT INTO Dst (i) SELECT 2147483648", 8115},
        {"INSERT INTO Dst (dt) SELECT N'15/03/2011'", 241},
        {"INSERT INTO Dst (i, d) SELECT k FROM Src", 120},
        {"INSERT INTO Dst (i) SELECT k, f FROM Src", 121},
        {"INSERT INTO Dst SELECT k FROM Src", 213},
    };
    for (const auto& k : cases) {
        const bool stored = c.run(k.insert);
        EXPECT_EQ(stored, k.error == 0) << k.insert;
        if (k.error) {
            EXPECT_EQ(g_msgs.empty() ? 0 : g_msgs.back().number, k.error) << k.insert;
        }
    }
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT i, d, dt, v FROM Dst ORDER BY i DESC", &rs));
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"12", "2.68", "NULL", "NULL"}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{"NULL", "NULL", "Mar 15 2011 12:00:00:000AM", "?x"}));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Dst WHERE dt = '2011-03-15T00:00:00'"), "1");
    // Through pytds, with the values as parameters.
    const std::string script = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='vals',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
def run(sql, params):
    try:
        cur.execute(sql, params)
        return 'stored'
    except pytds.Error as e:
        return str(getattr(e, 'msg_no', '?'))
print(run('INSERT INTO Dst (i, d) SELECT %s, %s', ('7', '1.005')))
print(run('INSERT INTO Dst (i) SELECT %s', ('seven',)))
print(run('INSERT INTO Dst (i) SELECT k * %s FROM Src', (1000000000,)))
cur.execute('SELECT i, d FROM Dst WHERE i = 7')
print(cur.fetchall())
cur.execute('SELECT COUNT(*) FROM Dst')
print(cur.fetchall()[0][0])
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "stored\n245\n8115\n[(7, Decimal('1.01'))]\n3\n");
}

// A CHECK constraint compares as a WHERE does: a bound beyond the column's type is no overflow, and a
// decimal bound is not rounded to the column's scale.
TEST_F(TdsValuesTest, ChecksCompareAsAWhereDoes)
{
    Client c(*s_server, "vals");
    ASSERT_TRUE(
        c.run("CREATE TABLE Checked (i int CHECK (i < 3000000000), d decimal(5,2) CHECK (d < 10.005))"));
    EXPECT_TRUE(c.run("INSERT INTO Checked VALUES (2147483647, 10.00)"));
    EXPECT_FALSE(c.run("INSERT INTO Checked VALUES (1, 10.01)"));
    EXPECT_EQ(g_msgs.empty() ? 0 : g_msgs.back().number, 547);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Checked"), "1");
}

// An expression column whose type the server cannot tell from the expression takes it from the first row
// with a value: a NULL first row once made it an int and every later text a 0.
TEST_F(TdsValuesTest, ANullFirstRowDoesNotDecideAnExpressionsType)
{
    Client c(*s_server, "vals");
    ASSERT_TRUE(c.run("CREATE TABLE Firsts (k int, s nvarchar(10), f float);"
                      "INSERT INTO Firsts VALUES (1, N'abc', 1.5), (2, N'de', 2.25), (3, NULL, NULL)"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(
        c.run("SELECT CASE WHEN k = 1 THEN NULL ELSE s END AS t, CASE WHEN k < 3 THEN NULL ELSE 7 END AS n, "
              "CASE WHEN k = 1 THEN NULL ELSE f END AS x, NULL AS z FROM Firsts ORDER BY k",
              &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[1][0], "de");
    EXPECT_NE(rs[0].types[0], SYBINT4);
    EXPECT_EQ(rs[0].rows[2][1], "7");
    EXPECT_EQ(rs[0].types[1], SYBINT4);
    EXPECT_EQ(rs[0].rows[1][2], "2.25");
    EXPECT_EQ(rs[0].types[2], SYBFLT8);
    EXPECT_EQ(rs[0].rows[0][3], "NULL");
    const std::string script = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='vals',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
cur.execute('SELECT CASE WHEN k = 1 THEN NULL ELSE s END, CASE WHEN k < 3 THEN NULL ELSE k * 2 END FROM Firsts '
            'WHERE k >= %s ORDER BY k', (1,))
print(cur.fetchall())
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "[(None, None), ('de', None), (None, 6)]\n");
}

// The same rules through pytds, whose parameters are its own: datetime, date and float parameters,
// binary parameters (pytds.Binary), text that breaks a column's type, (max) columns sent as PLP, and NUL
// inside a literal.
TEST_F(TdsValuesTest, PytdsValuesKeepSqlServersTypes)
{
    const std::string script = pytdsValueScript("vals") + R"PY(
cur.execute('CREATE TABLE Py (i int, t tinyint, d datetime, dd date, r real, vb varbinary(8), m nvarchar(max), vm varchar(max), bm varbinary(max))')
cur.execute("INSERT INTO Py (i, d, dd, r, vb) VALUES (%s, %s, %s, %s, %s)",
            (7, '20110315', '2011-03-15', 0.1, pytds.Binary(b'\x01\x02')))
print(one('SELECT COUNT(*) FROM Py WHERE d = %s', (datetime.datetime(2011, 3, 15),)))
print(one('SELECT COUNT(*) FROM Py WHERE d = %s', (datetime.datetime(2011, 3, 15, 0, 0, 1),)))
print(one('SELECT COUNT(*) FROM Py WHERE dd = %s', (datetime.date(2011, 3, 15),)))
print(one('SELECT d FROM Py'))
print(one('SELECT COUNT(*) FROM Py WHERE r = %s', (0.1,)))
print(one('SELECT COUNT(*) FROM Py WHERE vb = %s', (pytds.Binary(b'\x01\x02'),)))
print(one('SELECT COUNT(*) FROM Py WHERE vb = %s', (pytds.Binary(b'\x01'),)))
print(error('INSERT INTO Py (i) VALUES (%s)', (2 ** 31,)))
print(error('INSERT INTO Py (t) VALUES (%s)', (300,)))
print(error('INSERT INTO Py (i) VALUES (%s)', ('seven',)))
print(error('INSERT INTO Py (d) VALUES (%s)', ('2011-13-01',)))
print(error('UPDATE Py SET vb = %s', ('text',)))
print(one('SELECT COUNT(*) FROM Py'))
big = '\u0631' * 5000 + 'x' * 5000
cur.execute('UPDATE Py SET m = %s, vm = %s, bm = %s', (big, big, pytds.Binary(b'\x00' * 9000)))
cur.execute('SELECT m, vm, bm, LEN(m), DATALENGTH(vm) FROM Py')
row = cur.fetchone()
print(row[0] == big, row[1] == big, len(row[2]), row[3], row[4])
print(one("SELECT LEN('a\x00b') + DATALENGTH(N'a\x00b')"))
from decimal import Decimal
cur.execute('CREATE TABLE PyDec (d decimal(5,2), m money, s smallmoney)')
cur.execute('INSERT INTO PyDec VALUES (%s, %s, %s)', (Decimal('2.675'), Decimal('12.34567'), 3))
cur.execute('SELECT d, m, s FROM PyDec')
print(cur.fetchall())
print(one('SELECT COUNT(*) FROM PyDec WHERE d = %s AND m = %s', (Decimal('2.68'), Decimal('12.3457'))))
print(error('INSERT INTO PyDec (d) VALUES (%s)', (Decimal('999.995'),)))
print(error('INSERT INTO PyDec (s) VALUES (%s)', (Decimal('214748.3648'),)))
print(one('SELECT COUNT(*) FROM PyDec'))
)PY";
    const std::string out = runPython(script, s_server->port(), {s_server->password()});
    EXPECT_EQ(out, "1\n"
                   "0\n"
                   "1\n"
                   "2011-03-15 00:00:00\n"
                   "1\n"
                   "1\n"
                   "0\n"
                   "8115\n"
                   "8115\n"
                   "245\n"
                   "241\n"
                   "257\n"
                   "1\n"
                   "True True 9000 10000 10000\n"
                   "9\n"
                   "[(Decimal('2.68'), Decimal('12.3457'), Decimal('3'))]\n"
                   "1\n"
                   "8115\n"
                   "8115\n"
                   "1\n");
}

} // namespace
