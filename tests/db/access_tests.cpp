// The access layer through the real stack: TMSConnection/TMSTable/TMSQuery -> FreeTDS db-lib ->
// the TDS test server.
#include "core/error.h"
#include "db/msdataset.h"
#include "herdconnection.h"
#include "tdsserver.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using rimo::Error;
using rimo::testsupport::TdsServer;

namespace {

class Access : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new TdsServer();
        server->exec("CREATE DATABASE herd");
        server->exec("CREATE TABLE Animals (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), "
                     "Name varchar(30) NULL, Kind nchar(10) NULL, Code char(6) NULL, Lact int NULL, "
                     "Milk float NULL, Dry bit NULL, Born datetime NULL, "
                     "CONSTRAINT ck_lact CHECK (Lact IS NULL OR Lact < 100))",
                     "herd");
        server->exec("INSERT INTO Animals (Serial, Name, Kind, Code, Lact, Milk, Dry, Born) VALUES "
                     "(N'1024', 'گاو يك', N'رسمي', 'ab', 2, 31.5, 0, '2020-03-21'), "
                     "(N'b7', NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
                     "(N'B7', 'دوم', N'آزمايشي', 'CD', 1, 20.25, 1, '2021-01-02 10:30:00'), "
                     "(N'0999', 'سوم', N'رسمي', 'x', 3, 0, 0, NULL)",
                     "herd");
        server->exec("CREATE TABLE Loose (A int NULL, B nvarchar(10) NULL)", "herd");
        server->exec("INSERT INTO Loose VALUES (1, N'x'), (1, N'x'), (2, NULL)", "herd");
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        rimo::testsupport::connectToServer(connection, *server, "herd");
        table.Connection = &connection;
        table.setObjectName("table");
        query.Connection = &connection;
    }

    static TdsServer* server;
    TMSConnection connection;
    TMSTable table;
    TMSQuery query;
};
TdsServer* Access::server = nullptr;

QStringList column(TMSDataSet& ds, const char* name)
{
    QStringList out;
    for (ds.First(); !ds.Eof(); ds.Next())
        out << ds.FieldByName(name).AsString();
    return out;
}

} // namespace

TEST_F(Access, ConnectsAndReportsItsSettings)
{
    EXPECT_TRUE(connection.Connected());
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
    connection.Disconnect(); // no effect when closed
}

TEST_F(Access, LoginFailuresCarryTheirReason)
{
    TMSConnection c;
    c.Server = QString::fromStdString(server->serverSpec());
    c.Username = "sa";
    c.Password = "wrong";
    try {
        c.Connect();
        FAIL() << "a wrong password must be refused";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("Login failed for user 'sa'")) << e.text().toStdString();
    }
    EXPECT_FALSE(c.Connected());

    c.Username.clear();
    EXPECT_THROW(c.Connect(), Error) << "an empty user name fails at once";
    c.Username = "sa";
    c.Server.clear();
    EXPECT_THROW(c.Connect(), Error) << "an empty server fails at once";

    // Nothing listens there: reported within seconds, not hanging.
    c.Server = "127.0.0.1:1";
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(c.Connect(), Error);
    EXPECT_LT(t.elapsed(), 15000);
}

TEST_F(Access, ReadsEveryColumnAsTextWithNullsAndPadding)
{
    table.TableName = "Animals";
    table.OrderFields = "ID";
    table.Open();
    ASSERT_EQ(table.RecordCount(), 4);
    EXPECT_EQ(table.FieldCount(), 9);
    EXPECT_EQ(table.FieldByName("Serial").AsString(), "1024");
    EXPECT_EQ(table.FieldByName("name").AsString(), QStringLiteral("گاو يك")) << "varchar in code page 1256";
    EXPECT_EQ(table.FieldByName("Kind").AsString(), QStringLiteral("رسمي")) << "nchar without its padding";
    EXPECT_EQ(table.FieldByName("Code").AsString(), "ab");
    EXPECT_EQ(table.FieldByName("Lact").AsInteger(), 2);
    EXPECT_DOUBLE_EQ(table.FieldByName("Milk").AsFloat(), 31.5);
    EXPECT_EQ(table.FieldByName("Milk").AsString(), "31.5");
    EXPECT_EQ(table.FieldByName("Dry").AsInteger(), 0);
    EXPECT_EQ(table.FieldByName("Born").AsString(), "21/03/2020");
    table.Next();
    for (const char* c : {"Name", "Kind", "Code", "Lact", "Milk", "Born"}) {
        EXPECT_TRUE(table.FieldByName(c).IsNull()) << c;
        EXPECT_EQ(table.FieldByName(c).AsString(), "") << c;
        EXPECT_EQ(table.FieldByName(c).AsInteger(), 0) << c;
    }
    table.Next();
    EXPECT_EQ(table.FieldByName("Born").AsString(), "02/01/2021 10:30:00");
    EXPECT_THROW(table.FieldByName("Nope"), Error);
    EXPECT_EQ(table.Fields(1).FieldName(), "Serial");
}

