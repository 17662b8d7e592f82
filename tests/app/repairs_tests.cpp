// Both repairs end to end: main window button -> toolkit and data module -> FreeTDS -> test server,
// checking the database afterwards.
#include "app/datamodule.h"
#include "app/mainwindow.h"
#include "app/program.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "herdconnection.h"
#include "platform/testing/doubles.h"
#include "repairs/repairs.h"
#include "tdsserver.h"
#include "toolkit/scramble.h"
#include "toolkit/tools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace rimo;
using rimo::testsupport::TdsServer;

namespace {

const char* kFirstRec =
    "CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), "
    "MilkPeriod int NULL, RDate char(10), RecSeq int NULL, RecKind nvarchar(10) NULL, "
    "StRecNo int NULL, Milk float NULL, CONSTRAINT ck_seq CHECK (RecSeq IS NULL OR RecSeq < 900), "
    "CONSTRAINT ck_mp CHECK (MilkPeriod IS NULL OR MilkPeriod < 50))";
const char* kZayesh =
    "CREATE TABLE zayesh (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), ZDate char(10), "
    "MilkPeriod int NULL, MilkPeriodchange int)";

// Official recording kind with the Arabic yeh, and the same word with the Persian yeh.
const QString kOfficial = QStringLiteral("رسمي");
const QString kOfficialPersianYeh = QStringLiteral("رسمی");
constexpr int kMilkPeriod = 1, kRecSeq = 3;

class Repairs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetTerminateRequest();
        server = std::make_unique<TdsServer>();
        server->exec("CREATE DATABASE herd");
        server->exec(kFirstRec, "herd");
        server->exec(kZayesh, "herd");
        ASSERT_TRUE(testsupport::writeHerdSettings(
            dir.filePath("WTimes.DLL"), {QString::fromStdString(server->password()),
                                         QString::fromStdString(server->serverSpec()), "herd", "sa"}));
    }

    void start()
    {
        PlatformServices s;
        s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
        s.osVersion = std::make_shared<fakes::FakeOsVersion>();
        s.beeper = std::make_shared<fakes::RecordingBeeper>();
        program = std::make_unique<Program>(ProgramOptions{s, dir.path()});
        ASSERT_FALSE(terminateRequested()) << dialogs.texts().join("|").toStdString();
    }

    void sql(const std::string& s) { server->exec(s, "herd"); }

    // `count` recordings, ten to a serial, with wrong sequence numbers, in one statement.
    void insertManyRecordings(int count)
    {
        QString values;
        for (int i = 0; i < count; ++i)
            values += QStringLiteral("%1(N'S%2', 1, '%3', -1, N'x', 0)")
                          .arg(i ? "," : "")
                          .arg(i / 10, 4, 10, QChar(u'0'))
                          .arg(1300000 + i);
        sql(("INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES " + values)
                .toStdString());
    }

    // "Serial/MilkPeriod/RDate/RecSeq/StRecNo" of every recording, by ID.
    QStringList recordings()
    {
        TMSQuery& q = *program->dataModule()->QAskGeneral;
        q.setSqlText("SELECT * FROM FirstRec ORDER BY ID");
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList parts;
            for (const char* c : {"Serial", "MilkPeriod", "RDate", "RecSeq", "StRecNo"})
                parts << q.FieldByName(c).AsString();
            out << parts.join(u'/');
        }
        q.Close();
        return out;
    }

    // One column of recordings() by its place: 1 MilkPeriod, 3 RecSeq, 4 StRecNo.
    QStringList column(int place)
    {
        QStringList out;
        for (const QString& r : recordings())
            out << r.section(u'/', place, place);
        return out;
    }

    TForm1& form() { return *program->form(); }

    ScopedFormatSettings formats; // the program imposes its formats
    QTemporaryDir dir;
    std::unique_ptr<TdsServer> server;
    fakes::ScopedFakeDialogs dialogs;
    std::unique_ptr<Program> program;
};

struct Recording
{
    QString serial;
    const char* period;
    const char* date;
    QString kind;
};

