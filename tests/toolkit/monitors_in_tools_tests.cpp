// The toolkit object's two monitors: active from its creation, and a failed first refresh
// reported in the error box without stopping the creation.
#include "board/messageboardform.h"
#include "monitors/appinfo.h"
#include "monitors/processinfo.h"
#include "platform/testing/doubles.h"
#include "platform/testing/monitordoubles.h"
#include "toolkit/tools.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

struct MonitorFixture
{
    std::shared_ptr<fakes::FakeProcessSource> processes = std::make_shared<fakes::FakeProcessSource>();
    std::shared_ptr<fakes::FakeWindowSource> windows = std::make_shared<fakes::FakeWindowSource>();
    QTemporaryDir dir;

    std::unique_ptr<TTools> make()
    {
        PlatformServices s;
        s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
        s.osVersion = std::make_shared<fakes::FakeOsVersion>();
        s.beeper = std::make_shared<fakes::RecordingBeeper>();
        s.shellOpener = std::make_shared<fakes::RecordingShellOpener>();
        s.tone = std::make_shared<fakes::RecordingTone>();
        s.processes = processes;
        s.windows = windows;
        return std::make_unique<TTools>(s, dir.path());
    }
};

} // namespace

TEST(ToolsMonitors, BothActiveWithTheirListsBuiltAtCreation)
{
    fakes::ScopedFakeDialogs dialogs;
    MonitorFixture f;
    ProcessEntry init;
    init.processID = 1;
    init.exeFile = QStringLiteral("init");
    f.processes->table = {init};
    f.windows->list = {WindowEntry{QStringLiteral("Main"), QStringLiteral("Cls"), 7, 1}};
    auto tools = f.make();

    ASSERT_TRUE(tools->ProcessInfo1 && tools->AppInfo1);
    EXPECT_TRUE(tools->ProcessInfo1->Active());
    EXPECT_TRUE(tools->AppInfo1->Active());
    EXPECT_EQ(tools->ProcessInfo1->UpdateInterval(), 1000u);
    EXPECT_EQ(f.processes->snapshots, 1);
    EXPECT_EQ(f.windows->queries, 1);
    EXPECT_EQ(tools->AppInfo1->RunningApps().Count(), 1);
    EXPECT_EQ(tools->ProcessInfo1->RunningProcesses().FindByName(QStringLiteral("INIT"))->ProcessID(), 1u);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // The timer keeps refreshing; a failing tick reaches the error box and the timer goes on.
    tools->ProcessInfo1->setUpdateInterval(10);
    f.processes->snapshotError = QStringLiteral("table gone");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.isEmpty(); }, 10000));
    EXPECT_EQ(dialogs.messages.first().text, QStringLiteral("table gone"));
    EXPECT_EQ(dialogs.messages.first().icon, MessageIcon::Critical);
    EXPECT_TRUE(tools->ProcessInfo1->Active());
    tools->ProcessInfo1->setActive(false);
}

TEST(ToolsMonitors, FailedFirstRefreshReachesTheErrorBoxAndCreationGoesOn)
{
    fakes::ScopedFakeDialogs dialogs;
    MonitorFixture f;
    f.processes->snapshotError = QStringLiteral("Permission denied");
    auto tools = f.make();
    ASSERT_EQ(dialogs.texts(), QStringList({QStringLiteral("Permission denied")}));
    EXPECT_EQ(dialogs.messages.first().caption, applicationTitle());
    EXPECT_TRUE(tools->ProcessInfo1->Active()) << "switched on before the refresh failed";
    EXPECT_TRUE(tools->AppInfo1->Active());
    EXPECT_TRUE(tools->ViewCanBeDroped) << "the rest of the creation ran";
    EXPECT_NE(tools->messageBoard(), nullptr);
    tools->ProcessInfo1->setActive(false);
}

// GetFileHandle works on the toolkit's own monitors, refreshed at its start and off at its end
// (their periodic refresh stops for good), whether the program was found or not.
TEST(ToolsMonitors, GetFileHandleUsesTheToolkitsMonitorsAndSwitchesThemOff)
{
    fakes::ScopedFakeDialogs dialogs;
    MonitorFixture f;
    auto tools = f.make();
    ProcessEntry tool;
    tool.processID = 5;
    tool.exeFile = QStringLiteral("Tool.exe");
    ProcessEntry other;
    other.processID = 6;
    other.exeFile = QStringLiteral("other");
    f.processes->table = {other, tool};
    f.windows->list = {WindowEntry{QStringLiteral("a"), QStringLiteral("C"), 7, 5},
                       WindowEntry{QStringLiteral("b"), QStringLiteral("C"), 8, 6},
                       WindowEntry{QStringLiteral("c"), QStringLiteral("C"), 9, 5},
                       WindowEntry{QStringLiteral("d"), QStringLiteral("C"), 10, 6}};
    const int snapshots = f.processes->snapshots;
    EXPECT_EQ(tools->GetFileHandle(QStringLiteral("tool.EXE")), 9u);
    EXPECT_EQ(f.processes->snapshots, snapshots + 1) << "the list is refreshed first";
    EXPECT_FALSE(tools->ProcessInfo1->Active());
    EXPECT_FALSE(tools->AppInfo1->Active());
    EXPECT_EQ(tools->GetFileHandle(QStringLiteral("absent.exe")), 0u);
    EXPECT_FALSE(tools->ProcessInfo1->Active());
    EXPECT_FALSE(tools->AppInfo1->Active());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