TEST_F(Access, CursorMovesAndStopsAtTheEnd)
{
    table.TableName = "Animals";
    table.FilterSQL = "ID < 0";
    table.Open();
    EXPECT_TRUE(table.Eof());
    EXPECT_TRUE(table.IsEmpty());
    EXPECT_EQ(table.FieldByName("Serial").AsString(), "");

    table.Close();
    table.FilterSQL = "ID <= 2";
    table.OrderFields = "ID";
    table.Open();
    EXPECT_FALSE(table.Eof());
    table.Next();
    EXPECT_FALSE(table.Eof());
    table.Next();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.FieldByName("ID").AsInteger(), 2) << "the cursor stays on the last row";
}

TEST_F(Access, ServerSortsAndFiltersLikeSqlServer)
{
    table.TableName = "dbo.Animals";
    table.OrderFields = "Serial";
    table.Open();
    // Case-insensitive collation: b7 and B7 sort together, after the digits.
    const QStringList serials = column(table, "Serial");
    EXPECT_EQ(serials.mid(0, 2), (QStringList{"0999", "1024"}));
    EXPECT_EQ(QStringList(serials.mid(2)).join(",").toLower(), "b7,b7");

    table.Close();
    table.FilterSQL = "Serial = 'B7'";
    table.Open();
    EXPECT_EQ(table.RecordCount(), 2) << "text compares without regard to case on the server";
    table.Close();
    table.FilterSQL = "Kind = N'رسمي'";
    table.Open();
    EXPECT_EQ(table.RecordCount(), 2) << "trailing blanks of nchar are ignored in comparisons";
}

TEST_F(Access, ClientFilterAndLocate)
{
    table.TableName = "Animals";
    table.OrderFields = "ID";
    table.Open();
    table.Filter = "Lact >= 2 and Kind = 'رسمي'";
    table.setFiltered(true);
    EXPECT_EQ(column(table, "Serial"), (QStringList{"1024", "0999"}));
    table.setFiltered(false);
    EXPECT_EQ(table.RecordCount(), 4);

    EXPECT_TRUE(table.Locate("Serial", {"B7"}));
    EXPECT_EQ(table.FieldByName("ID").AsInteger(), 3) << "Locate compares exactly, letter case included";
    EXPECT_TRUE(table.Locate("Serial;Lact", {"0999", 3}));
    EXPECT_EQ(table.FieldByName("ID").AsInteger(), 4);
    EXPECT_FALSE(table.Locate("Serial", {"nope"}));
    EXPECT_THROW(table.Locate("Serial;Nope", {"a", "b"}), Error);
}

TEST_F(Access, EditPostWritesOnlyTheChangedColumns)
{
    server->exec("CREATE TABLE Keyed (ID int PRIMARY KEY, Serial nvarchar(20), A int NULL, B int NULL)",
                 "herd");
    server->exec("INSERT INTO Keyed VALUES (1, N'x', NULL, NULL), (2, N'y', 5, NULL)", "herd");
    table.TableName = "Keyed";
    table.OrderFields = "ID";
    table.Open();
    EXPECT_EQ(table.keyColumns(), QStringList{"ID"});
    table.Edit();
    table.FieldByName("B").setAsInteger(7);
    table.FieldByName("Serial").setAsString(QStringLiteral("ساده's"));
    table.Post();
    EXPECT_EQ(table.FieldByName("B").AsInteger(), 7) << "the cursor stays on the posted row";

    TMSTable check;
    check.Connection = &connection;
    check.TableName = "Keyed";
    check.OrderFields = "ID";
    check.Open();
    EXPECT_EQ(check.FieldByName("Serial").AsString(), QStringLiteral("ساده's"));
    EXPECT_TRUE(check.FieldByName("A").IsNull()) << "a null read as 0 is not written back";
    EXPECT_EQ(check.FieldByName("B").AsInteger(), 7);
    check.Next();
    EXPECT_EQ(check.FieldByName("B").AsString(), "") << "other rows untouched";

    // Insert, then read back.
    table.Insert();
    table.FieldByName("ID").setAsInteger(3);
    table.FieldByName("Serial").setAsString("");
    table.Post();
    check.Close();
    check.FilterSQL = "ID = 3";
    check.Open();
    ASSERT_EQ(check.RecordCount(), 1);
    EXPECT_FALSE(check.FieldByName("Serial").IsNull()) << "an empty text stays an empty text";
}

