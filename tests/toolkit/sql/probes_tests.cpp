// The schema probes and the safe view drop through ExecSql on the test server.
#include "sqlfixture.h"

namespace {

class Probes : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE T (Id int PRIMARY KEY, Name nvarchar(50) NULL);"
                    "CREATE TABLE Accounts (Id int PRIMARY KEY, Counter int NULL);"
                    "CREATE TABLE [O'Neil] (Id int PRIMARY KEY);");
        server->exec("CREATE VIEW V AS SELECT Id, Name FROM T", "herd");
        server->exec("CREATE PROCEDURE P AS SELECT 1 AS One", "herd");
        server->exec("CREATE DATABASE other");
    }
    void SetUp() override
    {
        SqlFixture::SetUp();
        // Each test leaves V in place.
        try {
            server->exec("CREATE VIEW V AS SELECT Id, Name FROM T", "herd");
        } catch (const std::runtime_error&) {
            // still there
        }
    }

    // No dialog was shown and no end requested.
    void expectQuiet()
    {
        EXPECT_TRUE(takeMessages().isEmpty());
        EXPECT_FALSE(rimo::terminateRequested());
    }
};

} // namespace

TEST_F(Probes, TablesViewsColumnsAndProcedures)
{
    const struct
    {
        std::function<bool()> probe;
        bool answer;
        const char* what;
    } cases[] = {
        {[&] { return tools->IsTableExist("T"); }, true, "table T"},
        {[&] { return tools->IsViewExist("T"); }, false, "T is no view"},
        {[&] { return tools->IsTableExist("V"); }, false, "V is no table"},
        {[&] { return tools->IsViewExist("V"); }, true, "view V"},
        {[&] { return tools->IsTableExist("Missing"); }, false, "missing table"},
        {[&] { return tools->IsViewExist("Missing"); }, false, "missing view"},
        {[&] { return tools->IsTableExist("O'Neil"); }, true, "a quote in the name"},
        {[&] { return tools->IsTableExist("Accounts"); }, true, "count in the name"},
        {[&] { return tools->IsFieldExist("Accounts", "Counter"); }, true, "count in both names"},
        {[&] { return tools->IsFieldExist("T", "Counter"); }, false, "column of another table"},
        {[&] { return tools->IsFieldExist("T", "Name"); }, true, "column"},
        {[&] { return tools->IsFieldExist("V", "Name"); }, true, "column of a view"},
        {[&] { return tools->IsSpExist("T"); }, false, "a table is no procedure"},
        {[&] { return tools->IsSpExist("Missing"); }, false, "missing procedure"},
        {[&] { return tools->IsDataBaseExist("herd"); }, true, "this database"},
        {[&] { return tools->IsDataBaseExist("other"); }, true, "another database"},
        {[&] { return tools->IsDataBaseExist("none"); }, false, "missing database"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.probe(), c.answer) << c.what;
        expectQuiet();
    }
}

// The procedure is not the first object of the database: the probe must read each row's own kind.
TEST_F(Probes, ExistingProcedures)
{
    EXPECT_TRUE(tools->IsSpExist("P"));
    EXPECT_TRUE(tools->IsSpExist("dbo.P"));
    EXPECT_TRUE(tools->IsSpExist("[P]"));
    expectQuiet();
}

TEST_F(Probes, DatabasesAreAskedOfTheServerFromAnyDatabase)
{
    tools->ServerConnection->Disconnect();
    rimo::testsupport::connectToServer(*tools->ServerConnection, *server, "other");
    EXPECT_TRUE(tools->IsDataBaseExist("herd"));
    EXPECT_TRUE(tools->IsDataBaseExist("master"));
    EXPECT_FALSE(tools->IsTableExist("T")) << "tables are those of the connection's database";
    expectQuiet();
}

TEST_F(Probes, AFailingProbeIsFalseAfterTheCountFailure)
{
    tools->ServerConnection->Disconnect();
    EXPECT_FALSE(tools->IsTableExist("T"));
    const QStringList messages = takeMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(
        messages[0].startsWith(sqlmsg::countFailed("Select Count(  * ) As Res  FROM  INFORMATION_SCHEMA")));
    EXPECT_TRUE(rimo::terminateRequested());
}

TEST_F(Probes, DropViewSafe)
{
    EXPECT_TRUE(tools->DropViewSafe("Missing")) << "a missing view is no failure";
    EXPECT_TRUE(tools->IsTableExist("T"));
    EXPECT_TRUE(tools->DropViewSafe("V"));
    EXPECT_FALSE(tools->IsViewExist("V"));

    // A "]" in the name stays inside the brackets.
    server->exec("CREATE VIEW [a]]b] AS SELECT Id FROM T", "herd");
    ASSERT_TRUE(tools->IsViewExist("a]b"));
    EXPECT_TRUE(tools->DropViewSafe("a]b"));
    EXPECT_FALSE(tools->IsViewExist("a]b"));
    EXPECT_TRUE(tools->DropViewSafe("x]; DROP TABLE T; --"));
    EXPECT_TRUE(tools->IsTableExist("T")) << "the name cannot end the brackets and add a statement";
    expectQuiet();
}

TEST_F(Probes, DropViewSafeSendsNothingWhileViewsMayNotBeDropped)
{
    TSqlServices::SqlTraceEnabled = true;
    tools->ViewCanBeDroped = false;
    EXPECT_FALSE(tools->DropViewSafe("V"));
    EXPECT_TRUE(t4r("Try Doing ExecSql.Txt").isNull()) << "nothing was sent";
    tools->ViewCanBeDroped = true;
    EXPECT_TRUE(tools->IsViewExist("V"));

    // A failed drop: false, the error log while tracing, the board line, no dialog.
    showBoard();
    tools->ServerConnection->Disconnect();
    EXPECT_FALSE(tools->DropViewSafe("V"));
    EXPECT_FALSE(t4r("SqlExecuteErrorLog.Txt").isNull());
    ASSERT_FALSE(boardRows().isEmpty());
    EXPECT_TRUE(boardRows()[0].startsWith(sqlmsg::Error + "=if exists"));
    expectQuiet();
}
