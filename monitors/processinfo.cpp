#include "monitors/processinfo.h"

#include "platform/guard.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimeZone>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>

namespace rimo {

quint32 cpuUsagePercent(quint64 before, quint64 after, int processors, qint64 sampleUnits)
{
    if (after <= before || processors <= 0 || sampleUnits <= 0)
        return 0;
    const double percent =
        static_cast<double>(after - before) * 100.0 / (static_cast<double>(sampleUnits) * processors);
    return static_cast<quint32>(std::nearbyint(percent)); // the default rounding: ties to even
}

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

namespace {
constexpr qint64 kEpochDifference = 116'444'736'000'000'000LL; // 1601 -> 1970 in 100-ns units
}

QDateTime localDateTimeFromFileTime(qint64 units)
{
    return QDateTime::fromMSecsSinceEpoch((units - kEpochDifference) / 10'000);
}

QDateTime durationDateTime(qint64 units)
{
    return QDateTime(QDate(1601, 1, 1), QTime(0, 0), QTimeZone::utc()).addMSecs(units / 10'000);
}

} // namespace rimo

// ---- threads

TThreadItem::TThreadItem(std::shared_ptr<rimo::ProcessSource> source, const rimo::ThreadEntry& entry)
    : m_source(std::move(source)), FBasePriority(entry.basePriority), FOwnerProcessID(entry.ownerProcessID),
      FThreadID(entry.threadID)
{
}

void TThreadItem::setBasePriority(quint32 value)
{
    if (m_source->setThreadPriority(FThreadID, value))
        FBasePriority = value;
}

bool TThreadItem::SuspendThread()
{
    return m_source->suspendThread(FThreadID);
}

bool TThreadItem::ResumeThread()
{
    return m_source->resumeThread(FThreadID);
}

bool TThreadItem::TerminateThread()
{
    return m_source->terminateThread(FThreadID);
}

TThreadCollection::TThreadCollection(std::shared_ptr<rimo::ProcessSource> source, const TProcessItem* owner)
    : m_source(std::move(source)), m_owner(owner)
{
}

void TThreadCollection::UpdateThreads()
{
    const quint32 pid = m_owner ? m_owner->ProcessID() : 0;
    std::vector<std::unique_ptr<TThreadItem>> items;
    for (const rimo::ThreadEntry& e : m_source->threads(pid))
        if (e.ownerProcessID == pid)
            items.push_back(std::make_unique<TThreadItem>(m_source, e));
    replaceItems(std::move(items));
}

TThreadItem* TThreadCollection::FindByID(quint32 ID) const
{
    return findFirst([&](const TThreadItem& t) { return t.ThreadID() == ID; });
}

// ---- modules

TModuleCollection::TModuleCollection(std::shared_ptr<rimo::ProcessSource> source, const TProcessItem* owner)
    : m_source(std::move(source)), m_owner(owner)
{
}

void TModuleCollection::UpdateModules()
{
    const quint32 pid = m_owner ? m_owner->ProcessID() : 0;
    std::vector<std::unique_ptr<TModuleItem>> items;
    for (rimo::ModuleEntry e : m_source->modules(pid)) {
        e.moduleName = e.moduleName.trimmed();
        e.modulePath = e.modulePath.trimmed();
        items.push_back(std::make_unique<TModuleItem>(e));
    }
    replaceItems(std::move(items));
}

TModuleItem* TModuleCollection::FindByHandle(quint64 AHandle) const
{
    return findFirst([&](const TModuleItem& m) { return m.Handle() == AHandle; });
}

TModuleItem* TModuleCollection::FindByID(quint32 ID) const
{
    return findFirst([&](const TModuleItem& m) { return m.ModuleID() == ID; });
}

TModuleItem* TModuleCollection::FindByName(const QString& AName) const
{
    return findFirst(
        [&](const TModuleItem& m) { return m.ModuleName().compare(AName, Qt::CaseInsensitive) == 0; });
}

// ---- processes

TProcessItem::TProcessItem(std::shared_ptr<rimo::ProcessSource> source, const rimo::ProcessEntry& entry)
    : m_source(std::move(source)), FExeFile(entry.exeFile.trimmed()), FParentProcessID(entry.parentProcessID),
      FPriorityClassBase(entry.priorityClassBase), FProcessID(entry.processID),
      FThreadsCount(entry.threadsCount), m_startTicks(entry.startTicks)
{
}

TProcessItem::~TProcessItem() = default;

void TProcessItem::setPriorityClassBase(quint32 value)
{
    if (m_source->setPriorityClass(FProcessID, value))
        FPriorityClassBase = value;
}

quint32 TProcessItem::CpuUsage()
{
    const auto before = m_source->cpuTime(FProcessID);
    if (!before)
        return 0;
    QElapsedTimer sample;
    sample.start();
    QThread::msleep(rimo::kCpuSampleMs);
    const auto after = m_source->cpuTime(FProcessID);
    const qint64 units = sample.nsecsElapsed() / 100;
    if (!after)
        return 0; // ended during the sample
    return rimo::cpuUsagePercent(*before, *after, m_source->processorCount(), units);
}

QDateTime TProcessItem::CreationTime()
{
    const auto t = m_source->times(FProcessID);
    return t ? rimo::localDateTimeFromFileTime(t->creation) : rimo::zeroDateTime();
}

QDateTime TProcessItem::KernelTime()
{
    const auto t = m_source->times(FProcessID);
    return t ? rimo::durationDateTime(t->kernel) : rimo::zeroDateTime();
}

QDateTime TProcessItem::UserTime()
{
    const auto t = m_source->times(FProcessID);
    return t ? rimo::durationDateTime(t->user) : rimo::zeroDateTime();
}

QString TProcessItem::FullPath()
{
    return m_source->fullPath(FProcessID).trimmed();
}

bool TProcessItem::IsAccessible()
{
    return m_source->canOpen(FProcessID);
}

bool TProcessItem::Is64Bits()
{
    return m_source->is64Bits(FProcessID).value_or(true);
}

rimo::MemoryCounters TProcessItem::MemoryInfo()
{
    return m_source->memoryInfo(FProcessID).value_or(rimo::MemoryCounters{});
}

QString TProcessItem::UserName()
{
    return m_source->userName(FProcessID);
}

TModuleCollection& TProcessItem::Modules()
{
    if (!FModules) {
        auto modules = std::make_unique<TModuleCollection>(m_source, this);
        modules->UpdateModules(); // a failure leaves Modules unbuilt, to be tried again
        FModules = std::move(modules);
    }
    return *FModules;
}

TThreadCollection& TProcessItem::Threads()
{
    if (!FThreads) {
        FThreads = std::make_unique<TThreadCollection>(m_source, this);
        FThreads->UpdateThreads();
    }
    return *FThreads;
}

bool TProcessItem::TerminateProcess()
{
    return m_source->terminate(FProcessID, m_startTicks);
}

TProcessCollection::TProcessCollection(std::shared_ptr<rimo::ProcessSource> source)
    : m_source(std::move(source))
{
}

void TProcessCollection::UpdateProcesses()
{
    const std::vector<rimo::ProcessEntry> snapshot = m_source->processes();
    std::vector<std::unique_ptr<TProcessItem>> items;
    items.reserve(snapshot.size());
    for (const rimo::ProcessEntry& e : snapshot)
        items.push_back(std::make_unique<TProcessItem>(m_source, e));
    replaceItems(std::move(items));
}

TProcessItem* TProcessCollection::FindByID(quint32 ID) const
{
    return findFirst([&](const TProcessItem& p) { return p.ProcessID() == ID; });
}

TProcessItem* TProcessCollection::FindByName(const QString& AName) const
{
    return findFirst(
        [&](const TProcessItem& p) { return p.ExeFile().compare(AName, Qt::CaseInsensitive) == 0; });
}

// ---- the component

TProcessInfo::TProcessInfo(std::shared_ptr<rimo::ProcessSource> source, QObject* AOwner)
    : QObject(AOwner), m_source(std::move(source)), FRunningProcesses(m_source), FTimer(new QTimer(this))
{
    FTimer->setInterval(1000);
    QObject::connect(FTimer, &QTimer::timeout, this, rimo::guarded([this] { UpdateList(); }));
    // The system this comes from enabled its debug privilege here so that it could open the
    // processes of other users. Access to other processes is the kernel's decision here; there
    // is nothing to switch on.
}

TProcessInfo::~TProcessInfo() = default;

bool TProcessInfo::Active() const
{
    return FTimer->isActive();
}

void TProcessInfo::setActive(bool value)
{
    if (value)
        FTimer->start();
    else
        FTimer->stop();
    if (value)
        UpdateList();
}

quint32 TProcessInfo::UpdateInterval() const
{
    return static_cast<quint32>(FTimer->interval());
}

void TProcessInfo::setUpdateInterval(quint32 value)
{
    const int interval = static_cast<int>(std::min<quint32>(value, INT_MAX));
    if (interval != FTimer->interval())
        FTimer->setInterval(interval);
}

TProcessCollection& TProcessInfo::RunningProcesses()
{
    if (FRunningProcesses.Count() == 0)
        UpdateList();
    return FRunningProcesses;
}

void TProcessInfo::UpdateList()
{
    bool cancel = false;
    if (OnBeforeUpdateList)
        OnBeforeUpdateList(this, cancel);
    if (cancel)
        return;
    FRunningProcesses.UpdateProcesses();
    if (OnAfterUpdateList)
        OnAfterUpdateList(this);
}