TEST_F(Access, TableWithoutKeyChangesAtMostOneRow)
{
    table.TableName = "Loose";
    table.OrderFields = "A";
    table.Open();
    EXPECT_TRUE(table.keyColumns().isEmpty());
    table.Edit();
    table.FieldByName("A").setAsInteger(9);
    table.Post();
    table.Next();
    table.Next();
    table.Edit();
    table.FieldByName("B").setAsString("z"); // its B is null: identified with IS NULL
    table.Post();

    query.setSqlText("SELECT A, B FROM Loose ORDER BY A");
    query.Open();
    QStringList rows;
    for (; !query.Eof(); query.Next())
        rows << query.FieldByName("A").AsString() + "/" + query.FieldByName("B").AsString();
    EXPECT_EQ(rows, (QStringList{"1/x", "2/z", "9/x"}));

    // The row changed on the server meanwhile: nothing matches, and the post says so.
    server->exec("UPDATE Loose SET B = N'w' WHERE A = 9", "herd");
    table.First();
    while (table.FieldByName("A").AsInteger() != 9)
        table.Next();
    table.Edit();
    table.FieldByName("A").setAsInteger(10);
    EXPECT_THROW(table.Post(), Error);
    EXPECT_EQ(table.state(), TMSDataSet::State::Edit);
}

// A text that is no number of the column's kind is refused before the row is touched; the fields
// set before it keep their values and the row still posts.
TEST_F(Access, NumberColumnsRefuseTextsThatAreNoNumber)
{
    server->exec("CREATE TABLE Nums (ID int PRIMARY KEY, I int NULL, F float NULL, M money NULL, "
                 "D decimal(9,2) NULL, B bit NULL, T nvarchar(10) NULL)",
                 "herd");
    server->exec("INSERT INTO Nums VALUES (1, 5, 1.5, 2.25, 3.5, 1, N'x')", "herd");
    table.TableName = "Nums";
    table.Open();
    table.Edit();
    table.FieldByName("T").setAsString("set first");
    struct Case
    {
        const char* column;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {{"I", "12a", false},  {"I", "1.5", false},   {"I", " 42 ", true},
                          {"F", "x1", false},   {"F", "-2.5e3", true}, {"M", "12,5", false},
                          {"M", "7.125", true}, {"D", "abc", false},   {"D", "9.75", true},
                          {"B", "yes", false},  {"B", "False", true},  {"T", "abc", true},
                          {"I", "", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " <- '" + c.text + "'");
        const QString before = table.FieldByName(c.column).AsString();
        if (c.accepted) {
            EXPECT_NO_THROW(table.FieldByName(c.column).setAsString(c.text));
        } else {
            EXPECT_THROW(table.FieldByName(c.column).setAsString(c.text), rimo::Error);
            EXPECT_EQ(table.FieldByName(c.column).AsString(), before);
        }
    }
    table.FieldByName("I").setAsString("42");
    EXPECT_EQ(table.FieldByName("T").AsString(), "abc");
    table.Post();

    query.setSqlText("SELECT I, F, M, D, B, T FROM Nums");
    query.Open();
    EXPECT_EQ(query.FieldByName("I").AsInteger(), 42);
    EXPECT_DOUBLE_EQ(query.FieldByName("F").AsFloat(), -2500);
    EXPECT_DOUBLE_EQ(query.FieldByName("M").AsFloat(), 7.125);
    EXPECT_DOUBLE_EQ(query.FieldByName("D").AsFloat(), 9.75);
    EXPECT_EQ(query.FieldByName("B").AsInteger(), 0);
    EXPECT_EQ(query.FieldByName("T").AsString(), "abc");
}

TEST_F(Access, MoneyColumnsReadAndPosted)
{
    // A row without a key is found again by its values as read: the amounts must go back exact,
    // to the ten-thousandth, in their own fixed-width types.
    server->exec("CREATE TABLE Cash (M money NULL, S smallmoney NULL, Note nvarchar(10) NULL)", "herd");
    server->exec("INSERT INTO Cash VALUES (12.3456, 7.5, N'a'), (-3.0001, 0.0001, N'b'), (NULL, NULL, N'c')",
                 "herd");
    table.TableName = "Cash";
    table.OrderFields = "Note";
    table.Open();
    EXPECT_TRUE(table.keyColumns().isEmpty());
    EXPECT_DOUBLE_EQ(table.FieldByName("M").AsFloat(), 12.3456);
    EXPECT_DOUBLE_EQ(table.FieldByName("S").AsFloat(), 7.5);
    for (table.First(); !table.Eof(); table.Next()) {
        table.Edit();
        table.FieldByName("Note").setAsString(table.FieldByName("Note").AsString() + "2");
        table.Post();
    }
    table.First();
    table.Edit();
    table.FieldByName("M").setAsString("20.5");
    table.FieldByName("S").setAsString("-1.2345");
    table.Post();

    query.setSqlText("SELECT M, S, Note FROM Cash ORDER BY Note");
    query.Open();
    struct Row
    {
        double m, s;
        QString note;
        bool null;
    };
    const Row expected[] = {{20.5, -1.2345, "a2", false}, {-3.0001, 0.0001, "b2", false}, {0, 0, "c2", true}};
    for (const Row& r : expected) {
        ASSERT_FALSE(query.Eof());
        EXPECT_EQ(query.FieldByName("Note").AsString(), r.note);
        EXPECT_EQ(query.FieldByName("M").IsNull(), r.null) << r.note.toStdString();
        EXPECT_DOUBLE_EQ(query.FieldByName("M").AsFloat(), r.m) << r.note.toStdString();
        EXPECT_DOUBLE_EQ(query.FieldByName("S").AsFloat(), r.s) << r.note.toStdString();
        query.Next();
    }
}

TEST_F(Access, RefusedPostStaysInEditingWithTheServersMessage)
{
    table.TableName = "Animals";
    table.OrderFields = "ID";
    table.Open();
    table.Edit();
    table.FieldByName("Lact").setAsInteger(500);
    try {
        table.Post();
        FAIL() << "the check constraint must refuse the row";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("CHECK constraint")) << e.text().toStdString();
    }
    EXPECT_EQ(table.state(), TMSDataSet::State::Edit);
    EXPECT_EQ(table.FieldByName("Lact").AsInteger(), 500);
    table.Close(); // discards the pending change
    table.Open();
    EXPECT_EQ(table.FieldByName("Lact").AsInteger(), 2);
}

