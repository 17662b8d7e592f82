#pragma once
// The process table read from /proc (no helper program), under a root folder that tests point
// at fixture trees. The readers of the single files are in procreaders.h.

#include "platform/processsource.h"

#include <QByteArray>
#include <QString>

namespace rimo {

class LinuxProcessSource : public ProcessSource
{
public:
    // `root` is the folder laid out like /proc. Processor times come from the kernel's
    // per-process CPU clock when it is the real /proc (the stat file counts 10 ms ticks).
    explicit LinuxProcessSource(const QString& root = QStringLiteral("/proc"));

    std::vector<ProcessEntry> processes() override;
    std::vector<ThreadEntry> threads(quint32 pid) override;
    std::vector<ModuleEntry> modules(quint32 pid) override;
    QString fullPath(quint32 pid) override;
    bool canOpen(quint32 pid) override;
    std::optional<quint64> cpuTime(quint32 pid) override;
    std::optional<ProcessTimes> times(quint32 pid) override;
    std::optional<bool> is64Bits(quint32 pid) override;
    std::optional<MemoryCounters> memoryInfo(quint32 pid) override;
    QString userName(quint32 pid) override;
    int processorCount() override;
    bool setPriorityClass(quint32 pid, quint32 priorityClass) override;
    bool terminate(quint32 pid, quint64 startTicks) override;
    // Signals act on a whole process: one thread of another process cannot be stopped or ended
    // alone. Suspending raises a clear error; resuming and ending give false.
    bool suspendThread(quint32 tid) override;
    bool resumeThread(quint32 tid) override;
    bool terminateThread(quint32 tid) override;
    bool setThreadPriority(quint32 tid, quint32 priority) override;

private:
    QByteArray path(quint32 pid, const char* file) const;
    bool setNice(quint32 tid, int nice);
    std::optional<qint64> bootTime();

    QByteArray m_root;
    bool m_realProc;
    std::optional<qint64> m_bootTime;
};

// The kernel's text for an errno value, as the error texts of the system are shown.
QString systemErrorText(int errnoValue);

} // namespace rimo
