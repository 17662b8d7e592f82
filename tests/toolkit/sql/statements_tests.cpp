// Single statements through the toolkit object on the test server: the count rewrite and its
// guard, the execute path, the logs of T4R, the returned parameters, the version and the sums.
#include "core/error.h"
#include "sqlfixture.h"
#include "toolkit/sql/statementtext.h"

#include <QDir>

namespace {

class Statements : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE T (Id int PRIMARY KEY, Name nvarchar(50) NULL, DateFrom nvarchar(10) NULL, "
                    "Qty float NULL);"
                    "INSERT INTO T VALUES (1, N'a', N'1389/01/01', 2.5);"
                    "INSERT INTO T VALUES (2, N'b', NULL, 4);"
                    "INSERT INTO T VALUES (3, N'c', NULL, NULL);"
                    "CREATE TABLE Accounts (Id int PRIMARY KEY);"
                    "INSERT INTO Accounts VALUES (1); INSERT INTO Accounts VALUES (2);");
    }

    // Name of row `id` as the server has it.
    QString nameOf(int id)
    {
        TMSQuery q;
        q.Connection = tools->ServerConnection;
        q.setSqlText(QString("SELECT Name FROM T WHERE Id = %1").arg(id));
        q.Open();
        return q.FieldByName("Name").IsNull() ? "<null>" : q.FieldByName("Name").AsString();
    }
};

} // namespace

TEST_F(Statements, SelectsComeBackAsTheirRowCount)
{
    const struct
    {
        QString statement;
        int result;
    } cases[] = {
        {"   select Name from T where Id=1", 1},
        {"SELECT * FROM T", 3},
        {"select Name FROM T WHERE Name <> N'from'", 3},
        // Once cut inside DateFrom, and the name Accounts once tripped the guard.
        {"SELECT DateFrom FROM T", 1},
        {"SELECT * FROM Accounts", 2},
        // A tab or a line break first: no select, executed as written.
        {"\tSELECT * FROM T", 0},
        {"\nselect * from T", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tools->ExecSql(c.statement), c.result) << c.statement.toStdString();
        EXPECT_TRUE(takeMessages().isEmpty()) << c.statement.toStdString();
        EXPECT_FALSE(rimo::terminateRequested()) << c.statement.toStdString();
    }
}

TEST_F(Statements, CountingACountShowsTheFaultEndsAndStillRuns)
{
    EXPECT_EQ(tools->ExecSql("SELECT COUNT(*) AS Res FROM T"), 3);
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::ProgrammingFault});
    EXPECT_TRUE(rimo::terminateRequested());

    // Without a column Res the unchanged statement fails as a count does.
    rimo::resetTerminateRequest();
    const QString statement = "select count(*) from T";
    EXPECT_EQ(tools->ExecSql(statement), 0);
    EXPECT_EQ(takeMessages(), (QStringList{sqlmsg::ProgrammingFault, sqlmsg::countFailed(statement)}));
    EXPECT_TRUE(rimo::terminateRequested());
    EXPECT_EQ(t4r("SqlExecuteErrorLog.Txt"), (statement + "\r\n").toUtf8());
}

TEST_F(Statements, AFailingCountLogsPostsShowsAndEnds)
{
    const QString sent = "Select Count( * ) As Res  FROM Missing";
    // Board hidden: no line.
    EXPECT_EQ(tools->ExecSql("SELECT * FROM Missing"), 0);
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::countFailed(sent)});
    EXPECT_TRUE(rimo::terminateRequested());
    EXPECT_EQ(t4r("SqlExecuteErrorLog.Txt"), (sent + "\r\n").toUtf8()) << "written with tracing off too";
    EXPECT_TRUE(boardRows().isEmpty());

    showBoard();
    removeLogs();
    EXPECT_EQ(tools->ExecSql("SELECT * FROM Missing"), 0);
    EXPECT_EQ(boardRows(), QStringList{sqlmsg::Error + "=" + sent});
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::countFailed(sent)});
    EXPECT_FALSE(t4r("SqlExecuteErrorLog.Txt").isNull());
}

TEST_F(Statements, OtherStatementsGiveZeroOrMinus100)
{
    EXPECT_EQ(tools->ExecSql("UPDATE T SET Name = N'z' WHERE Id = 3"), 0);
    EXPECT_EQ(nameOf(3), "z");
    EXPECT_EQ(tools->ExecSql("UPDATE T SET Name = Name"), 0) << "never the number of changed rows";
    EXPECT_EQ(tools->ExecSqlNoCount("  UPDATE T SET Name = N'c' WHERE Id = 3"), 0);
    EXPECT_EQ(nameOf(3), "c");
    EXPECT_EQ(tools->ExecSqlNoCount("SELECT * FROM T"), 0) << "no rewrite";
    EXPECT_EQ(tools->ExecSqlNoCount("SELECT COUNT(*) FROM T"), 0) << "no guard";

    showBoard();
    EXPECT_EQ(tools->ExecSql("UPDATE Missing SET a = 1"), -100);
    EXPECT_EQ(tools->ExecSqlNoCount("DELETE FROM Missing"), -100);
    EXPECT_EQ(boardRows(), (QStringList{sqlmsg::Error + "=UPDATE Missing SET a = 1",
                                        sqlmsg::Error + "=DELETE FROM Missing"}));
    EXPECT_TRUE(takeMessages().isEmpty());
    EXPECT_FALSE(rimo::terminateRequested());
}

