// The process monitor: its refresh cycle on a fake table, and live on this machine's /proc
// (the test's own process, its threads and modules, children that spin, sleep, drop root or
// get killed).
#include "core/error.h"
#include "monitors/processinfo.h"
#include "platform/linuxprocesssource.h"
#include "platform/procreaders.h"
#include "platform/testing/monitordoubles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace rimo;

namespace {

ProcessEntry entry(quint32 pid, const QString& name, quint32 parent = 1)
{
    ProcessEntry e;
    e.processID = pid;
    e.exeFile = name;
    e.parentProcessID = parent;
    e.priorityClassBase = 8;
    e.threadsCount = 1;
    return e;
}

// A forked child that spins, sleeps or waits to be killed; killed and reaped at the end.
class Child
{
public:
    enum Kind { Sleeping, Busy };
    explicit Child(Kind kind)
    {
        m_pid = fork();
        if (m_pid == 0) {
            if (kind == Busy) {
                volatile quint64 n = 0;
                for (;;)
                    n = n + 1;
            }
            for (;;)
                pause();
        }
    }
    ~Child()
    {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    quint32 pid() const { return static_cast<quint32>(m_pid); }
    // The child's end status (waits for it).
    int reap()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_reaped = true;
        return status;
    }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
};

std::shared_ptr<LinuxProcessSource> live()
{
    return std::make_shared<LinuxProcessSource>();
}

} // namespace

TEST(ProcessInfo, RefreshCycleEventsAndCancel)
{
    auto source = std::make_shared<fakes::FakeProcessSource>();
    source->table = {entry(1, QStringLiteral("init")), entry(5, QStringLiteral("  Tool.EXE  "))};
    TProcessInfo info(source);
    EXPECT_FALSE(info.Active());
    EXPECT_EQ(info.UpdateInterval(), 1000u);
    QStringList events;
    info.OnBeforeUpdateList = [&](QObject* sender, bool& cancel) {
        EXPECT_EQ(sender, &info);
        EXPECT_FALSE(cancel);
        events << QStringLiteral("before");
    };
    info.OnAfterUpdateList = [&](QObject*) { events << QStringLiteral("after"); };

    // An empty list refreshes on reading, even while inactive.
    TProcessCollection& list = info.RunningProcesses();
    EXPECT_EQ(source->snapshots, 1);
    EXPECT_EQ(events, QStringList({QStringLiteral("before"), QStringLiteral("after")}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1]->ExeFile(), QStringLiteral("Tool.EXE")) << "names are trimmed";
    EXPECT_EQ(list.FindByName(QStringLiteral("tool.exe")), list[1]);
    EXPECT_EQ(list.FindByName(QStringLiteral("none")), nullptr);
    EXPECT_EQ(list.FindByID(5), list[1]);
    EXPECT_TRUE(list.LastUpdate().isValid());
    info.RunningProcesses();
    EXPECT_EQ(source->snapshots, 1) << "a filled list is returned as it is";

    // Enumerator from index -1, in index order.
    TProcessEnumerator en = list.GetEnumerator();
    EXPECT_EQ(en.Index(), -1);
    QList<quint32> ids;
    while (en.MoveNext())
        ids << en.Current()->ProcessID();
    EXPECT_EQ(ids, QList<quint32>({1, 5}));
    EXPECT_FALSE(en.MoveNext());

    // A cancelling handler keeps the list and its stamp and suppresses the after-event.
    const QDateTime stamp = list.LastUpdate();
    source->table = {entry(9, QStringLiteral("new"))};
    events.clear();
    info.OnBeforeUpdateList = [&](QObject*, bool& cancel) {
        events << QStringLiteral("before");
        cancel = true;
    };
    QTest::qWait(5);
    info.UpdateList();
    EXPECT_EQ(events, QStringList({QStringLiteral("before")}));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.LastUpdate(), stamp);
    EXPECT_EQ(source->snapshots, 1);

    // A failed snapshot raises, keeps the list and skips the after-event.
    info.OnBeforeUpdateList = nullptr;
    source->snapshotError = QStringLiteral("Permission denied");
    events.clear();
    EXPECT_THROW(info.UpdateList(), Error);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(list.Count(), 2);
}

