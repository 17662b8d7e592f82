// A repair run, its journal and undo, end to end through FreeTDS and the test server: undo gives the
// table back as it was, also after the server was lost mid-run; a dry run writes nothing and counts
// what the run then changes.
#include "core/error.h"
#include "db/msdataset.h"
#include "herdconnection.h"
#include "repairs/run.h"
#include "repairs/undo.h"
#include "tdsserver.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace rimo;
using namespace rimo::repairs;
using rimo::testsupport::TdsServer;

namespace {

const char* kKeyed = "CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), "
                     "MilkPeriod int NULL, RDate char(10), RecSeq int NULL, RecKind nvarchar(10) NULL, "
                     "StRecNo int NULL, Milk float NULL)";
const char* kKeyless = "CREATE TABLE FirstRec (Serial nvarchar(20), MilkPeriod int NULL, RDate char(10), "
                       "RecSeq int NULL, RecKind nvarchar(10) NULL, StRecNo int NULL, Milk float NULL)";
const char* kZayesh =
    "CREATE TABLE zayesh (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), ZDate char(10), "
    "MilkPeriod int NULL, MilkPeriodchange int)";

// Recordings with wrong and missing numbers, a quote in a serial, Persian text and NULLs.
const char* kRecordings =
    "INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo, Milk) VALUES "
    "(N'A1', 1, '1390/01/01', NULL, N'رسمي', NULL, 20.5), (N'A1', 1, '1390/02/01', 7, N'x', 4, NULL), "
    "(N'A1', 2, '1391/01/01', 1, N'رسمي', 1, 18.25), (N'O''Neil', NULL, '1390/01/05', -3, N'رسمي', 9, 1e-3), "
    "(N'O''Neil', 1, '1390/06/05', 2, NULL, NULL, 0), (N'۱۲۳', 3, '1390/01/01', 5, N'رسمي', 2, 30)";
const char* kCalvings = "INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES "
                        "(N'A1', '1390/01/15', 4, 1), (N'O''Neil', '1390/01/01', NULL, 1), "
                        "(N'O''Neil', '1390/03/01', 6, 0), (N'۱۲۳', '1389/12/29', 2, 1)";

class Undo : public ::testing::TestWithParam<std::tuple<bool, Repair>>
{
protected:
    void SetUp() override
    {
        server = std::make_unique<TdsServer>();
        server->exec("CREATE DATABASE herd");
        sql(keyed() ? kKeyed : kKeyless);
        sql(kZayesh);
        sql(kRecordings);
        sql(kCalvings);
        connect();
    }

    bool keyed() const { return std::get<0>(GetParam()); }
    Repair repair() const { return std::get<1>(GetParam()); }
    void sql(const char* s) { server->exec(s, "herd"); }

    void connect()
    {
        connection = std::make_unique<TMSConnection>();
        table = std::make_unique<TMSTable>();
        zayesh = std::make_unique<TMSTable>();
        ask = std::make_unique<TMSQuery>();
        for (TMSDataSet* d : std::initializer_list<TMSDataSet*>{table.get(), zayesh.get(), ask.get()})
            d->Connection = connection.get();
        zayesh->TableName = QStringLiteral("zayesh");
        testsupport::connectToServer(*connection, *server, QStringLiteral("herd"));
    }

    RepairObjects objects() { return {*connection, *table, *zayesh, *ask}; }

    RunSummary run(RunOptions options = {}, RepairDisplay display = {})
    {
        if (options.journalFolder.isEmpty())
            options.journalFolder = dir.path();
        if (!display.setTitle)
            display.setTitle = [](const QString&) {};
        RunSummary s;
        runRepair(repair(), objects(), options, display, s);
        return s;
    }

