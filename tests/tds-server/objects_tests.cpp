// Views, procedures, IF and the catalogue that finds them, through FreeTDS db-lib and through pytds: the
// probes a program sends to learn whether a table, view or procedure exists, and SQL Server's errors for
// the forms it refuses.
#include "dblibclient.h"
#include "tdsserver.h"
#include "valuetable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

class TdsObjectsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new TdsServer();
        s_server->exec("CREATE DATABASE herd");
        s_server->exec(
            "CREATE TABLE Cows (Serial nvarchar(20) NOT NULL, Kind int, Born datetime);"
            "INSERT INTO Cows VALUES (N'1024', 1, '2010-01-02'), (N'2000', 2, NULL), (N'3000', 2, NULL)",
            "herd");
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    static std::string scalar(Client& c, const std::string& sql) { return scalarOf(c, sql); }
    static TdsServer* s_server;
};

TdsServer* TdsObjectsTest::s_server = nullptr;

TEST_F(TdsObjectsTest, ViewsAreMadeQueriedListedAndDropped)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.proc());
    ASSERT_TRUE(c.run(
        "CREATE VIEW dbo.Heifers AS\nSELECT Serial, Born, Kind * 10 AS Score FROM Cows WHERE Kind = 2"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT Serial, Score FROM Heifers ORDER BY Serial", &rs));
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].rows[0][0], "2000");
    EXPECT_EQ(rs[0].rows[1][1], "20");
    // The table column's own type comes through the view.
    ASSERT_TRUE(c.run("SELECT Serial FROM Cows", &rs));
    EXPECT_EQ(rs[0].types[0], rs[1].types[0]);

    // The catalogue lists the view with its columns; its texts compare without regard to case.
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'view' AND "
                        "TABLE_NAME = 'HEIFERS'"),
              "1");
    EXPECT_EQ(scalar(c, "SELECT Table_Type FROM INFORMATION_SCHEMA.TABLES WHERE Table_Name = 'heifers'"),
              "VIEW");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE Table_Type = 'base table' AND "
                        "table_schema = 'DBO' AND Table_Name = 'cows'"),
              "1");
    rs.clear();
    ASSERT_TRUE(
        c.run("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
              "WHERE TABLE_NAME = 'Heifers' ORDER BY ORDINAL_POSITION",
              &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"Serial", "nvarchar", "20"}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{"Born", "datetime", "NULL"}));
    EXPECT_EQ(rs[0].rows[2][0], "Score");

    // A column list names the columns; a view of another view works.
    ASSERT_TRUE(c.run("CREATE VIEW [Heifer Serials] (S) AS SELECT Serial FROM Heifers"));
    EXPECT_EQ(scalar(c, "SELECT TOP 1 S FROM [Heifer Serials] ORDER BY S DESC"), "3000");

    // Changing data through a view is refused rather than half done.
    EXPECT_FALSE(c.run("DELETE FROM Heifers"));
    EXPECT_EQ(g_msgs.back().number, 40000);

    ASSERT_TRUE(c.run("DROP VIEW [Heifer Serials], dbo.Heifers"));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'VIEW'"), "0");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'Heifers'"), "0");
    EXPECT_TRUE(c.run("DROP VIEW IF EXISTS Heifers"));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Cows"), "3");
}