TEST_F(Access, QueryErrorsCarryTheServersText)
{
    query.setSqlText("SELECT * FROM NoSuchTable");
    try {
        query.Open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "Invalid object name 'NoSuchTable'.");
    }
    query.setSqlText("UPDATE Animals SET NoColumn = 1");
    EXPECT_THROW(query.Execute(), Error);
    // The connection is still usable.
    query.setSqlText("UPDATE Animals SET Dry = 0 WHERE ID = 4");
    query.Execute();
    EXPECT_EQ(query.RowsAffected(), 1);
    EXPECT_FALSE(query.Active());
}

TEST(AccessLost, ServerGoneMidSessionIsAnErrorNotACrash)
{
    TdsServer server;
    server.exec("CREATE DATABASE herd");
    server.exec("CREATE TABLE T (ID int PRIMARY KEY, V int)", "herd");
    server.exec("INSERT INTO T VALUES (1, 1), (2, 2)", "herd");
    TMSConnection c;
    rimo::testsupport::connectToServer(c, server, "herd");
    TMSTable t;
    t.Connection = &c;
    t.TableName = "T";
    t.Open();
    server.stop();
    t.Edit();
    t.FieldByName("V").setAsInteger(5);
    EXPECT_THROW(t.Post(), Error);
    EXPECT_FALSE(c.Connected());
    EXPECT_THROW(t.Post(), Error) << "still an error, never a crash";
    TMSQuery q;
    q.Connection = &c;
    q.setSqlText("SELECT 1");
    EXPECT_THROW(q.Open(), Error);
}

TEST_F(Access, PostingEveryRowDoesNotGrowTheRows)
{
    table.TableName = "Animals";
    table.OrderFields = "ID";
    table.Open();
    const std::size_t before = table.rowMemoryBytes();
    QStringList lact;
    for (table.First(); !table.Eof(); table.Next()) {
        lact << table.FieldByName("Lact").AsString();
        if (table.FieldByName("Lact").IsNull())
            continue;
        table.Edit();
        table.FieldByName("Lact").setAsInteger(table.FieldByName("Lact").AsInteger());
        table.Post();
    }
    EXPECT_EQ(table.rowMemoryBytes(), before) << "an int written back in place";
    EXPECT_EQ(column(table, "Lact"), lact);
}