TEST_F(Statements, BlankStatementsSendAndShowNothing)
{
    TSqlServices::SqlTraceEnabled = true;
    showBoard();
    for (const QString& blank : {QString(), QString("   "), QString(" \t\r\n ")}) {
        EXPECT_EQ(tools->ExecSql(blank), -100);
        EXPECT_EQ(tools->ExecSqlNoCount(blank), -100);
    }
    EXPECT_TRUE(boardRows().isEmpty());
    EXPECT_TRUE(takeMessages().isEmpty());
    EXPECT_TRUE(t4r("Try Doing ExecSql.Txt").isNull()) << "nothing was about to be sent";
    EXPECT_FALSE(rimo::terminateRequested());
}

TEST_F(Statements, ColonsGoAsWritten)
{
    EXPECT_EQ(tools->ExecSqlNoCount("UPDATE T SET Name = '12::30' WHERE Id = 2"), 0);
    EXPECT_EQ(nameOf(2), "12::30");
    EXPECT_EQ(tools->ExecSql("SELECT * FROM T WHERE Name = '12::30'"), 1);
    // A ":x" is no null parameter: the server gets it and refuses it, and the row stays.
    EXPECT_EQ(tools->ExecSqlNoCount("UPDATE T SET Name = :x WHERE Id = 2"), -100);
    EXPECT_EQ(nameOf(2), "12::30");
    EXPECT_EQ(tools->ExecSqlNoCount("UPDATE T SET Name = N'b' WHERE Id = 2"), 0);
}

TEST_F(Statements, LogsFollowTheTraceFlag)
{
    const QString update = "UPDATE T SET Name = N'ب' WHERE Id = 1";
    const QString bad = "UPDATE Missing SET a = 1";
    EXPECT_EQ(tools->ExecSqlNoCount(update), 0);
    EXPECT_EQ(tools->ExecSql(bad), -100);
    EXPECT_TRUE(tools->DoSqlAndReturnParameters("SELECT * FROM Missing") == false);
    for (const char* log : {"Try Doing ExecSql.Txt", "SqlExecuteErrorLog.Txt", "Try Do Sql.Txt"})
        EXPECT_TRUE(t4r(log).isNull()) << log << " written with tracing off";

    TSqlServices::SqlTraceEnabled = true;
    EXPECT_EQ(tools->ExecSql(update), 0);
    EXPECT_EQ(t4r("Try Doing ExecSql.Txt"), (update + "\r\n").toUtf8());
    EXPECT_TRUE(t4r("SqlExecuteErrorLog.Txt").isNull());
    EXPECT_EQ(tools->ExecSqlNoCount(bad), -100);
    EXPECT_EQ(t4r("Try Doing ExecSql.Txt"), (bad + "\r\n").toUtf8()) << "the whole file is replaced";
    EXPECT_EQ(t4r("SqlExecuteErrorLog.Txt"), (bad + "\r\n").toUtf8());
    EXPECT_FALSE(tools->DoSqlAndReturnParameters(" SELECT * FROM Gone"));
    EXPECT_EQ(t4r("Try Do Sql.Txt"), QByteArray(" SELECT * FROM Gone\r\n"));
    EXPECT_EQ(t4r("SqlExecuteErrorLog.Txt"), QByteArray(" SELECT * FROM Gone\r\n"));
    EXPECT_EQ(tools->ExecSql("SELECT * FROM T"), 3);
    EXPECT_EQ(t4r("Try Doing ExecSql.Txt"), (bad + "\r\n").toUtf8()) << "a count is not traced";
}