// One INSERT of recordings with RecSeq -1 and StRecNo 99, numbers the repairs must change or keep.
std::string insertRecordings(const std::vector<Recording>& rows)
{
    QStringList values;
    for (const Recording& r : rows)
        values << QStringLiteral("(N'%1', %2, '%3', -1, N'%4', 99)")
                      .arg(QString(r.serial).replace("'", "''"), r.period, r.date, r.kind);
    return ("INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES " +
            values.join(","))
        .toStdString();
}

} // namespace

TEST_F(Repairs, RecordSequenceNumbersEveryAnimal)
{
    const QString other = QStringLiteral("آزمايشي");
    sql(insertRecordings({
        // The worked example: (1, official) (1, other) (1, official) (2, official) (2, official).
        {"A1", "1", "1390/01/01", kOfficial},
        {"A1", "1", "1390/02/01", other},
        {"A1", "1", "1390/03/01", kOfficial},
        {"A1", "2", "1391/01/01", kOfficial},
        {"A1", "2", "1391/02/01", kOfficial},
        // A new animal whose first lactation number equals the last one of A1, starting with a
        // non-official row and a row whose kind has the Persian yeh.
        {"B2", "2", "1390/01/01", other},
        {"B2", "2", "1390/02/01", kOfficialPersianYeh},
        {"B2", "2", "1390/03/01", kOfficial},
        // A null lactation number reads as 0 and forms a lactation of its own (sorted first).
        {"C3", "NULL", "1390/05/01", kOfficial},
        {"C3", "1", "1390/01/01", kOfficial},
        // Keys differing only in letter case: the server sorts them together, the client tells them apart.
        {"d4", "1", "1390/01/01", kOfficial},
        {"D4", "1", "1390/02/01", kOfficial},
        {"d4", "1", "1390/03/01", kOfficial},
    }));
    start();

    form().dxButton9->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join("|").toStdString();
    EXPECT_EQ(recordings(), (QStringList{
                                "A1/1/1390/01/01/1/1",
                                "A1/1/1390/02/01/2/99",
                                "A1/1/1390/03/01/3/2",
                                "A1/2/1391/01/01/4/1",
                                "A1/2/1391/02/01/5/2",
                                "B2/2/1390/01/01/1/99",
                                "B2/2/1390/02/01/2/99",
                                "B2/2/1390/03/01/3/1",
                                "C3//1390/05/01/1/1",
                                "C3/1/1390/01/01/2/1",
                                "d4/1/1390/01/01/1/1",
                                "D4/1/1390/02/01/1/1",
                                "d4/1/1390/03/01/1/1",
                            }));
    // After the last row the cursor stays there and the title shows its new numbers.
    EXPECT_EQ(form().windowTitle(), "d4-1-1390/03/01-1-1");

    // A second press runs again from the first row, with the same result.
    sql("UPDATE FirstRec SET RecSeq = -1");
    form().dxButton9->click();
    EXPECT_EQ(recordings().value(4), "A1/2/1391/02/01/5/2");
}

TEST_F(Repairs, OfficialKindInAFixedWidthColumnCountsWithoutItsPadding)
{
    sql("DROP TABLE FirstRec");
    sql("CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20), MilkPeriod int NULL, "
        "RDate char(10), RecSeq int NULL, RecKind nchar(10) NULL, StRecNo int NULL)");
    sql(insertRecordings({{"A1", "1", "1390/01/01", kOfficial}, {"A1", "1", "1390/02/01", kOfficial}}));
    start();
    form().dxButton9->click();
    EXPECT_EQ(recordings(), (QStringList{"A1/1/1390/01/01/1/1", "A1/1/1390/02/01/2/2"}));
}

