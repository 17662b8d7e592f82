// The stored SQL commands of the toolkit object on the test server's SqlCommands table.
#include "../sql/sqlfixture.h"
#include "core/error.h"
#include "dbcontrols/dbmemo.h"

namespace {

class StoredCommands : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        // The test server keeps long texts in ntext; a CHECK refuses texts starting "BAD".
        startServer(
            "CREATE TABLE SqlCommands (Id int IDENTITY(1,1) PRIMARY KEY, Sec nvarchar(30) NULL, "
            "Titr nvarchar(100) NULL, Seq nvarchar(10) NULL, SqlCmd ntext NULL, SDate nvarchar(10) NULL, "
            "CHECK (SqlCmd NOT LIKE 'BAD%'))");
    }
    void SetUp() override
    {
        SqlFixture::SetUp();
        server->exec("DELETE FROM SqlCommands", "herd");
    }

    // Sec|Titr|Seq|SqlCmd|SDate of every row, in table order.
    QStringList rows()
    {
        TMSQuery q;
        q.Connection = tools->ServerConnection;
        q.setSqlText("SELECT Sec, Titr, Seq, SqlCmd, SDate FROM SqlCommands ORDER BY Id");
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList row;
            for (int i = 0; i < 5; ++i)
                row << q.Fields(i).AsString();
            out << row.join(u'|');
        }
        return out;
    }
    void insertRow(const QString& sec, const QString& titr, const QString& cmd)
    {
        server->exec(QStringLiteral("INSERT INTO SqlCommands (Sec, Titr, Seq, SqlCmd, SDate) VALUES "
                                    "(N'%1', N'%2', '7', N'%3', '1390/01/01')")
                         .arg(sec, titr, QString(cmd).replace(u'\'', QStringLiteral("''")))
                         .toStdString(),
                     "herd");
    }
    // The memo and its source are unbound after every call.
    void expectUnbound() const
    {
        EXPECT_EQ(tools->FreeDataSource->DataSet, nullptr);
        EXPECT_EQ(tools->FreeDBMemo->dataSource(), nullptr);
        EXPECT_TRUE(tools->FreeDBMemo->DataField().isEmpty());
    }
    QStringList read(const QString& sec, const QString& titr)
    {
        const std::unique_ptr<QStringList> list = tools->SQlCmdReadOneWriteStringList(sec, titr);
        return *list;
    }
};

} // namespace

TEST_F(StoredCommands, ComponentsAtCreation)
{
    EXPECT_EQ(tools->TSqlCommands->TableName, "SqlCommands");
    EXPECT_EQ(tools->TSqlCommands->Connection, tools->ServerConnection);
    EXPECT_FALSE(tools->TSqlCommands->Active());
    EXPECT_EQ(tools->QSqlCmd->Connection, nullptr);
    EXPECT_FALSE(tools->FreeDBMemo->isVisible());
    expectUnbound();
}

TEST_F(StoredCommands, NewPairWrittenAndReadBack)
{
    const QStringList lines{"SELECT N'سلام'", "", "FROM Info"};
    ASSERT_TRUE(tools->SQlCmdWriteStringList("S", "عنوان", lines));
    expectUnbound();
    EXPECT_EQ(rows(), QStringList{"S|عنوان|0|SELECT N'سلام'\r\n\r\nFROM Info|" + tools->FarsiToday()});
    EXPECT_EQ(read("S", "عنوان"), lines);
    expectUnbound();
    EXPECT_TRUE(tools->TSqlCommands->Active()) << "stays open";
    // Exact and case-significant.
    EXPECT_TRUE(read("s", "عنوان").isEmpty());
    EXPECT_TRUE(read("S", "عنوا").isEmpty());
    EXPECT_TRUE(tools->SQlCmdFind("", "عنوان"));
    EXPECT_TRUE(tools->SQlCmdFind("S", ""));
    EXPECT_FALSE(tools->SQlCmdFind("S", "x"));
    EXPECT_TRUE(takeMessages().isEmpty());
}

TEST_F(StoredCommands, ExistingPairRewritten)
{
    insertRow("S", "T", "old");
    ASSERT_TRUE(tools->SQlCmdWriteStringList("S", "T", {"new", "text"}));
    EXPECT_EQ(rows(), QStringList{"S|T|7|new\r\ntext|" + tools->FarsiToday()});
    EXPECT_EQ(read("S", "T"), (QStringList{"new", "text"}));
}

TEST_F(StoredCommands, LongSectionCutSoTheNextWriteInsertsAgain)
{
    const QString sec(31, u'س');
    const QString titr(101, u't');
    ASSERT_TRUE(tools->SQlCmdWriteStringList(sec, titr, {"1"}));
    ASSERT_TRUE(tools->SQlCmdWriteStringList(sec, titr, {"2"}));
    const QString stored = sec.left(30) + u'|' + titr.left(100) + "|0|";
    EXPECT_EQ(rows(),
              (QStringList{stored + "1|" + tools->FarsiToday(), stored + "2|" + tools->FarsiToday()}));
    EXPECT_EQ(read(sec.left(30), titr.left(100)), QStringList{"1"});
}

