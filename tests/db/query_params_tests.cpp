// Query parameters, Prepare and saving a query's SQL: the ":name" reader on its own, then the
// query object through FreeTDS db-lib and the TDS test server.
#include "core/error.h"
#include "db/msdataset.h"
#include "db/sqlparams.h"
#include "herdconnection.h"
#include "tdsserver.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rimo::Error;
using rimo::db::parseParamSql;
using rimo::testsupport::TdsServer;

// ---- the ":name" reader -------------------------------------------------------------------

TEST(ParamSql, FindsParametersOutsideQuotesAndComments)
{
    struct Case
    {
        QString sql;
        QStringList names;
        QString text; // as sent, with "@name"
    };
    const Case cases[] = {
        {"SELECT * FROM T WHERE A = :a AND B=:b_2", {"a", "b_2"}, "SELECT * FROM T WHERE A = @a AND B=@b_2"},
        // one parameter, written in the spelling of its first use
        {"UPDATE T SET A = :Val WHERE B = :VAL OR C = :val",
         {"Val"},
         "UPDATE T SET A = @Val WHERE B = @Val OR C = @Val"},
        {"SELECT ':a', N':b', 'it'':s :c', [x:d], [y]]:e], \"z:f\" FROM T WHERE G = :g",
         {"g"},
         "SELECT ':a', N':b', 'it'':s :c', [x:d], [y]]:e], \"z:f\" FROM T WHERE G = @g"},
        {"SELECT 1 -- :a\nFROM T /* :b /* :c */ :d */ WHERE E = :e",
         {"e"},
         "SELECT 1 -- :a\nFROM T /* :b /* :c */ :d */ WHERE E = @e"},
        // "::" is one literal colon outside quotes, and is left alone inside them
        {"SELECT '10::30', a::b, :::c", {"c"}, "SELECT '10::30', a:b, :@c"},
        {"SELECT : a, 'x:", {}, "SELECT : a, 'x:"},
        {"SELECT * FROM Dam WHERE نام = :نام", {"نام"}, "SELECT * FROM Dam WHERE نام = @نام"},
        {"WHERE A=:a1)", {"a1"}, "WHERE A=@a1)"},
        {"", {}, ""},
    };
    for (const Case& c : cases) {
        const auto parsed = parseParamSql(c.sql);
        EXPECT_EQ(parsed.names, c.names) << c.sql.toStdString();
        EXPECT_EQ(parsed.withVariables(), c.text) << c.sql.toStdString();
    }
}

TEST(QueryParams, ListFollowsTheTextAndKeepsValuesOfSurvivingNames)
{
    TMSQuery q;
    q.setObjectName("q");
    q.setSqlText("SELECT * FROM T WHERE A = :a AND B = :b AND C = :a");
    ASSERT_EQ(q.ParamCount(), 2);
    EXPECT_EQ(q.Params(0).Name(), "a");
    EXPECT_EQ(q.Params(1).Name(), "b");
    EXPECT_TRUE(q.ParamByName("A").IsNull()) << "names are found without regard to letter case";
    q.ParamByName("a").setAsInteger(7);
    TParam& b = q.ParamByName("b");
    b.setAsString("x");

    q.SQL.clear();
    q.SQL << "SELECT * FROM T"
          << "WHERE B = :b AND D = :d";
    ASSERT_EQ(q.ParamCount(), 2);
    EXPECT_EQ(&q.ParamByName("b"), &b) << "a surviving parameter is the same object";
    EXPECT_EQ(b.AsString(), "x");
    EXPECT_TRUE(q.ParamByName("d").IsNull());
    try {
        q.ParamByName("a");
        FAIL() << "a is gone from the text";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "q: Parameter 'a' not found");
    }
    EXPECT_THROW(q.Params(2), Error);
    EXPECT_THROW(q.Params(-1), Error);

    // values and their text
    TParam& d = q.ParamByName("d");
    d.setAsFloat(2.5);
    EXPECT_EQ(d.AsString(), "2.5");
    d.setAsInteger(-3);
    EXPECT_EQ(d.AsString(), "-3");
    d.setAsString(QString());
    EXPECT_FALSE(d.IsNull()) << "an empty text is a value, not a null";
    d.Clear();
    EXPECT_TRUE(d.IsNull());
    EXPECT_EQ(d.AsString(), "");
}