TEST(ProcessInfo, ActiveAndInterval)
{
    auto source = std::make_shared<fakes::FakeProcessSource>();
    source->table = {entry(1, QStringLiteral("init"))};
    TProcessInfo info(source);
    info.setUpdateInterval(20);
    EXPECT_EQ(info.UpdateInterval(), 20u);
    info.setActive(true);
    EXPECT_TRUE(info.Active());
    EXPECT_EQ(source->snapshots, 1) << "switching on refreshes at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return source->snapshots >= 3; }, 10000)) << "the timer refreshes";
    info.setActive(false);
    const int after = source->snapshots;
    QTest::qWait(100);
    EXPECT_EQ(source->snapshots, after);
    EXPECT_EQ(info.RunningProcesses().Count(), 1) << "the list stays while inactive";
}

TEST(ProcessInfo, ItemFactsThroughTheSource)
{
    auto source = std::make_shared<fakes::FakeProcessSource>();
    source->table = {entry(7, QStringLiteral("a")), entry(8, QStringLiteral("b"))};
    source->threadTable[7] = {{70, 7, 8}, {71, 7, 8}};
    source->moduleTable[7] = {
        {1, 7, 0xFFFF, 0x1000, 0x200, 0x1000, QStringLiteral(" a.out "), QStringLiteral(" /x/a.out ")}};
    source->cpuSamples[7] = {1000, 1000 + 250000};
    source->processors = 2;
    TProcessCollection list(source);
    list.UpdateProcesses();
    TProcessItem* p = list.FindByID(7);
    // 250 000 units on 2 processors is 25 % of a 50 ms sample; the sleep may run longer.
    const quint32 usage = p->CpuUsage();
    EXPECT_GT(usage, 0u);
    EXPECT_LE(usage, 25u);
    EXPECT_EQ(p->Threads().Count(), 2);
    EXPECT_EQ(p->Threads().FindByID(71)->OwnerProcessID(), 7u);
    EXPECT_EQ(p->Modules().FindByName(QStringLiteral("A.OUT"))->ModulePath(), QStringLiteral("/x/a.out"));
    EXPECT_EQ(p->Modules().FindByHandle(0x1000)->BaseSize(), 0x200u);
    EXPECT_EQ(p->Modules().FindByID(1), p->Modules()[0]);

    // Thread and module lists are built once and refreshed only when asked.
    source->threadTable[7].push_back({72, 7, 8});
    EXPECT_EQ(p->Threads().Count(), 2);
    p->Threads().UpdateThreads();
    EXPECT_EQ(p->Threads().Count(), 3);

    // A set priority is kept until the next refresh; an unopenable process keeps its value.
    p->setPriorityClassBase(priorityclass::High);
    EXPECT_EQ(p->PriorityClassBase(), priorityclass::High);
    source->closed.insert(8);
    TProcessItem* q = list.FindByID(8);
    q->setPriorityClassBase(priorityclass::High);
    EXPECT_EQ(q->PriorityClassBase(), 8u);
    EXPECT_FALSE(q->TerminateProcess());
    list.UpdateProcesses();
    EXPECT_EQ(list.FindByID(7)->PriorityClassBase(), 8u);
}

// ---- live, on this machine's /proc

