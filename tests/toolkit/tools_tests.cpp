#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "calendar/solarcalendar.h"
#include "calendar/widgets/solarmonthcalendar.h"
#include "core/formatsettings.h"
#include "fileaccess.h"
#include "platform/testing/doubles.h"
#include "toolkit/tools.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

OsVersionFacts nt(int major, int minor, const QString& productType = QStringLiteral("WINNT"))
{
    return OsVersionFacts{2, major, minor, QString(), productType};
}

struct Fixture
{
    ScopedFormatSettings formats; // creation imposes the program's formats
    std::shared_ptr<fakes::RecordingKeyboard> keyboard = std::make_shared<fakes::RecordingKeyboard>();
    std::shared_ptr<fakes::FakeOsVersion> version = std::make_shared<fakes::FakeOsVersion>();
    std::shared_ptr<fakes::RecordingBeeper> beeper = std::make_shared<fakes::RecordingBeeper>();
    std::shared_ptr<fakes::FixedClock> clock = std::make_shared<fakes::FixedClock>();
    QTemporaryDir dir;

    PlatformServices services() const
    {
        PlatformServices s;
        s.keyboard = keyboard;
        s.osVersion = version;
        s.beeper = beeper;
        s.shellOpener = std::make_shared<fakes::RecordingShellOpener>();
        s.tone = std::make_shared<fakes::RecordingTone>();
        s.clock = clock;
        return s;
    }
    std::unique_ptr<TTools> make() { return std::make_unique<TTools>(services(), dir.path()); }
};

} // namespace

