// time, datetime2 and datetimeoffset: the texts as SQL Server reads them, rounded to the column's scale,
// then tables of (column type, value sent, value read, comparisons that must and must not match) through
// FreeTDS db-lib and pytds, with literals and with typed parameters.
#include "dblibclient.h"
#include "tdsserver.h"
#include "tools/tds-server/datetime.h"
#include "tools/tds-server/precisetime.h"
#include "tools/tds-server/values.h"
#include "valuetable.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;
using namespace rimo::tds;

namespace {

TEST(TdsPreciseTime, TextsReadAsSqlServerReadsThemRoundedToTheScale)
{
    struct Case
    {
        const char* text;
        SqlType type;
        int scale;
        const char* kept; // nullptr: refused with `error`
        int error;
    };
    const SqlType T = SqlType::Time, D2 = SqlType::DateTime2, DO = SqlType::DateTimeOffset;
    const Case cases[] = {
        {"12:34:56.5", T, 0, "12:34:57.0000000", 0},
        {"12:34:56.5", T, 1, "12:34:56.5000000", 0},
        {"12:34:56.49", T, 0, "12:34:56.0000000", 0},
        {"12:34:56.50", T, 0, "12:34:57.0000000", 0},
        {"12:34:56.1234567", T, 7, "12:34:56.1234567", 0},
        {"12:34:56.1234567", T, 3, "12:34:56.1230000", 0},
        {"12:34:56.1235", T, 3, "12:34:56.1240000", 0},
        {"1:05 PM", T, 7, "13:05:00.0000000", 0},
        {"2011-03-15 12:34", T, 7, "12:34:00.0000000", 0}, // the time of a date and time
        {"20110315", T, 7, "00:00:00.0000000", 0},
        {"", T, 7, "00:00:00.0000000", 0},
        // Rounding past the last unit of the day wraps a time to midnight and moves a datetime2 on a day.
        {"23:59:59.9999999", T, 7, "23:59:59.9999999", 0},
        {"23:59:59.9999999", T, 6, "00:00:00.0000000", 0},
        {"2011-03-15 23:59:59.5", D2, 0, "2011-03-16 00:00:00.0000000", 0},
        {"2011-12-31 23:59:59.99999999", D2, 7, nullptr, 241}, // eight digits
        {"2011-03-15", D2, 7, "2011-03-15 00:00:00.0000000", 0},
        {"2011-03-15T10:00:00.1234567", D2, 7, "2011-03-15 10:00:00.1234567", 0},
        {"2011-03-15 10:00:00.12", D2, 7, "2011-03-15 10:00:00.1200000", 0},
        {"20110315 10:00", D2, 7, "2011-03-15 10:00:00.0000000", 0},
        {"3/15/2011 10:00 PM", D2, 7, "2011-03-15 22:00:00.0000000", 0},
        {"03-15-2011", D2, 7, "2011-03-15 00:00:00.0000000", 0},
        {"03.15.2011", D2, 7, "2011-03-15 00:00:00.0000000", 0},
        {"Mar 15 2011", D2, 7, "2011-03-15 00:00:00.0000000", 0},
        {"10:00", D2, 7, "1900-01-01 10:00:00.0000000", 0},
        {"2011-03-15 10:00 +03:30", D2, 7, "2011-03-15 10:00:00.0000000", 0}, // the offset is dropped
        {"0001-01-01", D2, 7, "0001-01-01 00:00:00.0000000", 0},
        {"9999-12-31 23:59:59.9999999", D2, 7, "9999-12-31 23:59:59.9999999", 0},
        {"9999-12-31 23:59:59.5", D2, 0, nullptr, 242},
        {"15/03/2011", D2, 7, nullptr, 241},
        {"0000-12-31", D2, 7, nullptr, 241},
        {"2011-02-29", D2, 7, nullptr, 241},
        {"2011-03-15 10:00 +01", D2, 7, nullptr, 241},
        // datetimeoffset keeps its local time and offset (+00:00 when none is given) ...
        {"2011-03-15 10:00:00.5 +03:30", DO, 7, "2011-03-15 10:00:00.5000000 +03:30", 0},
        {"2011-03-15T10:00:00-05:00", DO, 0, "2011-03-15 10:00:00.0000000 -05:00", 0},
        {"2011-03-15T10:00:00Z", DO, 7, "2011-03-15 10:00:00.0000000 +00:00", 0},
        {"2011-03-15", DO, 7, "2011-03-15 00:00:00.0000000 +00:00", 0},
        {"2011-03-15 10:00 +14:00", DO, 7, "2011-03-15 10:00:00.0000000 +14:00", 0},
        {"2011-03-15 10:00 -14:00", DO, 7, "2011-03-15 10:00:00.0000000 -14:00", 0},
        // ... within 14 hours of UTC, and a UTC instant within 0001-01-01..9999-12-31.
        {"2011-03-15 10:00 +14:01", DO, 7, nullptr, 241},
        {"2011-03-15 10:00 -15:00", DO, 7, nullptr, 241},
        {"2011-03-15 10:00 +01:60", DO, 7, nullptr, 241},
        {"0001-01-01 00:00 +01:00", DO, 7, nullptr, 242},
        {"9999-12-31 23:00 -05:00", DO, 7, nullptr, 242},
        {"0001-01-01 00:00 -01:00", DO, 7, "0001-01-01 00:00:00.0000000 -01:00", 0},
    };
    for (const auto& c : cases) {
        int error = 0;
        const auto kept = storedPreciseTime(c.text, c.type, c.scale, error);
        const std::string what = "'" + std::string(c.text) + "' scale " + std::to_string(c.scale);
        if (c.kept) {
            EXPECT_EQ(kept.value_or("<refused>"), c.kept) << what;
        } else {
            EXPECT_FALSE(kept.has_value()) << what << " kept as " << *kept;
            EXPECT_EQ(error, c.error) << what;
        }
    }
}

// The kept texts sort as the instants do (datetimeoffset by its UTC instant under RIMO_DTO), and every
// date and time type reads the seven-digit form parameters arrive in.
TEST(TdsPreciseTime, KeptTextsOrderAsTheirInstants)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    registerPreciseTimeCollation(db);
    struct Case
    {
        const char* a;
        const char* b;
        int order; // sign of a compared with b
    };
    const Case cases[] = {
        {"2011-03-15 10:00:00.0000000 +03:30", "2011-03-15 06:30:00.0000000 +00:00", 0},
        {"2011-03-15 10:00:00.0000000 +03:30", "2011-03-14 20:30:00.0000000 -10:00", 0},
        {"2011-03-15 10:00:00.0000000 +03:30", "2011-03-15 06:30:00.0000001 +00:00", -1},
        {"2011-03-15 10:00:00.0000000 +14:00", "2011-03-14 21:00:00.0000000 -14:00", -1},
        {"2011-03-16 00:00:00.0000000 +01:00", "2011-03-15 23:30:00.0000000 +00:00", -1},
    };
    for (const auto& c : cases) {
        const std::string sql = std::string("SELECT (? COLLATE RIMO_DTO > ?) - (? COLLATE RIMO_DTO < ?)");
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
        for (int k = 0; k < 4; ++k)
            sqlite3_bind_text(st, k + 1, k % 2 == 0 ? c.a : c.b, -1, SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), c.order) << c.a << " vs " << c.b;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    int error = 0;
    EXPECT_EQ(storedDateTime("2011-03-15 10:00:00.0033333", SqlType::DateTime, error).value_or(""),
              "2011-03-15 10:00:00.003");
    EXPECT_EQ(storedDateTime("10:00:00.0000000", SqlType::DateTime, error).value_or(""),
              "1900-01-01 10:00:00.000");
    EXPECT_FALSE(storedDateTime("2011-03-15 10:00:00.0025", SqlType::DateTime, error).has_value());
    EXPECT_EQ(dataLength("time(7)", SQLITE_TEXT, "", 0), 5);
    EXPECT_EQ(dataLength("time(2)", SQLITE_TEXT, "", 0), 3);
    EXPECT_EQ(dataLength("datetime2(4)", SQLITE_TEXT, "", 0), 7);
    EXPECT_EQ(dataLength("datetimeoffset(7)", SQLITE_TEXT, "", 0), 10);
}