// The wait ticks run from one statement of a run to the next, and stop with the run: a tick left
// running would interrupt a later wait of other code (a poll that does not expect it).
TEST_F(Repairs, NoWaitTickOutlivesARun)
{
    insertManyRecordings(300);
    start();
    form().dxButton9->click();
    form().btn1->click();
    ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join("|").toStdString();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pollfd pfd{fds[0], POLLIN, 0};
    errno = 0;
    EXPECT_EQ(::poll(&pfd, 1, 350), 0) << "interrupted: " << std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(Repairs, EmptyTableWritesNothing)
{
    start();
    form().setProgressText("before");
    form().dxButton9->click();
    EXPECT_EQ(form().windowTitle(), "before");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Repairs, RefusedRowEndsTheRunAndKeepsEarlierRows)
{
    // RecSeq must stay below 900: the 900th recording of the animal is refused.
    for (int i = 0; i < 905; i += 100) {
        QString values;
        for (int j = i; j < i + 100 && j < 905; ++j)
            values +=
                QStringLiteral("%1(N'A1', 1, '%2', -1, N'x', 0)").arg(j == i ? "" : ",").arg(1300000 + j);
        sql(("INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo) VALUES " + values)
                .toStdString());
    }
    start();
    for (int run = 1; run <= 2; ++run) {
        form().dxButton9->click();
        ASSERT_EQ(dialogs.messages.size(), run);
        EXPECT_EQ(dialogs.messages.last().caption, "Rimo1");
        EXPECT_TRUE(dialogs.messages.last().text.contains("CHECK constraint")) << run;
        const QStringList seq = column(kRecSeq);
        EXPECT_EQ(seq.value(898), "899");
        EXPECT_EQ(seq.value(899), "-1") << "the refused row keeps its number";
        EXPECT_EQ(seq.value(904), "-1");
        EXPECT_TRUE(form().dxButton9->isEnabled()) << "the program stays usable";
    }
}

TEST_F(Repairs, MissingColumnReachesTheErrorBox)
{
    sql("DROP TABLE FirstRec");
    sql("CREATE TABLE FirstRec (ID int PRIMARY KEY, Serial nvarchar(20), MilkPeriod int, RDate char(10))");
    sql("INSERT INTO FirstRec VALUES (1, N'A', 1, '1390/01/01')");
    start();
    form().dxButton9->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].caption, "Rimo1");
    EXPECT_TRUE(dialogs.messages[0].text.contains("RecSeq")) << dialogs.messages[0].text.toStdString();
}

TEST_F(Repairs, EveryButtonRunLeavesAJournalInTheWorkingFolder)
{
    sql(insertRecordings({{"A1", "1", "1390/01/01", kOfficial}, {"A1", "1", "1390/02/01", "x"}}));
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (N'A1', '1389/01/01', 3, "
        "1)");
    start();
    form().dxButton9->click();
    form().btn1->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join("|").toStdString();
    const QStringList journals = QDir(dir.filePath("T4R")).entryList({"*.journal"}, QDir::Files, QDir::Name);
    ASSERT_EQ(journals.size(), 2) << journals.join(' ').toStdString();
    EXPECT_TRUE(journals[0].startsWith("lactation-herd-"));
    EXPECT_TRUE(journals[1].startsWith("sequence-herd-"));
    QFile f(dir.filePath("T4R/" + journals[1]));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.value(1), "database\therd");
    EXPECT_EQ(lines.value(7), "row\t1\t-1\t99\t1\t1");
    EXPECT_EQ(lines.value(8), "row\t2\t-1\t99\t2\t99");
}

