// The settings table Dbo.Info and the version report through the toolkit object.
#include "core/error.h"
#include "sqlfixture.h"

#include <QPushButton>

namespace {

const QString kNotAnswer = "NOTANSWER";

class Settings : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE Info (Id int IDENTITY(1,1) PRIMARY KEY, GroupSec nvarchar(50) NULL, "
                    "KeyName nvarchar(50) NULL, KeyValue nvarchar(200) NULL, "
                    "Discription nvarchar(100) NULL DEFAULT N'بي شرح')");
    }
    void SetUp() override
    {
        SqlFixture::SetUp();
        server->exec("DELETE FROM Info", "herd");
    }

    // group|key|value|description of every row, in table order.
    QStringList rows()
    {
        TMSQuery q;
        q.Connection = tools->ServerConnection;
        q.setSqlText("SELECT GroupSec, KeyName, KeyValue, Discription FROM Info ORDER BY Id");
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next())
            out << QStringList{q.Fields(0).AsString(), q.Fields(1).AsString(), q.Fields(2).AsString(),
                               q.Fields(3).AsString()}
                       .join(u'|');
        return out;
    }
    bool recordingStopped() const
    {
        const auto* back = tools->messageBoard()->findChild<QPushButton*>("dxButton1");
        return back && back->isEnabled();
    }
};

} // namespace

TEST_F(Settings, WriteAndReadBack)
{
    QString value = "stale";
    tools->ReadInformation("G", "K", value);
    EXPECT_EQ(value, kNotAnswer);
    EXPECT_EQ(tools->FReadInformation("G", "K"), kNotAnswer);

    tools->WriteInformation("G", "K", "۱۲:30", "شرح");
    EXPECT_EQ(tools->FReadInformation("G", "K"), "۱۲:30");
    EXPECT_EQ(tools->FReadInformation("g", "K"), kNotAnswer) << "letter case counts";
    EXPECT_EQ(tools->FReadInformation("G", "k"), kNotAnswer);

    // An existing pair: the value changes, the description stays.
    tools->WriteInformation("G", "K", "2", "another");
    tools->ReadInformation("G", "K", value);
    EXPECT_EQ(value, "2");
    EXPECT_EQ(rows(), QStringList{"G|K|2|شرح"});
}

TEST_F(Settings, BlankGroupsMeetInDefault)
{
    tools->WriteInformation("", "A", "1", "");
    tools->WriteInformation(" \t", "B", "2", "d");
    EXPECT_EQ(tools->FReadInformation("  ", "A"), "1");
    EXPECT_EQ(tools->FReadInformation("\r\n", "B"), "2");
    QString value;
    tools->ReadInformation("", "B", value);
    EXPECT_EQ(value, "2");
    EXPECT_EQ(tools->FReadInformation("DEFAULT", "A"), "1");
    // A new pair without description takes the column's default.
    EXPECT_EQ(rows(), (QStringList{"DEFAULT|A|1|بي شرح", "DEFAULT|B|2|d"}));
}

TEST_F(Settings, ErrorsReachTheCaller)
{
    tools->ServerConnection->Disconnect();
    EXPECT_THROW(tools->WriteInformation("G", "K", "v", ""), rimo::Error);
    EXPECT_THROW(tools->FReadInformation("G", "K"), rimo::Error);
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(Settings, VersionReport)
{
    server->exec("INSERT INTO Info (GroupSec, KeyName, KeyValue) VALUES (N'Version', N'Program', N'1.2');"
                 "INSERT INTO Info (GroupSec, KeyName, KeyValue) VALUES (N'Other', N'X', N'9');"
                 "INSERT INTO Info (GroupSec, KeyName, KeyValue) VALUES (N'Version', N'Database', N'7')",
                 "herd");
    tools->VersionShow();
    EXPECT_EQ(boardRows(), (QStringList{"Program=1.2", "Database=7"}));
    EXPECT_EQ(tools->messageBoard()->windowTitle(), "گزارش مشخصات نرم افزار");
    EXPECT_EQ(tools->messageBoard()->findChild<QWidget*>("MessageList")->layoutDirection(), Qt::LeftToRight);
    EXPECT_TRUE(recordingStopped());
    EXPECT_TRUE(takeMessages().isEmpty());

    server->exec("DELETE FROM Info", "herd");
    tools->VersionShow();
    EXPECT_TRUE(boardRows().isEmpty());
    EXPECT_TRUE(tools->boardOnScreen()) << "the report shows with its title only";
    EXPECT_TRUE(recordingStopped());
}

TEST_F(Settings, VersionReportWithoutTheTable)
{
    server->exec("DROP TABLE Info", "herd");
    tools->VersionShow();
    EXPECT_EQ(takeMessages(), QStringList{"امكان نمايش كنترل نسخ نيست"});
    EXPECT_TRUE(boardRows().isEmpty());
    EXPECT_TRUE(recordingStopped());
    server->exec("CREATE TABLE Info (Id int IDENTITY(1,1) PRIMARY KEY, GroupSec nvarchar(50) NULL, "
                 "KeyName nvarchar(50) NULL, KeyValue nvarchar(200) NULL, Discription nvarchar(100) NULL)",
                 "herd");
}