TEST_F(StoredCommands, ReadOneTakesTheFirstRowOfTheSection)
{
    insertRow("Q", "z", "other");
    insertRow("S", "b", "first\r\nline");
    insertRow("S", "a", "second");
    EXPECT_EQ(tools->SQlCmdReadOne("S"), "first\r\nline");
    expectUnbound();
    EXPECT_EQ(tools->SQlCmdReadOne("none"), "");
    expectUnbound();
}

TEST_F(StoredCommands, LongCommandRoundTrips)
{
    QString text;
    for (int i = 0; i < 9000; ++i)
        text += QChar(u'a' + i % 26);
    ASSERT_TRUE(tools->SQlCmdWriteStringList("S", "T", {text}));
    EXPECT_EQ(tools->SQlCmdReadOne("S").size(), 9000);
    EXPECT_EQ(read("S", "T"), QStringList{text});
}

TEST_F(StoredCommands, ProcedureTextOfTwoRows)
{
    insertRow("S", "A", "SELECT 1");
    insertRow("Q", "X", "SELECT 9");
    insertRow("S", "  B ", "SELECT 2");
    const std::unique_ptr<QStringList> text = tools->SQlCmdReadAndCreatStoreProce("S");
    EXPECT_EQ(*text, (QStringList{"CREATE PROCEDURE [_AutoCompute_S] As Begin Select ", "(SELECT 1)[A],",
                                  "(SELECT 2)[B] ", "Into [_S] End"}));
    EXPECT_FALSE(tools->TSqlCommands->Filtered());
    EXPECT_TRUE(tools->TSqlCommands->Filter.isEmpty());
    EXPECT_EQ(tools->TSqlCommands->RecordCount(), 3);
}

TEST_F(StoredCommands, ProcedureTextKeepsNamesInTheirBrackets)
{
    insertRow("S''x", "a]b", "SELECT 1");
    const std::unique_ptr<QStringList> text = tools->SQlCmdReadAndCreatStoreProce("S'x");
    EXPECT_EQ(*text, (QStringList{"CREATE PROCEDURE [_AutoCompute_S'x] As Begin Select ", "(SELECT 1)[a]]b] ",
                                  "Into [_S'x] End"}));
}

TEST_F(StoredCommands, ProcedureTextOfAnEmptySectionIsRejected)
{
    const std::unique_ptr<QStringList> text = tools->SQlCmdReadAndCreatStoreProce("S");
    EXPECT_EQ(*text, (QStringList{"CREATE PROCEDURE [_AutoCompute_S] As Begin Select ", "Into [_S] End"}));
    EXPECT_EQ(tools->ExecSqlNoCount(text->join("\r\n")), -100);
}

TEST_F(StoredCommands, UnconnectedServer)
{
    tools->ServerConnection->Disconnect();
    // The operations that open the table and then find in it try to open it twice, one message
    // each time.
    const QStringList twice{sqlmsg::Error, sqlmsg::Error};
    EXPECT_FALSE(tools->SQlCmdWriteStringList("S", "T", {"x"}));
    EXPECT_EQ(takeMessages(), twice);
    EXPECT_THROW(tools->SQlCmdFind("S", "T"), rimo::Error);
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::Error});
    EXPECT_THROW(tools->SQlCmdReadOneWriteStringList("S", "T"), rimo::Error);
    EXPECT_EQ(takeMessages(), twice);
    EXPECT_THROW(tools->SQlCmdReadOne("S"), rimo::Error);
    EXPECT_EQ(takeMessages(), twice);
    expectUnbound();
    EXPECT_THROW(tools->SQlCmdReadAndCreatStoreProce("S"), rimo::Error);
    EXPECT_EQ(takeMessages(), QStringList{sqlmsg::Error});
    EXPECT_FALSE(tools->TSqlCommands->Filtered());
    EXPECT_TRUE(tools->TSqlCommands->Filter.isEmpty());
    EXPECT_FALSE(tools->TSqlCommands->Active());
}

TEST_F(StoredCommands, RefusedWriteLeavesNoPendingRow)
{
    insertRow("S", "T", "old");
    EXPECT_FALSE(tools->SQlCmdWriteStringList("S", "T", {"BAD update"}));
    EXPECT_FALSE(tools->SQlCmdWriteStringList("N", "T", {"BAD insert"}));
    expectUnbound();
    EXPECT_TRUE(takeMessages().isEmpty());
    // Before the mend the pending row was posted again on the next move and refused again.
    EXPECT_EQ(read("S", "T"), QStringList{"old"});
    EXPECT_TRUE(tools->SQlCmdWriteStringList("S", "T", {"good"}));
    EXPECT_EQ(rows(), QStringList{"S|T|7|good|" + tools->FarsiToday()});
}

