// The /proc readers on fixture trees and plain lines: names, completion, skipped entries,
// modules, priorities, counters and times.
#include "core/error.h"
#include "monitors/processinfo.h"
#include "platform/linuxprocesssource.h"
#include "platform/procreaders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace rimo;

namespace {

// A stat line with every field of the kernel's layout (52 fields).
std::string statLine(quint32 pid, const std::string& name, quint32 ppid = 1, int nice = 0, int threads = 1,
                     quint64 start = 1000, int policy = 0, quint64 utime = 0, quint64 stime = 0)
{
    std::string s = std::to_string(pid) + " (" + name + ") S " + std::to_string(ppid) + " 1 1 0 -1 4194560 " +
                    "11 0 2 0 " + std::to_string(utime) + " " + std::to_string(stime) + " 0 0 " +
                    std::to_string(20 + nice) + " " + std::to_string(nice) + " " + std::to_string(threads) +
                    " 0 " + std::to_string(start) + " 1000000 100 18446744073709551615";
    for (int field = 26; field <= 40; ++field)
        s += " 0";
    s += " " + std::to_string(policy);
    for (int field = 42; field <= 52; ++field)
        s += " 0";
    return s + "\n";
}

class ProcTree
{
public:
    ProcTree() { file("stat", "cpu  1 2 3\nbtime 1700000000\nprocesses 5\n"); }
    QString root() const { return m_dir.path(); }
    void file(const QString& relative, const std::string& content)
    {
        const QString path = m_dir.path() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content.data(), static_cast<qint64>(content.size()));
    }
    void link(const QString& relative, const QString& target)
    {
        const QString path = m_dir.path() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
    }
    // A process folder with stat and an empty maps (so it can be opened).
    void process(quint32 pid, const std::string& stat)
    {
        file(QStringLiteral("%1/stat").arg(pid), stat);
        file(QStringLiteral("%1/maps").arg(pid), "");
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

TEST(ProcFixture, ListsProcessesByIdWithTheirNames)
{
    ProcTree t;
    // Ids out of textual order; a name with blanks and parentheses; a cut name completed from
    // the executable, another from argv[0], a third left cut; a process whose stat went away
    // after its folder was listed; a malformed line; a kernel thread without exe.
    t.process(100, statLine(100, "my (odd) proc)", 20, 0, 3));
    t.process(20, statLine(20, "averyveryverylo", 1, 10, 2));
    t.link(QStringLiteral("20/exe"), QStringLiteral("/opt/tools/averyveryverylongname (deleted)"));
    t.process(21, statLine(21, "anotherlongname", 1));
    t.file(QStringLiteral("21/cmdline"), std::string("/usr/bin/anotherlongname-tool\0--flag\0", 38));
    t.process(22, statLine(22, "cutandunrelate", 1));
    t.process(23, statLine(23, "cutandunrelated", 1));
    t.file(QStringLiteral("23/cmdline"), std::string("/bin/sh\0-c\0", 11));
    t.file(QStringLiteral("7/status"), "Name:\tgone\n");
    t.process(8, "8 (broken S 1 2 3\n");
    t.process(9, "9 (short) S 1 1\n");
    t.process(2, statLine(2, "kthreadd", 0, 0, 1, 5, 0));
    t.process(3, statLine(3, "rt-thread", 2, 0, 1, 5, 1)); // a real-time policy

    TProcessInfo info(std::make_shared<LinuxProcessSource>(t.root()));
    info.UpdateList();
    const TProcessCollection& list = info.RunningProcesses();
    struct Row
    {
        quint32 pid;
        const char* exeFile;
        quint32 parent;
        quint32 priority;
        qint32 threads;
    };
    const std::vector<Row> expected = {
        {2, "kthreadd", 0, 8, 1},
        {3, "rt-thread", 2, 24, 1},
        {20, "averyveryverylongname", 1, 6, 2},
        {21, "anotherlongname-tool", 1, 8, 1},
        {22, "cutandunrelate", 1, 8, 1},
        {23, "cutandunrelated", 1, 8, 1},
        {100, "my (odd) proc)", 20, 8, 3},
    };
    ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < list.Count(); ++i) {
        const Row& row = expected[static_cast<size_t>(i)];
        SCOPED_TRACE(row.exeFile);
        EXPECT_EQ(list[i]->ProcessID(), row.pid);
        EXPECT_EQ(list[i]->ExeFile(), QString::fromUtf8(row.exeFile));
        EXPECT_EQ(list[i]->ToString(), QString::fromUtf8(row.exeFile));
        EXPECT_EQ(list[i]->ParentProcessID(), row.parent);
        EXPECT_EQ(list[i]->PriorityClassBase(), row.priority);
        EXPECT_EQ(list[i]->ThreadsCount(), row.threads);
    }

    // The kernel thread can be opened but has no executable and no modules.
    TProcessItem* kthread = list.FindByID(2);
    ASSERT_TRUE(kthread);
    EXPECT_TRUE(kthread->IsAccessible());
    EXPECT_EQ(kthread->FullPath(), QString());
    EXPECT_FALSE(kthread->Is64Bits());
    EXPECT_EQ(kthread->Modules().Count(), 0);
    EXPECT_EQ(list.FindByName(QStringLiteral("MY (ODD) PROC)")), list.FindByID(100));
}

TEST(ProcFixture, UnreadableTableRaisesAndKeepsTheList)
{
    ProcTree t;
    t.process(5, statLine(5, "one"));
    auto source = std::make_shared<LinuxProcessSource>(t.root());
    TProcessInfo info(source);
    info.UpdateList();
    ASSERT_EQ(info.RunningProcesses().Count(), 1);
    const QDateTime stamp = info.RunningProcesses().LastUpdate();

    TProcessInfo missing(std::make_shared<LinuxProcessSource>(t.root() + QStringLiteral("/nothing-here")));
    bool after = false;
    missing.OnAfterUpdateList = [&](QObject*) { after = true; };
    try {
        missing.UpdateList();
        FAIL() << "an unreadable table must raise";
    } catch (const Error& e) {
        EXPECT_FALSE(e.text().isEmpty());
    }
    EXPECT_FALSE(after);
    EXPECT_THROW(missing.RunningProcesses(), Error) << "an empty list refreshes on reading";
    EXPECT_EQ(info.RunningProcesses().LastUpdate(), stamp);
}

TEST(ProcFixture, FactsOfAProcessFromItsFiles)
{
    ProcTree t;
    t.process(40, statLine(40, "worker", 1, -5, 4, 250, 0, 300, 200));
    t.file(QStringLiteral("40/status"),
           "Name:\tworker\nUid:\t1000\t0\t0\t0\nVmPeak:\t  9000 kB\nVmSize:\t  8000 kB\n"
           "VmHWM:\t   700 kB\nVmRSS:\t   600 kB\nVmData:\t   300 kB\nVmStk:\t"
           "   132 kB\nVmPTE:\t    48 kB\n");
    t.file(QStringLiteral("40/task/40/stat"), statLine(40, "worker", 1, -5));
    t.file(QStringLiteral("40/task/41/stat"), statLine(41, "worker", 1, 19));
    t.file(QStringLiteral("40/task/42/stat"), "42 (worker) garbage\n");
    t.link(QStringLiteral("40/exe"), QStringLiteral("/proc/self/exe")); // a 64-bit ELF program

    TProcessCollection list(std::make_shared<LinuxProcessSource>(t.root()));
    list.UpdateProcesses();
    TProcessItem* p = list.FindByID(40);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->PriorityClassBase(), 10u);
    EXPECT_TRUE(p->Is64Bits());

