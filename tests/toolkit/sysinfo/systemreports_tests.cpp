#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "platform/linuxservices.h"
#include "platform/linuxsystemfacts.h"
#include "platform/testing/doubles.h"
#include "platform/testing/monitordoubles.h"
#include "toolkit/sysinfo/systemreports.h"
#include "xvfb.h"

#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

class ReportHarness : public TSystemReports
{
public:
    ReportHarness()
    {
        PlatformServices s;
        s.systemFacts = facts;
        s.clock = clock;
        s.windows = windows;
        m_services = withLinuxDefaults(std::move(s));
    }
    const PlatformServices& platform() const override { return m_services; }

    std::shared_ptr<fakes::FakeSystemFacts> facts = std::make_shared<fakes::FakeSystemFacts>();
    std::shared_ptr<fakes::FixedClock> clock = std::make_shared<fakes::FixedClock>();
    std::shared_ptr<fakes::FakeWindowSource> windows = std::make_shared<fakes::FakeWindowSource>();
    TMessageBoardForm board{nullptr};
    QListWidget list;
    PlatformServices m_services;

protected:
    TMessageBoardForm& reportBoard() override { return board; }
    QString reportToday() override { return QStringLiteral("1389/11/04"); }
    QListWidget& reportWindowList() override { return list; }
};

std::vector<board::Row> rowsOf(const TMessageBoardForm& b)
{
    return b.rows().rows();
}

const QString kKb = QStringLiteral("  كيلو بايت  ");

} // namespace

TEST(ComputerReport, RowsInOrderFromTheFacts)
{
    ScopedFormatSettings keep;
    imposeProgramFormats();
    ReportHarness h;
    h.facts->fileSystemId = 3735928559u; // above 2^31: shown unsigned
    h.facts->languages = {"English", "Persian", "Persian"};
    h.facts->memoryFacts = MemoryFacts{quint64(16) << 30, quint64(4) << 30};
    h.facts->addressSpace = quint64(1) << 47;
    h.GetSystemPeroperties();

    const QSize screen = QGuiApplication::primaryScreen()->size();
    const std::vector<board::Row> expected = {
        {"گزارش سيستم", "1389/11/04"},
        {"ارتفاع صفحه نمايش", QString::number(screen.height())},
        {"عرض صفحه نمايش", QString::number(screen.width())},
        {"HDD Serial", "3735928559"},
        {"زبان", "English"},
        {"زبان", "Persian"}, // two layouts of one language: two rows
        {"زبان", "Persian"},
        {"درصد حافظه در حال استفاده", "75"},
        {"حافظه اصلي سيستم", "16777216" + kKb}, // past what 32 bits of bytes hold
        {"برنامه فعلي در حال اجرا", "137438953472" + kKb},
        {"فرمت تاريخ كوتاه", "dd/mm/yyyy"},
        {"فرمت تاريخ بلند", "dd/mm/yyyy"},
        {"فرمت ساعت كوتاه", "HH:mm:ss"},
        {"فرمت ساعت بلند", "HH:mm:ss"},
    };
    EXPECT_EQ(rowsOf(h.board), expected);
}

TEST(ComputerReport, SerialNotDetectedAndAtMost16Layouts)
{
    for (const std::optional<quint32> id : {std::optional<quint32>(), std::optional<quint32>(0)}) {
        ReportHarness h;
        h.facts->fileSystemId = id;
        h.facts->languages = QStringList(20, "English");
        const QList<ReportRow> rows = systemPropertyRows("d", QSize(10, 20), *h.facts);
        EXPECT_EQ(rows[3], ReportRow("HDD Serial", "Not Detect"));
        EXPECT_EQ(rows.count(ReportRow("زبان", "English")), 16);
        EXPECT_EQ(rows[1].second, "20");
        EXPECT_EQ(rows[2].second, "10");
    }
}