    // Every row of FirstRec, every column, NULL told from an empty text, in a stable order.
    QStringList dump()
    {
        TMSQuery q;
        q.Connection = connection.get();
        q.setSqlText(QStringLiteral("SELECT * FROM FirstRec"));
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next()) {
            QStringList cells;
            for (int i = 0; i < q.FieldCount(); ++i)
                cells << (q.Fields(i).IsNull() ? QStringLiteral("<null>")
                                               : u'[' + q.Fields(i).AsString() + u']');
            rows << cells.join(u'|');
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QTemporaryDir dir;
    std::unique_ptr<TdsServer> server;
    std::unique_ptr<TMSConnection> connection;
    std::unique_ptr<TMSTable> table, zayesh;
    std::unique_ptr<TMSQuery> ask;
};

std::string caseName(const ::testing::TestParamInfo<std::tuple<bool, Repair>>& info)
{
    return std::string(std::get<0>(info.param) ? "Keyed" : "Keyless") +
           (std::get<1>(info.param) == Repair::Sequence ? "Sequence" : "Lactation");
}

INSTANTIATE_TEST_SUITE_P(Tables, Undo,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(Repair::Sequence, Repair::Lactation)),
                         caseName);

} // namespace

TEST_P(Undo, RunThenUndoGivesBackTheTableAndASecondUndoChangesNothing)
{
    const QStringList before = dump();
    const RunSummary s = run();
    const QStringList after = dump();
    ASSERT_NE(after, before);
    EXPECT_GT(s.rowsChanged, 0);
    ASSERT_TRUE(QFile::exists(s.journalPath));

    const Journal j = readJournalFile(s.journalPath);
    EXPECT_EQ(j.header.database, "herd");
    EXPECT_EQ(j.header.repair, repairName(repair()));
    EXPECT_EQ(j.header.keyed, keyed());
    const UndoReport first = undoJournal(*connection, j, false);
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(first.restored, s.rowsChanged);
    EXPECT_EQ(first.notFound, 0);
    EXPECT_TRUE(first.changedSince.isEmpty()) << first.changedSince.join(u'\n').toStdString();

    const UndoReport second = undoJournal(*connection, j, false);
    EXPECT_EQ(second.restored, 0);
    EXPECT_EQ(second.forced, 0);
    EXPECT_TRUE(second.changedSince.isEmpty());
    EXPECT_EQ(dump(), before);
}

TEST_P(Undo, RowChangedSinceIsListedAndLeftUnlessForced)
{
    const QStringList before = dump();
    const RunSummary s = run();
    // After the run someone sets the repaired number of one recording by hand, and deletes another.
    sql(repair() == Repair::Sequence
            ? "UPDATE FirstRec SET RecSeq = 77 WHERE Serial = N'A1' AND RDate = '1390/02/01'"
            : "UPDATE FirstRec SET MilkPeriod = 33 WHERE Serial = N'A1' AND RDate = '1390/02/01'");
    sql("DELETE FROM FirstRec WHERE Serial = N'A1' AND RDate = '1391/01/01'");
    const QStringList edited = dump();
    const Journal j = readJournalFile(s.journalPath);
    const auto row = [](const QStringList& rows) {
        return rows.filter(QStringLiteral("[1390/02/01]")).filter(QStringLiteral("[A1]"));
    };

    const UndoReport listed = undoJournal(*connection, j, false);
    ASSERT_EQ(listed.changedSince.size(), 1) << listed.changedSince.join(u'\n').toStdString();
    EXPECT_TRUE(listed.changedSince.front().contains(
        repair() == Repair::Sequence ? QLatin1String("holds 77/") : QLatin1String("holds 33")))
        << listed.changedSince.front().toStdString();
    EXPECT_EQ(listed.notFound, 1);
    EXPECT_EQ(row(dump()), row(edited)); // left as it was changed

    const UndoReport forced = undoJournal(*connection, j, true);
    EXPECT_EQ(forced.forced, 1);
    EXPECT_TRUE(forced.changedSince.isEmpty());
    // With the deleted row aside, the table is what it was before the run.
    QStringList expected = before;
    expected.removeIf([](const QString& r) { return r.contains(QLatin1String("[1391/01/01]")); });
    EXPECT_EQ(dump(), expected);
}