    const long tick = sysconf(_SC_CLK_TCK);
    ASSERT_EQ(tick, 100) << "the expected values below count 10 ms ticks";
    // Started 2.5 s after boot; kernel 2 s, user 3 s, given unshifted on the 1601 clock.
    EXPECT_EQ(p->CreationTime(), QDateTime::fromSecsSinceEpoch(1700000002).addMSecs(500));
    EXPECT_EQ(p->KernelTime(), QDateTime(QDate(1601, 1, 1), QTime(0, 0, 2), QTimeZone::utc()));
    EXPECT_EQ(p->UserTime(), QDateTime(QDate(1601, 1, 1), QTime(0, 0, 3), QTimeZone::utc()));

    const MemoryCounters m = p->MemoryInfo();
    EXPECT_EQ(m.cb, 72u);
    EXPECT_EQ(m.PageFaultCount, 13u); // 11 minor + 2 major
    EXPECT_EQ(m.PeakWorkingSetSize, 700u * 1024);
    EXPECT_EQ(m.WorkingSetSize, 600u * 1024);
    EXPECT_EQ(m.QuotaPagedPoolUsage, 48u * 1024);
    EXPECT_EQ(m.QuotaNonPagedPoolUsage, 0u);
    EXPECT_EQ(m.PagefileUsage, 432u * 1024);

