// Plain-function tests of the forms around views and procedures: how they translate, the errors SQL
// Server gives for misplaced ones, object names as OBJECT_ID reads them, and old database files gaining
// the object catalogue.
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace rimo::tds;

TEST(TdsRoutines, ViewsProceduresAndIfTranslate)
{
    auto st =
        translateBatch("CREATE VIEW dbo.[Live Herd] (Serial, Born) AS SELECT s, b FROM Cows WHERE alive = 1");
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].kind, Statement::CreateView);
    EXPECT_EQ(st[0].name, "Live Herd");
    EXPECT_EQ(st[0].columns, (std::vector<std::string>{"Serial", "Born"}));
    EXPECT_EQ(
        st[0].sql.rfind("SELECT \"s\", \"b\" FROM \"Cows\" AS \"Cows\" WHERE \"alive\" = rimo_store(1, ", 0),
        0u);
    EXPECT_EQ(st[0].tables, (std::vector<std::pair<std::string, std::string>>{{"Cows", "Cows"}}));

    st = translateBatch("create proc dbo.Mark (@Serial nvarchar(20), @Kind int = 2) as\n"
                        "update Cows set kind = @Kind where serial = @Serial\nselect @@rowcount");
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].kind, Statement::CreateProcedure);
    EXPECT_EQ(st[0].name, "Mark");
    ASSERT_EQ(st[0].parameters.size(), 2u);
    EXPECT_EQ(st[0].parameters[0].name, "@Serial");
    EXPECT_TRUE(st[0].parameters[0].defaultSql.empty());
    EXPECT_EQ(st[0].parameters[1].defaultSql, "2");
    EXPECT_EQ(st[0].definition, "update Cows set kind = @Kind where serial = @Serial\nselect @@rowcount");

    st = translateBatch(
        "IF NOT EXISTS (SELECT * FROM dbo.sysobjects WHERE name = N'T' AND xtype = 'U') "
        "CREATE TABLE T (a int) ELSE BEGIN DROP VIEW IF EXISTS V, dbo.W; EXEC P 1, @b = N'x' END; "
        "SELECT 1");
    ASSERT_EQ(st.size(), 2u);
    EXPECT_EQ(st[0].kind, Statement::If);
    EXPECT_EQ(st[0].sql.rfind(
                  "SELECT CASE WHEN NOT EXISTS (SELECT * FROM rimo_sysobjects AS \"sysobjects\" WHERE ", 0),
              0u);
    ASSERT_EQ(st[0].body.size(), 2u);
    EXPECT_EQ(st[0].body[0].kind, Statement::CreateTable);
    const Statement& block = st[0].body[1];
    ASSERT_EQ(block.kind, Statement::Block);
    ASSERT_EQ(block.body.size(), 2u);
    EXPECT_EQ(block.body[0].kind, Statement::DropObjects);
    EXPECT_EQ(block.body[0].objectType, 'V');
    EXPECT_TRUE(block.body[0].ifExists);
    EXPECT_EQ(block.body[0].names, (std::vector<std::string>{"V", "W"}));
    EXPECT_EQ(block.body[0].shownNames, (std::vector<std::string>{"V", "dbo.W"}));
    const Statement& exec = block.body[1];
    EXPECT_EQ(exec.kind, Statement::Exec);
    ASSERT_EQ(exec.arguments.size(), 2u);
    EXPECT_TRUE(exec.arguments[0].name.empty());
    EXPECT_EQ(exec.arguments[1].name, "@b");
    EXPECT_EQ(exec.arguments[1].sql, "'x'");

    // Conditions in parentheses, with NOT, and over a CASE.
    for (const char* condition :
         {"((1 = 1))", "NOT (1 = 1)", "(CASE WHEN 1 = 1 THEN 1 END) = 1", "(1 = 1) OR 1 = 2"})
        EXPECT_NO_THROW(translateBatch(std::string("IF ") + condition + " SELECT 1")) << condition;

    // A sub-query on sysdatabases inside IF still has the directory filled in before it runs.
    st = translateBatch("IF EXISTS (SELECT name FROM master.dbo.sysdatabases WHERE name = N'herd') SELECT 1");
    EXPECT_TRUE(st[0].usesSysDatabases);
}

