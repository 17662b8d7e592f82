// Tables of column values through db-lib: a column of a type gets a value, and what reads back, what it
// must and must not equal, or the error that refuses it, are checked case by case.
#pragma once

#include "dblibclient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rimo::testsupport::dblib {

// The first value of the last result set of `sql`, or "<no value>".
inline std::string scalarOf(Client& c, const std::string& sql)
{
    std::vector<ResultSet> rs;
    EXPECT_TRUE(c.run(sql, &rs)) << sql << ": " << (g_msgs.empty() ? "" : g_msgs.back().text);
    if (rs.empty() || rs.back().rows.empty() || rs.back().rows[0].empty())
        return "<no value>";
    return rs.back().rows[0][0];
}

// The start of a pytds script on database `database` (port and password as its arguments): a cursor
// `cur`, `one(sql, params)` for the first value of the first row, and `error(sql, params)` for the
// number of the error that refuses a statement ('stored' when none does).
inline std::string pytdsValueScript(const std::string& database)
{
    return R"PY(
import datetime, pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database=')PY" +
           database + R"PY(',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
def one(sql, params=None):
    cur.execute(sql, params)
    return cur.fetchall()[0][0]
def error(sql, params=None):
    try:
        cur.execute(sql, params)
        return 'stored'
    except pytds.Error as e:
        return str(getattr(e, 'msg_no', '?'))
)PY";
}

// A suite sharing one test server with one database, `Database::name`, made before its first test.
template <class Database> class OneDatabaseSuite : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new TdsServer();
        s_server->exec(std::string("CREATE DATABASE ") + Database::name);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    static std::string scalar(Client& c, const std::string& sql) { return scalarOf(c, sql); }
    static inline TdsServer* s_server = nullptr;
};

// One row of a column of `type` holding `sent` (a T-SQL literal): what db-lib reads back ("*": not read),
// the literals a comparison with the column must match and must not match; or the error that refuses
// the value, which then is never stored.
struct ValueCase
{
    std::string type;
    std::string sent;
    std::string read;
    std::vector<std::string> match;
    std::vector<std::string> noMatch;
    int error = 0;
};

// Each case in a table of its own (V0, V1, ...) of the client's database; a refused value is refused
// by UPDATE too.
inline void expectValueCases(Client& c, const std::vector<ValueCase>& cases)
{
    for (size_t i = 0; i < cases.size(); ++i) {
        const ValueCase& k = cases[i];
        const std::string table = "V" + std::to_string(i);
        const std::string what = k.type + " <- " + k.sent;
        ASSERT_TRUE(c.run("CREATE TABLE " + table + " (c " + k.type + ")")) << what;
        const bool stored = c.run("INSERT INTO " + table + " VALUES (" + k.sent + ")");
        if (k.error) {
            EXPECT_FALSE(stored) << what;
            EXPECT_EQ(g_msgs.empty() ? 0 : g_msgs.back().number, k.error) << what;
            EXPECT_EQ(scalarOf(c, "SELECT COUNT(*) FROM " + table), "0") << what;
            ASSERT_TRUE(c.run("INSERT INTO " + table + " VALUES (NULL)")) << what;
            EXPECT_FALSE(c.run("UPDATE " + table + " SET c = " + k.sent)) << what;
            EXPECT_EQ(g_msgs.empty() ? 0 : g_msgs.back().number, k.error) << what;
            continue;
        }
        ASSERT_TRUE(stored) << what << ": " << (g_msgs.empty() ? "" : g_msgs.back().text);
        if (k.read != "*") { // db-lib shows no empty binary value
            EXPECT_EQ(scalarOf(c, "SELECT c FROM " + table), k.read) << what;
        }
        for (const auto& m : k.match)
            EXPECT_EQ(scalarOf(c, "SELECT COUNT(*) FROM " + table + " WHERE c = " + m), "1")
                << what << " = " << m;
        for (const auto& m : k.noMatch)
            EXPECT_EQ(scalarOf(c, "SELECT COUNT(*) FROM " + table + " WHERE c = " + m), "0")
                << what << " = " << m;
    }
}

} // namespace rimo::testsupport::dblib