    // The effective uid (the second), not the real one.
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(p->UserName(), QString::fromLocal8Bit(host) + QStringLiteral("\\root"));

    // Threads: the readable ones, priorities read like the process's.
    TThreadCollection& threads = p->Threads();
    ASSERT_EQ(threads.Count(), 2);
    EXPECT_EQ(threads[0]->ThreadID(), 40u);
    EXPECT_EQ(threads[0]->BasePriority(), 10u);
    EXPECT_EQ(threads[1]->ThreadID(), 41u);
    EXPECT_EQ(threads[1]->BasePriority(), 4u);
    EXPECT_EQ(threads[1]->OwnerProcessID(), 40u);
    EXPECT_EQ(threads[1]->ToString(), QStringLiteral("41"));
    TThreadCollection orphan(std::make_shared<LinuxProcessSource>(t.root()));
    orphan.UpdateThreads();
    EXPECT_EQ(orphan.Count(), 0) << "without an owner the collection asks for process 0";
}

TEST(ProcFixture, NeutralValuesWhenAProcessCannotBeOpened)
{
    ProcTree t;
    t.file(QStringLiteral("50/stat"),
           statLine(50, "locked", 1, 0, 1, 100, 0, 50, 50)); // no maps: not openable
    t.file(QStringLiteral("50/status"), "Uid:\t0\t0\t0\t0\nVmRSS:\t 100 kB\n");
    TProcessCollection list(std::make_shared<LinuxProcessSource>(t.root()));
    list.UpdateProcesses();
    TProcessItem* p = list.FindByID(50);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->IsAccessible());
    EXPECT_EQ(p->CpuUsage(), 0u);
    EXPECT_TRUE(p->Is64Bits());
    EXPECT_EQ(p->UserName(), QString());
    EXPECT_EQ(p->MemoryInfo(), MemoryCounters{});
    EXPECT_EQ(p->CreationTime(), zeroDateTime());
    EXPECT_EQ(p->KernelTime(), zeroDateTime());
    EXPECT_EQ(p->UserTime(), zeroDateTime());
    EXPECT_THROW(p->FullPath(), Error);
    EXPECT_THROW(p->Modules(), Error);
}