TEST(QuerySqlFile, SavesTheLinesWithCrLfInUtf8)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TMSQuery q;
    q.SQL << "SELECT *"
          << "FROM zayesh WHERE Kind = N'رسمي'"
          << "";
    const QString path = dir.filePath("q.sql");
    q.saveSqlToFile(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QString("SELECT *\r\nFROM zayesh WHERE Kind = N'رسمي'\r\n\r\n").toUtf8());
    f.close();

    // saving again replaces the whole file
    q.SQL = QStringList{"SELECT 1"};
    q.saveSqlToFile(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("SELECT 1\r\n"));
}

TEST(QuerySqlFile, UnwritablePathRaisesWithTheSystemsReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    TMSQuery q;
    q.SQL << "SELECT 1";
    for (const QString& path : {dir.filePath("missing/q.sql"), dir.filePath("plain/q.sql"), dir.path()}) {
        try {
            q.saveSqlToFile(path);
            ADD_FAILURE() << "wrote " << path.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().startsWith("Cannot create file \"" + path + "\". "))
                << e.text().toStdString();
            EXPECT_GT(e.text().size(), QString("Cannot create file \"" + path + "\". ").size())
                << "the reason follows";
        }
    }
}

// ---- through the server ---------------------------------------------------------------------

namespace {

class Params : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new TdsServer();
        server->exec("CREATE DATABASE herd");
        server->exec("CREATE TABLE P (ID int IDENTITY(1,1) PRIMARY KEY, Name nvarchar(100) NULL, "
                     "Code varchar(20) NULL, N bigint NULL, F float NULL, Memo ntext NULL)",
                     "herd");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        rimo::testsupport::connectToServer(connection, *server, "herd");
        query.Connection = &connection;
        query.setObjectName("query");
        server->exec("DELETE FROM P", "herd");
    }

    // Inserts one row through parameters and returns its ID.
    qint64 insert(const std::function<void(TMSQuery&)>& setValues)
    {
        TMSQuery q;
        q.Connection = &connection;
        q.setSqlText("INSERT INTO P (Name, Code, N, F) VALUES (:name, :code, :n, :f)");
        setValues(q);
        q.Execute();
        EXPECT_EQ(q.RowsAffected(), 1);
        q.setSqlText("SELECT MAX(ID) AS ID FROM P");
        q.Open();
        return q.FieldByName("ID").AsInteger();
    }

    // Opens the row `id` through a parameter.
    void openRow(qint64 id)
    {
        query.setSqlText("SELECT * FROM P WHERE ID = :id");
        query.ParamByName("id").setAsInteger(id);
        query.Open();
        ASSERT_EQ(query.RecordCount(), 1);
    }

    static TdsServer* server;
    TMSConnection connection;
    TMSQuery query;
};
TdsServer* Params::server = nullptr;

} // namespace

TEST_F(Params, ValuesOfEachTypeArriveAsSent)
{
    const QString persian = "گاو شيرده رسمي";
    struct Case
    {
        std::function<void(TMSQuery&)> set;
        QString name, code, n, f;
        bool nameNull, codeNull, nNull, fNull;
    };
    const Case cases[] = {
        {[&](TMSQuery& q) {
             q.ParamByName("name").setAsString(persian);
             q.ParamByName("code").setAsString("B-7");
             q.ParamByName("n").setAsInteger(9007199254740993LL); // beyond a double's exact range
             q.ParamByName("f").setAsFloat(-31.25);
         },
         persian, "B-7", "9007199254740993", "-31.25", false, false, false, false},
        // nulls and empty texts stay what they are
        {[&](TMSQuery& q) {
             q.ParamByName("name").setAsString("");
             q.ParamByName("code").Clear();
             q.ParamByName("n").Clear();
             q.ParamByName("f").Clear();
         },
         "", "", "", "", false, true, true, true},
        {[&](TMSQuery& q) {
             q.ParamByName("name").setAsString("ب");
             q.ParamByName("code").setAsString("");
             q.ParamByName("n").setAsString("12"); // text into a number column: the server converts
             q.ParamByName("f").setAsInteger(3);
         },
         "ب", "", "12", "3", false, false, false, false},
    };
    for (const Case& c : cases) {
        const qint64 id = insert(c.set);
        openRow(id);
        EXPECT_EQ(query.FieldByName("Name").AsString(), c.name);
        EXPECT_EQ(query.FieldByName("Name").IsNull(), c.nameNull);
        EXPECT_EQ(query.FieldByName("Code").AsString(), c.code);
        EXPECT_EQ(query.FieldByName("Code").IsNull(), c.codeNull);
        EXPECT_EQ(query.FieldByName("N").AsString(), c.n);
        EXPECT_EQ(query.FieldByName("N").IsNull(), c.nNull);
        EXPECT_EQ(query.FieldByName("F").AsString(), c.f);
        EXPECT_EQ(query.FieldByName("F").IsNull(), c.fNull);
    }
}