TEST_F(Statements, ALogThatCannotBeWrittenReachesTheCaller)
{
    // A folder where the log should be.
    ASSERT_TRUE(QDir(dir.path()).mkpath("T4R/Try Doing ExecSql.Txt"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("T4R/SqlExecuteErrorLog.Txt"));
    TSqlServices::SqlTraceEnabled = true;
    EXPECT_THROW(tools->ExecSqlNoCount("UPDATE T SET Name = N'q' WHERE Id = 1"), rimo::Error);
    EXPECT_NE(nameOf(1), "q") << "the statement after the trace did not run";
    TSqlServices::SqlTraceEnabled = false;
    EXPECT_THROW(tools->ExecSql("SELECT * FROM Missing"), rimo::Error);
    EXPECT_TRUE(takeMessages().isEmpty()) << "the steps after the failed write did not run";
    EXPECT_FALSE(rimo::terminateRequested());
}

TEST_F(Statements, ReturnedParameters)
{
    EXPECT_TRUE(tools->DoSqlAndReturnParameters("SELECT Name, Id, Qty FROM T WHERE Id = 2"));
    EXPECT_EQ(tools->ReturnedParameters, (QStringList{"b", "2", "4"}));
    EXPECT_EQ(tools->ReturnedParameterCount, 3);

    // No rows: one empty text per column.
    EXPECT_TRUE(tools->DoSqlAndReturnParameters("SELECT Name, Id FROM T WHERE Id = 99"));
    EXPECT_EQ(tools->ReturnedParameters, (QStringList{"", ""}));
    EXPECT_EQ(tools->ReturnedParameterCount, 2);

    showBoard();
    EXPECT_FALSE(tools->DoSqlAndReturnParameters("SELECT * FROM Missing"));
    EXPECT_EQ(tools->ReturnedParameters, QStringList{""});
    EXPECT_EQ(tools->ReturnedParameterCount, 0);
    EXPECT_TRUE(boardRows().isEmpty());
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(Statements, VersionOfAConnectedAndAnUnconnectedServer)
{
    EXPECT_EQ(tools->SQLVer(tools->ServerConnection), "2019");
    EXPECT_TRUE(takeMessages().isEmpty());

    TMSConnection unconnected;
    showBoard();
    EXPECT_EQ(tools->SQLVer(&unconnected), "");
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::VersionFailed});
    EXPECT_EQ(boardRows(), QStringList{sqlmsg::Error + "=SELECT SUBSTRING(@@VERSION, 22, 5) As V"});
}

TEST_F(Statements, Sums)
{
    TMSTable table;
    table.TableName = "T"; // only its name is used
    EXPECT_DOUBLE_EQ(tools->SumOfField(&table, "Qty", ""), 6.5);
    EXPECT_DOUBLE_EQ(tools->SumOfField(&table, "Qty", " \t "), 6.5) << "a blank condition adds no Where";
    EXPECT_DOUBLE_EQ(tools->SumOfField(&table, "Qty", "Id = 1"), 2.5);
    EXPECT_DOUBLE_EQ(tools->SumOfField(&table, "Qty", "Id > 9"), 0) << "no rows: 0";
    EXPECT_DOUBLE_EQ(tools->SumOfField(&table, "Qty", "Id = 3"), 0) << "a null sum: 0";
    EXPECT_DOUBLE_EQ(tools->SumAndMulti(&table, "Qty", "Id", ""), 2.5 + 8);
    EXPECT_DOUBLE_EQ(tools->SumAndMulti(&table, "Qty", "Id", "Id = 2"), 8);
    table.TableName = "Missing";
    EXPECT_THROW(tools->SumOfField(&table, "Qty", ""), rimo::Error);
    EXPECT_THROW(tools->SumAndMulti(&table, "Qty", "Id", ""), rimo::Error);
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(Statements, ExceptMessageDialog)
{
    const QString msg = QString(301, u'ث');
    tools->ShowExceptMsg(msg, "Violation of PRIMARY KEY constraint 'PK_T'.");
    EXPECT_EQ(beeper->beeps, 1);
    ASSERT_EQ(dialogs.messages.size(), 1);
    const rimo::MessageBoxRequest& r = dialogs.messages[0];
    EXPECT_EQ(r.icon, rimo::MessageIcon::Critical);
    EXPECT_EQ(r.caption, sqlmsg::Error);
    EXPECT_EQ(r.buttons, QStringList{"بازگشت"});
    EXPECT_TRUE(r.rightToLeft);
    EXPECT_TRUE(r.arabicCharset);
    EXPECT_EQ(r.text, rimo::sql::exceptMessageText(msg, "Violation of PRIMARY KEY constraint 'PK_T'."));
    EXPECT_TRUE(r.text.startsWith(msg.left(300) + "\r(")) << "cut at 300 with its note";
}

TEST_F(Statements, AdoQueryCarriesLinesParametersAndConnection)
{
    TMSQuery q;
    q.Connection = tools->ServerConnection;
    q.SQL << "SELECT * FROM T"
          << "WHERE Id = :id AND Name = :n AND Qty = :id";
    q.ParamByName("id").setAsInteger(2);
    q.ParamByName("n").setAsString("x");
    const std::unique_ptr<TADOQuery> ado = tools->MsQuery2AdoQuery(&q);
    ASSERT_TRUE(ado);
    EXPECT_EQ(ado->SQL(), q.SQL);
    EXPECT_EQ(ado->ConnectionString,
              "Provider=SQLOLEDB.1;Persist Security Info=True;" + tools->ServerConnection->ConnectString());
    EXPECT_TRUE(ado->ConnectionString.contains("Initial Catalog=herd"));
    ASSERT_EQ(ado->ParameterCount(), 2);
    EXPECT_EQ(ado->Parameters(0).Name, "id");
    EXPECT_EQ(ado->Parameters(0).Value, QVariant(qint64(2)));
    EXPECT_EQ(ado->Parameters(1).Value, QVariant(QString("x")));
    EXPECT_THROW(ado->Parameters(2), rimo::Error);
}