TEST(ProcReaders, StatLines)
{
    const std::string line = statLine(7, "a) (b", 3, -20, 9, 123456, 2, 5, 6);
    const auto s = proc::parseStatLine(line);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->name, "a) (b");
    EXPECT_EQ(s->state, 'S');
    EXPECT_EQ(s->ppid, 3u);
    EXPECT_EQ(s->nice, -20);
    EXPECT_EQ(s->numThreads, 9);
    EXPECT_EQ(s->startTicks, 123456u);
    EXPECT_EQ(s->policy, 2);
    EXPECT_EQ(s->utimeTicks, 5u);
    EXPECT_EQ(s->stimeTicks, 6u);
    // A line cut after the start time still reads (policy 0).
    const auto cut = proc::parseStatLine("5 (x) R 1 1 1 0 -1 0 0 0 0 0 1 2 0 0 20 0 1 0 77");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->startTicks, 77u);
    EXPECT_EQ(cut->policy, 0);
    for (const char* bad : {"", "5 x) R 1", "5 (x R 1", "5 )x( R 1 1", "5 (x) R", "5 (x) R one 1 1 0 -1",
                            "5 (x) R 1 1 1 0 -1 0 0 0 0 0 1 2 0 0 20 99 1 0 77"})
        EXPECT_FALSE(proc::parseStatLine(bad)) << bad;
}

TEST(ProcReaders, ModulesFromMaps)
{
    const std::string maps =
        "7f0000000000-7f0000001000 r--p 00000000 08:01 11 /usr/lib/libc.so.6\n"
        "7f0000001000-7f0000005000 r-xp 00001000 08:01 11 /usr/lib/libc.so.6\n"
        "7f0000009000-7f000000a000 rw-p 00009000 08:01 11 /usr/lib/libc.so.6\n"
        "7f1000000000-7f1000800000 r--p 00000000 08:01 12 /usr/lib/locale/locale-archive\n"
        "555500000000-555500001000 r--p 00000000 08:01 13 /opt/my app/prog\n"
        "555500001000-555500002000 r-xp 00001000 08:01 13 /opt/my app/prog\n"
        "7ffd00000000-7ffd00002000 r-xp 00000000 00:00 0 [vdso]\n"
        "7f2000000000-7f2000001000 r-xp 00000000 08:01 14 /tmp/gone.so (deleted)\n"
        "garbage line\n";
    const auto modules = proc::modulesFromMaps(maps, "/opt/my app/prog", 77);
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[0].modulePath, QStringLiteral("/opt/my app/prog"));
    EXPECT_EQ(modules[0].moduleName, QStringLiteral("prog"));
    EXPECT_EQ(modules[1].moduleName, QStringLiteral("libc.so.6"));
    EXPECT_EQ(modules[1].baseAddress, 0x7f0000000000u) << "addresses above 4 GiB keep all their bits";
    EXPECT_EQ(modules[1].baseSize, 0xa000u);
    EXPECT_EQ(modules[1].handle, modules[1].baseAddress);
    EXPECT_EQ(modules[1].processID, 77u);
    EXPECT_EQ(modules[1].moduleID, proc::kModuleId);
    EXPECT_EQ(modules[1].loadCount, proc::kLoadCount);
    EXPECT_EQ(modules[2].modulePath, QStringLiteral("/tmp/gone.so"));
}

TEST(ProcReaders, PriorityTables)
{
    struct Case
    {
        int nice;
        int policy;
        quint32 base;
    };
    for (const Case c : {Case{19, 0, 4}, Case{15, 0, 4}, Case{14, 0, 6}, Case{5, 0, 6}, Case{4, 0, 8},
                         Case{-2, 0, 8}, Case{-3, 0, 10}, Case{-7, 0, 10}, Case{-8, 0, 13}, Case{-20, 0, 13},
                         Case{0, 1, 24}, Case{0, 2, 24}, Case{0, 3, 8}})
        EXPECT_EQ(proc::basePriorityFromNice(c.nice, c.policy), c.base) << c.nice << " " << c.policy;
    // Every class reads back as the base priority of its range.
    const std::vector<std::pair<quint32, quint32>> classes = {{0x40, 4},    {0x4000, 6}, {0x20, 8},
                                                              {0x8000, 10}, {0x80, 13},  {0x100, 13}};
    for (const auto& [cls, base] : classes) {
        const auto nice = proc::niceForPriorityClass(cls);
        ASSERT_TRUE(nice) << cls;
        EXPECT_EQ(proc::basePriorityFromNice(*nice, 0), base) << cls;
    }
    for (quint32 bad : {0u, 0x10u, 0x41u, 0x200u, 0xFFFFFFFFu})
        EXPECT_FALSE(proc::niceForPriorityClass(bad)) << bad;
    const std::vector<std::pair<qint32, int>> threadValues = {{-15, 19}, {-2, 10}, {-1, 5},  {0, 0},
                                                              {1, -5},   {2, -10}, {15, -20}};
    for (const auto& [value, nice] : threadValues)
        EXPECT_EQ(proc::niceForThreadPriority(value), nice) << value;
    for (qint32 bad : {-16, -3, 3, 14, 16})
        EXPECT_FALSE(proc::niceForThreadPriority(bad)) << bad;
}