TEST_F(Repairs, ReadOnlyWorkingFolderStopsTheRunBeforeAnyWrite)
{
    sql(insertRecordings({{"A1", "1", "1390/01/01", kOfficial}, {"A1", "1", "1390/02/01", kOfficial}}));
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (N'A1', '1389/01/01', 3, "
        "1)");
    start();
    const QStringList before = recordings();
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("T4R"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (QPushButton* button : {form().dxButton9, form().btn1}) {
        dialogs.messages.clear();
        button->click();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_EQ(dialogs.messages[0].caption, "Rimo1");
        EXPECT_TRUE(dialogs.messages[0].text.contains("journal")) << dialogs.messages[0].text.toStdString();
        EXPECT_EQ(recordings(), before);
    }
    // No row was read either: the title never changed.
    EXPECT_TRUE(form().windowTitle().isEmpty());
    QFile::setPermissions(dir.filePath("T4R"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(Repairs, LactationNumbersFollowTheMarkedCalvings)
{
    // Animal A: calvings marked on 1390/01/10 (number 1) and 1391/01/10 (number 2); one unmarked.
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES "
        "(N'A', '1391/01/10', 2, 1), (N'A', '1390/01/10', 1, 1), (N'A', '1390/06/01', 7, 0), "
        "(N'O''K', '1390/01/01', 4, 1), "                          // a quote in the key
        "(N'N', '1390/01/01', NULL, 1), "                          // a null number counts as 0
        "(N'T', '1390/01/01', 3, 1), (N'T', '1390/01/01', 5, 1)"); // two on one date: the second stays
    std::vector<Recording> rows;
    for (const auto& [serial, date] : std::vector<std::pair<QString, const char*>>{{"A", "1389/12/01"},
                                                                                   {"A", "1390/01/10"},
                                                                                   {"A", "1390/02/01"},
                                                                                   {"A", "1391/01/10"},
                                                                                   {"A", "1391/02/01"},
                                                                                   {"O'K", "1390/02/01"},
                                                                                   {"N", "1390/02/01"},
                                                                                   {"T", "1390/02/01"}})
        rows.push_back({serial, "9", date, kOfficial});
    sql(insertRecordings(rows));
    start();
    form().btn1->click();
    EXPECT_EQ(column(kMilkPeriod), (QStringList{"9", "9", "2", "2", "3", "5", "1", "6"}));
    EXPECT_EQ(form().memoLines(), QStringList{QString()}) << "no failure";
    EXPECT_EQ(form().windowTitle(), "T-5-1390/01/01-");
}

TEST_F(Repairs, PersianDigitSerialsInAUnicodeColumnGetTheirNewNumber)
{
    // FirstRec.Serial is nvarchar here (kFirstRec): the catalogue says so and the serial goes as
    // N'...'; a varchar Serial keeps the plain literal.
    const QString persian = QStringLiteral("۱۰۲۴یک");
    sql(("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (N'" + persian +
         "', '1390/01/01', 4, 1)")
            .toStdString());
    sql(insertRecordings({{persian, "9", "1389/06/01", kOfficial}, {persian, "9", "1390/06/01", kOfficial}}));
    start();
    EXPECT_TRUE(firstRecSerialIsUnicode(*program->dataModule()->QAskGeneral));
    form().btn1->click();
    EXPECT_EQ(column(kMilkPeriod), (QStringList{"9", "5"}));
    EXPECT_EQ(form().memoLines(), QStringList{QString()});

    sql("DROP TABLE FirstRec");
    sql("CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial varchar(20), MilkPeriod int NULL, "
        "RDate char(10), RecSeq int NULL, RecKind nvarchar(10) NULL, StRecNo int NULL)");
    EXPECT_FALSE(firstRecSerialIsUnicode(*program->dataModule()->QAskGeneral));
}

TEST_F(Repairs, FailedLactationStatementIsListedAndTheRunGoesOn)
{
    // MilkPeriod must stay below 50: the calving numbered 60 cannot be applied.
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES "
        "(N'A', '1390/01/01', 60, 1), (N'A', '1391/01/01', 2, 1)");
    sql(insertRecordings({{"A", "9", "1390/06/01", kOfficial}, {"A", "9", "1391/06/01", kOfficial}}));
    start();
    form().btn1->click();
    EXPECT_EQ(form().memoLines(), (QStringList{QString(), "A-60-1390/01/01-"}));
    EXPECT_EQ(column(kMilkPeriod), (QStringList{"9", "3"})) << "later calvings still apply";
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "the error itself is not shown";
}

TEST_F(Repairs, NoMarkedCalvingSendsNothing)
{
    sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (N'A', '1390/01/01', 1, 0)");
    sql(insertRecordings({{"A", "9", "1390/06/01", kOfficial}}));
    start();
    form().setProgressText("before");
    form().btn1->click();
    EXPECT_EQ(form().windowTitle(), "before");
    EXPECT_EQ(column(kMilkPeriod), QStringList{"9"});
}

TEST_F(Repairs, ServerStoppedMidRecordSequence)
{
    insertManyRecordings(3000);
    start();
    int titles = 0;
    QObject::connect(&form(), &QWidget::windowTitleChanged, [&] {
        if (++titles == 1500)
            server->stop();
    });
    form().dxButton9->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].caption, "Rimo1");
    EXPECT_TRUE(form().dxButton9->isEnabled());

    server->start();
    const QStringList seq = column(kRecSeq); // the connection is opened again
    ASSERT_EQ(seq.size(), 3000);
    for (int i = 0; i < 1500; ++i)
        ASSERT_NE(seq[i], "-1") << i;
    for (int i = 1501; i < 3000; ++i)
        ASSERT_EQ(seq[i], "-1") << i;
}

