// Expressions as SQL Server types them, through FreeTDS db-lib and pytds: money at its limits, division
// by zero (8134) and whole-number overflow (8115) by the operands' types, texts made binary, and the
// names SQLite would answer that SQL Server does not have.
#include "dblibclient.h"
#include "tdsserver.h"
#include "valuetable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

// What a statement answers: its first value, or "E<number>" for the error that refuses it.
std::string answerOf(Client& c, const std::string& sql)
{
    std::vector<ResultSet> rs;
    if (!c.run(sql, &rs)) {
        for (const auto& m : g_msgs)
            if (m.severity > 10)
                return "E" + std::to_string(m.number);
        return "E?";
    }
    if (rs.empty() || rs.back().rows.empty() || rs.back().rows[0].empty())
        return "<no value>";
    return rs.back().rows[0][0];
}

struct ExpressionCase
{
    const char* expr;
    const char* answer; // as db-lib converts it to text, or E<number>
};

// One row of extremes for column-typed expressions.
constexpr const char* kExtremes =
    "CREATE TABLE Ext (ti tinyint, si smallint, i int, bi bigint, m money, sm smallmoney, d decimal(10,2), "
    "f float, nv nvarchar(10), v varchar(10), b varbinary(10));"
    "INSERT INTO Ext VALUES (255, 32767, 2147483647, 9223372036854775807, 922337203685477.5807, "
    "214748.3647, 12.5, 1.5, N'ab', 'ab', 0x0102)";

const ExpressionCase kExpressions[] = {
    // Money and smallmoney at both ends come back exactly.
    {"CAST(922337203685477.5807 AS money)", "922337203685477.5807"},
    {"CAST(-922337203685477.5808 AS money)", "-922337203685477.5808"},
    {"CAST(214748.3647 AS smallmoney)", "214748.3647"},
    {"CAST(-214748.3648 AS smallmoney)", "-214748.3648"},
    {"m FROM Ext", "922337203685477.5807"},
    {"sm FROM Ext", "214748.3647"},
    {"m + 1 FROM Ext", "E8115"},
    {"sm + 1 FROM Ext", "E8115"},
    {"-sm FROM Ext", "-214748.3647"},
    // Division by zero, whole and fractional, in / and %.
    {"1/0", "E8134"},
    {"1 % 0", "E8134"},
    {"1.5 / 0", "E8134"},
    {"i / (i - i) FROM Ext", "E8134"},
    {"f / 0 FROM Ext", "E8134"},
    // Literals: a whole number that fits is an int, a longer one numeric.
    {"2147483647 + 1", "E8115"},
    {"2147483648 + 1", "2147483649"},
    {"-2147483648 - 1", "-2147483649"},
    {"65536 * 65536", "E8115"},
    {"7 / 2", "3"},
    {"-7 / 2", "-3"},
    {"7 % -2", "1"},
    {"7.5 % 2", "1.5"},
    {"1e0 % 2", "E402"},
    // The type of higher precedence wins: tinyint and smallint stay themselves, an int beside them
    // widens the sum.
    {"ti + 1 FROM Ext", "256"},
    {"ti + ti FROM Ext", "E8115"},
    {"CAST(0 AS tinyint) - CAST(1 AS tinyint)", "E8115"},
    {"-ti FROM Ext", "-255"},
    {"si + si FROM Ext", "E8115"},
    {"si * 2 FROM Ext", "65534"},
    {"i + 1 FROM Ext", "E8115"},
    {"i + CAST(1 AS bigint) FROM Ext", "2147483648"},
    {"-CAST(-2147483648 AS int)", "E8115"},
    {"CAST(-2147483648 AS int) / -1", "E8115"},
    {"bi + 1 FROM Ext", "E8115"},
    {"bi - 1 FROM Ext", "9223372036854775806"},
    {"bi * -1 - 1 FROM Ext", "-9223372036854775808"},
    {"bi * -1 - 2 FROM Ext", "E8115"},
    {"d + 1 FROM Ext", "13.5"},
    {"i + d FROM Ext", "2147483659.5"},
    // Texts: joined with +, converted beside a number, refused when they are none.
    {"nv + N'c' FROM Ext", "abc"},
    {"'12' + 1", "13"},
    {"nv + 1 FROM Ext", "E245"},
    {"'a' - 'b'", "E8117"},
    {"-nv FROM Ext", "E8117"},
    // Texts made binary: nvarchar as UTF-16LE, varchar in its code page; CAST's default length is 30.
    {"CAST(N'ab' AS varbinary(10))", "61006200"},
    {"CAST('ab' AS varbinary(10))", "6162"},
    {"CAST(nv AS varbinary(10)) FROM Ext", "61006200"},
    {"CAST(v AS varbinary(10)) FROM Ext", "6162"},
    {"CAST(N'\u0631' AS varbinary(10))", "3106"},
    {"CAST(N'abc' AS varbinary(4))", "61006200"},
    {"CAST(N'a' AS binary(4))", "61000000"},
    {"DATALENGTH(CAST(N'abcdefghijklmnopqrstuvwxyz' AS varbinary))", "30"},
    {"CAST(1 AS varbinary(4))", "00000001"},
    {"CAST(CAST(258 AS smallint) AS varbinary(4))", "0102"},
    {"CAST(CAST(1 AS bigint) AS varbinary(8))", "0000000000000001"},
    {"CONVERT(varbinary(4), '0x0A0B', 1)", "0a0b"},
    {"CONVERT(varbinary(4), '0A0B', 2)", "0a0b"},
    {"CONVERT(varbinary(4), '0A0B', 1)", "E8114"},
    {"b + b FROM Ext", "01020102"},
};

