// The window monitor: its refresh cycle on a fake source, and live on an Xvfb of the test's
// own with the helper program's windows.
#include "core/error.h"
#include "monitors/appinfo.h"
#include "platform/linuxprocesssource.h"
#include "platform/testing/monitordoubles.h"
#include "platform/xcbwindowsource.h"
#include "xvfb.h"

#include <QFileInfo>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>

using namespace rimo;
using rimo::testing::XcbWindowsHelper;
using rimo::testing::XvfbServer;

namespace {

WindowEntry window(quint32 handle, const QString& caption, quint32 pid)
{
    return WindowEntry{caption, QStringLiteral("Cls"), handle, pid};
}

class CountingProcessSource : public LinuxProcessSource
{
public:
    int fullPathCalls = 0;
    QString fullPath(quint32 pid) override
    {
        ++fullPathCalls;
        return LinuxProcessSource::fullPath(pid);
    }
};

struct XFixture
{
    XvfbServer server;
    std::shared_ptr<XcbWindowSource> windows = std::make_shared<XcbWindowSource>(server.display());
    std::shared_ptr<CountingProcessSource> processes = std::make_shared<CountingProcessSource>();
    TAppInfo info{windows, processes};

    TAppWindowCollection& refreshed()
    {
        info.UpdateList();
        return info.RunningApps();
    }
    QList<quint32> handles()
    {
        QList<quint32> list;
        for (TWindowItem* w : refreshed())
            list << w->Handle();
        return list;
    }
};

// A connection of the test's own to the fixture's server.
class XConnection
{
public:
    explicit XConnection(const QByteArray& display)
    {
        int screen = 0;
        conn = xcb_connect(display.constData(), &screen);
        root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    }
    ~XConnection() { xcb_disconnect(conn); }
    xcb_atom_t atom(const char* name)
    {
        auto* r = xcb_intern_atom_reply(
            conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }
    void setWindows(xcb_window_t w, const char* property, const QList<quint32>& values)
    {
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, w, atom(property), XCB_ATOM_WINDOW, 32,
                            static_cast<uint32_t>(values.size()), values.constData());
    }
    void sync() { std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }

    xcb_connection_t* conn;
    xcb_window_t root;
};

} // namespace

TEST(AppInfo, RefreshCycleOnAFakeSource)
{
    auto windows = std::make_shared<fakes::FakeWindowSource>();
    auto processes = std::make_shared<fakes::FakeProcessSource>();
    windows->list = {window(11, QStringLiteral("Top"), 5), window(12, QStringLiteral("Below"), 5)};
    TAppInfo info(windows, processes);
    EXPECT_FALSE(info.Active());
    EXPECT_EQ(info.UpdateInterval(), 1000u);
    EXPECT_EQ(info.RunningApps().Count(), 0);
    EXPECT_EQ(windows->queries, 0) << "reading the empty list does not refresh it";

    bool after = false;
    info.OnAfterUpdateList = [&](QObject* sender) { after = sender == &info; };
    info.setActive(true);
    EXPECT_TRUE(after) << "switching on refreshes at once";
    TAppWindowCollection& list = info.RunningApps();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.FindByProcessID(5), list[0]);
    EXPECT_EQ(list.FindByCaption(QStringLiteral("bELOW")), list[1]);
    EXPECT_EQ(list.FindByHandle(12), list[1]);
    EXPECT_EQ(list.FindByHandle(99), nullptr);
    TWindowEnumerator en = list.GetEnumerator();
    EXPECT_EQ(en.Index(), -1);
    ASSERT_TRUE(en.MoveNext());
    EXPECT_EQ(en.Current(), list[0]);

    // Cancel keeps the list and its stamp and suppresses the after-event.
    info.setActive(false);
    const QDateTime stamp = list.LastUpdate();
    const int queries = windows->queries;
    after = false;
    info.OnBeforeUpdateList = [](QObject*, bool& cancel) { cancel = true; };
    QTest::qWait(5);
    info.UpdateList();
    EXPECT_FALSE(after);
    EXPECT_EQ(windows->queries, queries);
    EXPECT_EQ(list.LastUpdate(), stamp);
    EXPECT_EQ(list.Count(), 2);

    // AppPath: asked for until found, then kept.
    processes->paths[5] = QStringLiteral(" /opt/app/bin/tool ");
    processes->fullPathError = QStringLiteral("Permission denied");
    EXPECT_EQ(list[0]->AppPath(), QString());
    EXPECT_EQ(list[0]->AppPath(), QString());
    EXPECT_EQ(processes->fullPathCalls, 2) << "a failure is tried again";
    processes->fullPathError.clear();
    EXPECT_EQ(list[0]->AppPath(), QStringLiteral("/opt/app/bin/tool"));
    EXPECT_EQ(list[0]->AppPath(), QStringLiteral("/opt/app/bin/tool"));
    EXPECT_EQ(processes->fullPathCalls, 3);

    EXPECT_TRUE(list[1]->CloseWindow());
    EXPECT_EQ(windows->closeRequests, std::vector<quint32>({12}));
}