TEST_F(Repairs, ServerStoppedMidLactationRebuild)
{
    QString values;
    for (int i = 0; i < 200; ++i)
        values +=
            QStringLiteral("%1(N'S%2', '1390/01/01', 1, 1)").arg(i ? "," : "").arg(i, 4, 10, QChar(u'0'));
    sql(("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES " + values).toStdString());
    start();
    int titles = 0;
    QObject::connect(&form(), &QWidget::windowTitleChanged, [&] {
        if (++titles == 50)
            server->stop();
    });
    form().btn1->click();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form().memoLines().size(), 1 + 150) << "one line for each remaining calving";
    EXPECT_EQ(form().memoLines().value(1), "S0050-1-1390/01/01-");
}

namespace {

// Stops the test server's process (SIGSTOP): it keeps its connections open and answers nothing.
// Resumed when the object ends, so the server can always be stopped cleanly afterwards.
class Stall
{
public:
    explicit Stall(const TdsServer& server) : m_pid(server.pid()) {}
    ~Stall() { resume(); }
    void stop()
    {
        ::kill(m_pid, SIGSTOP);
        // The signal takes effect a moment later: wait until the process is seen stopped, so no
        // statement sent after this returns is answered.
        for (int i = 0; i < 1000 && !isStopped(); ++i)
            QThread::usleep(500);
        m_stopped = true;
        m_since.start();
    }
    void resume()
    {
        if (m_stopped)
            ::kill(m_pid, SIGCONT);
        m_stopped = false;
    }
    bool stopped() const { return m_stopped; }
    qint64 elapsed() const { return m_since.elapsed(); }

private:
    bool isStopped() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')'); // the state follows the command name
        return close > 0 && line.mid(close + 2, 1) == "T";
    }
    pid_t m_pid;
    bool m_stopped = false;
    QElapsedTimer m_since;
};

// A counter on the window, raised by a timer: it moves on screen only while the event loop runs.
class Liveness
{
public:
    explicit Liveness(QWidget& window) : m_label(new QLabel(&window))
    {
        m_label->setGeometry(4, 4, 200, 24);
        m_label->setStyleSheet(QStringLiteral("background: yellow; font: bold 14px"));
        m_label->show();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            ++ticks;
            m_label->setText(QStringLiteral("ticks %1").arg(ticks));
        });
        m_timer.start(50);
    }
    int ticks = 0;

private:
    QLabel* m_label; // owned by the window
    QTimer m_timer;
};

// The window as it is on screen now, saved for whoever looks at the run afterwards.
QString screenshot(QWidget& window, const QString& name)
{
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("rimo-stall-%1.png").arg(name));
    window.grab().save(path);
    return path;
}

std::string fileContents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

} // namespace

