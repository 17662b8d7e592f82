// The forms of set-based and batched writes, through FreeTDS db-lib and pytds: ROW_NUMBER(), RANK() and
// DENSE_RANK() OVER (PARTITION BY ... ORDER BY ...), common table expressions before SELECT, INSERT,
// UPDATE and DELETE, UPDATE ... FROM as SQL Server binds its target, SQL Server's errors for their misuse,
// and one sp_executesql RPC of 500 parameterised UPDATEs (2,100 parameters at most).
#include "dblibclient.h"
#include "tdsserver.h"
#include "valuetable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

// Every row of the last result of `sql`, its values joined by '|', the rows by ' '; or "E<number>" for the
// error that refuses it.
std::string rowsOf(Client& c, const std::string& sql)
{
    std::vector<ResultSet> rs;
    if (!c.run(sql, &rs)) {
        for (const auto& m : g_msgs)
            if (m.severity > 10)
                return "E" + std::to_string(m.number);
        return "E?";
    }
    std::string out;
    for (const auto& r : rs)
        for (const auto& row : r.rows) {
            std::string line;
            for (const auto& v : row)
                line += (line.empty() ? "" : "|") + v;
            out += (out.empty() ? "" : " ") + line;
        }
    return out;
}

// Recordings of two cows, in no order: (ID, Serial, RDate, RecSeq).
constexpr const char* kRecordings =
    "CREATE TABLE Rec (ID int IDENTITY PRIMARY KEY, Serial nvarchar(10), RDate char(10), RecSeq int, "
    "Note nvarchar(20));"
    "INSERT INTO Rec (Serial, RDate) VALUES ('a', '1390/01/02'), ('a', '1390/01/01'), ('b', '1390/01/05'), "
    "('a', '1390/02/01'), ('b', '1390/01/01'), ('b', '1390/01/05')";

struct Case
{
    const char* sql;
    const char* answer;
};

struct TdsSetFormsDatabase
{
    static constexpr const char* name = "herd";
};
class TdsSetFormsTest : public OneDatabaseSuite<TdsSetFormsDatabase>
{
protected:
    void SetUp() override
    {
        Client c(*s_server, "herd");
        ASSERT_TRUE(c.run("DROP TABLE IF EXISTS Rec"));
        ASSERT_TRUE(c.run(kRecordings));
    }
};

TEST_F(TdsSetFormsTest, RankingFunctionsNumberRowsAndRefuseMisuse)
{
    const Case cases[] = {
        {"SELECT ID, ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY RDate, ID) FROM Rec ORDER BY ID",
         "1|2 2|1 3|2 4|3 5|1 6|3"},
        {"SELECT ID, RANK() OVER (PARTITION BY Serial ORDER BY RDate), DENSE_RANK() OVER (ORDER BY RDate "
         "DESC) "
         "FROM Rec ORDER BY ID",
         "1|2|3 2|1|4 3|2|2 4|3|1 5|1|4 6|2|2"},
        {"SELECT TOP 2 ID FROM Rec ORDER BY ROW_NUMBER() OVER (ORDER BY RDate DESC, ID)", "4 3"},
        {"SELECT COUNT(*) FROM (SELECT ID, ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY ID) AS n FROM "
         "Rec) x "
         "WHERE x.n = 1",
         "2"},
        {"SELECT ROW_NUMBER() FROM Rec", "E10753"},
        {"SELECT RANK(1) FROM Rec", "E10753"},
        {"SELECT ROW_NUMBER(1) OVER (ORDER BY ID) FROM Rec", "E174"},
        {"SELECT ROW_NUMBER() OVER (PARTITION BY Serial) FROM Rec", "E4112"},
        {"SELECT ROW_NUMBER() OVER (ORDER BY ID ROWS UNBOUNDED PRECEDING) FROM Rec", "E10752"},
        {"SELECT ID FROM Rec WHERE ROW_NUMBER() OVER (ORDER BY ID) = 1", "E4108"},
        {"SELECT Serial FROM Rec GROUP BY ROW_NUMBER() OVER (ORDER BY ID)", "E4108"},
        {"UPDATE Rec SET RecSeq = ROW_NUMBER() OVER (ORDER BY ID)", "E4108"},
        {"SELECT SUM(ROW_NUMBER() OVER (ORDER BY ID)) FROM Rec", "E4109"},
        {"SELECT ROW_NUMBER() OVER (ORDER BY RANK() OVER (ORDER BY ID)) FROM Rec", "E4109"},
        {"SELECT SUM(ID) OVER (PARTITION BY Serial) FROM Rec", "E40000"},
        {"SELECT NTILE(2) OVER (ORDER BY ID) FROM Rec", "E40000"},
    };
    Client c(*s_server, "herd");
    for (const auto& k : cases)
        EXPECT_EQ(rowsOf(c, k.sql), k.answer) << k.sql;
    // ROW_NUMBER() is a bigint.
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT ROW_NUMBER() OVER (ORDER BY ID) FROM Rec", &rs));
    EXPECT_EQ(rs[0].types[0], SYBINT8);
}