struct TdsPreciseTimeTestDatabase
{
    static constexpr const char* name = "times";
};
class TdsPreciseTimeTest : public OneDatabaseSuite<TdsPreciseTimeTestDatabase>
{
};

TEST_F(TdsPreciseTimeTest, ColumnValuesKeepTheirTypesThroughDbLib)
{
    const std::vector<ValueCase> cases = {
        {"time(0)",
         "'12:34:56.5'",
         "Jan  1 1900 12:34:57:PM",
         {"'12:34:57'", "'12:34:56.5'", "'1900-01-01 12:34:57'"},
         {"'12:34:56'", "'12:34:58'"}},
        {"time",
         "'23:59:59.9999999'",
         "Jan  1 1900 11:59:59:9999999PM",
         {"'23:59:59.9999999'", "'11:59:59.9999999 PM'"},
         {"'23:59:59.9999998'", "'00:00:00'"}},
        {"time(3)", "'23:59:59.9999'", "Jan  1 1900 12:00:00:000AM", {"'00:00:00'"}, {"'23:59:59.999'"}},
        {"time", "'24:00:00'", "", {}, {}, 241},
        {"time", "'12:34:56.12345678'", "", {}, {}, 241},
        {"time", "12", "", {}, {}, 206},
        {"datetime2",
         "'2011-03-15'",
         "Mar 15 2011 12:00:00:0000000AM",
         {"'2011-03-15 00:00:00.0000000'", "'2011-03-15T00:00:00'", "'20110315'", "'03/15/2011'",
          "'Mar 15 2011'", "'3-15-2011'", "'3.15.2011'"},
         {"'2011-03-15 00:00:00.0000001'", "'2011-03-16'"}},
        {"datetime2(3)",
         "'2011-03-15 10:00:00.1235'",
         "Mar 15 2011 10:00:00:124AM",
         {"'2011-03-15 10:00:00.124'"},
         {"'2011-03-15 10:00:00.123'", "'2011-03-15 10:00:00.125'"}},
        {"datetime2(0)",
         "'2011-03-15 23:59:59.5'",
         "Mar 16 2011 12:00:00:AM",
         {"'2011-03-16'"},
         {"'2011-03-15'"}},
        {"datetime2",
         "'0001-01-01'",
         "Jan  1 1 12:00:00:0000000AM",
         {"'0001-01-01 00:00'"},
         {"'0001-01-02'"}},
        {"datetime2",
         "'9999-12-31 23:59:59.9999999'",
         "Dec 31 9999 11:59:59:9999999PM",
         {"'9999-12-31T23:59:59.9999999'"},
         {"'9999-12-31 23:59:59.9999998'"}},
        {"datetime2(0)", "'9999-12-31 23:59:59.5'", "", {}, {}, 242},
        {"datetime2", "'15/03/2011'", "", {}, {}, 241},
        {"datetime2", "'10000-01-01'", "", {}, {}, 241},
        {"datetime2", "0x01", "", {}, {}, 257},
        // Equal when the UTC instants are, whatever the offsets; no offset is +00:00.
        {"datetimeoffset",
         "'2011-03-15 10:00:00 +03:30'",
         "Mar 15 2011 10:00:00:0000000AM",
         {"'2011-03-15 06:30:00 +00:00'", "'2011-03-15T06:30:00Z'", "'2011-03-15 06:30'",
          "'2011-03-14 20:30:00 -10:00'"},
         {"'2011-03-15 10:00:00'", "'2011-03-15 10:00:00 -03:30'"}},
        {"datetimeoffset(0)",
         "'2011-03-15 10:00:00.5 +14:00'",
         "Mar 15 2011 10:00:01:AM",
         {"'2011-03-14 20:00:01 +00:00'"},
         {"'2011-03-15 10:00:01'"}},
        {"datetimeoffset(3)",
         "'2011-03-15 10:00 -14:00'",
         "Mar 15 2011 10:00:00:000AM",
         {"'2011-03-16 00:00 +00:00'"},
         {"'2011-03-15 10:00 +14:00'"}},
        {"datetimeoffset", "'2011-03-15 10:00 +14:01'", "", {}, {}, 241},
        {"datetimeoffset", "'2011-03-15 10:00 -15:00'", "", {}, {}, 241},
        {"datetimeoffset", "'0001-01-01 00:00 +01:00'", "", {}, {}, 242},
    };
    Client c(*s_server, "times");
    ASSERT_TRUE(c.proc());
    expectValueCases(c, cases);
}