TEST_F(Access, PostsOfDifferentShapesInOneRunEachWriteTheirRow)
{
    // One open table posts rows whose edits change between a parameter, NULL and an empty text,
    // and back: each row must get its own values, whether its statement is new or sent before,
    // and whether its new cells fit where the old ones were or not.
    server->exec("CREATE TABLE Shapes (ID int PRIMARY KEY, A int NULL, T nvarchar(20) NULL)", "herd");
    server->exec("INSERT INTO Shapes VALUES (1, NULL, N'abc'), (2, 2, N'b'), (3, 3, N'c'), (4, 4, NULL), "
                 "(5, NULL, N'e')",
                 "herd");
    struct Edit
    {
        const char* a; // "" writes NULL to the int column
        const char* t;
    };
    const Edit edits[] = {
        {"10", "x"},    {"", ""},  {"30", "y"}, // the first statement again, with other values
        {"40", "long"}, {"", "q"},
    };
    table.TableName = "Shapes";
    table.OrderFields = "ID";
    table.Open();
    table.First();
    for (const Edit& e : edits) {
        table.Edit();
        table.FieldByName("A").setAsString(QString::fromUtf8(e.a));
        table.FieldByName("T").setAsString(QString::fromUtf8(e.t));
        table.Post();
        table.Next();
    }

    TMSTable check;
    check.Connection = &connection;
    check.TableName = "Shapes";
    check.OrderFields = "ID";
    check.Open();
    for (TMSTable* t : {&table, &check}) {
        SCOPED_TRACE(t == &table ? "rows as posted" : "rows on the server");
        t->First();
        for (const Edit& e : edits) {
            ASSERT_FALSE(t->Eof());
            EXPECT_EQ(t->FieldByName("A").AsString(), QString::fromUtf8(e.a));
            EXPECT_EQ(t->FieldByName("A").IsNull(), *e.a == 0);
            EXPECT_EQ(t->FieldByName("T").AsString(), QString::fromUtf8(e.t));
            EXPECT_FALSE(t->FieldByName("T").IsNull()) << "an empty text stays an empty text";
            t->Next();
        }
    }
}

// A whole number is read without its text exactly when AsString would give QString::number's
// digits: whole-number columns holding a value, as read; NULL, bit, float, text and an edited
// value take the text path. Equal values have equal raw cells.
TEST_F(Access, WholeNumbersReadWithoutTheirTextWhereTheTextIsTheirDigits)
{
    table.TableName = "Animals";
    table.OrderFields = "ID";
    table.Open();
    struct Case
    {
        const char* column;
        bool whole;
    };
    const Case cases[] = {{"ID", true},      {"Lact", true},  {"Milk", false}, {"Dry", false},
                          {"Serial", false}, {"Code", false}, {"Born", false}};
    for (table.First(); !table.Eof(); table.Next()) {
        for (const Case& c : cases) {
            const TField& f = table.FieldByName(c.column);
            SCOPED_TRACE(std::string(c.column) + " = " + f.AsString().toStdString());
            qint64 n = -1;
            const bool whole = f.wholeNumber(n);
            EXPECT_EQ(whole, c.whole && !f.IsNull());
            if (whole) {
                EXPECT_EQ(QString::number(n), f.AsString());
            }
        }
    }
    // Rows 2 and 3 differ in Serial ('b7', 'B7') only by letter case, and so in their raw bytes.
    table.First();
    table.Next();
    const rimo::db::Cell b7 = table.FieldByName("Serial").rawCell();
    const QByteArray lower(b7.data, b7.size);
    table.Next();
    const rimo::db::Cell upper = table.FieldByName("Serial").rawCell();
    EXPECT_NE(lower, QByteArray(upper.data, upper.size));
    EXPECT_EQ(lower.toUpper(), QByteArray(upper.data, upper.size));

    // An edited value is not the row as read.
    table.Edit();
    table.FieldByName("Lact").setAsInteger(7);
    qint64 n = -1;
    EXPECT_FALSE(table.FieldByName("Lact").wholeNumber(n));
    EXPECT_EQ(table.FieldByName("Lact").AsString(), "7");
    table.Cancel();
}
