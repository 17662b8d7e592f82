// rimo1-repair as a scheduled job runs it: a separate process, no terminal, against the test server
// through FreeTDS. Exit codes, the JSON summary, undo, a dry run, Ctrl-C and every herd of Masters.
#include "db/msdataset.h"
#include "herdconnection.h"
#include "tdsserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace rimo;
using rimo::testsupport::TdsServer;

namespace {

const char* kFirstRec = "CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), "
                        "MilkPeriod int NULL, RDate char(10), RecSeq int NULL, RecKind nvarchar(10) NULL, "
                        "StRecNo int NULL, CONSTRAINT ck_mp CHECK (MilkPeriod IS NULL OR MilkPeriod < 50))";
const char* kZayesh =
    "CREATE TABLE zayesh (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), ZDate char(10), "
    "MilkPeriod int NULL, MilkPeriodchange int)";
const char* kRecordings =
    "INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES "
    "(N'A', 1, '1390/01/01', NULL, N'رسمي', 5), (N'A', 1, '1390/02/01', 9, N'رسمي', 5), "
    "(N'B''X', NULL, '1390/03/01', 4, N'x', NULL), (N'B''X', 2, '1390/04/01', 1, N'رسمي', 1)";

struct Result
{
    int exit = -1;
    QByteArray out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

class Runner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server = std::make_unique<TdsServer>();
        makeHerd("herd");
        sql(kRecordings);
        ASSERT_TRUE(testsupport::writeHerdSettings(
            dir.filePath("WTimes.DLL"), {QString::fromStdString(server->password()),
                                         QString::fromStdString(server->serverSpec()), "herd", "sa"}));
    }

    void makeHerd(const std::string& name)
    {
        server->exec("CREATE DATABASE " + name);
        server->exec(kFirstRec, name);
        server->exec(kZayesh, name);
    }
    void sql(const std::string& s, const std::string& db = "herd") { server->exec(s, db); }

    QProcess* start(QStringList args)
    {
        auto* p = new QProcess;
        processes.emplace_back(p);
        args = QStringList{"--program-folder", dir.path()} + args; // a later one overrides it
        p->start(QStringLiteral(RIMO1_REPAIR_BINARY), args);
        EXPECT_TRUE(p->waitForStarted());
        return p;
    }
    Result finish(QProcess* p)
    {
        EXPECT_TRUE(p->waitForFinished(120000));
        return {p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, p->readAllStandardOutput(),
                p->readAllStandardError()};
    }
    Result runner(const QStringList& args) { return finish(start(args)); }

    // Every row of FirstRec with every column, NULL told apart.
    QStringList dump(const QString& db = "herd")
    {
        TMSConnection c;
        testsupport::connectToServer(c, *server, db);
        TMSQuery q;
        q.Connection = &c;
        q.setSqlText("SELECT * FROM FirstRec ORDER BY ID");
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next()) {
            QStringList cells;
            for (int i = 0; i < q.FieldCount(); ++i)
                cells << (q.Fields(i).IsNull() ? "<null>" : q.Fields(i).AsString());
            rows << cells.join('|');
        }
        return rows;
    }

    QTemporaryDir dir;
    std::unique_ptr<TdsServer> server;
    std::vector<std::unique_ptr<QProcess>> processes;
};

} // namespace