TEST_F(TdsObjectsTest, ProceduresAreStoredAndRunWithTheirArguments)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.run("CREATE PROCEDURE dbo.CowsOfKind @Kind int, @Prefix nvarchar(5) = N'' AS\n"
                      "-- the herd's cows of one kind\n"
                      "SELECT @Prefix + Serial AS S FROM Cows WHERE Kind = @Kind ORDER BY Serial"));
    struct Case
    {
        std::string exec;
        std::vector<std::string> serials;
    };
    const Case cases[] = {
        {"EXEC CowsOfKind 2", {"2000", "3000"}},
        {"EXECUTE dbo.CowsOfKind 1, N'c-'", {"c-1024"}},
        {"exec [CowsOfKind] @Prefix = 'x', @Kind = 2", {"x2000", "x3000"}},
        {"EXEC CowsOfKind @Kind = 9", {}},
    };
    for (const auto& k : cases) {
        std::vector<ResultSet> rs;
        ASSERT_TRUE(c.run(k.exec, &rs)) << k.exec;
        ASSERT_EQ(rs.size(), 1u) << k.exec;
        std::vector<std::string> got;
        for (const auto& row : rs[0].rows)
            got.push_back(row[0]);
        EXPECT_EQ(got, k.serials) << k.exec;
    }

    // A procedure of several statements, changing data; its arguments may come from an RPC's parameters.
    ASSERT_TRUE(c.run("CREATE PROC SetKind (@Serial nvarchar(20), @Kind int) AS BEGIN\n"
                      "  UPDATE Cows SET Kind = @Kind WHERE Serial = @Serial\n"
                      "  SELECT Kind FROM Cows WHERE Serial = @Serial\nEND"));
    EXPECT_EQ(scalar(c, "EXEC SetKind N'3000', 3"), "3");
    EXPECT_EQ(scalar(c, "EXEC SetKind N'3000', 2"), "2");

    struct Error
    {
        std::string sql;
        int number;
        std::string text;
    };
    const std::vector<Error> errors = {
        {"EXEC CowsOfKind", 201,
         "Procedure or function 'CowsOfKind' expects parameter '@Kind', which was not supplied."},
        {"EXEC CowsOfKind 1, N'a', 3", 8144,
         "Procedure or function CowsOfKind has too many arguments specified."},
        {"EXEC CowsOfKind @Sort = 1", 8145, "@Sort is not a parameter for procedure CowsOfKind."},
        {"EXEC NoSuchProc", 2812, "Could not find stored procedure 'NoSuchProc'."},
        {"EXEC sp_who", 2812, "Could not find stored procedure 'sp_who'."},
        {"CREATE PROCEDURE CowsOfKind AS SELECT 1", 2714,
         "There is already an object named 'CowsOfKind' in the database."},
        {"CREATE TABLE SetKind (a int)", 2714, "There is already an object named 'SetKind' in the database."},
        {"SELECT 1\nCREATE PROCEDURE Other AS SELECT 1", 111,
         "'CREATE/ALTER PROCEDURE' must be the first statement in a query batch."},
        {"IF OBJECT_ID('Other') IS NULL CREATE PROCEDURE Other AS SELECT 1", 156,
         "Incorrect syntax near the keyword 'PROCEDURE'."},
        {"DROP PROCEDURE dbo.Other", 3701,
         "Cannot drop the procedure 'dbo.Other', because it does not exist or you do not have permission."},
        {"DROP VIEW CowsOfKind", 3705,
         "Cannot use DROP VIEW with 'CowsOfKind' because 'CowsOfKind' is a procedure. "
         "Use DROP PROCEDURE."},
        {"DROP TABLE SetKind", 3705,
         "Cannot use DROP TABLE with 'SetKind' because 'SetKind' is a procedure. Use DROP "
         "PROCEDURE."},
    };
    for (const auto& e : errors) {
        EXPECT_FALSE(c.run(e.sql)) << e.sql;
        ASSERT_FALSE(g_msgs.empty()) << e.sql;
        EXPECT_EQ(g_msgs.back().number, e.number) << e.sql;
        EXPECT_EQ(g_msgs.back().text, e.text) << e.sql;
    }

    // A procedure calling itself stops at SQL Server's nesting limit instead of exhausting the stack.
    ASSERT_TRUE(c.run("CREATE PROCEDURE Forever AS EXEC Forever"));
    EXPECT_FALSE(c.run("EXEC Forever"));
    EXPECT_EQ(g_msgs.back().number, 217);
    EXPECT_EQ(g_msgs.back().text,
              "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32).");

    // The limit ends the whole batch, so a procedure calling itself twice does not run 2^32 times.
    ASSERT_TRUE(c.run("CREATE PROCEDURE Twice AS BEGIN EXEC Twice EXEC Twice END"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.run("EXEC Twice SELECT 1"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(
        std::count_if(g_msgs.begin(), g_msgs.end(), [](const ServerMessage& m) { return m.number == 217; }),
        1);

    ASSERT_TRUE(c.run("DROP PROCEDURE Forever, Twice; DROP PROC dbo.SetKind, CowsOfKind"));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM sysobjects WHERE xtype = 'P'"), "0");
    EXPECT_TRUE(c.run("DROP PROCEDURE IF EXISTS CowsOfKind"));
}

// The existence probes: IF [NOT] EXISTS over sysobjects, OBJECT_ID with plain, bracketed and dbo. names,
// and OBJECTPROPERTY for each kind of object.
TEST_F(TdsObjectsTest, ProbesFindTablesViewsAndProceduresByAnyName)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.run("CREATE VIEW [Old Cows] AS SELECT Serial FROM Cows WHERE Born IS NOT NULL"));
    ASSERT_TRUE(c.run("CREATE PROCEDURE Census AS SELECT COUNT(*) AS N FROM Cows"));
    struct Case
    {
        std::string expression;
        std::string value;
    };
    const Case cases[] = {
        {"CASE WHEN OBJECT_ID(N'Cows') > 0 THEN 'y' ELSE 'n' END", "y"},
        {"CASE WHEN OBJECT_ID(N'[dbo].[Cows]') = OBJECT_ID('cows') THEN 'y' ELSE 'n' END", "y"},
        {"CASE WHEN OBJECT_ID(N'dbo.[Old Cows]') IS NULL THEN 'n' ELSE 'y' END", "y"},
        {"CASE WHEN OBJECT_ID(N'herd.dbo.Census') IS NULL THEN 'n' ELSE 'y' END", "y"},
        {"CASE WHEN OBJECT_ID(N'Census', 'P') IS NULL THEN 'n' ELSE 'y' END", "y"},
        {"CASE WHEN OBJECT_ID(N'Census', 'U') IS NULL THEN 'n' ELSE 'y' END", "n"},
        {"CASE WHEN OBJECT_ID(N'sales.Cows') IS NULL THEN 'n' ELSE 'y' END", "n"},
        {"CASE WHEN OBJECT_ID(N'Nothing') IS NULL THEN 'n' ELSE 'y' END", "n"},
        {"OBJECT_NAME(OBJECT_ID('[old cows]'))", "Old Cows"},
        {"OBJECTPROPERTY(OBJECT_ID(N'Census'), N'IsProcedure')", "1"},
        {"OBJECTPROPERTY(OBJECT_ID(N'Census'), N'IsView')", "0"},
        {"OBJECTPROPERTY(OBJECT_ID(N'[Old Cows]'), N'IsView')", "1"},
        {"OBJECTPROPERTY(OBJECT_ID(N'[Old Cows]'), 'IsUserTable')", "0"},
        {"OBJECTPROPERTY(OBJECT_ID(N'dbo.Cows'), N'isusertable')", "1"},
        {"OBJECTPROPERTY(OBJECT_ID(N'dbo.Cows'), N'IsProcedure')", "0"},
        {"OBJECTPROPERTY(OBJECT_ID(N'Nothing'), N'IsUserTable')", "NULL"},
        {"OBJECTPROPERTY(OBJECT_ID(N'Cows'), N'IsEncrypted')", "NULL"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(scalar(c, "SELECT " + k.expression), k.value) << k.expression;

    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run(
        "SELECT name, xtype, type FROM dbo.sysobjects WHERE xtype IN ('u', 'V', 'p') ORDER BY name", &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"Census", "P ", "P "}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{"Cows", "U ", "U "}));
    EXPECT_EQ(rs[0].rows[2], (std::vector<std::string>{"Old Cows", "V ", "V "}));

    // The functions over the catalogue's own rows: `id` is each row's, not the lookup's.
    rs.clear();
    ASSERT_TRUE(c.run("SELECT name, OBJECTPROPERTY(id, N'IsProcedure'), OBJECTPROPERTY(id, N'IsView'), "
                      "OBJECT_NAME(id) "
                      "FROM dbo.sysobjects WHERE xtype IN ('U', 'V', 'P') ORDER BY name",
                      &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"Census", "1", "0", "Census"}));
    EXPECT_EQ(rs[0].rows[1], (std::vector<std::string>{"Cows", "0", "0", "Cows"}));
    EXPECT_EQ(rs[0].rows[2], (std::vector<std::string>{"Old Cows", "0", "1", "Old Cows"}));

    // IF runs its statement, or its ELSE, by the condition; a BEGIN ... END block goes on after an error
    // in one of its statements, as a batch does.
    EXPECT_EQ(
        scalar(c,
               "IF EXISTS (SELECT * FROM sysobjects WHERE name = 'old cows' AND xtype = 'V') SELECT 'view' "
               "ELSE SELECT 'none'"),
        "view");
    EXPECT_EQ(
        scalar(c, "IF NOT EXISTS (SELECT * FROM dbo.sysobjects WHERE name = N'Calves')\n"
                  "  CREATE TABLE Calves (Serial nvarchar(20))\nSELECT OBJECTPROPERTY(OBJECT_ID('Calves'), "
                  "'IsUserTable')"),
        "1");
    EXPECT_TRUE(c.run(
        "IF NOT EXISTS (SELECT * FROM dbo.sysobjects WHERE name = N'Calves') CREATE TABLE Calves (x int)"));
    rs.clear();
    EXPECT_FALSE(c.run("IF OBJECTPROPERTY(OBJECT_ID('Calves'), 'IsUserTable') = 1 BEGIN\n"
                       "  INSERT INTO Calves VALUES (N'c1'); INSERT INTO Calves (Nope) VALUES (1);\n"
                       "END ELSE SELECT 'no'\nSELECT COUNT(*) FROM Calves",
                       &rs));
    EXPECT_EQ(g_msgs.back().number, 207);
    ASSERT_TRUE(
        c.run("IF OBJECT_ID('Calves') IS NOT NULL DROP TABLE Calves; IF OBJECT_ID('Calves') IS NOT NULL "
              "DROP TABLE Calves"));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM dbo.sysobjects WHERE name = 'Calves'"), "0");

    // The directory probe of another database, inside IF.
    EXPECT_EQ(
        scalar(c, "IF EXISTS (SELECT name FROM master.dbo.sysdatabases WHERE Name = (N'HERD')) SELECT 1 ELSE "
                  "SELECT 0"),
        "1");
    ASSERT_TRUE(c.run("DROP VIEW [Old Cows]; DROP PROCEDURE Census"));
}