TEST(AppInfoX, NoServerGivesAnEmptyList)
{
    XcbWindowSource source(QByteArrayLiteral(":4999"));
    EXPECT_TRUE(source.windows().empty());
    EXPECT_FALSE(source.postClose(1));
}

TEST(AppInfoX, ListsOnlyTheTopLevelApplicationWindows)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty()) << "Xvfb did not start";
    EXPECT_TRUE(x.refreshed().Count() == 0) << "a fresh server has no windows";

    const QString longTitle = QString(300, u'x');
    XcbWindowsHelper helper(x.server.display(),
                            {QStringLiteral("normal:Main Window"), QStringLiteral("dialog"),
                             QStringLiteral("utility"), QStringLiteral("override"),
                             QStringLiteral("unmapped"), QStringLiteral("iconic:Minimised"),
                             QStringLiteral("legacy:") + longTitle, QStringLiteral("normal:")});
    const QList<quint32> ids = helper.ids();
    ASSERT_EQ(ids.size(), 8);

    // Topmost first: the later windows lie above the earlier ones.
    EXPECT_EQ(x.handles(), QList<quint32>({ids[7], ids[6], ids[5], ids[0]}));
    TAppWindowCollection& list = x.info.RunningApps();
    ASSERT_EQ(list.Count(), 4);
    TWindowItem* main = list.FindByHandle(ids[0]);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->Caption(), QStringLiteral("Main Window"));
    EXPECT_EQ(main->WindowClass(), QStringLiteral("XcbWindows"));
    EXPECT_EQ(main->ProcessID(), helper.pid());
    EXPECT_EQ(list.FindByCaption(QStringLiteral("MAIN window")), main);
    EXPECT_EQ(list.FindByCaption(QStringLiteral("minimised"))->Handle(), ids[5]);
    EXPECT_EQ(list.FindByHandle(ids[6])->Caption(), longTitle.left(259));
    EXPECT_EQ(list.FindByHandle(ids[7])->Caption(), QStringLiteral("normal")) << "helper's default title";
    EXPECT_EQ(list.FindByProcessID(helper.pid()), list[0]) << "the upper of the helper's windows";

    // The path of the owning program, asked for once for two reads.
    const QString program = QFileInfo(XcbWindowsHelper::program()).canonicalFilePath();
    EXPECT_EQ(main->AppPath(), program);
    EXPECT_EQ(main->AppPath(), program);
    EXPECT_EQ(x.processes->fullPathCalls, 1);
}

TEST(AppInfoX, OwnerFromTheWindowsPropertiesWithoutTheServersAnswer)
{
    XvfbServer server;
    ASSERT_FALSE(server.display().isEmpty());
    XcbWindowsHelper helper(server.display(), {QStringLiteral("netpid:here"), QStringLiteral("farpid:there"),
                                               QStringLiteral("normal:none")});
    ASSERT_EQ(helper.ids().size(), 3);
    TAppWindowCollection list(std::make_shared<XcbWindowSource>(server.display(), false),
                              std::make_shared<fakes::FakeProcessSource>());
    list.UpdateWindows();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.FindByCaption(QStringLiteral("here"))->ProcessID(), helper.pid());
    EXPECT_EQ(list.FindByCaption(QStringLiteral("there"))->ProcessID(), 0u)
        << "a pid of another host means nothing";
    EXPECT_EQ(list.FindByCaption(QStringLiteral("none"))->ProcessID(), 0u);

    // With the server's answer every window has its owner.
    TAppWindowCollection asked(std::make_shared<XcbWindowSource>(server.display()),
                               std::make_shared<fakes::FakeProcessSource>());
    asked.UpdateWindows();
    for (TWindowItem* w : asked)
        EXPECT_EQ(w->ProcessID(), helper.pid());
}

