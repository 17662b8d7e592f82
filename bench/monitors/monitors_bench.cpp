// One refresh of each monitor against the plain way to get the same facts, in one run:
//  - processes: TProcessInfo::UpdateList on /proc against libproc2's procps_pids_reap asked
//    for the same fields (pid, parent, name, nice, threads, policy, start time);
//  - windows: TAppInfo::UpdateList over 200 helper windows on an Xvfb of the bench's own
//    against a bare xcb loop that sends the same requests, pipelined, and only frees replies.
// The CPU time of one refresh per second is the share of a core the monitor costs; for the
// window refresh the X server's own time (server_cpu_us, per refresh) comes on top.
#include "monitors/appinfo.h"
#include "monitors/processinfo.h"
#include "platform/linuxprocesssource.h"
#include "platform/xcbwindowsource.h"
#include "xvfb.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <libproc2/pids.h>
#include <memory>
#include <xcb/res.h>
#include <xcb/xcb.h>

namespace {

void BM_ProcessUpdateList(benchmark::State& state)
{
    TProcessInfo info(std::make_shared<rimo::LinuxProcessSource>());
    for (auto _ : state) {
        info.UpdateList();
        benchmark::DoNotOptimize(info.RunningProcesses().Count());
    }
    state.counters["processes"] = info.RunningProcesses().Count();
}
BENCHMARK(BM_ProcessUpdateList)->Unit(benchmark::kMicrosecond);

void BM_ProcpsPidsReap(benchmark::State& state)
{
    pids_item items[] = {PIDS_ID_PID, PIDS_ID_PPID,     PIDS_CMD,       PIDS_NICE,
                         PIDS_NLWP,   PIDS_SCHED_CLASS, PIDS_TICS_BEGAN};
    pids_info* info = nullptr;
    if (procps_pids_new(&info, items, static_cast<int>(std::size(items))) < 0) {
        state.SkipWithError("procps_pids_new failed");
        return;
    }
    int total = 0;
    for (auto _ : state) {
        pids_fetch* f = procps_pids_reap(info, PIDS_FETCH_TASKS_ONLY);
        total = f ? f->counts->total : 0;
        for (int i = 0; i < total; ++i) {
            pids_stack* s = f->stacks[i];
            benchmark::DoNotOptimize(s->head[0].result.s_int);
            benchmark::DoNotOptimize(s->head[2].result.str);
        }
    }
    state.counters["processes"] = total;
    procps_pids_unref(&info);
}
BENCHMARK(BM_ProcpsPidsReap)->Unit(benchmark::kMicrosecond);

// The X fixture, made once for both window benchmarks.
struct XSetup
{
    rimo::testing::XvfbServer server;
    std::unique_ptr<rimo::testing::XcbWindowsHelper> helper;
    XSetup()
    {
        if (!server.display().isEmpty())
            helper = std::make_unique<rimo::testing::XcbWindowsHelper>(
                server.display(), QStringList{QStringLiteral("many:200")});
    }
    bool ready() const { return helper && helper->ids().size() == 200; }
    // The server's processor time so far, in microseconds (10 ms steps).
    double serverCpuMicroseconds() const
    {
        rimo::LinuxProcessSource source;
        const auto t = source.times(static_cast<quint32>(server.pid()));
        return t ? static_cast<double>(t->kernel + t->user) / 10.0 : 0.0;
    }
};
XSetup& xsetup()
{
    static XSetup setup;
    return setup;
}

void BM_WindowUpdateList(benchmark::State& state)
{
    XSetup& x = xsetup();
    if (!x.ready()) {
        state.SkipWithError("no Xvfb or helper");
        return;
    }
    TAppInfo info(std::make_shared<rimo::XcbWindowSource>(x.server.display()),
                  std::make_shared<rimo::LinuxProcessSource>());
    const double serverBefore = x.serverCpuMicroseconds();
    for (auto _ : state) {
        info.UpdateList();
        benchmark::DoNotOptimize(info.RunningApps().Count());
    }
    state.counters["windows"] = info.RunningApps().Count();
    state.counters["server_cpu_us"] =
        (x.serverCpuMicroseconds() - serverBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WindowUpdateList)->Unit(benchmark::kMicrosecond);

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name),
                                    nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

void BM_BareXcbLoop(benchmark::State& state)
{
    XSetup& x = xsetup();
    if (!x.ready()) {
        state.SkipWithError("no Xvfb or helper");
        return;
    }
    int screen = 0;
    xcb_connection_t* c = xcb_connect(x.server.display().constData(), &screen);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const char* names[] = {"WM_STATE",    "_NET_WM_WINDOW_TYPE",      "_NET_WM_NAME",
                           "_NET_WM_PID", "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST_STACKING"};
    xcb_atom_t a[6];
    for (int i = 0; i < 6; ++i)
        a[i] = intern(c, names[i]);
    std::free(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
    auto get = [&](xcb_window_t w, xcb_atom_t p) {
        return xcb_get_property(c, 0, w, p, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
    };
    size_t count = 0;
    const double serverBefore = x.serverCpuMicroseconds();
    for (auto _ : state) {
        const auto check = get(root, a[4]);
        const auto stacking = get(root, a[5]);
        const auto tree = xcb_query_tree(c, root);
        std::free(xcb_get_property_reply(c, check, nullptr));
        std::free(xcb_get_property_reply(c, stacking, nullptr));
        xcb_query_tree_reply_t* t = xcb_query_tree_reply(c, tree, nullptr);
        const xcb_window_t* w = xcb_query_tree_children(t);
        count = static_cast<size_t>(xcb_query_tree_children_length(t));
        struct Cookies
        {
            xcb_get_window_attributes_cookie_t attr;
            xcb_get_property_cookie_t p[9];
            xcb_res_query_client_ids_cookie_t ids;
        };
        std::vector<Cookies> k(count);
        for (size_t i = 0; i < count; ++i) {
            k[i].attr = xcb_get_window_attributes(c, w[i]);
            const xcb_atom_t props[9] = {a[0], XCB_ATOM_WM_TRANSIENT_FOR,  a[1],
                                         a[2], XCB_ATOM_WM_NAME,           XCB_ATOM_WM_CLASS,
                                         a[3], XCB_ATOM_WM_CLIENT_MACHINE, 0};
            for (int j = 0; j < 8; ++j)
                k[i].p[j] = get(w[i], props[j]);
            xcb_res_client_id_spec_t wanted{w[i], XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            k[i].ids = xcb_res_query_client_ids(c, 1, &wanted);
        }
        for (size_t i = 0; i < count; ++i) {
            std::free(xcb_get_window_attributes_reply(c, k[i].attr, nullptr));
            for (int j = 0; j < 8; ++j)
                std::free(xcb_get_property_reply(c, k[i].p[j], nullptr));
            std::free(xcb_res_query_client_ids_reply(c, k[i].ids, nullptr));
        }
        std::free(t);
    }
    state.counters["windows"] = static_cast<double>(count);
    state.counters["server_cpu_us"] =
        (x.serverCpuMicroseconds() - serverBefore) / static_cast<double>(state.iterations());
    xcb_disconnect(c);
}
BENCHMARK(BM_BareXcbLoop)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
