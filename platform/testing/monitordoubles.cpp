#include "platform/testing/monitordoubles.h"

#include "core/error.h"

namespace rimo::fakes {

std::vector<ProcessEntry> FakeProcessSource::processes()
{
    ++snapshots;
    if (!snapshotError.isEmpty())
        throw Error(snapshotError);
    return table;
}

std::vector<ThreadEntry> FakeProcessSource::threads(quint32 pid)
{
    const auto it = threadTable.find(pid);
    return it == threadTable.end() ? std::vector<ThreadEntry>{} : it->second;
}

std::vector<ModuleEntry> FakeProcessSource::modules(quint32 pid)
{
    if (closed.count(pid))
        throw Error(QStringLiteral("Permission denied"));
    const auto it = moduleTable.find(pid);
    return it == moduleTable.end() ? std::vector<ModuleEntry>{} : it->second;
}

QString FakeProcessSource::fullPath(quint32 pid)
{
    ++fullPathCalls;
    if (!fullPathError.isEmpty())
        throw Error(fullPathError);
    if (closed.count(pid))
        throw Error(QStringLiteral("Permission denied"));
    return paths.count(pid) ? paths[pid] : QString();
}

std::optional<quint64> FakeProcessSource::cpuTime(quint32 pid)
{
    if (closed.count(pid))
        return std::nullopt;
    auto& samples = cpuSamples[pid];
    if (samples.empty())
        return 0;
    const quint64 value = samples.front();
    if (samples.size() > 1)
        samples.pop_front();
    return value;
}

std::optional<ProcessTimes> FakeProcessSource::times(quint32 pid)
{
    if (closed.count(pid))
        return std::nullopt;
    return timeTable.count(pid) ? timeTable[pid] : ProcessTimes{};
}

std::optional<bool> FakeProcessSource::is64Bits(quint32 pid)
{
    if (closed.count(pid))
        return std::nullopt;
    return true;
}

std::optional<MemoryCounters> FakeProcessSource::memoryInfo(quint32 pid)
{
    if (closed.count(pid))
        return std::nullopt;
    return memory.count(pid) ? memory[pid] : MemoryCounters{};
}

QString FakeProcessSource::userName(quint32 pid)
{
    if (closed.count(pid))
        return {};
    return users.count(pid) ? users[pid] : QString();
}

bool FakeProcessSource::setPriorityClass(quint32 pid, quint32 priorityClass)
{
    calls << QStringLiteral("priority:%1:%2").arg(pid).arg(priorityClass);
    return !closed.count(pid);
}

bool FakeProcessSource::terminate(quint32 pid, quint64)
{
    calls << QStringLiteral("terminate:%1").arg(pid);
    return !closed.count(pid);
}

bool FakeProcessSource::suspendThread(quint32 tid)
{
    calls << QStringLiteral("suspend:%1").arg(tid);
    return true;
}

bool FakeProcessSource::resumeThread(quint32 tid)
{
    calls << QStringLiteral("resume:%1").arg(tid);
    return true;
}

bool FakeProcessSource::terminateThread(quint32 tid)
{
    calls << QStringLiteral("terminate-thread:%1").arg(tid);
    return true;
}

bool FakeProcessSource::setThreadPriority(quint32 tid, quint32 priority)
{
    calls << QStringLiteral("thread-priority:%1:%2").arg(tid).arg(static_cast<qint32>(priority));
    return true;
}

} // namespace rimo::fakes
