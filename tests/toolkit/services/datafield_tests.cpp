// CheckTheDate on a data-aware edit box writes the completed date into the table's field,
// through the access layer and the TDS test server: for a box that names its field by a
// property, and for the project's own TDBEdit bound to the field.
#include "db/msdataset.h"
#include "dbcontrols/dbwidgets.h"
#include "herdconnection.h"
#include "platform/testing/doubles.h"
#include "tdsserver.h"
#include "toolkit/services/dateservices.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

class Services : public TDateServices
{
public:
    QStringList messages;
    rimo::fakes::FixedClock testClock;
    void ShowMsg(const QString& St) override { messages << St; }
    const rimo::Clock& clock() const override { return testClock; }
};

} // namespace

TEST(DateField, CheckTheDateStoresTheCompletedDateInTheRow)
{
    rimo::testsupport::TdsServer server;
    server.exec("CREATE DATABASE herd");
    server.exec("CREATE TABLE Calvings (ID int PRIMARY KEY, CDate nvarchar(10) NULL)", "herd");
    server.exec("INSERT INTO Calvings VALUES (1, NULL)", "herd");

    TMSConnection connection;
    rimo::testsupport::connectToServer(connection, server, "herd");
    TMSTable table;
    table.Connection = &connection;
    table.TableName = "Calvings";
    table.Open();
    table.Edit();

    Services s;
    QLineEdit edit;
    edit.setProperty("dataField", QStringLiteral("CDate"));
    edit.setText("5/1/2");
    ASSERT_TRUE(s.CheckTheDate(&edit, &table));
    EXPECT_EQ(table.FieldByName("CDate").AsString(), "1305/01/02");
    table.Post();

    TMSTable check;
    check.Connection = &connection;
    check.TableName = "Calvings";
    check.Open();
    EXPECT_EQ(check.FieldByName("CDate").AsString(), "1305/01/02");
    EXPECT_TRUE(s.messages.isEmpty());
}

// The project's own data-aware edit box, bound to the field through a data source: what the user
// typed is completed in the row the box is bound to, and the row holds it after Post.
TEST(DateField, CheckTheDateOnATDBEditWritesItsFieldThroughTheServer)
{
    rimo::testsupport::TdsServer server;
    server.exec("CREATE DATABASE herd");
    server.exec("CREATE TABLE Calvings (ID int PRIMARY KEY, CDate nvarchar(10) NULL, Note nvarchar(20) NULL)",
                "herd");
    server.exec("INSERT INTO Calvings VALUES (1, N'1388/01/01', N'first'), (2, NULL, N'second')", "herd");

    TMSConnection connection;
    rimo::testsupport::connectToServer(connection, server, "herd");
    TMSTable table;
    table.Connection = &connection;
    table.TableName = "Calvings";
    table.OrderFields = "ID";
    TDataSource source;
    source.setDataSet(&table);
    TDBEdit edit;
    edit.setDataSource(&source);
    edit.setDataField("CDate");
    table.Open();
    ASSERT_EQ(edit.text(), "1388/01/01");
    table.Next();
    table.Edit();
    edit.setText("89/12/5"); // as typed: the box writes it into the row as it stands

    Services s;
    ASSERT_TRUE(s.CheckTheDate(&edit, &table));
    EXPECT_EQ(table.FieldByName("CDate").AsString(), "1389/12/05");
    EXPECT_EQ(edit.text(), "1389/12/05");
    table.Post();
    EXPECT_TRUE(s.messages.isEmpty());

    const auto stored = [&] {
        TMSQuery q;
        q.Connection = &connection;
        q.setSqlText("SELECT ID, CDate, Note FROM Calvings ORDER BY ID");
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next())
            rows << q.Fields(0).AsString() + u' ' + q.Fields(1).AsString() + u' ' + q.Fields(2).AsString();
        return rows;
    };
    EXPECT_EQ(stored(), QStringList({"1 1388/01/01 first", "2 1389/12/05 second"}));

    // A rejected date is left in the box for the user to mend, and nothing of it is posted.
    table.Edit();
    edit.setText("1389/13/01");
    EXPECT_FALSE(s.CheckTheDate(&edit, &table));
    EXPECT_EQ(s.messages.size(), 1);
    EXPECT_EQ(edit.text(), "1389/13/01");
    table.Cancel();
    EXPECT_EQ(stored(), QStringList({"1 1388/01/01 first", "2 1389/12/05 second"}));
}

// The field is written by CheckTheDate itself, not only through the box's binding: a TDBEdit that
// names the field without a data source still gets the date into InTable's row.
TEST(DateField, CheckTheDateWritesTheFieldATDBEditNamesWithoutItsBinding)
{
    rimo::testsupport::TdsServer server;
    server.exec("CREATE DATABASE herd");
    server.exec("CREATE TABLE Calvings (ID int PRIMARY KEY, CDate nvarchar(10) NULL)", "herd");
    server.exec("INSERT INTO Calvings VALUES (1, NULL)", "herd");
    TMSConnection connection;
    rimo::testsupport::connectToServer(connection, server, "herd");
    TMSTable table;
    table.Connection = &connection;
    table.TableName = "Calvings";
    table.Open();
    table.Edit();

    TDBEdit edit;
    edit.setDataField("CDate");
    edit.setText("1403/12/30");
    Services s;
    ASSERT_TRUE(s.CheckTheDate(&edit, &table));
    table.Post();
    TMSQuery q;
    q.Connection = &connection;
    q.setSqlText("SELECT CDate FROM Calvings WHERE ID = 1");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsString(), "1403/12/30");
    EXPECT_TRUE(s.messages.isEmpty());
}