// A date and time as db-lib sends it: days since 1900-01-01 and 100 ns units since midnight (UTC for a
// datetimeoffset, with its offset in minutes).
DBDATETIMEALL when(int days1900, uint64_t units, int offset = 0, bool hasOffset = false, bool hasDate = true)
{
    DBDATETIMEALL w{};
    w.time = units;
    w.date = days1900;
    w.offset = static_cast<DBSMALLINT>(offset);
    w.time_prec = 7;
    w.has_time = 1;
    w.has_date = hasDate ? 1 : 0;
    w.has_offset = hasOffset ? 1 : 0;
    return w;
}

// Typed RPC parameters of each type (and datetime) compared with columns of each type: kept to 100 ns
// and their offset, they find the one row and nothing a unit away.
TEST_F(TdsPreciseTimeTest, TypedParametersCompareAtTheirFullPrecision)
{
    constexpr uint64_t kSecond = 10000000;
    constexpr uint64_t kTen = 10 * 3600 * kSecond; // 10:00
    const int march15 = static_cast<int>(daysFromCivil(2011, 3, 15) - daysFromCivil(1900, 1, 1));
    struct Case
    {
        std::string column; // type
        std::string stored; // literal
        std::string decl;   // parameter's declared type
        int type;           // db-lib type of the parameter
        DBDATETIMEALL value;
        std::string count;
    };
    const std::vector<Case> cases = {
        {"time", "'10:00:00.1234567'", "time", SYBMSTIME, when(0, kTen + 1234567, 0, false, false), "1"},
        {"time", "'10:00:00.1234567'", "time", SYBMSTIME, when(0, kTen + 1234568, 0, false, false), "0"},
        {"time(0)", "'12:34:56.5'", "time", SYBMSTIME,
         when(0, (12 * 3600 + 34 * 60 + 57) * kSecond, 0, false, false), "1"},
        {"datetime2", "'2011-03-15 10:00:00.1234567'", "datetime2", SYBMSDATETIME2,
         when(march15, kTen + 1234567), "1"},
        {"datetime2", "'2011-03-15 10:00:00.1234567'", "datetime2", SYBMSDATETIME2,
         when(march15, kTen + 1234566), "0"},
        {"datetime2", "'2011-03-15 10:00:00.1234567'", "datetime2", SYBMSDATETIME2,
         when(march15 + 1, kTen + 1234567), "0"},
        {"datetime2(0)", "'0001-01-01'", "datetime2", SYBMSDATETIME2,
         when(static_cast<int>(daysFromCivil(1, 1, 1) - daysFromCivil(1900, 1, 1)), 0), "1"},
        {"date", "'2011-03-15'", "datetime2", SYBMSDATETIME2, when(march15, 0), "1"},
        // Stored at +03:30, found by the same instant at any offset.
        {"datetimeoffset", "'2011-03-15 10:00:00 +03:30'", "datetimeoffset", SYBMSDATETIMEOFFSET,
         when(march15, kTen - 210 * 60 * kSecond, 210, true), "1"},
        {"datetimeoffset", "'2011-03-15 10:00:00 +03:30'", "datetimeoffset", SYBMSDATETIMEOFFSET,
         when(march15, kTen - 210 * 60 * kSecond, 0, true), "1"},
        {"datetimeoffset", "'2011-03-15 10:00:00 +03:30'", "datetimeoffset", SYBMSDATETIMEOFFSET,
         when(march15, kTen - 210 * 60 * kSecond, -840, true), "1"},
        {"datetimeoffset", "'2011-03-15 10:00:00 +03:30'", "datetimeoffset", SYBMSDATETIMEOFFSET,
         when(march15, kTen, 210, true), "0"},
    };
    Client c(*s_server, "times");
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& k = cases[i];
        const std::string table = "P" + std::to_string(i);
        const std::string what = k.column + " " + k.stored + " = @P1 " + k.decl + " #" + std::to_string(i);
        ASSERT_TRUE(c.run("CREATE TABLE " + table + " (c " + k.column + "); INSERT INTO " + table +
                          " VALUES (" + k.stored + ")"))
            << what;
        const std::string stmt = "SELECT COUNT(*) FROM " + table + " WHERE c = @P1";
        const std::string decl = "@P1 " + k.decl;
        DBDATETIMEALL value = k.value;
        DBPROCESS* p = c.proc();
        ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
        dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
        dbrpcparam(p, const_cast<char*>("@P1"), 0, k.type, -1, static_cast<DBINT>(sizeof value),
                   reinterpret_cast<BYTE*>(&value));
        ASSERT_EQ(dbrpcsend(p), kSucceed) << what;
        ASSERT_EQ(dbsqlok(p), kSucceed) << what;
        std::vector<ResultSet> rs;
        ASSERT_TRUE(c.drain(&rs)) << what << ": " << (g_msgs.empty() ? "" : g_msgs.back().text);
        ASSERT_FALSE(rs.empty()) << what;
        EXPECT_EQ(rs[0].rows[0][0], k.count) << what;
    }
    // A datetime parameter (days and 1/300 s ticks) against the new types.
    ASSERT_TRUE(c.run("CREATE TABLE PD (t time, d2 datetime2, dto datetimeoffset);"
                      "INSERT INTO PD VALUES ('10:00', '2011-03-15 10:00', '2011-03-15 10:00 +00:00')"));
    for (const auto& [column, count] :
         std::vector<std::pair<std::string, std::string>>{{"d2", "1"}, {"dto", "1"}}) {
        const std::string stmt = "SELECT COUNT(*) FROM PD WHERE " + column + " = @P1";
        const std::string decl = "@P1 datetime";
        DBDATETIME dt{march15, 10 * 3600 * 300};
        DBPROCESS* p = c.proc();
        ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
        dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
        dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBDATETIME, -1, -1, reinterpret_cast<BYTE*>(&dt));
        ASSERT_EQ(dbrpcsend(p), kSucceed);
        ASSERT_EQ(dbsqlok(p), kSucceed);
        std::vector<ResultSet> rs;
        ASSERT_TRUE(c.drain(&rs)) << column;
        ASSERT_FALSE(rs.empty());
        EXPECT_EQ(rs[0].rows[0][0], count) << column;
    }
}