TEST_F(TdsObjectsTest, VersionReadsLikeSqlServer2019AndSaysWhatItIs)
{
    Client c(*s_server, "herd");
    const std::string version = scalar(c, "SELECT @@VERSION");
    EXPECT_EQ(version.rfind("Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) \n\t", 0), 0u) << version;
    EXPECT_NE(version.find("Rimo1 TDS test server"), std::string::npos) << version;
    EXPECT_NE(version.find("not SQL Server"), std::string::npos) << version;
    EXPECT_EQ(scalar(c, "SELECT SUBSTRING(@@VERSION, 22, 4)"), "2019");
}

TEST_F(TdsObjectsTest, ViewErrorsAreSqlServers)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.run("CREATE VIEW Kinds AS SELECT DISTINCT Kind FROM Cows"));
    struct Error
    {
        std::string sql;
        int number;
        std::string text;
    };
    const std::vector<Error> errors = {
        {"CREATE VIEW Kinds AS SELECT 1 AS a", 2714,
         "There is already an object named 'Kinds' in the database."},
        {"CREATE VIEW Cows AS SELECT 1 AS a", 2714,
         "There is already an object named 'Cows' in the database."},
        {"CREATE TABLE kinds (a int)", 2714, "There is already an object named 'kinds' in the database."},
        {"CREATE VIEW V1 AS SELECT Kind + 1 FROM Cows", 4511,
         "Create View or Function failed because no column name was specified for column 1."},
        {"CREATE VIEW V1 AS SELECT Kind, Kind FROM Cows", 4506,
         "Column names in each view or function must be unique. Column name 'Kind' in view or function 'V1' "
         "is "
         "specified more than once."},
        {"CREATE VIEW V1 (a) AS SELECT Kind, Serial FROM Cows", 8158,
         "'V1' has more columns than were specified in the column list."},
        {"CREATE VIEW V1 (a, b) AS SELECT Kind FROM Cows", 8159,
         "'V1' has fewer columns than were specified in the column list."},
        {"CREATE VIEW V1 AS SELECT Nope FROM Cows", 207, "Invalid column name 'Nope'."},
        {"CREATE VIEW V1 AS SELECT Kind FROM Cows WHERE Serial = @s", 137,
         "Must declare the scalar variable \"@s\"."},
        {"SELECT 1 CREATE VIEW V1 AS SELECT 1 AS a", 111,
         "'CREATE VIEW' must be the first statement in a query batch."},
        {"DROP VIEW Nothing", 3701,
         "Cannot drop the view 'Nothing', because it does not exist or you do not have "
         "permission."},
        {"DROP VIEW Cows", 3705,
         "Cannot use DROP VIEW with 'Cows' because 'Cows' is a table. Use DROP TABLE."},
        {"DROP TABLE Kinds", 3705,
         "Cannot use DROP TABLE with 'Kinds' because 'Kinds' is a view. Use DROP VIEW."},
        {"DROP PROCEDURE Kinds", 3705,
         "Cannot use DROP PROCEDURE with 'Kinds' because 'Kinds' is a view. Use DROP "
         "VIEW."},
    };
    for (const auto& e : errors) {
        EXPECT_FALSE(c.run(e.sql)) << e.sql;
        ASSERT_FALSE(g_msgs.empty()) << e.sql;
        EXPECT_EQ(g_msgs.back().number, e.number) << e.sql;
        EXPECT_EQ(g_msgs.back().text, e.text) << e.sql;
    }
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM sysobjects WHERE name = 'V1'"), "0");
    ASSERT_TRUE(c.run("DROP VIEW Kinds"));
}