TEST_F(Runner, SequenceThenUndoTwiceGivesBackTheTable)
{
    const QStringList before = dump();
    const Result run = runner({"sequence", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    // Not a terminal: nothing but the summary.
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QJsonObject s = run.json();
    EXPECT_EQ(s["repair"].toString(), "sequence");
    EXPECT_EQ(s["database"].toString(), "herd");
    EXPECT_EQ(s["rowsRead"].toInt(), 4);
    EXPECT_EQ(s["rowsWritten"].toInt(), 4);
    EXPECT_EQ(s["rowsChanged"].toInt(), 4);
    EXPECT_EQ(s["changedByColumn"].toObject()["RecSeq"].toInt(), 4);
    EXPECT_EQ(s["changedByColumn"].toObject()["StRecNo"].toInt(), 2);
    EXPECT_TRUE(s["failedCalvings"].toArray().isEmpty());
    EXPECT_EQ(s["exitCode"].toInt(), 0);
    const QString journal = s["journal"].toString();
    EXPECT_TRUE(journal.startsWith(dir.filePath("T4R/sequence-herd-"))) << journal.toStdString();
    EXPECT_NE(dump(), before);

    const Result undo = runner({"undo", journal, "--json"});
    ASSERT_EQ(undo.exit, 0) << undo.err.toStdString();
    EXPECT_EQ(undo.json()["restored"].toInt(), 4);
    EXPECT_EQ(dump(), before);
    const Result again = runner({"undo", journal});
    EXPECT_EQ(again.exit, 0);
    EXPECT_TRUE(again.out.contains(": 0 restored, 4 already as journalled, 0 no longer found"))
        << again.out.toStdString();
    EXPECT_EQ(dump(), before);
}

TEST_F(Runner, UndoListsARowChangedSinceAndRestoresItOnlyWhenForced)
{
    const QStringList before = dump();
    const QString journal = runner({"sequence", "--json"}).json()["journal"].toString();
    sql("UPDATE FirstRec SET RecSeq = 42 WHERE ID = 2");
    const Result listed = runner({"undo", journal, "--json"});
    EXPECT_EQ(listed.exit, 3);
    const QJsonArray changed = listed.json()["changedSince"].toArray();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(changed[0].toString().startsWith("2: RecSeq/StRecNo holds 42/"))
        << changed[0].toString().toStdString();
    EXPECT_EQ(dump().value(1).section('|', 4, 4), "42");
    const Result forced = runner({"undo", journal, "--force", "--json"});
    EXPECT_EQ(forced.exit, 0) << forced.out.toStdString();
    EXPECT_EQ(forced.json()["forced"].toInt(), 1);
    EXPECT_EQ(dump(), before);
}

TEST_F(Runner, LactationWithAFailedCalvingExitsThreeAndListsIt)
{
    // The check constraint refuses 61 for A's recordings; B'X gets 3.
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES "
        "(N'A', '1389/01/01', 60, 1), (N'B''X', '1390/01/01', 2, 1)");
    const QStringList before = dump();
    const Result run = runner({"lactation", "--json"});
    EXPECT_EQ(run.exit, 3) << run.err.toStdString();
    const QJsonObject s = run.json();
    EXPECT_EQ(s["failedCalvings"].toArray(), QJsonArray{"A-60-1389/01/01-"});
    EXPECT_EQ(s["rowsRead"].toInt(), 2);
    EXPECT_EQ(s["rowsWritten"].toInt(), 2);
    EXPECT_EQ(s["rowsChanged"].toInt(), 2);
    const Result undo = runner({"undo", s["journal"].toString(), "--json"});
    EXPECT_EQ(undo.exit, 0);
    EXPECT_EQ(undo.json()["restored"].toInt(), 2);
    EXPECT_EQ(undo.json()["alreadyRestored"].toInt(), 2); // A's rows: their statement failed
    EXPECT_EQ(dump(), before);
}

TEST_F(Runner, FailedRepairExitsOneWithTheErrorOnStderr)
{
    sql("DROP TABLE FirstRec");
    sql("CREATE TABLE FirstRec (ID int PRIMARY KEY, Serial nvarchar(20), MilkPeriod int, RDate char(10))");
    const Result run = runner({"sequence", "--json"});
    EXPECT_EQ(run.exit, 1);
    EXPECT_TRUE(run.err.contains("RecSeq")) << run.err.toStdString();
    EXPECT_EQ(run.json()["exitCode"].toInt(), 1);
    EXPECT_TRUE(run.json()["error"].toString().contains("RecSeq"));
}

TEST_F(Runner, ReadOnlyJournalFolderStopsTheRunBeforeAnyWrite)
{
    const QStringList before = dump();
    ASSERT_TRUE(QDir(dir.path()).mkdir("T4R"));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("T4R"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (const char* repair : {"sequence", "lactation"}) {
        const Result run = runner({repair, "--json"});
        EXPECT_EQ(run.exit, 1);
        EXPECT_TRUE(run.err.contains("write-protected")) << run.err.toStdString();
        EXPECT_EQ(run.json()["rowsWritten"].toInt(), 0);
        EXPECT_EQ(dump(), before);
    }
    QFile::setPermissions(dir.filePath("T4R"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(Runner, BadUsageAndSettingsExitTwo)
{
    QTemporaryDir empty, multi, damaged;
    QFile(multi.filePath("Multiusers.Dat")).open(QIODevice::WriteOnly);
    QFile bad(damaged.filePath("bad.journal"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("RIMO1-REPAIR-JOURNAL 1\ndatabase\therd\n");
    bad.close();
    const struct
    {
        QStringList args;
        const char* says;
    } cases[] = {
        {{}, "no command given"},
        {{"renumber"}, "unknown command renumber"},
        {{"sequence", "--fast"}, "unknown option --fast"},
        {{"sequence", "--csv", "x.csv"}, "--csv needs --dry-run"},
        {{"sequence", "--herd"}, "--herd needs a value"},
        {{"undo"}, "undo needs the journal file"},
        {{"lactation", "--program-folder", empty.path()}, "No settings file WTimes.DLL"},
        {{"sequence", "--settings", empty.filePath("none.DLL")}, "none.DLL"},
        {{"sequence", "--all-herds"}, "need multi-herd mode"},
        {{"sequence", "--herd", "x", "--program-folder", multi.path()}, "MultiConnect.Dat"},
        {{"sequence", "--program-folder", multi.path()}, "--herd NAME, or use --all-herds"},
        {{"undo", damaged.filePath("bad.journal")}, "Journal line 3"},
        {{"undo", "/dev/zero"}, "/dev/zero"},
    };
    for (const auto& c : cases) {
        const Result r = runner(c.args);
        EXPECT_EQ(r.exit, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    // Nothing ran: no journal was made.
    EXPECT_FALSE(QDir(dir.filePath("T4R")).exists());
}

TEST_F(Runner, DryRunWritesNothingAndItsCountsAreWhatTheRunChanges)
{
    const QStringList before = dump();
    const QString csv = dir.filePath("changes.csv");
    const Result dry = runner({"sequence", "--dry-run", "--csv", csv, "--json"});
    ASSERT_EQ(dry.exit, 0) << dry.err.toStdString();
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(dry.json()["journal"].isNull());
    EXPECT_EQ(dry.json()["rowsWritten"].toInt(), 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "ID,column,old,new\n1,RecSeq,,1\n1,StRecNo,5,1\n2,RecSeq,9,2\n2,StRecNo,5,2\n3,RecSeq,4,1\n"
              "4,RecSeq,1,2\n");

    const Result real = runner({"sequence", "--json"});
    EXPECT_EQ(real.json()["rowsChanged"], dry.json()["rowsChanged"]);
    EXPECT_EQ(real.json()["changedByColumn"], dry.json()["changedByColumn"]);
    // Changed-only on the now consistent herd: a single read, nothing written.
    const Result again = runner({"sequence", "--changed-only", "--json"});
    EXPECT_EQ(again.exit, 0);
    EXPECT_EQ(again.json()["rowsWritten"].toInt(), 0);
    EXPECT_EQ(again.json()["rowsRead"].toInt(), 4);
}

TEST_F(Runner, InterruptStopsAtARowBoundaryWithTheJournalComplete)
{
    QString values;
    for (int i = 0; i < 4000; ++i)
        values +=
            QStringLiteral("%1(N'S%2', 1, '%3', -1, N'x', 0)").arg(i ? "," : "").arg(i / 10).arg(1300000 + i);
    sql(("INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES " + values)
            .toStdString());
    const QStringList before = dump();
    QProcess* p = start({"sequence", "--json"});
    // Wait for the journal to grow, then interrupt.
    QString journal;
    for (int i = 0; i < 600 && journal.isEmpty(); ++i) {
        QThread::msleep(20);
        const QStringList files = QDir(dir.filePath("T4R")).entryList({"*.journal"}, QDir::Files);
        if (!files.isEmpty() && QFileInfo(dir.filePath("T4R/" + files[0])).size() > 4000)
            journal = dir.filePath("T4R/" + files[0]);
    }
    ASSERT_FALSE(journal.isEmpty());
    ::kill(static_cast<pid_t>(p->processId()), SIGINT);
    const Result r = finish(p);
    EXPECT_EQ(r.exit, 130) << r.err.toStdString();
    const QJsonObject s = r.json();
    EXPECT_TRUE(s["stopped"].toBool());
    const int written = s["rowsWritten"].toInt();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 4004);
    // One journal line per written row, after the seven of the header.
    QFile f(journal);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 7 + written);
    const Result undo = runner({"undo", journal, "--json"});
    EXPECT_EQ(undo.exit, 0);
    EXPECT_EQ(dump(), before);
}

TEST_F(Runner, AllHerdsRepairsEveryReachableHerdAndReportsTheOther)
{
    makeHerd("herd2");
    sql(kRecordings, "herd2");
    sql("CREATE DATABASE Masters", "master");
    sql("CREATE TABLE Masters (DName nvarchar(50), SName nvarchar(50), EngDName nvarchar(50), SPass "
        "nvarchar(50))",
        "Masters");
    const std::string address = server->serverSpec(), pass = server->password();
    sql("INSERT INTO Masters VALUES (N'گاوداري يك', '" + address + "', 'herd', '" + pass +
            "'), (N'گاوداري دو', '" + address + "', 'herd2', '" + pass +
            "'), (N'گاوداري سه', '127.0.0.1:1', 'herd3', 'x')",
        "Masters");
    QFile(dir.filePath("Multiusers.Dat")).open(QIODevice::WriteOnly);
    QFile central(dir.filePath("MultiConnect.Dat"));
    ASSERT_TRUE(central.open(QIODevice::WriteOnly));
    central.write(QByteArray::fromStdString(address + "\r\nmaster\r\nsa\r\n" + pass + "\r\n"));
    central.close();
    const QStringList before = dump("herd");

    const Result r = runner({"sequence", "--all-herds", "--json"});
    EXPECT_EQ(r.exit, 1) << r.err.toStdString();
    const QJsonArray herds = r.json()["herds"].toArray();
    ASSERT_EQ(herds.size(), 3);
    QMap<QString, QJsonObject> byName;
    for (const QJsonValue& h : herds)
        byName[h.toObject()["herd"].toString()] = h.toObject();
    EXPECT_EQ(byName["گاوداري يك"]["exitCode"].toInt(), 0);
    EXPECT_EQ(byName["گاوداري دو"]["exitCode"].toInt(), 0);
    EXPECT_EQ(byName["گاوداري سه"]["exitCode"].toInt(), 1);
    EXPECT_FALSE(byName["گاوداري سه"]["error"].toString().isEmpty());
    EXPECT_TRUE(r.err.contains("گاوداري سه"));
    EXPECT_NE(byName["گاوداري يك"]["journal"], byName["گاوداري دو"]["journal"]);
    EXPECT_EQ(dump("herd"), dump("herd2"));
    EXPECT_NE(dump("herd"), before);

    // One summary line per herd without --json; one herd by name; undo finds the herd by its database.
    const Result lines = runner({"sequence", "--all-herds", "--changed-only"});
    EXPECT_EQ(lines.out.count('\n'), 3) << lines.out.toStdString();
    const Result one = runner({"sequence", "--herd", "گاوداري دو", "--json"});
    EXPECT_EQ(one.exit, 0) << one.err.toStdString();
    EXPECT_EQ(one.json()["database"].toString(), "herd2");
    const Result undo = runner({"undo", byName["گاوداري يك"]["journal"].toString()});
    EXPECT_EQ(undo.exit, 0) << undo.err.toStdString();
    EXPECT_EQ(dump("herd"), before);
}