// The catalogue shows the types and their scales as SQL Server does; a datetimeoffset column sorts and
// groups by its UTC instant; clients before TDS 7.3 read the values as SQL Server's nvarchar texts.
TEST_F(TdsPreciseTimeTest, CatalogueOrderAndOldClients)
{
    Client c(*s_server, "times");
    ASSERT_TRUE(c.run("CREATE TABLE Shown (t time(3), d2 datetime2(0), dto datetimeoffset, d datetime, sd "
                      "smalldatetime, dd date, t7 time)"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT COLUMN_NAME, DATA_TYPE, DATETIME_PRECISION FROM INFORMATION_SCHEMA.COLUMNS "
                      "WHERE TABLE_NAME = 'Shown' ORDER BY ORDINAL_POSITION",
                      &rs));
    ASSERT_EQ(rs[0].rows.size(), 7u);
    const std::vector<std::vector<std::string>> expected = {
        {"t", "time", "3"},     {"d2", "datetime2", "0"},     {"dto", "datetimeoffset", "7"},
        {"d", "datetime", "3"}, {"sd", "smalldatetime", "0"}, {"dd", "date", "0"},
        {"t7", "time", "7"}};
    EXPECT_EQ(rs[0].rows, expected);

    ASSERT_TRUE(c.run(
        "CREATE TABLE Zones (k int, v datetimeoffset(0));"
        "INSERT INTO Zones VALUES (1, '2011-03-15 10:00 +03:30'), (2, '2011-03-15 07:00 +00:00'), "
        "(3, '2011-03-14 21:00 -10:00'), (4, '2011-03-15 06:30 +00:00'), (5, '2011-03-15 00:00 +14:00')"));
    rs.clear();
    ASSERT_TRUE(c.run("SELECT k FROM Zones ORDER BY v, k", &rs));
    std::vector<std::string> order;
    for (const auto& row : rs[0].rows)
        order.push_back(row[0]);
    // UTC: 5 10:00 the day before, 1 and 4 06:30, 2 07:00, 3 07:00.
    EXPECT_EQ(order, (std::vector<std::string>{"5", "1", "4", "2", "3"}));
    EXPECT_EQ(scalar(c, "SELECT COUNT(DISTINCT v) FROM Zones"), "3");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Zones WHERE v > '2011-03-15 06:30 +00:00'"), "2");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Zones WHERE v BETWEEN '2011-03-15 10:00 +03:30' AND "
                        "'2011-03-15 08:00 +01:00'"),
              "4");
    EXPECT_EQ(scalar(c, "SELECT DATALENGTH(v) FROM Zones WHERE k = 1"), "8");

    ASSERT_TRUE(c.run("CREATE TABLE Old (t time(3), d2 datetime2(0), dto datetimeoffset);"
                      "INSERT INTO Old VALUES ('12:34:56.1235', '2011-03-15 23:59:59.5', "
                      "'2011-03-15 10:00:00.1234567 -03:30'), (NULL, NULL, NULL)"));
    Client old(*s_server, "times", {}, "sa", DBVERSION_72);
    rs.clear();
    ASSERT_TRUE(old.run("SELECT t, d2, dto FROM Old", &rs));
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].types, (std::vector<int>{SYBCHAR, SYBCHAR, SYBCHAR})); // nvarchar, as db-lib names it
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"12:34:56.124", "2011-03-16 00:00:00",
                                                       "2011-03-15 10:00:00.1234567 -03:30"}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{"NULL", "NULL", "NULL"}));
}