// SELECT ... INTO makes a table of the select list's columns, with their types, and fills it; the
// forms SQL Server refuses are refused with its errors.
TEST_F(TdsObjectsTest, SelectIntoMakesAndFillsANewTable)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.run("SELECT Serial, Kind * 10 AS Score, Born INTO [Copy] FROM Cows WHERE Kind = 2"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(
        c.run("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
              "WHERE TABLE_NAME = 'Copy' ORDER BY ORDINAL_POSITION",
              &rs));
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].rows[0], (std::vector<std::string>{"Serial", "nvarchar", "20"}));
    EXPECT_EQ(rs[0].rows[1][1], "int");
    EXPECT_EQ(rs[0].rows[2][1], "datetime");
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM Copy WHERE Score = 20 AND Born IS NULL"), "2");
    // Without FROM, scalar subqueries as columns, as a built procedure sends it.
    ASSERT_TRUE(c.run("Select \r\n(SELECT COUNT(*) FROM Cows)[A],\r\n(SELECT N'دو')[B] \r\nInto [_S]"));
    ASSERT_TRUE(c.run("SELECT A, B FROM [_S]", &rs));
    EXPECT_EQ(rs.back().rows, (std::vector<std::vector<std::string>>{{"3", "دو"}}));

    struct Refused
    {
        const char* sql;
        int number;
        const char* text;
    };
    const Refused refused[] = {
        {"SELECT Serial INTO Copy FROM Cows", 2714,
         "There is already an object named 'Copy' in the database."},
        {"SELECT Kind + 1 INTO NoName FROM Cows", 1038,
         "An object or column name is missing or empty. For SELECT INTO statements, verify each column has a "
         "name. For other statements, look for empty alias names. Aliases defined as \"\" or [] are not "
         "allowed. Change the alias to a valid name."},
        {"SELECT Kind, Kind INTO Twice FROM Cows", 2705,
         "Column names in each table must be unique. Column name 'Kind' in table 'Twice' is specified more "
         "than "
         "once."},
    };
    for (const Refused& e : refused) {
        EXPECT_FALSE(c.run(e.sql)) << e.sql;
        ASSERT_FALSE(g_msgs.empty()) << e.sql;
        EXPECT_EQ(g_msgs.back().number, e.number) << e.sql;
        EXPECT_EQ(g_msgs.back().text, e.text) << e.sql;
    }
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM sysobjects WHERE name IN ('NoName', 'Twice')"), "0");
    ASSERT_TRUE(c.run("DROP TABLE Copy; DROP TABLE [_S]"));
}