TEST_F(TdsSetFormsTest, CommonTableExpressionsBeforeEachStatementAndTheirErrors)
{
    const Case cases[] = {
        {"WITH a AS (SELECT Serial, COUNT(*) AS n FROM Rec GROUP BY Serial), b (s, m) AS (SELECT Serial, n * "
         "10 "
         "FROM a) SELECT s, m FROM b ORDER BY s",
         "a|30 b|30"},
        {"SELECT 1; WITH x AS (SELECT TOP 1 ID FROM Rec ORDER BY ID DESC) SELECT * FROM x", "1 6"},
        {"WITH x AS (SELECT ID FROM Rec WHERE Serial = 'b') UPDATE Rec SET Note = N'b' WHERE ID IN (SELECT "
         "ID "
         "FROM x); SELECT COUNT(*) FROM Rec WHERE Note = N'b'",
         "3"},
        {"WITH x AS (SELECT Serial FROM Rec WHERE ID < 3) INSERT INTO Rec (Serial, RDate) SELECT Serial, "
         "'1391/01/01' FROM x; SELECT COUNT(*) FROM Rec",
         "8"},
        {"WITH x AS (SELECT ID FROM Rec WHERE RDate = '1391/01/01') DELETE FROM Rec WHERE ID IN (SELECT ID "
         "FROM "
         "x); SELECT COUNT(*) FROM Rec",
         "6"},
        {"SELECT 1 WITH x AS (SELECT 1 AS a) SELECT * FROM x", "E319"},
        {"WITH x AS (SELECT 1 AS a), x AS (SELECT 2 AS a) SELECT * FROM x", "E239"},
        {"WITH x (a, b) AS (SELECT ID FROM Rec) SELECT * FROM x", "E8159"},
        {"WITH x (a) AS (SELECT ID, Serial FROM Rec) SELECT * FROM x", "E8158"},
        {"WITH x (a) AS (SELECT * FROM Rec) SELECT * FROM x", "E8158"},
        {"WITH x (a, a) AS (SELECT ID, ID FROM Rec) SELECT * FROM x", "E8156"},
        {"WITH x AS (SELECT ID + 1 FROM Rec) SELECT * FROM x", "E8155"},
        {"WITH x AS (SELECT ID FROM Rec ORDER BY ID) SELECT * FROM x", "E1033"},
        {"WITH x AS (SELECT ID FROM x) SELECT * FROM x", "E40000"},
        {"WITH x AS (SELECT ID, RecSeq FROM Rec) UPDATE x SET RecSeq = 1", "E40000"},
        {"WITH x AS (SELECT 1 AS a) PRINT 'x'", "E156"},
    };
    Client c(*s_server, "herd");
    for (const auto& k : cases)
        EXPECT_EQ(rowsOf(c, k.sql), k.answer) << k.sql;
}