// The built procedure runs: its SELECT ... INTO makes [_S] with one column per row of the section.
TEST_F(StoredCommands, ProcedureCreatedAndRun)
{
    insertRow("S", "A", "SELECT 1");
    insertRow("S", "B", "SELECT N'دو'");
    const std::unique_ptr<QStringList> text = tools->SQlCmdReadAndCreatStoreProce("S");
    ASSERT_EQ(tools->ExecSqlNoCount(text->join("\r\n")), 0);
    EXPECT_TRUE(tools->IsSpExist("_AutoCompute_S"));
    ASSERT_EQ(tools->ExecSqlNoCount("EXEC [_AutoCompute_S]"), 0);
    TMSQuery q;
    q.Connection = tools->ServerConnection;
    q.setSqlText("SELECT A, B FROM [_S]");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.Fields(0).AsString(), "1");
    EXPECT_EQ(q.Fields(1).AsString(), "دو");
}

namespace {

class FieldDefs : public StoredCommands
{
protected:
    static void SetUpTestSuite()
    {
        StoredCommands::SetUpTestSuite();
        server->exec("CREATE TABLE Cow (Id int IDENTITY(1,1) PRIMARY KEY, Name nvarchar(20) NULL, "
                     "Age int NULL, Breed nvarchar(20) NULL)",
                     "herd");
    }
    void SetUp() override
    {
        StoredCommands::SetUp();
        server->exec("DELETE FROM Cow", "herd");
        server->exec("INSERT INTO Cow (Name, Age, Breed) VALUES (N'a', 3, N'b')", "herd");
        cow.Connection = tools->ServerConnection;
        cow.TableName = "Cow";
        cow.Open();
    }
    TMSTable cow;
};

} // namespace

TEST_F(FieldDefs, LoadSetsNamedFieldsSkippingCommentsAndUnknownNames)
{
    insertRow("ini", "Cows", "// header\r\n\r\n  name ~ هلشتاین \r\nNope~1\r\n   //Age~9\r\nAGE~7");
    cow.Edit();
    tools->LoadDefField(&cow, "Cows");
    EXPECT_TRUE(tools->LastINIFound);
    // The line is trimmed as a whole, so the value keeps the space after "~".
    EXPECT_EQ(cow.FieldByName("Name").AsString(), " هلشتاین");
    EXPECT_EQ(cow.FieldByName("Age").AsString(), "7");
    EXPECT_EQ(cow.FieldByName("Breed").AsString(), "b");
    cow.Post();

    // A definition that is missing resets the one flag for every name.
    tools->LoadDefField(&cow, "Other");
    EXPECT_FALSE(tools->LastINIFound);
}

TEST_F(FieldDefs, LoadOnATableNotInEditingRaisesAfterEarlierFields)
{
    insertRow("ini", "Cows", "Nope~1\r\nName~x");
    EXPECT_THROW(tools->LoadDefField(&cow, "Cows"), rimo::Error);
    EXPECT_TRUE(tools->LastINIFound);
}

TEST_F(FieldDefs, ATextThatIsNoNumberStopsTheLoadWithEarlierFieldsSet)
{
    insertRow("ini", "Cows", "Name~set first\r\nAge~three\r\nBreed~never");
    cow.Edit();
    EXPECT_THROW(tools->LoadDefField(&cow, "Cows"), rimo::Error);
    EXPECT_EQ(cow.FieldByName("Name").AsString(), "set first");
    EXPECT_EQ(cow.FieldByName("Age").AsString(), "3");
    EXPECT_EQ(cow.FieldByName("Breed").AsString(), "b");
    cow.Cancel();
}

TEST_F(FieldDefs, SaveWritesCurrentValuesAndDropsComments)
{
    insertRow("ini", "Cows", "// header\r\nName~old\r\nNope~ kept ~x\r\n\r\nage~0");
    cow.Edit();
    tools->LoadDefField(&cow, "Cows");
    cow.FieldByName("Name").setAsString("new");
    cow.Post();
    tools->SaveDefField(&cow, "Cows");
    EXPECT_EQ(rows(), QStringList{"ini|Cows|7|Name~new\r\nNope~ kept ~x\r\nage~0|" + tools->FarsiToday()});
}

TEST_F(FieldDefs, SaveAfterALoadThatFoundNothingWritesNothing)
{
    insertRow("ini", "Cows", "Name~old");
    tools->LoadDefField(&cow, "Missing");
    tools->SaveDefField(&cow, "Cows");
    EXPECT_EQ(rows(), QStringList{"ini|Cows|7|Name~old|1390/01/01"});
}
