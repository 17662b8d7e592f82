// CheckTheDate on a data-aware edit box writes the completed date into the table's field,
// through the access layer and the TDS test server.
#include "db/msdataset.h"
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