TEST(WorldClock, RowsFromZoneNamesAndDisplays)
{
    const QDateTime nine(QDate(2011, 1, 24), QTime(9, 0), Qt::UTC);
    struct Case
    {
        const char* key;
        const char* display;
        QDateTime utc;
        std::optional<ReportRow> expected;
    } cases[] = {
        {"Iran Standard Time", "(UTC+03:30) Tehran", nine, ReportRow("Iran ( Tehran)[+03:30]", "12:30:00")},
        {"Eastern Standard Time", "(UTC-05:00) Eastern Time", nine,
         ReportRow("Eastern ( Eastern Time)[-05:00]", "04:00:00")},
        {"Nepal Standard Time", "(UTC+05:45) Kathmandu", nine,
         ReportRow("Nepal ( Kathmandu)[+05:45]", "14:45:00")},
        // The time of day only, past midnight either way.
        {"Iran Standard Time", "(UTC+03:30) Tehran", QDateTime(QDate(2011, 1, 24), QTime(22, 0), Qt::UTC),
         ReportRow("Iran ( Tehran)[+03:30]", "01:30:00")},
        {"Hawaiian Standard Time", "(UTC-10:00) Hawaii", QDateTime(QDate(2011, 1, 24), QTime(3, 0), Qt::UTC),
         ReportRow("Hawaiian ( Hawaii)[-10:00]", "17:00:00")},
        // Without "Standard Time" the label starts with "(".
        {"UTC-11", "(UTC-11:00) Coordinated Universal Time-11", nine,
         ReportRow("( Coordinated Universal Time-11)[-11:00]", "22:00:00")},
        {"Iran sTANDARD tIME", "(GMT+03:30) Tehran", nine, ReportRow("Iran ( Tehran)[+03:30]", "12:30:00")},
        // Skipped: the GMT family in any letter case, and displays without an offset.
        {"GMT Standard Time", "(UTC+00:00) London", nine, std::nullopt},
        {"gmt standard time", "(UTC+01:00) London", nine, std::nullopt},
        {"Greenwich Standard Time", "(UTC+00:00) Reykjavik", nine, std::nullopt},
        {"GREENLAND Standard Time", "(UTC-03:00) Greenland", nine, std::nullopt},
        {"GTB Standard Time", "(UTC+02:00) Athens", nine, std::nullopt},
        {"UTC", "(UTC) Coordinated Universal Time", nine, std::nullopt},
        {"Morocco Standard Time", "(GMT) Casablanca, Monrovia", nine, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(worldClockRow({c.key, c.display}, c.utc), c.expected) << c.key << " " << c.display;
    EXPECT_THROW(worldClockRow({"Bad Standard Time", "(UTC+xx:30) Nowhere"}, nine), Error);
    EXPECT_THROW(worldClockRow({"Bad Standard Time", "(UTC+25:00) Nowhere"}, nine), Error);
}

TEST(WorldClock, TheBoardListsTehranThenTheZonesFromTheUniversalTime)
{
    ReportHarness h;
    // The local clock says something else entirely: only the universal time counts.
    h.clock->moment = QDateTime(QDate(2011, 1, 24), QTime(1, 2));
    h.clock->utcMoment = QDateTime(QDate(2011, 1, 24), QTime(9, 0), Qt::UTC);
    h.facts->zoneList = QList<ZoneFacts>{{"Iran Standard Time", "(UTC+03:30) Tehran"},
                                         {"GMT Standard Time", "(UTC) London"},
                                         {"Nepal Standard Time", "(UTC+05:45) Kathmandu"}};
    h.ShowTimes();
    EXPECT_EQ(rowsOf(h.board), (std::vector<board::Row>{{"Iran(Tehran)", "12:30"},
                                                        {"Iran ( Tehran)[+03:30]", "12:30:00"},
                                                        {"Nepal ( Kathmandu)[+05:45]", "14:45:00"}}));
}

// On a machine whose clock runs on UTC the first row used the local time (04:44) while the Iran
// row showed 08:14: both now come from the one universal time and Iran's offset.
TEST(WorldClock, TehranAndTheIranRowAgreeWhateverZoneTheMachineRunsOn)
{
    const QDateTime utc(QDate(2026, 12, 9), QTime(4, 44, 10), Qt::UTC);
    const QList<ZoneFacts> zones = {{"Eastern Standard Time", "(UTC-05:00) Eastern Time"},
                                    {"Iran Standard Time", "(UTC+03:30) Tehran"}};
    struct Case
    {
        QDateTime local; // what the machine's own clock says at that instant
        std::optional<QList<ZoneFacts>> zones;
        std::vector<board::Row> rows;
    } cases[] = {
        // UTC, Tehran and a zone far off: the same rows.
        {utc,
         zones,
         {{"Iran(Tehran)", "08:14"},
          {"Eastern ( Eastern Time)[-05:00]", "23:44:10"},
          {"Iran ( Tehran)[+03:30]", "08:14:10"}}},
        {utc.toOffsetFromUtc(3 * 3600 + 1800),
         zones,
         {{"Iran(Tehran)", "08:14"},
          {"Eastern ( Eastern Time)[-05:00]", "23:44:10"},
          {"Iran ( Tehran)[+03:30]", "08:14:10"}}},
        {utc.toOffsetFromUtc(-10 * 3600),
         zones,
         {{"Iran(Tehran)", "08:14"},
          {"Eastern ( Eastern Time)[-05:00]", "23:44:10"},
          {"Iran ( Tehran)[+03:30]", "08:14:10"}}},
        // Tehran follows the Iran zone's offset where the zones give another one.
        {utc,
         QList<ZoneFacts>{{"Iran Standard Time", "(UTC+04:30) Tehran"}},
         {{"Iran(Tehran)", "09:14"}, {"Iran ( Tehran)[+04:30]", "09:14:10"}}},
        // Without a zone source, or with an Iran zone whose offset does not read: +03:30.
        {utc, std::nullopt, {{"Iran(Tehran)", "08:14"}}},
        {utc, QList<ZoneFacts>{{"Iran Standard Time", "(UTC) Tehran"}}, {{"Iran(Tehran)", "08:14"}}},
    };
    for (const Case& c : cases) {
        ScopedFormatSettings keep;
        formatSettings().longTimeFormat = QStringLiteral("h:mm AP");
        ReportHarness h;
        h.clock->moment = c.local;
        h.clock->utcMoment = utc;
        h.facts->zoneList = c.zones;
        h.ShowTimes();
        EXPECT_EQ(rowsOf(h.board), c.rows) << c.local.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(formatSettings().longTimeFormat, "HH:mm:ss"); // put back, as NowTime does
    }
}

TEST(WorldClock, NoZoneSourceGivesOneRowAndABadOffsetKeepsTheRowsBeforeIt)
{
    ReportHarness none;
    none.ShowTimes();
    EXPECT_EQ(rowsOf(none.board), (std::vector<board::Row>{{"Iran(Tehran)", "12:30"}}));

    ReportHarness bad;
    bad.facts->zoneList = QList<ZoneFacts>{{"Iran Standard Time", "(UTC+03:30) Tehran"},
                                           {"Odd Standard Time", "(UTC+3h) Odd"},
                                           {"Nepal Standard Time", "(UTC+05:45) Kathmandu"}};
    EXPECT_THROW(bad.ShowTimes(), Error);
    EXPECT_EQ(rowsOf(bad.board).size(), 2u);
}

TEST(OtherReports, VersionAndWindowListing)
{
    EXPECT_EQ(TSystemReports::GetVersion(), "0.1.0.0");
    ReportHarness h;
    h.windows->list = {{"Herd", "c", 11, 1}, {"GDI+ Window", "c", 12, 1}, {QString(250, u'x'), "c", 13, 1}};
    for (quint32 handle : {11u, 12u, 13u, 99u})
        EXPECT_TRUE(h.EnumWindowsProc(handle, 0));
    ASSERT_EQ(h.list.count(), 2);
    EXPECT_EQ(h.list.item(0)->text(), "Herd");
    EXPECT_EQ(h.list.item(1)->text(), QString(200, u'x'));
    h.ShowSystemInformation();
    EXPECT_FALSE(h.board.isVisible());
}

TEST(RealFacts, KeyboardLanguagesSerialAndMemoryOfThisMachine)
{
    rimo::testing::XvfbServer server;
    ASSERT_FALSE(server.display().isEmpty());
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", server.display());
    ASSERT_EQ(QProcess::execute("setxkbmap",
                                {"-display", QString::fromLatin1(server.display()), "-layout", "us,ir"}),
              0);
    LinuxSystemFacts facts;
    EXPECT_EQ(facts.keyboardLanguages(), QStringList({"English", "Persian"}));
    qputenv("DISPLAY", saved);

    QProcess stat;
    stat.start("stat", {"-f", "-c", "%i", "/"});
    ASSERT_TRUE(stat.waitForFinished());
    const QString hex = QString::fromLatin1(stat.readAllStandardOutput()).trimmed();
    ASSERT_GT(hex.size(), 8);
    const auto serial = facts.rootFileSystemId();
    ASSERT_TRUE(serial.has_value());
    EXPECT_EQ(*serial, hex.left(hex.size() - 8).toUInt(nullptr, 16));

    QFile meminfo("/proc/meminfo");
    ASSERT_TRUE(meminfo.open(QIODevice::ReadOnly));
    const QByteArray first = meminfo.readLine().simplified(); // "MemTotal: N kB"
    const auto memory = facts.memory();
    ASSERT_TRUE(memory.has_value());
    EXPECT_EQ(memory->totalBytes, first.split(' ')[1].toULongLong() * 1024);
}

// Pictures of both reports for a person to look at: RIMO_REPORT_SHOTS names the folder.
TEST(ReportPictures, BothReportsOnTheBoard)
{
    const QString folder = qEnvironmentVariable("RIMO_REPORT_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "RIMO_REPORT_SHOTS not set";
    ScopedFormatSettings keep;
    imposeProgramFormats();
    ReportHarness h;
    auto real = std::make_shared<LinuxSystemFacts>();
    h.facts->fileSystemId = real->rootFileSystemId();
    {
        // The layouts of a server of the test's own, so that the picture shows two languages.
        rimo::testing::XvfbServer server;
        const QByteArray saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", server.display());
        QProcess::execute("setxkbmap",
                          {"-display", QString::fromLatin1(server.display()), "-layout", "us,ir"});
        h.facts->languages = real->keyboardLanguages();
        qputenv("DISPLAY", saved);
    }
    h.facts->memoryFacts = real->memory();
    h.facts->addressSpace = real->addressSpaceBytes();
    h.facts->zoneList = real->zones();
    h.clock->utcMoment = QDateTime::currentDateTimeUtc();
    h.GetSystemPeroperties();
    EXPECT_TRUE(h.board.grab().save(folder + "/report-computer.png"));
    h.ShowTimes();
    EXPECT_TRUE(h.board.grab().save(folder + "/report-clock.png"));
}