TEST(Tools, CreationSetsFormatsFoldersAndVersion)
{
    Fixture f;
    f.version->facts = nt(5, 1);
    formatSettings().decimalSeparator = u','; // the system's separator
    auto tools = f.make();

    EXPECT_EQ(formatSettings().shortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(formatSettings().longDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(formatSettings().shortTimeFormat, "HH:mm:ss");
    EXPECT_EQ(formatSettings().longTimeFormat, "HH:mm:ss");
    EXPECT_EQ(formatSettings().decimalSeparator, u',') << "creation keeps the system's separator";
    tools->_SetConfigAgain();
    EXPECT_EQ(formatSettings().decimalSeparator, u'.');

    EXPECT_TRUE(tools->AppPath.endsWith(u'/'));
    EXPECT_EQ(QDir(tools->AppPath).absolutePath(), QDir(f.dir.path()).absolutePath());
    EXPECT_TRUE(QDir(f.dir.path() + "/T4R/ED").exists());
    EXPECT_EQ(tools->ReturnedParameters.size(), 50);
    EXPECT_TRUE(tools->ReturnedParameters.join(QString()).isEmpty());
    EXPECT_TRUE(tools->ViewCanBeDroped);
    EXPECT_EQ(tools->WinVer, 510);
    EXPECT_EQ(TTools::instance(), tools.get());

    // The today slot holds today's solar date, as the calendar library converts it.
    const QDate today = f.clock->today();
    quint16 y = static_cast<quint16>(today.year()), m = static_cast<quint16>(today.month()),
            d = static_cast<quint16>(today.day());
    ASSERT_TRUE(GregorianToSolar(y, m, d));
    EXPECT_EQ(tools->FarsiToday(), JoinDate(y, m, d));
    EXPECT_EQ(tools->FarsiToday().size(), 10);
}

TEST(Tools, TodayAndTheTimeOfDayComeFromTheGivenClock)
{
    Fixture f;
    // The last second of 1403, a kabise year of the calendar library.
    f.clock->moment = QDateTime(QDate(2025, 3, 20), QTime(23, 59, 59));
    auto tools = f.make();
    EXPECT_EQ(&tools->clock(), f.clock.get());
    EXPECT_EQ(tools->FarsiToday(), "1403/12/30");
    EXPECT_EQ(tools->NowTime(), "23:59");

    // Past midnight the slot keeps the day of creation; the time of day follows the clock.
    f.clock->moment = f.clock->moment.addSecs(2);
    EXPECT_EQ(tools->NowTime(), "00:00");
    EXPECT_EQ(tools->FarsiToday(), "1403/12/30");
    tools->fillTodaySlot();
    EXPECT_EQ(tools->FarsiToday(), "1404/01/01");
}

// The world clock through the toolkit object: on a machine whose clock runs on UTC, Tehran and
// the Iran zone row show the same time, from the universal time of the clock TTools was given.
TEST(Tools, WorldClockRowsComeFromTheClocksUniversalTime)
{
    Fixture f;
    f.clock->moment = QDateTime(QDate(2026, 12, 9), QTime(4, 44, 10));
    f.clock->utcMoment = QDateTime(QDate(2026, 12, 9), QTime(4, 44, 10), Qt::UTC);
    auto facts = std::make_shared<fakes::FakeSystemFacts>();
    facts->zoneList = QList<ZoneFacts>{{"Iran Standard Time", "(UTC+03:30) Tehran"}};
    PlatformServices services = f.services();
    services.systemFacts = facts;
    TTools tools(services, f.dir.path());
    tools.ShowTimes();
    EXPECT_EQ(tools.messageBoard()->rows().rows(),
              (std::vector<board::Row>{{"Iran(Tehran)", "08:14"}, {"Iran ( Tehran)[+03:30]", "08:14:10"}}));
}

TEST(Tools, CreatesTheHiddenSolarCalendarOnItsClock)
{
    Fixture f;
    f.clock->moment = QDateTime(QDate(2025, 3, 20), QTime(12, 0));
    auto tools = f.make();
    TSolarMonthCalendar* cal = tools->SolarMonthCalendar1;
    ASSERT_NE(cal, nullptr);
    EXPECT_EQ(cal->parent(), tools.get());
    EXPECT_EQ(cal->DateKind(), dkSolar);
    EXPECT_EQ(cal->MonthObject(), moPopupMenu);
    // today through the library's conversion: the leap day of 1403
    EXPECT_EQ(cal->OutDate, "1403/12/30");
    EXPECT_EQ(cal->SolarDate(), "1403/12/30");
    EXPECT_EQ(cal->MiladiDate(), "2025/03/20");
    EXPECT_EQ(cal->ConvertDateEng("1389/11/04"), "2011/01/24");
}

TEST(Tools, ExistingWorkingFoldersAreKeptWithTheirContent)
{
    Fixture f;
    QDir(f.dir.path()).mkpath("T4R/Ed");
    QFile log(f.dir.path() + "/T4R/ErrLog.txt");
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write("old line\r\n");
    log.close();

    auto tools = f.make();
    const QStringList subdirs = QDir(f.dir.path() + "/T4R").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(subdirs, QStringList{"Ed"}) << "an existing Ed counts as ED whatever its letter case";
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "old line\r\n");
}

TEST(Tools, ReadOnlyProgramFolderDoesNotStopCreation)
{
    Fixture f;
    // As root the toolkit is created with nobody's file access, in a folder nobody owns.
    testsupport::FileAccessAsUser user;
    ASSERT_TRUE(user.own(f.dir.path()));
    QFile::setPermissions(f.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(user.enter());
    ASSERT_FALSE(QDir(f.dir.path()).mkdir("probe"))
        << "the folder must be read-only for the test to mean anything";
    auto tools = f.make();
    EXPECT_FALSE(QDir(f.dir.path() + "/T4R").exists());
    QFile::setPermissions(f.dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(Tools, FolderThatCannotBeMadeIsSkipped)
{
    // A plain file named T4R stands where the folder should be: nothing can be made, nothing fails.
    Fixture f;
    QFile blocker(f.dir.path() + "/T4R");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto tools = f.make();
    EXPECT_TRUE(QFileInfo(f.dir.path() + "/T4R").isFile());
    EXPECT_TRUE(tools->ViewCanBeDroped);
}

TEST(Tools, SwitchToFarsiFollowsTheWindowsVersion)
{
    const QString load429 = "load:00000429", unload429 = "unload:00000429", loadA429 = "load:a0000429";
    struct Case
    {
        const char* name;
        std::optional<OsVersionFacts> facts;
        QStringList atCreation;
        QStringList firstCall;
        QStringList secondCall;
    } cases[] = {
        {"XP", nt(5, 1), {load429}, {load429}, {load429}},
        {"Seven", nt(6, 1), {load429, unload429, loadA429}, {load429, unload429, loadA429}, {loadA429}},
        {"Vista", nt(6, 0), {load429, unload429, loadA429}, {load429, unload429, loadA429}, {loadA429}},
        {"Windows 8", nt(6, 2), {load429}, {load429}, {load429}},
        {"failed query", std::nullopt, {load429}, {load429}, {load429}},
        {"Linux", OsVersionFacts{3, 6, 1, {}, {}}, {load429}, {load429}, {load429}},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.version->facts = c.facts;
        auto tools = f.make();
        EXPECT_EQ(f.keyboard->calls, c.atCreation) << c.name;
        f.keyboard->calls.clear();
        tools->SwitchToFarsi();
        EXPECT_EQ(f.keyboard->calls, c.firstCall) << c.name;
        f.keyboard->calls.clear();
        tools->SwitchToFarsi();
        EXPECT_EQ(f.keyboard->calls, c.secondCall) << c.name;
    }
}

TEST(Tools, WinVerZeroIsLookedUpAgainOnEverySwitch)
{
    Fixture f;
    f.version->facts = nt(6, 2);
    auto tools = f.make();
    const int before = f.version->queries;
    tools->SwitchToFarsi();
    EXPECT_EQ(tools->WinVer, 0);
    EXPECT_EQ(f.version->queries, before + 1);
}

TEST(Tools, SwitchToEnglishActivatesUs)
{
    Fixture f;
    auto tools = f.make();
    f.keyboard->calls.clear();
    tools->SwitchToEnglish();
    EXPECT_EQ(f.keyboard->calls, QStringList{"load:00000409"});
}

TEST(Tools, GetWinVersionTable)
{
    auto nine = [](int major, int minor, const char* sp) { return OsVersionFacts{1, major, minor, sp, {}}; };
    struct Case
    {
        std::optional<OsVersionFacts> facts;
        const char* text;
    } cases[] = {
        {nine(4, 0, ""), "400-wvWin95"},
        {nine(4, 10, " A "), "410-wvWin98SE"},
        {nine(4, 10, "A"), "411-wvWin98"},
        {nine(4, 10, ""), "411-wvWin98"},
        {nine(4, 90, ""), "490-wvWinME"},
        {nine(5, 0, ""), "491-wvUnknown"},
        {nt(3, 51), "433-wvWinNT"},
        {nt(4, 0), "433-wvWinNT"},
        {nt(5, 0), "500-wvWin2000"},
        {nt(5, 1), "510-wvWinXP"},
        {nt(5, 2), "520-wv2003Server"},
        {nt(6, 0, "WINNT"), "600-wvWinVista"},
        {nt(6, 0, "winnt"), "600-wvWinVista"},
        {nt(6, 0, "LANMANNT"), "607-wv2008Server"},
        {nt(6, 0, "SERVERNT"), "607-wv2008Server"},
        {nt(6, 0, ""), "607-wv2008Server"},
        {nt(6, 1), "610-wvSeven"},
        {nt(6, 2), "000-wvUnknown"},
        {nt(10, 0), "000-wvUnknown"},
        {OsVersionFacts{0, 3, 1, {}, {}}, "000-wvUnknown"},
        {std::nullopt, "000-wvUnknown"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(winVersionText(c.facts), QString::fromLatin1(c.text)) << c.text;
}

TEST(Tools, ShowMsgBeepsAndShowsThePersianInformationBox)
{
    Fixture f;
    auto tools = f.make();
    fakes::ScopedFakeDialogs dialogs;
    tools->ShowMsg(QStringLiteral("خطا در اتصال"));
    EXPECT_EQ(f.beeper->beeps, 1);
    ASSERT_EQ(dialogs.messages.size(), 1);
    const auto& m = dialogs.messages[0];
    EXPECT_EQ(m.icon, MessageIcon::Information);
    EXPECT_EQ(m.caption, QStringLiteral("پيام"));
    EXPECT_EQ(m.text, QStringLiteral("خطا در اتصال"));
    EXPECT_EQ(m.buttons, QStringList{QStringLiteral("بازگشت")});
    EXPECT_TRUE(m.rightToLeft);
    EXPECT_TRUE(m.arabicCharset);
}

TEST(Tools, KeyHandlersMoveFocusAndClose)
{
    Fixture f;
    auto tools = f.make();
    QDialog dlg;
    auto* a = new QLineEdit(&dlg);
    auto* b = new QLineEdit(&dlg);
    auto* c = new QLineEdit(&dlg);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    a->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(a->hasFocus());

    struct Step
    {
        int key;
        QLineEdit* expectFocus;
        int keyAfter;
    } steps[] = {{13, b, 0}, {37, c, 0}, {39, b, 0}, {39, a, 0}, {65, a, 65}};
    for (const auto& s : steps) {
        int key = s.key;
        tools->SetKeyActivateConfig(&dlg, key, Qt::NoModifier);
        EXPECT_EQ(key, s.keyAfter) << s.key;
        EXPECT_TRUE(s.expectFocus->hasFocus()) << s.key;
    }

    // Enter is not the close handler's business; Escape closes and is not consumed.
    int key = 13;
    tools->SetKeyActivateJustClose(&dlg, key, Qt::NoModifier);
    EXPECT_EQ(key, 13);
    EXPECT_TRUE(dlg.isVisible());
    key = 27;
    tools->SetKeyActivateConfig(&dlg, key, Qt::NoModifier);
    EXPECT_EQ(key, 27);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(Tools, QtKeysMapToVirtualKeys)
{
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Return), 13);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Enter), 13);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Escape), 27);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Left), 37);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Right), 39);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_A), 0);
}