// db-lib cuts nvarchar parameters to 4000 characters without a word; the statement text is one too.
TEST_F(Params, LongTextsAndStatementsAreSentWhole)
{
    const QString longText = QString("ركورد ").repeated(900);
    ASSERT_GT(longText.size(), 4000);
    const qint64 id = insert([&](TMSQuery& q) { q.ParamByName("name").setAsString("a"); });
    query.setSqlText("UPDATE P SET Memo = :memo WHERE ID = :id");
    query.ParamByName("memo").setAsString(longText);
    query.ParamByName("id").setAsInteger(id);
    query.Execute();
    openRow(id);
    EXPECT_EQ(query.FieldByName("Memo").AsString().size(), longText.size());
    EXPECT_TRUE(query.FieldByName("Memo").AsString() == longText);

    // Cut after the padding, this statement would read every row.
    insert([&](TMSQuery& q) { q.ParamByName("name").setAsString("b"); });
    query.setSqlText("SELECT ID FROM P" + QString(4100, u' ') + "WHERE ID = :id");
    query.ParamByName("id").setAsInteger(id);
    query.Open();
    EXPECT_EQ(query.RecordCount(), 1);
}

TEST_F(Params, QuotesInValuesAreDataNotSql)
{
    const QString hostile = "x'; DROP TABLE P; --";
    const qint64 id = insert([&](TMSQuery& q) {
        q.ParamByName("name").setAsString(hostile);
        q.ParamByName("code").setAsString("N'':a");
    });
    // looked up by the same values: they compare equal as data
    query.setSqlText("SELECT ID, Name, Code FROM P WHERE Name = :name AND Code = :code");
    query.ParamByName("name").setAsString(hostile);
    query.ParamByName("code").setAsString("N'':a");
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1);
    EXPECT_EQ(query.FieldByName("ID").AsInteger(), id);
    EXPECT_EQ(query.FieldByName("Name").AsString(), hostile);
    EXPECT_EQ(query.FieldByName("Code").AsString(), "N'':a");
}

TEST_F(Params, NameUsedTwiceAndColonsInTextAndComments)
{
    const qint64 id = insert([](TMSQuery& q) { q.ParamByName("n").setAsInteger(4); });
    query.SQL.clear();
    query.SQL << "UPDATE P SET N = :v, F = :v, Code = '12:30' -- :code is not a parameter"
              << "/* nor :this */ WHERE ID = :id AND Code IS NULL";
    ASSERT_EQ(query.ParamCount(), 2);
    query.ParamByName("v").setAsInteger(6);
    query.ParamByName("id").setAsInteger(id);
    query.Execute();
    EXPECT_EQ(query.RowsAffected(), 1);
    EXPECT_FALSE(query.Active());
    openRow(id);
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 6);
    EXPECT_EQ(query.FieldByName("F").AsFloat(), 6.0);
    EXPECT_EQ(query.FieldByName("Code").AsString(), "12:30");
}

