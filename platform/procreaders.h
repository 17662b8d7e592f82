#pragma once
// Plain readers of the kernel's per-process text files and the priority tables, kept apart
// from the file access so that tests and fuzzers feed them any text.

#include "platform/processsource.h"

#include <QString>
#include <optional>
#include <string_view>
#include <vector>

namespace rimo::proc {

// One line of /proc/<pid>/stat. The name lies between the first "(" and the last ")" (it may
// itself hold blanks and parentheses); the numbers follow the last ")".
struct StatLine
{
    std::string_view name; // the kernel's name, cut to 15 bytes; points into the line
    char state = 0;
    quint32 ppid = 0;
    quint64 minorFaults = 0;
    quint64 majorFaults = 0;
    quint64 utimeTicks = 0;
    quint64 stimeTicks = 0;
    int nice = 0;
    qint32 numThreads = 0;
    quint64 startTicks = 0;
    int policy = 0; // scheduling policy; 1 and 2 are the real-time ones
};
// std::nullopt for a malformed line.
std::optional<StatLine> parseStatLine(std::string_view line);

// The lines of /proc/<pid>/status the monitor uses; sizes in bytes.
struct StatusFacts
{
    std::optional<quint32> effectiveUid;
    quint64 vmPeak = 0, vmSize = 0, vmHWM = 0, vmRSS = 0, vmData = 0, vmStk = 0, vmPTE = 0;
};
StatusFacts parseStatus(std::string_view text);

// "btime" of /proc/stat: the boot time in seconds since 1970; std::nullopt when missing.
std::optional<qint64> parseBootTime(std::string_view procStat);

// The modules of /proc/<pid>/maps: one per mapped file that has an executable mapping (data
// files such as locale archives have none), the file `programPath` first, the others in
// address order. ModuleID and LoadCount get kModuleId and kLoadCount.
constexpr quint32 kModuleId = 1;       // the system reports 1 for every module
constexpr quint32 kLoadCount = 0xFFFF; // the system's "loaded for good" count
std::vector<ModuleEntry> modulesFromMaps(std::string_view maps, std::string_view programPath, quint32 pid);

// The kernel cuts names to 15 bytes; a cut name is completed from the executable's or argv[0]'s
// base name when one of them starts with it.
constexpr int kKernelNameLength = 15;
QString completeName(std::string_view kernelName, std::string_view exeBase, std::string_view argv0Base);
// The base name (after the last '/') of the first NUL-terminated string of a cmdline file.
std::string_view argv0BaseName(std::string_view cmdline);

// Base priority number read from a nice value: 4 (nice 15..19), 6 (5..14), 8 (-2..4),
// 10 (-7..-3), 13 (-20..-8); 24 under a real-time policy.
quint32 basePriorityFromNice(int nice, int policy);
// Nice value a priority class is set as: Idle 19, BelowNormal 10, Normal 0, AboveNormal -5,
// High -10, Realtime -20 (never a real-time policy). std::nullopt for any other value.
std::optional<int> niceForPriorityClass(quint32 priorityClass);
// Nice value a thread priority value is set as: -15 (idle) 19, -2 10, -1 5, 0 0, 1 -5, 2 -10,
// 15 (time critical) -20. std::nullopt for any other value.
std::optional<int> niceForThreadPriority(qint32 priority);

// The memory counters from the status facts and the stat line's fault counts:
//   PageFaultCount            minor + major faults
//   PeakWorkingSetSize        VmHWM
//   WorkingSetSize            VmRSS
//   Quota(Peak)PagedPoolUsage VmPTE: the page tables the kernel keeps for the process
//   Quota(Peak)NonPagedPool   0: nothing like it is charged to a process
//   PagefileUsage             VmData + VmStk: private memory the system must back
//   PeakPagefileUsage         the same: the kernel keeps no peak of it
MemoryCounters memoryCounters(const StatusFacts& status, const StatLine& stat);

// Ticks since boot -> 100-ns units since 1601-01-01 UTC.
qint64 fileTimeFromStart(qint64 bootTime, quint64 startTicks, long ticksPerSecond);
// Ticks -> 100-ns units.
qint64 unitsFromTicks(quint64 ticks, long ticksPerSecond);

} // namespace rimo::proc