TEST(ProcReaders, CpuUsageArithmetic)
{
    struct Case
    {
        quint64 used; // 100-ns units during the 50 ms sample
        int processors;
        quint32 percent;
    };
    // 500 000 units is the whole sample of one processor; halves round to even.
    for (const Case c : {Case{0, 1, 0}, Case{500000, 1, 100}, Case{500000, 2, 50}, Case{500000, 4, 25},
                         Case{2500, 1, 0}, Case{7500, 1, 2}, Case{12500, 1, 2}, Case{17500, 1, 4},
                         Case{12499, 1, 2}, Case{12501, 1, 3}, Case{250000, 8, 6}})
        EXPECT_EQ(cpuUsagePercent(1000, 1000 + c.used, c.processors), c.percent)
            << c.used << "/" << c.processors;
    EXPECT_EQ(cpuUsagePercent(5000, 100, 1), 0u);
    EXPECT_EQ(cpuUsagePercent(0, 500000, 0), 0u);
    EXPECT_EQ(cpuUsagePercent(0, 500000, 1, 0), 0u);
    // A sample that overran its 50 ms: one busy thread stays at or below one processor's share.
    EXPECT_EQ(cpuUsagePercent(0, 1500000, 1, 1500000), 100u);
    EXPECT_EQ(cpuUsagePercent(0, 1500000, 2, 1500000), 50u);
    EXPECT_EQ(cpuUsagePercent(0, 500000, 1, 1500000), 33u);
}

TEST(ProcReaders, TimesAndCompletion)
{
    EXPECT_EQ(proc::parseBootTime("cpu 1\nbtime 1234\n"), 1234);
    EXPECT_FALSE(proc::parseBootTime("cpu 1\n"));
    EXPECT_FALSE(proc::parseBootTime("btime x\n"));
    // 1970-01-01 is 11 644 473 600 s after 1601-01-01.
    EXPECT_EQ(proc::fileTimeFromStart(0, 0, 100), 116444736000000000LL);
    EXPECT_EQ(proc::fileTimeFromStart(10, 150, 100), 116444736000000000LL + 115000000LL);
    EXPECT_EQ(localDateTimeFromFileTime(116444736000000000LL), QDateTime::fromSecsSinceEpoch(0));
    EXPECT_EQ(durationDateTime(50000000).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              QStringLiteral("1601-01-01 00:00:05"));
    EXPECT_EQ(zeroDateTime().date(), QDate(1899, 12, 30));

    EXPECT_EQ(proc::completeName("abcdefghijklmno", "abcdefghijklmnopq", ""),
              QStringLiteral("abcdefghijklmnopq"));
    EXPECT_EQ(proc::completeName("abcdefghijklmno", "other", "abcdefghijklmnoz"),
              QStringLiteral("abcdefghijklmnoz"));
    EXPECT_EQ(proc::completeName("abcdefghijklmno", "other", "x"), QStringLiteral("abcdefghijklmno"));
    EXPECT_EQ(proc::completeName("short", "shorter", ""), QStringLiteral("short")) << "only cut names";
    EXPECT_EQ(proc::argv0BaseName(std::string_view("/a/b/c\0d", 8)), "c");
}