TEST_F(Repairs, StalledServerTimesOutTheRecordSequenceAndTheWindowStaysLive)
{
    insertManyRecordings(600);
    qputenv("RIMO1_STATEMENT_TIMEOUT", "2");
    start();
    qunsetenv("RIMO1_STATEMENT_TIMEOUT");
    form().show();
    Liveness live(form());
    Stall stall(*server);
    int titles = 0;
    int ticksAtStop = 0;
    QStringList shots;
    QObject::connect(&form(), &QWidget::windowTitleChanged, [&] {
        if (++titles != 300)
            return;
        stall.stop();
        ticksAtStop = live.ticks;
        QTimer::singleShot(500, [&] { shots << screenshot(form(), "sequence-0.5s"); });
        QTimer::singleShot(1500, [&] { shots << screenshot(form(), "sequence-1.5s"); });
    });
    form().dxButton9->click();
    const qint64 stalledFor = stall.elapsed();

    ASSERT_TRUE(stall.stopped());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].caption, "Rimo1");
    EXPECT_TRUE(dialogs.messages[0].text.contains("did not answer within 2 seconds"))
        << dialogs.messages[0].text.toStdString();
    EXPECT_GE(stalledFor, 2000);
    EXPECT_LT(stalledFor, 3500);
    // The timer ran all along: ten times a second or so, not once at the end.
    EXPECT_GT(live.ticks - ticksAtStop, 10);
    ASSERT_EQ(shots.size(), 2);
    EXPECT_NE(fileContents(shots[0]), fileContents(shots[1])) << "the window did not change while waiting";
    std::printf("screenshots: %s %s\n", qPrintable(shots[0]), qPrintable(shots[1]));

    // The server answers again: the program is usable, the rows before the stall written.
    stall.resume();
    const QStringList seq = column(kRecSeq);
    ASSERT_EQ(seq.size(), 600);
    EXPECT_NE(seq[0], "-1");
    EXPECT_EQ(seq[599], "-1");
    dialogs.messages.clear();
    form().dxButton9->click();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(column(kRecSeq).value(599), "10");
}

TEST_F(Repairs, StalledServerTimesOutACalvingIntoTheFailureList)
{
    QString values;
    for (int i = 0; i < 40; ++i)
        values +=
            QStringLiteral("%1(N'S%2', '1390/01/01', 1, 1)").arg(i ? "," : "").arg(i, 4, 10, QChar(u'0'));
    sql(("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES " + values).toStdString());
    sql(insertRecordings({{"S0039", "9", "1390/06/01", kOfficial}}));
    qputenv("RIMO1_STATEMENT_TIMEOUT", "2");
    start();
    qunsetenv("RIMO1_STATEMENT_TIMEOUT");
    Stall stall(*server);
    int titles = 0;
    QObject::connect(&form(), &QWidget::windowTitleChanged, [&] {
        if (++titles == 20)
            stall.stop();
    });
    form().btn1->click();
    EXPECT_GE(stall.elapsed(), 2000);
    EXPECT_LT(stall.elapsed(), 3500) << "later calvings fail at once on the closed connection";
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form().memoLines().size(), 1 + 20);
    EXPECT_EQ(form().memoLines().value(1), "S0020-1-1390/01/01-");

    stall.resume();
    form().btn1->click();
    EXPECT_EQ(column(kMilkPeriod), QStringList{"2"}) << "usable again once the server answers";
}

TEST_F(Repairs, ExitDuringAStalledStatementEndsTheProgramWithinASecond)
{
    // Both repairs, each in a program of its own (exit ends it); the default time-out of 60 s.
    for (const bool lactation : {false, true}) {
        SCOPED_TRACE(lactation ? "lactation rebuild" : "record sequence rebuild");
        resetTerminateRequest();
        dialogs.messages.clear();
        sql("DELETE FROM FirstRec");
        sql("DELETE FROM zayesh");
        sql("INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (N'A', '1389/01/01', 1, "
            "1), "
            "(N'A', '1389/06/01', 2, 1)");
        sql(insertRecordings({{"A", "1", "1390/01/01", kOfficial}, {"A", "1", "1390/02/01", kOfficial}}));
        start();
        form().show();
        Stall stall(*server);
        QElapsedTimer sinceExit;
        QObject::connect(&form(), &QWidget::windowTitleChanged, [&] {
            if (stall.stopped())
                return;
            stall.stop();
            QTimer::singleShot(700, [&] {
                sinceExit.start();
                form().dxButton7->click();
            });
        });
        (lactation ? form().btn1 : form().dxButton9)->click();
        ASSERT_TRUE(sinceExit.isValid());
        EXPECT_LT(sinceExit.elapsed(), 1000);
        EXPECT_TRUE(dialogs.messages.isEmpty()) << "no error box holds up the end";
        EXPECT_TRUE(terminateRequested());
        EXPECT_FALSE(form().isVisible());
        stall.resume();
        program.reset();
    }
}
