#pragma once
// The process monitor: a list of the running processes, refreshed by a timer, whose items
// report further facts on demand and list their threads and modules lazily. The facts come
// from a rimo::ProcessSource (/proc on Linux).
//
// An item (process, thread or module) lives until the next refresh of its collection: a
// refresh destroys every item of the old list, with its thread and module lists. Do not keep
// item pointers across a refresh; keep the process id and look it up again.

#include "monitors/collection.h"
#include "platform/processsource.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTimer;
class TProcessItem;
class TProcessCollection;

namespace rimo {

// Processor usage in percent of the whole machine over a sample: the processor time used
// (100-ns units) * 100 / (the sample's length in 100-ns units * processors), rounded to the
// nearest whole number, ties to even. For the nominal 50 ms sample this is the system's
// (T2 - T1) / 50 / 100 / processors; the sample's measured length is used instead because on a
// busy machine the 50 ms sleep overruns, and the fixed divisor then reported more than the
// process could have used (above 100 % for one thread). 0 when the clock went backwards or no
// processor or length is known.
quint32 cpuUsagePercent(quint64 before, quint64 after, int processors, qint64 sampleUnits = 500'000);
// The milliseconds of a processor-usage sample.
constexpr int kCpuSampleMs = 50;

// The system's date-time zero (1899-12-30 00:00), the neutral value of the time properties.
QDateTime zeroDateTime();
// A time in 100-ns units since 1601-01-01 UTC as local date-time.
QDateTime localDateTimeFromFileTime(qint64 units);
// A duration in 100-ns units read on a clock starting at 1601-01-01 00:00 (UTC, unshifted):
// 5 s reads 1601-01-01 00:00:05 in every time zone. The system this comes from passed
// durations through the local-time conversion as well, which shifted them by the zone's offset.
QDateTime durationDateTime(qint64 units);

} // namespace rimo

class TThreadItem
{
public:
    TThreadItem(std::shared_ptr<rimo::ProcessSource> source, const rimo::ThreadEntry& entry);

    quint32 BasePriority() const { return FBasePriority; }
    // Sets a thread priority value (-15, -2..2, 15) and keeps it. A thread that cannot be
    // opened is left alone; an unknown value or a refused change raises rimo::Error.
    void setBasePriority(quint32 value);
    quint32 OwnerProcessID() const { return FOwnerProcessID; }
    quint32 ThreadID() const { return FThreadID; }

    // One thread of another process cannot be stopped or ended alone here: SuspendThread
    // raises rimo::Error, the other two give false.
    bool SuspendThread();
    bool ResumeThread();
    bool TerminateThread();
    QString ToString() const { return QString::number(FThreadID); }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
    quint32 FBasePriority;
    quint32 FOwnerProcessID;
    quint32 FThreadID;
};

class TModuleItem
{
public:
    explicit TModuleItem(const rimo::ModuleEntry& entry) : m_entry(entry) {}

    // Addresses and sizes are 64 bits wide (the system's fields are 32).
    quint64 BaseAddress() const { return m_entry.baseAddress; }
    quint64 BaseSize() const { return m_entry.baseSize; }
    quint64 Handle() const { return m_entry.handle; }
    quint32 LoadCount() const { return m_entry.loadCount; }
    quint32 ModuleID() const { return m_entry.moduleID; }
    quint32 ProcessID() const { return m_entry.processID; }
    QString ModuleName() const { return m_entry.moduleName; }
    QString ModulePath() const { return m_entry.modulePath; }

private:
    rimo::ModuleEntry m_entry;
};

class TThreadCollection : public TItemCollection<TThreadItem>
{
public:
    // The threads of `owner`'s process; without an owner, of process 0 (none).
    TThreadCollection(std::shared_ptr<rimo::ProcessSource> source, const TProcessItem* owner = nullptr);
    void UpdateThreads();
    TThreadItem* FindByID(quint32 ID) const;
    TCollectionEnumerator<TThreadCollection> GetEnumerator() const { return TCollectionEnumerator(*this); }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
    const TProcessItem* m_owner;
};

class TModuleCollection : public TItemCollection<TModuleItem>
{
public:
    TModuleCollection(std::shared_ptr<rimo::ProcessSource> source, const TProcessItem* owner = nullptr);
    // Raises rimo::Error when the process cannot be opened.
    void UpdateModules();
    TModuleItem* FindByHandle(quint64 AHandle) const;
    TModuleItem* FindByID(quint32 ID) const;
    TModuleItem* FindByName(const QString& AName) const;
    TCollectionEnumerator<TModuleCollection> GetEnumerator() const { return TCollectionEnumerator(*this); }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
    const TProcessItem* m_owner;
};

class TProcessItem
{
public:
    TProcessItem(std::shared_ptr<rimo::ProcessSource> source, const rimo::ProcessEntry& entry);
    ~TProcessItem();