// The shell services of the toolkit object reach the platform services it was built with.
TEST(Tools, ShellServicesUseTheToolkitsPlatform)
{
    Fixture f;
    PlatformServices s = f.services();
    auto opener = std::make_shared<fakes::RecordingShellOpener>();
    auto launcher = std::make_shared<fakes::RecordingLauncher>();
    auto resolver = std::make_shared<fakes::FakeHostResolver>();
    auto background = std::make_shared<fakes::RecordingBackground>();
    s.shellOpener = opener;
    s.launcher = launcher;
    s.resolver = resolver;
    s.background = background;
    TTools tools(s, f.dir.path());

    tools.OPenUrl(QStringLiteral("https://herd.example/"));
    EXPECT_EQ(opener->opened, QStringList{QStringLiteral("https://herd.example/")});

    launcher->startsSucceed = false;
    EXPECT_FALSE(tools.ExecAndWait(QStringLiteral("/opt/herd/run"), QStringLiteral("\"a b\" c")));
    ASSERT_EQ(launcher->starts.size(), 1);
    EXPECT_EQ(launcher->starts[0].program, QStringLiteral("/opt/herd/run"));
    EXPECT_EQ(launcher->starts[0].arguments, QStringList({QStringLiteral("a b"), QStringLiteral("c")}));
    EXPECT_EQ(launcher->starts[0].workingFolder, QStringLiteral("/opt/herd/"));
    EXPECT_TRUE(launcher->starts[0].waited);

    QString host, ip, err;
    EXPECT_TRUE(tools.GetIPFromHost(host, ip, err));
    EXPECT_EQ(ip, QStringLiteral("192.168.1.5"));
    EXPECT_EQ(tools.GetComputerNameX(), QStringLiteral("herd-pc"));

    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString file = f.dir.filePath(QStringLiteral("wall.png"));
    ASSERT_TRUE(image.save(file));
    tools.ChangeWallpaper(file);
    tools.ChangeWallpaper(f.dir.filePath(QStringLiteral("missing.png")));
    ASSERT_EQ(background->images.size(), 1) << "an unreadable file reaches no background";
    EXPECT_EQ(background->images[0].size(), QSize(4, 2));
}