// The same rules through pytds, whose parameters are its own: datetime.time, datetime.datetime (sent as
// datetime2) and an aware datetime (datetimeoffset); values written by parameter read back as sent.
TEST_F(TdsPreciseTimeTest, PytdsParametersAndValues)
{
    const std::string script = pytdsValueScript("times") + R"PY(
tz = lambda minutes: datetime.timezone(datetime.timedelta(minutes=minutes))
cur.execute('CREATE TABLE Py (k int, t time(0), t7 time, d2 datetime2, d3 datetime2(3), dto datetimeoffset)')
cur.execute('INSERT INTO Py VALUES (%s, %s, %s, %s, %s, %s)',
            (1, datetime.time(12, 34, 56, 500000), datetime.time(23, 59, 59, 999999),
             datetime.datetime(2011, 3, 15, 10, 0, 0, 123456), datetime.datetime(2011, 3, 15, 10, 0, 0, 123456),
             datetime.datetime(2011, 3, 15, 10, 0, 0, 500000, tzinfo=tz(210))))
cur.execute("INSERT INTO Py VALUES (2, '00:00', '00:00', '0001-01-01', '9999-12-31 23:59:59.999', "
            "'9999-12-31 23:59:59.9999999 +00:00')")
cur.execute('INSERT INTO Py (k) VALUES (3)')
cur.execute('SELECT t, t7, d2, d3, dto FROM Py ORDER BY k')
for row in cur.fetchall():
    print(*[v.isoformat() if v is not None else None for v in row])
print(one('SELECT COUNT(*) FROM Py WHERE t = %s', (datetime.time(12, 34, 57),)))
print(one('SELECT COUNT(*) FROM Py WHERE t7 = %s', (datetime.time(23, 59, 59, 999999),)))
print(one('SELECT COUNT(*) FROM Py WHERE d2 = %s', (datetime.datetime(2011, 3, 15, 10, 0, 0, 123456),)))
print(one('SELECT COUNT(*) FROM Py WHERE d2 = %s', (datetime.datetime(2011, 3, 15, 10, 0, 0, 123457),)))
print(one('SELECT COUNT(*) FROM Py WHERE d3 = %s', (datetime.datetime(2011, 3, 15, 10, 0, 0, 123000),)))
print(one('SELECT COUNT(*) FROM Py WHERE dto = %s',
          (datetime.datetime(2011, 3, 15, 6, 30, 0, 500000, tzinfo=datetime.timezone.utc),)))
print(one('SELECT COUNT(*) FROM Py WHERE dto = %s',
          (datetime.datetime(2011, 3, 15, 10, 0, 0, 500000, tzinfo=datetime.timezone.utc),)))
print(one('SELECT COUNT(*) FROM Py WHERE d2 = %s', ('2011-03-15T10:00:00.123456',)))
cur.execute("CREATE TABLE PyOld (d datetime, dd date)")
cur.execute("INSERT INTO PyOld VALUES ('2011-03-15 10:00', '2011-03-15')")
print(one('SELECT COUNT(*) FROM PyOld WHERE d = %s AND dd = %s',
          (datetime.datetime(2011, 3, 15, 10, 0, tzinfo=tz(210)), datetime.datetime(2011, 3, 15, tzinfo=tz(-60)))))
print(error("INSERT INTO PyOld (d) VALUES ('2011-03-15 10:00 +03:30')"))
print(error('INSERT INTO Py (d2) VALUES (%s)', ('15/03/2011',)))
print(error('INSERT INTO Py (dto) VALUES (%s)', ('2011-03-15 10:00 +15:00',)))
print(error('INSERT INTO Py (d3) VALUES (%s)', ('9999-12-31 23:59:59.9999',)))
print(one('SELECT COUNT(*) FROM Py'))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "12:34:57 23:59:59.999999 2011-03-15T10:00:00.123456 2011-03-15T10:00:00.123000 "
              "2011-03-15T10:00:00.500000+03:30\n"
              "00:00:00 00:00:00 0001-01-01T00:00:00 9999-12-31T23:59:59.999000 "
              "9999-12-31T23:59:59.999999+00:00\n"
              "None None None None None\n"
              "1\n"
              "1\n"
              "1\n"
              "0\n"
              "1\n"
              "1\n"
              "0\n"
              "1\n"
              "1\n"
              "241\n"
              "241\n"
              "241\n"
              "242\n"
              "3\n");
}

} // namespace
