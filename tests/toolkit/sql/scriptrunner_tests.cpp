// The script runner and the pick-list query through the toolkit object on the test server.
#include "platform/dialogs.h"
#include "sqlfixture.h"

namespace {

const QString kDone = "موفقيت در";
const QString kFailed = "خطا در ";

class Scripts : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE T (Id int PRIMARY KEY, Name nvarchar(50) NULL)");
    }

    void SetUp() override
    {
        SqlFixture::SetUp();
        server->exec("DELETE FROM T", "herd");
    }

    QString writeScript(const QByteArray& bytes, const QString& name = "script.sql")
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    QStringList names()
    {
        QStringList out;
        tools->DoSqlForCreateList("SELECT Name FROM T ORDER BY Id", out);
        return out;
    }

    static QString summary(const QString& title, int failures)
    {
        return " در مورد " + sqlmsg::Cr + title + sqlmsg::Cr + QString::number(failures) +
               " خطا وجود داشته است . گزارش را ذخيره و با شركت ورناس براي هماهنگي بيشتر تماس بگيريد ";
    }
};

} // namespace

TEST_F(Scripts, AFailingBatchIsReportedAndTheRunGoesOn)
{
    const QByteArray script = "-- three batches, the second fails\r\n"
                              "INSERT INTO T VALUES (1, N'a')\r\n"
                              "GO\r\n"
                              "INSERT INTO Missing VALUES (2)\r\n"
                              "  -- indented: sent with its batch\r\n"
                              "go \r\n"
                              "\r\n"
                              "INSERT INTO T VALUES (3, N'c')\r\n"
                              "GO\r\n";
    EXPECT_TRUE(tools->DoScriptFromfile("به روز رساني", writeScript(script)));
    EXPECT_EQ(boardRows(),
              (QStringList{kDone + "=1",
                           kFailed + "2=INSERT INTO Missing VALUES (2)\n  -- indented: sent with its batch",
                           kDone + "=3"}));
    EXPECT_EQ(takeMessages(), QStringList{summary("به روز رساني", 1)});
    EXPECT_EQ(names(), (QStringList{"a", "c"}));
    EXPECT_TRUE(tools->boardOnScreen());
    // The working copy holds the script as read, comment lines too.
    EXPECT_EQ(t4r("Temp.Txt"), script);
}

TEST_F(Scripts, EmptyBatchesTakeANumberAndNothingElse)
{
    const QByteArray script =
        "GO\nINSERT INTO T VALUES (1, N'a')\nGO\n   \nGO\n// x\nINSERT INTO T VALUES (2, N'b')";
    EXPECT_TRUE(tools->DoScriptFromfile("t", writeScript(script)));
    EXPECT_EQ(boardRows(), (QStringList{kDone + "=2", kDone + "=4"}));
    EXPECT_TRUE(takeMessages().isEmpty()) << "no failure, no summary";
    EXPECT_EQ(names(), (QStringList{"a", "b"}));
    EXPECT_EQ(t4r("Temp.Txt"), QByteArray(script).replace("\n", "\r\n") + "\r\n");
}

TEST_F(Scripts, AMissingFileShowsThePlainBoxOnly)
{
    rimo::setApplicationTitle("Rimo1");
    const QString path = dir.filePath("none.sql");
    EXPECT_FALSE(tools->DoScriptFromfile("عنوان", path));
    ASSERT_EQ(dialogs.messages.size(), 1);
    const rimo::MessageBoxRequest& r = dialogs.messages[0];
    EXPECT_EQ(r.caption, "Rimo1");
    EXPECT_EQ(r.text, "فايل پيدا نشد" + sqlmsg::Cr + "عنوان" + sqlmsg::Cr + path);
    EXPECT_EQ(r.buttons, QStringList{"OK"});
    EXPECT_FALSE(tools->boardOnScreen());
    EXPECT_TRUE(t4r("Temp.Txt").isNull());
    EXPECT_FALSE(tools->DoScriptFromfile("عنوان", dir.path())) << "a folder is no script";
}

TEST_F(Scripts, AScriptOfCommentsOnlyEndsTheRecordingAndSaysSo)
{
    for (const QByteArray& script : {QByteArray("-- a\r\n// b\r\n\r\n"), QByteArray()}) {
        EXPECT_TRUE(tools->DoScriptFromfile("خالي", writeScript(script)));
        EXPECT_EQ(takeMessages(), QStringList{"در فايل دستوري براي اجرا نيست" + sqlmsg::Cr + "خالي"});
        EXPECT_TRUE(boardRows().isEmpty());
        EXPECT_TRUE(tools->boardOnScreen());
    }
}

TEST_F(Scripts, ArabicCodePageAndByteOrderMarks)
{
    // "بار رسمي" in code page 1256, then in UTF-8 with a byte-order mark.
    EXPECT_TRUE(tools->DoScriptFromfile(
        "t", writeScript("INSERT INTO T VALUES (1, N'\xC8\xC7\xD1 \xD1\xD3\xE3\xED')\r\n")));
    EXPECT_TRUE(tools->DoScriptFromfile(
        "t", writeScript("\xEF\xBB\xBFINSERT INTO T VALUES (2, N'" + QString("گاو").toUtf8() + "')")));
    EXPECT_EQ(names(), (QStringList{"بار رسمي", "گاو"}));
    EXPECT_EQ(boardRows(), QStringList{kDone + "=1"}) << "each run starts a new report";
}

TEST_F(Scripts, PickListsOfTheFirstColumn)
{
    server->exec(
        "INSERT INTO T VALUES (1, N'a'); INSERT INTO T VALUES (2, NULL); INSERT INTO T VALUES (3, N'c')",
        "herd");
    QStringList list{"old"};
    EXPECT_EQ(tools->DoSqlForCreateList("select Name, Id from T order by Id", list), 3);
    EXPECT_EQ(list, (QStringList{"a", "", "c"}));
    EXPECT_EQ(readFile(dir.filePath("DoSqlForCreateList.txt")),
              QByteArray("select Name, Id from T order by Id\r\n"));

    // Not run: no select first, or a space before it.
    for (const QString& statement : {QString("UPDATE T SET Name = N'x'"), QString(" SELECT Name FROM T")}) {
        list = QStringList{"old"};
        EXPECT_EQ(tools->DoSqlForCreateList(statement, list), 0);
        EXPECT_TRUE(list.isEmpty());
        EXPECT_EQ(readFile(dir.filePath("DoSqlForCreateList.txt")), (statement + "\r\n").toUtf8());
    }
    EXPECT_EQ(names(), (QStringList{"a", "", "c"}));

    // A failing select is swallowed.
    EXPECT_EQ(tools->DoSqlForCreateList("SELECT x FROM Missing", list), 0);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(takeMessages().isEmpty());
}