TEST(TdsRoutines, MisplacedOrBrokenFormsGiveSqlServersErrors)
{
    struct Case
    {
        const char* tsql;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {"SELECT 1 CREATE VIEW V AS SELECT 1 AS a", 111,
         "'CREATE VIEW' must be the first statement in a query batch."},
        {"DROP VIEW IF EXISTS V; CREATE VIEW V AS SELECT 1 AS a", 111,
         "'CREATE VIEW' must be the first statement in a query batch."},
        {"SET NOCOUNT ON CREATE PROCEDURE P AS SELECT 1", 111,
         "'CREATE/ALTER PROCEDURE' must be the first statement in a query batch."},
        {"IF 1 = 1 CREATE VIEW V AS SELECT 1 AS a", 156, "Incorrect syntax near the keyword 'VIEW'."},
        {"IF NOT EXISTS (SELECT 1) CREATE Procedure P AS SELECT 1", 156,
         "Incorrect syntax near the keyword 'Procedure'."},
        {"CREATE PROCEDURE P AS CREATE VIEW V AS SELECT 1 AS a", 156,
         "Incorrect syntax near the keyword 'VIEW'."},
        // A view is the whole of its batch.
        {"CREATE VIEW V AS SELECT 1 AS a SELECT 2", 156, "Incorrect syntax near the keyword 'SELECT'."},
        {"CREATE VIEW V AS SELECT a FROM T ORDER BY a", 1033,
         "The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, and common "
         "table "
         "expressions, unless TOP, OFFSET or FOR XML is also specified."},
        {"CREATE VIEW sales.V AS SELECT 1 AS a", 2760,
         "The specified schema name \"sales\" either does not exist or you do not have permission to use "
         "it."},
        // The body of a procedure is checked when the procedure is made.
        {"CREATE PROCEDURE P AS SELEC 1", 102, "Incorrect syntax near 'SELEC'."},
        {"CREATE PROCEDURE P @a int, @A int AS SELECT 1", 134,
         "The variable name '@A' has already been declared. Variable names must be unique within a query "
         "batch or "
         "stored procedure."},
        {"EXEC P @a = 1, 2", 119,
         "Must pass parameter number 2 and subsequent parameters as '@name = value'. After the form '@name = "
         "value' "
         "has been used, all subsequent parameters must be passed in the form '@name = value'."},
        {"BEGIN END", 156, "Incorrect syntax near the keyword 'END'."},
        {"ELSE SELECT 1", 156, "Incorrect syntax near the keyword 'ELSE'."},
        {"IF 1 = 1", 102, "Incorrect syntax near '1'."},
        {"IF 1 SELECT 2", 4145,
         "An expression of non-boolean type specified in a context where a condition is expected, near "
         "'SELECT'."},
        {"IF (1) + (2) SELECT 2", 4145,
         "An expression of non-boolean type specified in a context where a condition is expected, near "
         "'SELECT'."},
        {"IF CASE WHEN 1 = 1 THEN 1 END SELECT 2", 4145,
         "An expression of non-boolean type specified in a context where a condition is expected, near "
         "'SELECT'."},
        {"BEGIN SELECT 1", 102, "Incorrect syntax near '1'."},
        {"SELECT * FROM T WHERE", 102, "Incorrect syntax near 'WHERE'."},
        {"SELECT a FROM T WHERE ORDER BY a", 156, "Incorrect syntax near the keyword 'ORDER'."},
        {"SELECT OBJECTPROPERTY(1, @p)", 40000,
         "OBJECTPROPERTY with a property that is not a literal is not supported by the test server."},
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

TEST(TdsRoutines, ObjectNamesAsObjectIdReadsThem)
{
    struct Case
    {
        const char* text;
        const char* name; // nullptr: names nothing in database "herd"
    };
    const Case cases[] = {
        {"Cows", "Cows"},
        {"[Live Herd]", "Live Herd"},
        {"dbo.Cows", "Cows"},
        {"[dbo].[Cows]", "Cows"},
        {"DBO.[a]]b]", "a]b"},
        {"\"Cows\"", "Cows"},
        {"herd.dbo.Cows", "Cows"},
        {"HERD..Cows", "Cows"},
        {"other.dbo.Cows", nullptr},
        {"sales.Cows", nullptr},
        {"srv.herd.dbo.Cows", nullptr},
        {"", nullptr},
        {"dbo.", nullptr},
        {"[Cows", nullptr},
        {"Cows ", nullptr},
        {"a b", nullptr},
    };
    for (const auto& c : cases) {
        const auto got = objectNameIn(c.text, "herd");
        if (c.name)
            EXPECT_EQ(got.value_or("<none>"), c.name) << c.text;
        else
            EXPECT_FALSE(got.has_value()) << c.text << " gave " << *got;
    }
}

// A database file written before the object catalogue existed gains it when opened: its tables become
// objects, and the catalogue views compare their texts without regard to case.
TEST(TdsRoutines, OldDatabaseFilesGainTheObjectCatalogue)
{
    const std::string dir =
        std::filesystem::temp_directory_path() / ("rimo-catalogue-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/old.sqlite";
    std::filesystem::remove(path);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        const char* old =
            "CREATE TABLE rimo_tables(table_name nvarchar(128) PRIMARY KEY);"
            "CREATE TABLE Cows (a int);"
            "INSERT INTO rimo_tables VALUES ('Cows');"
            "CREATE VIEW rimo_is_tables AS SELECT 'herd' AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, "
            "table_name AS TABLE_NAME, 'BASE TABLE' AS TABLE_TYPE FROM rimo_tables;";
        ASSERT_EQ(sqlite3_exec(raw, old, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
    }
    for (int round = 0; round < 2; ++round) { // the second open finds the layout current
        auto db = Database::open(path, "herd", false);
        EXPECT_EQ(db->objectType("COWS").value_or('?'), 'U');
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db->handle(),
                               "SELECT count(*) FROM rimo_is_tables WHERE TABLE_TYPE = 'base table' AND "
                               "TABLE_SCHEMA = 'DBO' AND TABLE_NAME = 'cows'",
                               -1, &st, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), 1);
        sqlite3_finalize(st);
    }
    std::filesystem::remove_all(dir);
}
