// Plain-function tests of how SQLite's failures are told as SQL Server's errors, on a database in a
// temporary folder (no network).
#include "tools/tds-server/sqliteerrors.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace rimo::tds;

TEST(TdsSqliteErrors, CompileFailuresBecomeSqlServerErrors)
{
    struct Case
    {
        const char* message;
        int number;
        const char* text;
    };
    const Case cases[] = {
        {"no such table: main.Nowhere", 208, "Invalid object name 'Nowhere'."},
        {"no such column: t.Nothing", 207, "Invalid column name 'Nothing'."},
        {"ambiguous column name: a", 209, "Ambiguous column name 'a'."},
        {"table Calves has no column named Nope", 207, "Invalid column name 'Nope'."},
        {"table T has 3 columns but 2 values were supplied", 213,
         "Column name or number of supplied values does not match table definition."},
        {"2 values for 3 columns", 213,
         "Column name or number of supplied values does not match table definition."},
        {"misuse of aggregate: count()", 8120,
         "Column is invalid in the select list because it is not contained in either an aggregate function "
         "or "
         "the GROUP BY clause."},
        {"near \"x\": syntax error", 8180,
         "Statement(s) could not be prepared by the test server: near \"x\": syntax error"},
    };
    for (const auto& c : cases) {
        const ServerError e = prepareError(c.message);
        EXPECT_EQ(e.number(), c.number) << c.message;
        EXPECT_STREQ(e.what(), c.text) << c.message;
    }
}

TEST(TdsSqliteErrors, StepFailuresNameTheConstraintAndTableOfTheStatement)
{
    char tmpl[] = "/tmp/rimo-errors-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    {
        auto db = Database::open(dir + "/herd.sqlite", "herd", true);
        const auto create = translateBatch(
            "CREATE TABLE Cow (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(5) NOT NULL, Age int "
            "CONSTRAINT CK_Age CHECK (Age > 0), Tag int CHECK (Tag > 0), CONSTRAINT UQ_Serial UNIQUE "
            "(Serial));"
            "CREATE TABLE Pair (a int, b int, PRIMARY KEY (a, b))");
        db->createTable(create[0].tableDef);
        db->createTable(create[1].tableDef);
        Statement insert;
        insert.verb = Statement::Insert;
        insert.table = "Cow";
        Statement update = insert;
        update.verb = Statement::Update;
        Statement pair = insert;
        pair.table = "Pair";

        struct Case
        {
            int rc;
            const char* message;
            const Statement& st;
            int number;
            int state;
            const char* text;
        };
        const Case cases[] = {
            {SQLITE_CONSTRAINT_NOTNULL, "NOT NULL constraint failed: Cow.Serial", insert, 515, 2,
             "Cannot insert the value NULL into column 'Serial', table 'herd.dbo.Cow'; column does not allow "
             "nulls. INSERT fails."},
            {SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: Cow.Serial", insert, 2627, 1,
             "Violation of UNIQUE KEY constraint 'UQ_Serial'. Cannot insert duplicate key in object "
             "'dbo.Cow'."},
            // The identity key is SQLite's rowid, reported under the column's name.
            {SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: Cow.ID", insert, 2627, 1,
             "Violation of PRIMARY KEY constraint 'PK__Cow'. Cannot insert duplicate key in object "
             "'dbo.Cow'."},
            {SQLITE_CONSTRAINT_PRIMARYKEY, "UNIQUE constraint failed: Pair.a, Pair.b", pair, 2627, 1,
             "Violation of PRIMARY KEY constraint 'PK__Pair'. Cannot insert duplicate key in object "
             "'dbo.Pair'."},
            {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: CK_Age", update, 547, 0,
             "The UPDATE statement conflicted with the CHECK constraint \"CK_Age\". The conflict occurred in "
             "database \"herd\", table \"dbo.Cow\", column 'Age'."},
            {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: rimo_len_Serial", insert, 8152, 14,
             "String or binary data would be truncated."},
            {SQLITE_INTERRUPT, "interrupted", insert, 3621, 1, "The statement has been terminated."},
            {SQLITE_BUSY, "database is locked", insert, 1222, 1, "Lock request time out period exceeded."},
            {SQLITE_MISMATCH, "datatype mismatch", insert, 245, 1,
             "Conversion failed when converting a value to the column's data type."},
            {SQLITE_IOERR, "disk I/O error", insert, 50000, 1,
             "The test server could not run the statement: disk I/O error"},
        };
        for (const auto& c : cases) {
            const ServerError e = stepError(c.rc, c.message, *db, c.st, "ID");
            EXPECT_EQ(e.number(), c.number) << c.message;
            EXPECT_EQ(e.state(), c.state) << c.message;
            EXPECT_STREQ(e.what(), c.text) << c.message;
        }
    }
    std::filesystem::remove_all(dir);
}