    QString ExeFile() const { return FExeFile; }
    quint32 ParentProcessID() const { return FParentProcessID; }
    quint32 ProcessID() const { return FProcessID; }
    qint32 ThreadsCount() const { return FThreadsCount; }
    // The base priority number of the refresh (4, 6, 8, 10, 13, 24), or the class last set.
    quint32 PriorityClassBase() const { return FPriorityClassBase; }
    // Sets a priority class (0x40, 0x4000, 0x20, 0x8000, 0x80, 0x100) and keeps it until the
    // next refresh. A process that cannot be opened is left alone; an unknown class or a
    // refused change raises rimo::Error.
    void setPriorityClassBase(quint32 value);

    // Computed on each read. A process that cannot be opened gives 0, the date-time zero,
    // false (IsAccessible), true (Is64Bits), empty text and zero counters; FullPath raises.
    quint32 CpuUsage(); // blocks for a 50 ms sample
    QDateTime CreationTime();
    QDateTime KernelTime();
    QDateTime UserTime();
    QString FullPath();
    bool IsAccessible();
    bool Is64Bits();
    rimo::MemoryCounters MemoryInfo();
    QString UserName();

    // Built at the first read, refreshed only by their update operations.
    TModuleCollection& Modules();
    TThreadCollection& Threads();

    // Kills the process. False when it cannot be reached (gone, replaced, not ours, or an id
    // that is no process id); raises rimo::Error when the kill itself fails.
    bool TerminateProcess();
    QString ToString() const { return FExeFile; }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
    QString FExeFile;
    quint32 FParentProcessID;
    quint32 FPriorityClassBase;
    quint32 FProcessID;
    qint32 FThreadsCount;
    quint64 m_startTicks;
    std::unique_ptr<TModuleCollection> FModules;
    std::unique_ptr<TThreadCollection> FThreads;
};

class TProcessCollection : public TItemCollection<TProcessItem>
{
public:
    explicit TProcessCollection(std::shared_ptr<rimo::ProcessSource> source);
    // Rebuilds the list from a new snapshot; a failed snapshot raises rimo::Error and leaves
    // the list and LastUpdate as they were.
    void UpdateProcesses();
    TProcessItem* FindByID(quint32 ID) const;
    // Compares without regard to letter case.
    TProcessItem* FindByName(const QString& AName) const;
    TCollectionEnumerator<TProcessCollection> GetEnumerator() const { return TCollectionEnumerator(*this); }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
};

using TProcessEnumerator = TCollectionEnumerator<TProcessCollection>;
using TThreadEnumerator = TCollectionEnumerator<TThreadCollection>;
using TModuleEnumerator = TCollectionEnumerator<TModuleCollection>;

class TProcessInfo : public QObject
{
    Q_OBJECT
public:
    // Before/after events of a refresh; a before-handler that sets Cancel stops it.
    using TOnBeforeUpdateEvent = std::function<void(QObject* Sender, bool& Cancel)>;
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    explicit TProcessInfo(std::shared_ptr<rimo::ProcessSource> source, QObject* AOwner = nullptr);
    ~TProcessInfo() override;

    bool Active() const;
    // Starts or stops the timer; switching on refreshes at once (its error passes to the caller).
    void setActive(bool value);
    quint32 UpdateInterval() const;
    void setUpdateInterval(quint32 value);
    // Refreshes first when the list is empty, even while inactive.
    TProcessCollection& RunningProcesses();

    TOnBeforeUpdateEvent OnBeforeUpdateList;
    TNotifyEvent OnAfterUpdateList;

    void UpdateList();
    QTimer* timer() const { return FTimer; }

private:
    std::shared_ptr<rimo::ProcessSource> m_source;
    TProcessCollection FRunningProcesses;
    QTimer* FTimer;
};
