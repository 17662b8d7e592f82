#pragma once
// The process table as the process monitor sees it: a snapshot of processes, the threads and
// modules of one process, and the per-process facts and actions. Linux reads /proc
// (linuxprocesssource.h); tests pass a double (testing/monitordoubles.h).
//
// "Cannot be opened" is the kernel refusing read access to the process (what guards its `exe`
// and `maps`), or the process having gone. Such lookups return their neutral value
// (std::nullopt, false, empty) without an error; failures after a successful open raise
// rimo::Error with the system's error text.

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace rimo {

struct ProcessEntry
{
    QString exeFile; // file name of the executable, no folder
    quint32 parentProcessID = 0;
    quint32 priorityClassBase = 0; // base priority number: 4, 6, 8, 10, 13 or 24
    quint32 processID = 0;
    qint32 threadsCount = 0;
    quint64 startTicks = 0; // start time in clock ticks since boot: tells a reused id apart
};

struct ThreadEntry
{
    quint32 threadID = 0;
    quint32 ownerProcessID = 0;
    quint32 basePriority = 0; // numbered like ProcessEntry::priorityClassBase
};

// A mapped file with executable code. Addresses and sizes are 64 bits wide: the system's
// 32-bit fields cannot hold a 64-bit address space.
struct ModuleEntry
{
    quint32 moduleID = 0;
    quint32 processID = 0;
    quint32 loadCount = 0;
    quint64 baseAddress = 0; // lowest address of any mapping of the file
    quint64 baseSize = 0;    // from the lowest to the highest mapped address of the file
    quint64 handle = 0;      // the base address, as on the system the monitor comes from
    QString moduleName;
    QString modulePath;
};

// Times in 100-nanosecond units. `creation` counts from 1601-01-01 00:00 UTC; `kernel` and
// `user` are durations.
struct ProcessTimes
{
    qint64 creation = 0;
    qint64 kernel = 0;
    qint64 user = 0;
};

// The memory counter record, in bytes and 64 bits wide (see linuxprocesssource.h for where
// each counter comes from).
struct MemoryCounters
{
    quint32 cb = 0; // size of the record as the system's 64-bit programs see it
    quint64 PageFaultCount = 0;
    quint64 PeakWorkingSetSize = 0;
    quint64 WorkingSetSize = 0;
    quint64 QuotaPeakPagedPoolUsage = 0;
    quint64 QuotaPagedPoolUsage = 0;
    quint64 QuotaPeakNonPagedPoolUsage = 0;
    quint64 QuotaNonPagedPoolUsage = 0;
    quint64 PagefileUsage = 0;
    quint64 PeakPagefileUsage = 0;

    bool operator==(const MemoryCounters&) const = default;
};

// Process priority classes as the system numbers them.
namespace priorityclass {
constexpr quint32 Idle = 0x40;
constexpr quint32 BelowNormal = 0x4000;
constexpr quint32 Normal = 0x20;
constexpr quint32 AboveNormal = 0x8000;
constexpr quint32 High = 0x80;
constexpr quint32 Realtime = 0x100;
} // namespace priorityclass

class ProcessSource
{
public:
    virtual ~ProcessSource() = default;

    // Every process, in ascending id. Raises when the table itself cannot be read.
    virtual std::vector<ProcessEntry> processes() = 0;
    // The threads of one process (empty when it has gone).
    virtual std::vector<ThreadEntry> threads(quint32 pid) = 0;
    // The modules of one process, the program first. Raises when the process cannot be opened.
    virtual std::vector<ModuleEntry> modules(quint32 pid) = 0;
    // Full path of the executable, empty when the process has none (a kernel thread). Raises
    // when the process cannot be opened.
    virtual QString fullPath(quint32 pid) = 0;

    virtual bool canOpen(quint32 pid) = 0;
    // Processor time used so far (kernel + user), 100-ns units; std::nullopt: cannot be opened.
    virtual std::optional<quint64> cpuTime(quint32 pid) = 0;
    virtual std::optional<ProcessTimes> times(quint32 pid) = 0;
    // std::nullopt: cannot be opened; otherwise whether the executable is a 64-bit program
    // (false when that cannot be told, as for a kernel thread).
    virtual std::optional<bool> is64Bits(quint32 pid) = 0;
    virtual std::optional<MemoryCounters> memoryInfo(quint32 pid) = 0;
    // "host\account" of the process's effective user, empty when unknown or not openable.
    virtual QString userName(quint32 pid) = 0;
    // Number of processors, read once.
    virtual int processorCount() = 0;

    // Sets a priority class (priorityclass::...). False when the process cannot be opened;
    // raises for an unknown class or a refused change.
    virtual bool setPriorityClass(quint32 pid, quint32 priorityClass) = 0;
    // Ends the process whose start time is `startTicks`. False when the id is no process id,
    // the process has gone or was replaced, or may not be signalled; raises when sending fails.
    virtual bool terminate(quint32 pid, quint64 startTicks) = 0;

    // Thread actions. `priority` is a thread priority value (-15, -2..2, 15) in 32 bits.
    virtual bool suspendThread(quint32 tid) = 0;
    virtual bool resumeThread(quint32 tid) = 0;
    virtual bool terminateThread(quint32 tid) = 0;
    // False when the thread cannot be opened; raises for an unknown value or a refused change.
    virtual bool setThreadPriority(quint32 tid, quint32 priority) = 0;
};

} // namespace rimo