TEST(ProcessLive, OwnProcessByNameWithThreadsAndModules)
{
    TProcessInfo info(live());
    EXPECT_FALSE(info.Active());
    const TProcessCollection& list = info.RunningProcesses(); // refreshes the empty list
    ASSERT_GT(list.Count(), 1);
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ASSERT_GT(exe.size(), 15) << "the test program's name is longer than the kernel keeps";
    TProcessItem* self = list.FindByName(exe);
    ASSERT_TRUE(self) << exe.toStdString();
    EXPECT_EQ(self->ProcessID(), static_cast<quint32>(getpid()));
    EXPECT_EQ(list.FindByName(exe.toUpper()), self);
    EXPECT_EQ(self->FullPath(), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    EXPECT_TRUE(self->IsAccessible());
    EXPECT_TRUE(self->Is64Bits());
    EXPECT_GT(self->MemoryInfo().WorkingSetSize, 0u);
    EXPECT_TRUE(self->UserName().endsWith(u'\\' + QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)));
    EXPECT_LE(qAbs(self->CreationTime().secsTo(QDateTime::currentDateTime())), 3600);
    EXPECT_EQ(self->KernelTime().date(), QDate(1601, 1, 1));
    for (int i = 1; i < list.Count(); ++i)
        ASSERT_LT(list[i - 1]->ProcessID(), list[i]->ProcessID());

    // Two more threads: all of ours are listed, and only ours.
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    std::atomic<int> tids[2] = {0, 0};
    auto body = [&](int i) {
        tids[i] = static_cast<int>(syscall(SYS_gettid));
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return done; });
    };
    std::thread a(body, 0), b(body, 1);
    while (tids[0] == 0 || tids[1] == 0)
        std::this_thread::yield();
    TThreadCollection& threads = self->Threads();
    EXPECT_NE(threads.FindByID(static_cast<quint32>(tids[0])), nullptr);
    EXPECT_NE(threads.FindByID(static_cast<quint32>(tids[1])), nullptr);
    EXPECT_NE(threads.FindByID(static_cast<quint32>(getpid())), nullptr);
    for (TThreadItem* t : threads) {
        EXPECT_EQ(t->OwnerProcessID(), static_cast<quint32>(getpid()));
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/proc/self/task/%1").arg(t->ThreadID())));
    }

    // A thread's priority set from a thread priority value and read back by range.
    TThreadItem* ta = threads.FindByID(static_cast<quint32>(tids[0]));
    ta->setBasePriority(static_cast<quint32>(-2));
    EXPECT_EQ(ta->BasePriority(), static_cast<quint32>(-2));
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(tids[0])), 10);
    EXPECT_THROW(ta->setBasePriority(7), Error);
    threads.UpdateThreads();
    EXPECT_EQ(threads.FindByID(static_cast<quint32>(tids[0]))->BasePriority(), 6u);

    // One thread cannot be stopped or ended alone.
    TThreadItem* tb = threads.FindByID(static_cast<quint32>(tids[1]));
    EXPECT_THROW(tb->SuspendThread(), Error);
    EXPECT_FALSE(tb->ResumeThread());
    EXPECT_FALSE(tb->TerminateThread());
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    cv.notify_all();
    a.join();
    b.join();

    // Modules: the program first, libc among them, data files not.
    TModuleCollection& modules = self->Modules();
    ASSERT_GT(modules.Count(), 1);
    EXPECT_EQ(modules[0]->ModulePath(), self->FullPath());
    bool libc = false;
    for (TModuleItem* m : modules) {
        libc = libc || m->ModuleName().startsWith(QStringLiteral("libc.so")) ||
               m->ModuleName().startsWith(QStringLiteral("libc-"));
        EXPECT_FALSE(m->ModulePath().contains(QStringLiteral("locale-archive")));
        EXPECT_GT(m->BaseSize(), 0u);
        EXPECT_EQ(m->Handle(), m->BaseAddress());
    }
    EXPECT_TRUE(libc);
}

TEST(ProcessLive, CpuUsageOfABusyAndASleepingChild)
{
    Child busy(Child::Busy);
    Child sleeping(Child::Sleeping);
    TProcessCollection list(live());
    list.UpdateProcesses();
    TProcessItem* b = list.FindByID(busy.pid());
    TProcessItem* s = list.FindByID(sleeping.pid());
    ASSERT_TRUE(b && s);
    const int processors = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    const quint32 full = static_cast<quint32>(100 / processors);
    // The machine is shared (other work may hold its processors whatever our nice value): as
    // root, lift the spinning child above our own work, and wait for a sample that shows a
    // good part of one processor. No sample may show more than one processor's share.
    if (geteuid() == 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(busy.pid()), -20);
    quint32 best = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const quint32 usage = b->CpuUsage();
            EXPECT_LE(usage, full + 1);
            best = std::max(best, usage);
            return best >= full / 5;
        },
        30000))
        << "best sample " << best << " of " << full;
    EXPECT_EQ(s->CpuUsage(), 0u);
}