struct TdsArithmeticDatabase
{
    static constexpr const char* name = "arith";
};
class TdsArithmeticTest : public OneDatabaseSuite<TdsArithmeticDatabase>
{
protected:
    static void SetUpTestSuite()
    {
        OneDatabaseSuite::SetUpTestSuite();
        s_server->exec(kExtremes, "arith");
    }
};

TEST_F(TdsArithmeticTest, ExpressionsTakeSqlServersTypesValuesAndErrorsThroughDbLib)
{
    Client c(*s_server, "arith");
    ASSERT_TRUE(c.proc());
    for (const auto& k : kExpressions)
        EXPECT_EQ(answerOf(c, std::string("SELECT ") + k.expr), k.answer) << k.expr;
    // The result column has the expression's type, not the value's: a bigint sum of small numbers.
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT CAST(1 AS bigint) + 1, CAST(1 AS tinyint) + CAST(1 AS tinyint)", &rs));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].types[0], SYBINT8);
    EXPECT_EQ(rs[0].types[1], SYBINT1);
}

TEST_F(TdsArithmeticTest, ExpressionsTakeSqlServersTypesValuesAndErrorsThroughPytds)
{
    std::vector<std::string> args{s_server->password()};
    std::string expected;
    for (const auto& k : kExpressions) {
        args.push_back(std::string("SELECT ") + k.expr);
        expected += std::string(k.answer) + "\n";
    }
    const std::string script = pytdsValueScript("arith") + R"PY(
import decimal
for sql in sys.argv[3:]:
    try:
        cur.execute(sql)
        v = cur.fetchall()[0][0]
        if isinstance(v, (bytes, bytearray)):
            v = v.hex()
        elif isinstance(v, float) and v == int(v) and abs(v) < 1e15:
            v = int(v)
        elif isinstance(v, decimal.Decimal):
            v = format(v.normalize(), 'f') if v != v.to_integral_value() else format(v.to_integral_value(), 'f')
        print(v)
    except pytds.Error as e:
        print('E%s' % getattr(e, 'msg_no', '?'))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), args), expected);
}

// Writing through an expression that overflows leaves the row as it was; a parameter has the type the
// statement declares for it.
TEST_F(TdsArithmeticTest, OverflowingWritesChangeNothingAndParametersKeepTheirDeclaredTypes)
{
    Client c(*s_server, "arith");
    ASSERT_TRUE(
        c.run("CREATE TABLE Counter (n int, big bigint); INSERT INTO Counter VALUES (2147483647, 1)"));
    for (const char* update :
         {"UPDATE Counter SET n = n + 1", "UPDATE Counter SET n += 1", "UPDATE Counter SET big = n * 2"}) {
        EXPECT_EQ(answerOf(c, update), "E8115") << update;
        EXPECT_EQ(answerOf(c, "SELECT n FROM Counter"), "2147483647") << update;
    }
    EXPECT_EQ(answerOf(c, "UPDATE Counter SET big = big / 0"), "E8134");
    EXPECT_EQ(answerOf(c, "SELECT big FROM Counter"), "1");
    EXPECT_EQ(answerOf(c, "UPDATE Counter SET big = CAST(n AS bigint) * 2; SELECT big FROM Counter"),
              "4294967294");

    // sp_executesql: @P1 declared bigint makes the sum a bigint; declared int, an overflow.
    for (const auto& [decl, answer] : std::vector<std::pair<std::string, std::string>>{
             {"@P1 bigint", "2147483648"}, {"@P1 int", "E8115"}}) {
        DBPROCESS* p = c.proc();
        const std::string stmt = "SELECT @P1 + 1";
        DBBIGINT value = 2147483647;
        DBINT small = 2147483647;
        const bool big = decl == "@P1 bigint";
        ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
        dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
                   reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
        if (big)
            dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBINT8, -1, -1, reinterpret_cast<BYTE*>(&value));
        else
            dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&small));
        ASSERT_EQ(dbrpcsend(p), kSucceed);
        g_msgs.clear();
        const bool ok = dbsqlok(p) == kSucceed;
        std::vector<ResultSet> rs;
        const bool drained = c.drain(&rs);
        if (answer[0] == 'E') {
            EXPECT_FALSE(ok && drained) << decl;
            ASSERT_FALSE(g_msgs.empty()) << decl;
            EXPECT_EQ("E" + std::to_string(g_msgs.back().number), answer) << decl;
        } else {
            ASSERT_TRUE(ok && drained) << decl;
            ASSERT_FALSE(rs.empty());
            EXPECT_EQ(rs[0].rows[0][0], answer) << decl;
        }
    }
}