// With ParamCheck off the text goes as written: ":x" reaches the server instead of becoming a
// null parameter, and the query has no parameters to set.
TEST_F(Params, WithoutParamCheckTheStatementGoesAsWritten)
{
    const qint64 id = insert([](TMSQuery& q) { q.ParamByName("code").setAsString("k"); });
    const QString update = QString("UPDATE P SET Code = :x WHERE ID = %1").arg(id);
    query.setSqlText(update);
    ASSERT_EQ(query.ParamCount(), 1);
    query.ParamCheck = false;
    EXPECT_EQ(query.ParamCount(), 0) << "switching it off drops the parameters";
    EXPECT_THROW(query.ParamByName("x"), Error);
    EXPECT_THROW(query.Execute(), Error) << "the server saw the colon";
    query.ParamCheck = true;
    openRow(id);
    EXPECT_EQ(query.FieldByName("Code").AsString(), "k");

    TMSQuery on;
    on.Connection = &connection;
    on.setSqlText(update);
    on.Execute();
    EXPECT_EQ(on.RowsAffected(), 1) << "with the check on, :x is a null parameter";
    openRow(id);
    EXPECT_TRUE(query.FieldByName("Code").IsNull());

    // Off, "::" stays two colons; on again, the text is parsed afresh.
    TMSQuery q;
    q.ParamCheck = false;
    q.SQL << "SELECT :a::b";
    EXPECT_EQ(q.ParamCount(), 0);
    q.ParamCheck = true;
    ASSERT_EQ(q.ParamCount(), 1);
    EXPECT_EQ(q.Params(0).Name(), "a");
}

TEST_F(Params, ExecuteOfAParameterisedSelectLeavesTheResultOpen)
{
    insert([](TMSQuery& q) { q.ParamByName("n").setAsInteger(1); });
    insert([](TMSQuery& q) { q.ParamByName("n").setAsInteger(2); });
    query.setSqlText("SELECT N FROM P WHERE N >= :low ORDER BY N");
    query.ParamByName("low").setAsInteger(2);
    query.Execute();
    ASSERT_TRUE(query.Active());
    EXPECT_EQ(query.RecordCount(), 1);
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 2);
    // an unset parameter is a null: it matches nothing
    query.ParamByName("low").Clear();
    query.Open();
    EXPECT_TRUE(query.IsEmpty());
}

TEST_F(Params, PrepareCompilesWithoutRunning)
{
    const qint64 id = insert([](TMSQuery& q) { q.ParamByName("n").setAsInteger(1); });
    query.setSqlText("UPDATE P SET N = :n WHERE ID = :id");
    query.ParamByName("n").setAsInteger(99);
    query.ParamByName("id").setAsInteger(id);
    query.Prepare();
    query.setSqlText("DELETE FROM P");
    query.Prepare();
    openRow(id);
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 1) << "Prepare must not run the statement";

    // and the prepared statement still runs afterwards
    query.setSqlText("UPDATE P SET N = :n WHERE ID = :id");
    query.ParamByName("n").setAsInteger(99);
    query.ParamByName("id").setAsInteger(id);
    query.Prepare();
    query.Execute();
    EXPECT_EQ(query.RowsAffected(), 1);
}

TEST_F(Params, PrepareRaisesTheServersErrors)
{
    const qint64 id = insert([](TMSQuery& q) { q.ParamByName("n").setAsInteger(1); });
    struct Case
    {
        QString sql;
        QString error;
    };
    const Case cases[] = {
        {"UPDATE Nope SET N = :n", "Invalid object name 'Nope'."},
        {"SELECT * FROM Nope WHERE ID = :id", "Invalid object name 'Nope'."},
        {"UPDATE P SET Nothing = :n WHERE ID = :id", "Invalid column name 'Nothing'."},
        {"UPDATE P SET N = 5 WHERE ID = @undeclared", "Must declare the scalar variable \"@undeclared\"."},
    };
    for (const Case& c : cases) {
        query.setSqlText(c.sql);
        for (int i = 0; i < query.ParamCount(); ++i)
            query.Params(i).setAsInteger(id);
        try {
            query.Prepare();
            ADD_FAILURE() << "prepared: " << c.sql.toStdString();
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), c.error) << c.sql.toStdString();
        }
    }
    query.setSqlText("UPDATE P SET N = WHERE");
    EXPECT_THROW(query.Prepare(), Error);

    // nothing changed, and the connection goes on working
    openRow(id);
    EXPECT_EQ(query.FieldByName("N").AsInteger(), 1);
}