// The same forms through pytds, whose protocol code is its own: statements with parameters go as
// sp_executesql, so EXEC's arguments come from RPC parameters.
TEST_F(TdsObjectsTest, PytdsMakesAndProbesViewsAndProcedures)
{
    const std::string script = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='herd',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
def one(sql, params=None):
    cur.execute(sql, params)
    rows = cur.fetchall()
    return rows[0][0] if rows else None
def error(sql):
    try:
        cur.execute(sql)
        return 'no error'
    except pytds.Error as e:
        return '%s %s' % (getattr(e, 'msg_no', '?'), e)
cur.execute('CREATE VIEW PyCows AS SELECT Serial, Kind FROM Cows')
cur.execute('CREATE PROCEDURE PyCount @Kind int AS SELECT COUNT(*) FROM PyCows WHERE Kind = @Kind')
print(one("SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'pycows'"))
print(one('EXEC PyCount @Kind = %s', (2,)))
print(one("IF OBJECT_ID(N'dbo.PyCount') IS NOT NULL SELECT OBJECTPROPERTY(OBJECT_ID(N'[PyCount]'), N'IsProcedure')"))
print(one("SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = %s", ('PyCows',)))
print(error('SELECT 1\nCREATE VIEW PyOther AS SELECT 1 AS a'))
print(error('DROP VIEW PyNothing'))
print(error('CREATE VIEW PyCows AS SELECT 1 AS a'))
cur.execute('DROP VIEW PyCows; DROP PROCEDURE PyCount')
print(one("SELECT COUNT(*) FROM sysobjects WHERE name LIKE 'Py%'"))
print(one('SELECT @@VERSION')[:26])
cur.execute('SELECT Serial, Kind INTO PyCopy FROM Cows WHERE Kind = %s', (2,))
print(cur.rowcount, one('SELECT COUNT(*) FROM PyCopy'))
print(error('SELECT Serial INTO PyCopy FROM Cows'))
cur.execute('DROP TABLE PyCopy')
)PY";
    const std::string out = runPython(script, s_server->port(), {s_server->password()});
    EXPECT_EQ(
        out,
        "VIEW\n"
        "2\n"
        "1\n"
        "2\n"
        "111 'CREATE VIEW' must be the first statement in a query batch.\n"
        "3701 Cannot drop the view 'PyNothing', because it does not exist or you do not have permission.\n"
        "2714 There is already an object named 'PyCows' in the database.\n"
        "0\n"
        "Microsoft SQL Server 2019 \n"
        "2 2\n"
        "2714 There is already an object named 'PyCopy' in the database.\n");
}

} // namespace