TEST_P(Undo, DryRunWritesNothingAndCountsWhatTheRunChanges)
{
    const QStringList before = dump();
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    RunOptions options;
    options.dryRun = true;
    options.csv = &csv;
    const RunSummary dry = run(options);
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(dry.journalPath.isEmpty());
    EXPECT_EQ(dry.rowsWritten, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    const RunSummary real = run();
    EXPECT_EQ(real.rowsChanged, dry.rowsChanged);
    EXPECT_EQ(real.changedByColumn, dry.changedByColumn);
    // One CSV line per changed value, below the header; the rows that changed are the ones listed.
    const QList<QByteArray> lines = csv.data().trimmed().split('\n');
    qint64 values = 0;
    for (const qint64 n : dry.changedByColumn)
        values += n;
    EXPECT_EQ(lines.size() - 1, values);
    EXPECT_TRUE(lines.front().endsWith("column,old,new"));
    int differing = 0;
    const QStringList after = dump();
    for (const QString& r : after)
        differing += before.contains(r) ? 0 : 1;
    EXPECT_EQ(differing, dry.rowsChanged);
}

TEST_P(Undo, ChangedOnlyOnAConsistentHerdWritesNothing)
{
    run();
    const QStringList consistent = dump();
    RunOptions options;
    options.changedOnly = true;
    const RunSummary again = run(options);
    EXPECT_EQ(again.rowsWritten, 0);
    EXPECT_EQ(again.rowsChanged, 0);
    EXPECT_GT(again.rowsRead, 0);
    EXPECT_EQ(dump(), consistent);
    EXPECT_TRUE(readJournalFile(again.journalPath).rows.empty());

    // A full run still writes every row (or sends every statement), with the same result.
    const RunSummary full = run();
    EXPECT_GT(full.rowsWritten, 0);
    EXPECT_EQ(dump(), consistent);
}

TEST_P(Undo, UnwritableJournalStopsTheRunBeforeAnyWrite)
{
    const QStringList before = dump();
    RunOptions options;
    options.journalFolder = dir.filePath(QStringLiteral("missing/folder"));
    EXPECT_THROW(run(options), rimo::Error);
    EXPECT_EQ(dump(), before);
}

TEST_P(Undo, ServerLostMidRunThenUndoGivesBackTheTable)
{
    // Enough rows that the server goes down in the middle of the run.
    QString values;
    for (int i = 0; i < 300; ++i)
        values += QStringLiteral("%1(N'K%2', %3, '14%4/01/01', NULL, N'رسمي', %5)")
                      .arg(i ? QStringLiteral(",") : QString())
                      .arg(i / 7)
                      .arg(i % 3)
                      .arg(i % 100, 2, 10, QChar(u'0'))
                      .arg(i % 5 ? QString::number(i) : QStringLiteral("NULL"));
    server->exec(
        ("INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES " + values)
            .toStdString(),
        "herd");
    QString calvings;
    for (int i = 0; i < 43; ++i)
        calvings += QStringLiteral("%1(N'K%2', '1420/01/01', %3, 1)")
                        .arg(i ? QStringLiteral(",") : QString())
                        .arg(i)
                        .arg(i + 5);
    server->exec(
        ("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES " + calvings).toStdString(),
        "herd");
    const QStringList before = dump();

    RepairDisplay display;
    int rows = 0;
    display.setTitle = [&](const QString&) {
        if (++rows == (repair() == Repair::Sequence ? 120 : 20))
            server->stop();
    };
    RunSummary s;
    try {
        runRepair(repair(), objects(), {dir.path(), false, false, nullptr, {}}, display, s);
        // The lactation rebuild lists the failed calvings and goes on to the end.
        EXPECT_EQ(repair(), Repair::Lactation);
    } catch (const std::exception&) {
        EXPECT_EQ(repair(), Repair::Sequence);
    }
    ASSERT_FALSE(s.journalPath.isEmpty());
    server->start();
    connect();
    EXPECT_NE(dump(), before);
    const UndoReport r = undoJournal(*connection, readJournalFile(s.journalPath), false);
    EXPECT_TRUE(r.changedSince.isEmpty()) << r.changedSince.join(u'\n').toStdString();
    EXPECT_EQ(dump(), before);
}

TEST_P(Undo, JournalOfAnotherDatabaseIsRefused)
{
    const RunSummary s = run();
    Journal j = readJournalFile(s.journalPath);
    j.header.database = QStringLiteral("otherherd");
    EXPECT_THROW(undoJournal(*connection, j, false), rimo::Error);
}

// The lactation journal holds a line per recording for every statement that touches it, with the
// value before that statement: also when two marked calvings share a serial and a date (each of
// their statements journals both calvings' recordings), and the same lines whether the calvings
// table has a key or not.
TEST(LactationJournal, EveryStatementJournalsEveryRecordingItTouches)
{
    const char* keylessZayesh = "CREATE TABLE zayesh (Serial nvarchar(20), ZDate char(10), MilkPeriod int "
                                "NULL, MilkPeriodchange int)";
    // ID, value before, value after; recordings 2 and 3 come twice per statement of A1.
    QStringList expected{"2 1 5", "2 1 5", "3 2 5",   "3 2 5", "2 5 5", "2 5 5",
                         "3 5 5", "3 5 5", "4 \\N 1", "5 1 1", "6 3 3"};
    expected.sort();
    for (const bool keyedCalvings : {true, false}) {
        SCOPED_TRACE(keyedCalvings ? "keyed calvings" : "keyless calvings");
        TdsServer server;
        server.exec("CREATE DATABASE herd");
        for (const char* s : {kKeyed, keyedCalvings ? kZayesh : keylessZayesh, kRecordings, kCalvings,
                              "INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) "
                              "VALUES (N'A1', '1390/01/15', 4, 1)"})
            server.exec(s, "herd");
        TMSConnection connection;
        TMSTable table, zayesh;
        TMSQuery ask;
        for (TMSDataSet* d : std::initializer_list<TMSDataSet*>{&table, &zayesh, &ask})
            d->Connection = &connection;
        zayesh.TableName = QStringLiteral("zayesh");
        testsupport::connectToServer(connection, server, QStringLiteral("herd"));
        const auto numbers = [&] {
            TMSQuery q;
            q.Connection = &connection;
            q.setSqlText(QStringLiteral("SELECT ID, MilkPeriod FROM FirstRec ORDER BY ID"));
            q.Open();
            QStringList out;
            for (; !q.Eof(); q.Next())
                out << q.Fields(0).AsString() + u' ' +
                           (q.Fields(1).IsNull() ? "NULL" : q.Fields(1).AsString());
            return out;
        };
        const QStringList before = numbers();

        QTemporaryDir dir;
        RepairDisplay display;
        display.setTitle = [](const QString&) {};
        RunSummary s;
        runRepair(Repair::Lactation, {connection, table, zayesh, ask},
                  {dir.path(), false, false, nullptr, {}}, display, s);
        const Journal j = readJournalFile(s.journalPath);
        QStringList lines, recording2;
        for (const JournalRow& r : j.rows) {
            ASSERT_EQ(r.identity.size(), 1u);
            const QString b = r.before[0] ? *r.before[0] : QStringLiteral("\\N");
            lines << *r.identity[0] + u' ' + b + u' ' + r.after[0].value_or(QStringLiteral("\\N"));
            if (*r.identity[0] == "2")
                recording2 << b;
        }
        lines.sort();
        EXPECT_EQ(lines, expected);
        // The second statement of A1 sees what the first wrote.
        EXPECT_EQ(recording2, (QStringList{"1", "1", "5", "5"}));
        EXPECT_EQ(s.rowsWritten, 11);

        undoJournal(connection, j, false);
        EXPECT_EQ(numbers(), before);
    }
}