// Money's extremes sent as parameters, stored and read back, through pytds (decimal.Decimal).
TEST_F(TdsArithmeticTest, MoneyLimitsRoundTripThroughPytdsParameters)
{
    const std::string script = pytdsValueScript("arith") + R"PY(
from decimal import Decimal
cur.execute("CREATE TABLE Purse (m money, sm smallmoney)")
for m, sm in ((Decimal('922337203685477.5807'), Decimal('214748.3647')),
              (Decimal('-922337203685477.5808'), Decimal('-214748.3648'))):
    cur.execute("DELETE FROM Purse")
    cur.execute("INSERT INTO Purse VALUES (%s, %s)", (m, sm))
    cur.execute("SELECT m, sm FROM Purse")
    print(cur.fetchall()[0])
print(error("INSERT INTO Purse VALUES (922337203685478, 0)"))
print(error("INSERT INTO Purse VALUES (0, 214748.3648)"))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "(Decimal('922337203685477.5807'), Decimal('214748.3647'))\n"
              "(Decimal('-922337203685477.5808'), Decimal('-214748.3648'))\n"
              "8115\n8115\n");
}

// SQLite's own table-valued functions and pragmas are no objects of SQL Server: 208, as for any name
// the database lacks (a table that has such a name is read as itself); SQL Server's own rowset functions
// are refused as unsupported.
TEST_F(TdsArithmeticTest, SqliteTableFunctionsAndPragmasAreRefused)
{
    const ExpressionCase cases[] = {
        {"* FROM pragma_database_list", "E208"},
        {"COUNT(*) FROM pragma_compile_options", "E208"},
        {"* FROM pragma_table_info('Ext')", "E208"},
        {"COUNT(*) FROM dbstat", "E208"},
        {"* FROM json_each('[1,2]')", "E208"},
        {"* FROM dbo.json_tree('[1]')", "E208"},
        {"name FROM pragma_module_list", "E208"},
        {"COUNT(*) FROM sqlite_master", "E208"},
        {"1 WHERE EXISTS (SELECT 1 FROM pragma_index_list('Ext'))", "E208"},
        {"(SELECT COUNT(*) FROM fts5vocab)", "E208"},
        {"* FROM STRING_SPLIT('a,b', ',')", "E40000"},
        {"* FROM OPENJSON('[1]')", "E40000"},
        {"json('[1]')", "E195"},
        {"sqlite_version()", "E195"},
        {"COUNT(*) FROM rtree", "0"},
    };
    Client c(*s_server, "arith");
    ASSERT_TRUE(c.run("CREATE TABLE rtree (a int)"));
    std::vector<std::string> args{s_server->password()};
    std::string expected;
    for (const auto& k : cases) {
        EXPECT_EQ(answerOf(c, std::string("SELECT ") + k.expr), k.answer) << k.expr;
        args.push_back(std::string("SELECT ") + k.expr);
        expected += std::string(k.answer) + "\n";
    }
    // A view cannot reach them either.
    EXPECT_EQ(answerOf(c, "CREATE VIEW Paths AS SELECT * FROM pragma_database_list"), "E208");
    const std::string script = pytdsValueScript("arith") + R"PY(
for sql in sys.argv[3:]:
    try:
        cur.execute(sql)
        print(cur.fetchall()[0][0])
    except pytds.Error as e:
        print('E%s' % getattr(e, 'msg_no', '?'))
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), args), expected);
}

} // namespace
