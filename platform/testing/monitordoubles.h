#pragma once
// Doubles of the process and window sources: tables the test fills, answers it scripts, and
// counts of what was asked.

#include "platform/processsource.h"
#include "platform/windowsource.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <set>

namespace rimo::fakes {

class FakeProcessSource : public ProcessSource
{
public:
    std::vector<ProcessEntry> table;
    std::map<quint32, std::vector<ThreadEntry>> threadTable;
    std::map<quint32, std::vector<ModuleEntry>> moduleTable;
    std::map<quint32, QString> paths;
    std::set<quint32> closed;                          // processes that cannot be opened
    std::map<quint32, std::deque<quint64>> cpuSamples; // successive cpuTime answers
    std::map<quint32, ProcessTimes> timeTable;
    std::map<quint32, MemoryCounters> memory;
    std::map<quint32, QString> users;
    int processors = 2;
    // When set, the snapshot raises with this text.
    QString snapshotError;
    // When set, fullPath raises with this text (a failed snapshot).
    QString fullPathError;

    int snapshots = 0;
    int fullPathCalls = 0;
    QStringList calls; // "priority:12:16384", "terminate:12", "thread-priority:5:2", ...

    std::vector<ProcessEntry> processes() override;
    std::vector<ThreadEntry> threads(quint32 pid) override;
    std::vector<ModuleEntry> modules(quint32 pid) override;
    QString fullPath(quint32 pid) override;
    bool canOpen(quint32 pid) override { return !closed.count(pid); }
    std::optional<quint64> cpuTime(quint32 pid) override;
    std::optional<ProcessTimes> times(quint32 pid) override;
    std::optional<bool> is64Bits(quint32 pid) override;
    std::optional<MemoryCounters> memoryInfo(quint32 pid) override;
    QString userName(quint32 pid) override;
    int processorCount() override { return processors; }
    bool setPriorityClass(quint32 pid, quint32 priorityClass) override;
    bool terminate(quint32 pid, quint64 startTicks) override;
    bool suspendThread(quint32 tid) override;
    bool resumeThread(quint32 tid) override;
    bool terminateThread(quint32 tid) override;
    bool setThreadPriority(quint32 tid, quint32 priority) override;
};

class FakeWindowSource : public WindowSource
{
public:
    std::vector<WindowEntry> list;
    int queries = 0;
    std::vector<quint32> closeRequests;
    std::vector<WindowEntry> windows() override
    {
        ++queries;
        return list;
    }
    bool postClose(quint32 handle) override
    {
        closeRequests.push_back(handle);
        return true;
    }
};

} // namespace rimo::fakes