TEST(AppInfoX, EmptyTitleIsListed)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty());
    XcbWindowsHelper helper(x.server.display(), {QStringLiteral("legacy:")});
    ASSERT_EQ(helper.ids().size(), 1);
    ASSERT_EQ(x.refreshed().Count(), 1);
    EXPECT_EQ(x.info.RunningApps()[0]->Caption(), QString());
}

TEST(AppInfoX, CloseWindowAsksTheOwner)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty());
    XcbWindowsHelper helper(x.server.display(),
                            {QStringLiteral("normal:closable"), QStringLiteral("noclose:stays")});
    ASSERT_EQ(helper.ids().size(), 2);
    x.refreshed();
    TWindowItem* closable = x.info.RunningApps().FindByCaption(QStringLiteral("closable"));
    TWindowItem* stays = x.info.RunningApps().FindByCaption(QStringLiteral("stays"));
    ASSERT_TRUE(closable && stays);
    EXPECT_FALSE(stays->CloseWindow()) << "a window without WM_DELETE_WINDOW is left alone";
    EXPECT_TRUE(closable->CloseWindow());
    EXPECT_TRUE(helper.waitClosed(helper.ids()[0]));
    EXPECT_EQ(x.handles(), QList<quint32>({helper.ids()[1]})) << "the other window and its client live on";
}

TEST(AppInfoX, WindowManagerStackingAndCloseRequest)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty());
    XcbWindowsHelper helper(x.server.display(), {QStringLiteral("normal:a"), QStringLiteral("normal:b"),
                                                 QStringLiteral("normal:not managed")});
    const QList<quint32> ids = helper.ids();
    ASSERT_EQ(ids.size(), 3);

    // Play the window manager: a check window naming itself, and a client list (bottom to top)
    // that puts a above b, leaves the third window out and names a window that has gone.
    XConnection wm(x.server.display());
    const xcb_window_t check = xcb_generate_id(wm.conn);
    xcb_create_window(wm.conn, XCB_COPY_FROM_PARENT, check, wm.root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    wm.setWindows(check, "_NET_SUPPORTING_WM_CHECK", {check});
    wm.setWindows(wm.root, "_NET_SUPPORTING_WM_CHECK", {check});
    wm.setWindows(wm.root, "_NET_CLIENT_LIST_STACKING", {ids[1], 0x3FFFF0, ids[0]});
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_change_window_attributes(wm.conn, wm.root, XCB_CW_EVENT_MASK, &mask);
    wm.sync();

    EXPECT_EQ(x.handles(), QList<quint32>({ids[0], ids[1]}));

    // The close request goes to the window manager, which decides.
    ASSERT_TRUE(x.info.RunningApps()[0]->CloseWindow());
    const xcb_atom_t closeAtom = wm.atom("_NET_CLOSE_WINDOW");
    bool seen = false;
    pollfd p{xcb_get_file_descriptor(wm.conn), POLLIN, 0};
    QDeadlineTimer deadline(10000);
    while (!seen && !deadline.hasExpired()) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(wm.conn)) {
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                seen = seen || (m->type == closeAtom && m->window == ids[0]);
            }
            std::free(e);
        }
        if (!seen)
            poll(&p, 1, 200);
    }
    EXPECT_TRUE(seen);
    EXPECT_FALSE(helper.waitClosed(ids[0], 300)) << "no window manager acted on it";
}

TEST(AppInfoX, LostServerGivesAnEmptyList)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty());
    {
        XcbWindowsHelper helper(x.server.display(), {QStringLiteral("normal:one")});
        ASSERT_EQ(helper.ids().size(), 1);
        ASSERT_EQ(x.refreshed().Count(), 1);
        x.server.stop();
    }
    EXPECT_EQ(x.refreshed().Count(), 0);
    EXPECT_EQ(x.refreshed().Count(), 0) << "and again, reconnecting in vain";
    EXPECT_FALSE(x.windows->postClose(1));
}

TEST(AppInfoX, ManyWindowsInOneRefresh)
{
    XFixture x;
    ASSERT_FALSE(x.server.display().isEmpty());
    XcbWindowsHelper helper(x.server.display(), {QStringLiteral("many:200")});
    ASSERT_EQ(helper.ids().size(), 200);
    TAppWindowCollection& list = x.refreshed();
    ASSERT_EQ(list.Count(), 200);
    EXPECT_EQ(list[0]->Caption(), QStringLiteral("w199"));
    EXPECT_EQ(list[199]->Caption(), QStringLiteral("w0"));
}