TEST(ProcessLive, PrioritySetAndReadBack)
{
    Child child(Child::Sleeping);
    TProcessCollection list(live());
    list.UpdateProcesses();
    TProcessItem* p = list.FindByID(child.pid());
    ASSERT_TRUE(p);
    // The child inherits the test's nice value (the test may itself run under nice).
    EXPECT_EQ(p->PriorityClassBase(), proc::basePriorityFromNice(getpriority(PRIO_PROCESS, 0), 0));
    p->setPriorityClassBase(priorityclass::BelowNormal);
    EXPECT_EQ(p->PriorityClassBase(), priorityclass::BelowNormal)
        << "the class given, until the next refresh";
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(child.pid())), 10);
    list.UpdateProcesses();
    p = list.FindByID(child.pid());
    EXPECT_EQ(p->PriorityClassBase(), 6u);
    if (geteuid() == 0) { // raising a priority needs the privilege
        p->setPriorityClassBase(priorityclass::High);
        list.UpdateProcesses();
        EXPECT_EQ(list.FindByID(child.pid())->PriorityClassBase(), 13u);
        p = list.FindByID(child.pid());
    }
    EXPECT_THROW(p->setPriorityClassBase(0x1234), Error);
}

TEST(ProcessLive, TerminateKillsTheListedProcessOnly)
{
    Child child(Child::Sleeping);
    TProcessCollection list(live());
    list.UpdateProcesses();
    TProcessItem* p = list.FindByID(child.pid());
    ASSERT_TRUE(p);

    // An entry with another start time stands for a reused id: nothing is sent.
    ProcessEntry stale;
    stale.processID = child.pid();
    stale.startTicks = 1;
    TProcessItem reused(live(), stale);
    EXPECT_FALSE(reused.TerminateProcess());
    EXPECT_EQ(kill(static_cast<pid_t>(child.pid()), 0), 0) << "still alive";

    // Ids that are no positive process id would reach a group or every process through kill().
    for (quint32 id : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        ProcessEntry e;
        e.processID = id;
        EXPECT_FALSE(TProcessItem(live(), e).TerminateProcess()) << id;
    }

    EXPECT_TRUE(p->TerminateProcess());
    const int status = child.reap();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_FALSE(p->TerminateProcess()) << "gone";
}

TEST(ProcessLive, NeutralValuesSeenFromAChildThatDroppedRoot)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to drop it";
    const passwd* nobody = getpwnam("nobody");
    ASSERT_TRUE(nobody);
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t target = getpid();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string out = "setuid-failed";
        if (setgid(gid) == 0 && setuid(uid) == 0) {
            TProcessCollection list(std::make_shared<LinuxProcessSource>());
            out = "missing";
            try {
                list.UpdateProcesses();
                if (TProcessItem* p = list.FindByID(static_cast<quint32>(target))) {
                    bool fullPathRaised = false, modulesRaised = false;
                    try {
                        p->FullPath();
                    } catch (const Error&) {
                        fullPathRaised = true;
                    }
                    try {
                        p->Modules();
                    } catch (const Error&) {
                        modulesRaised = true;
                    }
                    QStringList facts = {
                        QString::number(p->IsAccessible()),
                        QString::number(p->CpuUsage()),
                        QString::number(p->Is64Bits()),
                        QStringLiteral("[%1]").arg(p->UserName()),
                        QString::number(p->MemoryInfo() == MemoryCounters{}),
                        QString::number(p->CreationTime() == zeroDateTime()),
                        QString::number(p->KernelTime() == zeroDateTime()),
                        QString::number(fullPathRaised),
                        QString::number(modulesRaised),
                        QString::number(p->TerminateProcess()),
                        p->ExeFile(),
                    };
                    out = facts.join(u' ').toStdString();
                }
            } catch (const Error& e) {
                out = "error " + e.text().toStdString();
            }
        }
        [[maybe_unused]] const ssize_t n = write(fds[1], out.data(), out.size());
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        got.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    // inaccessible, 0 %, 64-bit "true", no user, zero counters, zero times, raises, raises,
    // cannot be killed, and the name still listed (completed from argv[0], which anyone may read).
    EXPECT_EQ(QString::fromStdString(got), QStringLiteral("0 0 1 [] 1 1 1 1 1 0 ") + exe);
}