// UPDATE ... FROM binds its target as SQL Server does: an alias of the FROM clause, else the one table of
// that name there, else one more instance beside it; each row is written once however many rows of the
// FROM clause match it.
TEST_F(TdsSetFormsTest, UpdateFromWritesTheTargetItBinds)
{
    Client c(*s_server, "herd");
    std::vector<ResultSet> rs;
    // The renumbering of a record sequence, set-based: a common table expression joined to its table.
    ASSERT_TRUE(c.run("WITH r AS (SELECT ID, ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY RDate, ID) AS n "
                      "FROM Rec) UPDATE f SET RecSeq = r.n FROM Rec f JOIN r ON r.ID = f.ID",
                      &rs));
    ASSERT_FALSE(rs.empty());
    EXPECT_EQ(rs[0].count, 6);
    EXPECT_EQ(rowsOf(c, "SELECT ID, RecSeq FROM Rec ORDER BY ID"), "1|2 2|1 3|2 4|3 5|1 6|3");
    const Case cases[] = {
        // By the table's own name, with a derived table; two matches for one row write it once.
        {"UPDATE Rec SET Note = d.v FROM Rec JOIN (SELECT 1 AS ID, N'x' AS v UNION ALL SELECT 1, N'x' UNION "
         "ALL "
         "SELECT 2, N'y') d ON d.ID = Rec.ID; SELECT COUNT(*) FROM Rec WHERE Note IS NOT NULL",
         "2"},
        // By the table's name when its one reference has an alias; qualified SET columns; += on the target.
        {"UPDATE Rec SET g.RecSeq += 10 FROM Rec g WHERE g.Serial = 'a'; SELECT SUM(RecSeq) FROM Rec", "42"},
        // Not in the FROM clause: one more instance, joined by the WHERE.
        {"UPDATE Rec SET RecSeq = 0 FROM (SELECT 3 AS k) x WHERE Rec.ID = x.k; SELECT RecSeq FROM Rec WHERE "
         "ID = 3",
         "0"},
        {"UPDATE TOP (1) Rec SET Note = N'top' FROM Rec JOIN Rec r2 ON r2.ID = Rec.ID; SELECT COUNT(*) FROM "
         "Rec "
         "WHERE Note = N'top'",
         "1"},
        {"UPDATE Rec SET RecSeq = 1 FROM Rec a JOIN Rec b ON a.ID = b.ID", "E8154"},
        {"UPDATE Rec SET h.RecSeq = 1 FROM Rec g", "E4104"},
        {"UPDATE x SET RecSeq = 1 FROM (SELECT * FROM Rec) x", "E40000"},
        {"UPDATE Rec SET Nope = 1 FROM Rec g", "E207"},
        {"UPDATE Rec SET RecSeq = 2147483647 + g.ID FROM Rec g", "E8115"},
        {"DELETE Rec FROM Rec JOIN Rec r2 ON r2.ID = Rec.ID", "E40000"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(rowsOf(c, k.sql), k.answer) << k.sql;
    EXPECT_EQ(rowsOf(c, "SELECT COUNT(*) FROM Rec WHERE RecSeq > 1000"), "0");
}

TEST_F(TdsSetFormsTest, TheSameFormsThroughPytds)
{
    const std::string script = pytdsValueScript("herd") + R"PY(
cur.execute("WITH r AS (SELECT ID, ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY RDate, ID) AS n FROM Rec) "
            "UPDATE f SET RecSeq = r.n FROM Rec f JOIN r ON r.ID = f.ID")
print(cur.rowcount)
cur.execute("SELECT ID, RecSeq FROM Rec ORDER BY ID")
print(cur.fetchall())
print(one("WITH x AS (SELECT Serial, MAX(RecSeq) AS m FROM Rec GROUP BY Serial) SELECT SUM(m) FROM x"))
cur.execute("UPDATE Rec SET RecSeq = x.n FROM Rec JOIN (SELECT %s AS ID, %s AS n) x ON x.ID = Rec.ID", (2, 9))
print(cur.rowcount, one("SELECT RecSeq FROM Rec WHERE ID = 2"))
for sql in ("SELECT ROW_NUMBER() OVER (PARTITION BY Serial) FROM Rec",
            "SELECT 1 WITH x AS (SELECT 1 AS a) SELECT * FROM x",
            "UPDATE Rec SET RecSeq = 1 FROM Rec a JOIN Rec b ON a.ID = b.ID"):
    print(error(sql))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "6\n[(1, 2), (2, 1), (3, 2), (4, 3), (5, 1), (6, 3)]\n6\n1 9\n4112\n319\n8154\n");
}

// 500 UPDATEs of three parameters each in one sp_executesql RPC, as db-lib sends a long statement (ntext);
// one more parameter than SQL Server's 2,100 is refused with 8003, and the connection goes on.
TEST_F(TdsSetFormsTest, FiveHundredParameterisedUpdatesInOneRpc)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.run(
        "CREATE TABLE Many (ID int PRIMARY KEY, RecSeq int, StRecNo int);"
        "WITH d AS (SELECT 0 AS n UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL "
        "SELECT 4 UNION ALL SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION "
        "ALL SELECT 9) INSERT INTO Many (ID) SELECT a.n * 100 + b.n * 10 + e.n + 1 FROM d a, d b, d e"));
    auto send = [&](int statements, int extra) {
        std::string stmt;
        std::string decl;
        for (int k = 0; k < statements; ++k) {
            const std::string a = "@P" + std::to_string(3 * k + 1), b = "@P" + std::to_string(3 * k + 2),
                              d = "@P" + std::to_string(3 * k + 3);
            stmt += (k ? "; " : "") + std::string("UPDATE Many SET RecSeq=") + a + ", StRecNo=" + b +
                    " WHERE ID=" + d;
            decl += (k ? "," : "") + a + " int," + b + " int," + d + " int";
        }
        for (int i = 3 * statements; i < 3 * statements + extra; ++i)
            decl += ",@P" + std::to_string(i + 1) + " int";
        std::vector<std::string> names;
        std::vector<DBINT> values;
        for (int i = 0; i < 3 * statements + extra; ++i) {
            names.push_back("@P" + std::to_string(i + 1));
            values.push_back(i % 3 == 2 ? i / 3 + 1 : 7 * (i / 3) + i % 3);
        }
        DBPROCESS* p = c.proc();
        EXPECT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
        // nvarchar, and ntext past db-lib's 4,000 characters, as the access layer sends texts.
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, stmt.size() > 4000 ? SYBNTEXT : 231, -1,
                   static_cast<DBINT>(stmt.size()), reinterpret_cast<BYTE*>(stmt.data()));
        dbrpcparam(p, const_cast<char*>("@params"), 0, decl.size() > 4000 ? SYBNTEXT : 231, -1,
                   static_cast<DBINT>(decl.size()), reinterpret_cast<BYTE*>(decl.data()));
        for (size_t i = 0; i < names.size(); ++i)
            dbrpcparam(p, names[i].data(), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&values[i]));
        g_msgs.clear();
        EXPECT_EQ(dbrpcsend(p), kSucceed);
        dbsqlok(p);
        c.drain(nullptr);
        // The numbers of the call's messages, then the rows it wrote.
        std::string answer;
        for (const auto& m : g_msgs)
            if (m.severity > 10)
                answer += "E" + std::to_string(m.number) + " ";
        return answer + rowsOf(c, "SELECT COUNT(*) FROM Many WHERE RecSeq IS NOT NULL");
    };
    EXPECT_EQ(send(500, 0), "500");
    EXPECT_EQ(rowsOf(c, "SELECT COUNT(*), SUM(RecSeq), MAX(StRecNo) FROM Many WHERE RecSeq IS NOT NULL"),
              "500|873250|3494");
    // 2,098 parameters and the two of sp_executesql are 2,100; one more is refused whole.
    ASSERT_TRUE(c.run("UPDATE Many SET RecSeq = NULL"));
    EXPECT_EQ(send(699, 1), "699");
    ASSERT_TRUE(c.run("UPDATE Many SET RecSeq = NULL"));
    EXPECT_EQ(send(699, 2), "E8003 0");

    // pytds: the same batch twice in a row (the second request follows an answer the client left
    // unread after its first count), then one parameter too many.
    const std::string script = pytdsValueScript("herd") + R"PY(
def batch(n):
    return ";".join("UPDATE Many SET RecSeq=%s, StRecNo=%s WHERE ID=%s" for _ in range(n)), \
           [v for k in range(n) for v in (k, k + 1, k + 1)]
sql, params = batch(500)
cur.execute(sql, params)
cur.execute(sql, params)
print(one("SELECT COUNT(*), SUM(RecSeq) FROM Many WHERE RecSeq IS NOT NULL"))
sql, params = batch(700)
print(error(sql, params))
print(one("SELECT COUNT(*) FROM Many"))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}), "500\n8003\n1000\n");
}

} // namespace
