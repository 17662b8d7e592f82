#include "platform/linuxprocesssource.h"

#include "core/error.h"
#include "platform/procreaders.h"

#include <QStringLiteral>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace rimo {

QString systemErrorText(int errnoValue)
{
    char buffer[256];
    // GNU strerror_r returns the text, which need not be in `buffer`.
    const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

namespace {

[[noreturn]] void raiseErrno(int errnoValue)
{
    throw Error(systemErrorText(errnoValue));
}

// Reads a whole (small) file; false when it cannot be opened or read.
bool readFile(const char* path, std::string& out)
{
    out.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

std::string readLink(const char* path)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path, buffer, sizeof buffer);
    if (n <= 0)
        return {};
    std::string s(buffer, static_cast<size_t>(n));
    constexpr std::string_view deleted = " (deleted)";
    if (s.size() > deleted.size() && std::string_view(s).substr(s.size() - deleted.size()) == deleted)
        s.resize(s.size() - deleted.size());
    return s;
}

std::string_view baseName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The ids of the all-digit entries of a folder, ascending; false when it cannot be read.
bool numericEntries(const char* folder, std::vector<quint32>& ids)
{
    ids.clear();
    DIR* dir = ::opendir(folder);
    if (!dir)
        return false;
    while (const dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (*name < '1' || *name > '9')
            continue;
        quint64 value = 0;
        bool digits = true;
        for (const char* p = name; *p; ++p) {
            if (*p < '0' || *p > '9' || value > UINT_MAX / 10) {
                digits = false;
                break;
            }
            value = value * 10 + static_cast<quint64>(*p - '0');
        }
        if (digits && value <= INT_MAX)
            ids.push_back(static_cast<quint32>(value));
    }
    ::closedir(dir);
    std::sort(ids.begin(), ids.end());
    return true;
}

long ticksPerSecond()
{
    static const long ticks = sysconf(_SC_CLK_TCK);
    return ticks;
}

int pidfdOpen(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int pidfdSendSignal(int pidfd, int signal)
{
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

} // namespace

LinuxProcessSource::LinuxProcessSource(const QString& root)
    : m_root(root.toLocal8Bit()), m_realProc(root == QStringLiteral("/proc"))
{
    while (m_root.size() > 1 && m_root.endsWith('/'))
        m_root.chop(1);
}

QByteArray LinuxProcessSource::path(quint32 pid, const char* file) const
{
    QByteArray p = m_root;
    p += '/';
    p += QByteArray::number(pid);
    if (file && *file) {
        p += '/';
        p += file;
    }
    return p;
}

std::vector<ProcessEntry> LinuxProcessSource::processes()
{
    std::vector<quint32> ids;
    if (!numericEntries(m_root.constData(), ids))
        raiseErrno(errno);
    std::vector<ProcessEntry> list;
    list.reserve(ids.size());
    std::string text;
    for (const quint32 pid : ids) {
        // A process that ended since the folder was listed, or a line the reader does not
        // understand, is left out.
        if (!readFile(path(pid, "stat").constData(), text))
            continue;
        const auto stat = proc::parseStatLine(text);
        if (!stat)
            continue;
        ProcessEntry e;
        if (stat->name.size() == static_cast<size_t>(proc::kKernelNameLength)) {
            const std::string exe = readLink(path(pid, "exe").constData());
            std::string cmdline;
            readFile(path(pid, "cmdline").constData(), cmdline);
            e.exeFile = proc::completeName(stat->name, baseName(exe), proc::argv0BaseName(cmdline));
        } else {
            e.exeFile = QString::fromUtf8(stat->name.data(), static_cast<qsizetype>(stat->name.size()));
        }
        e.parentProcessID = stat->ppid;
        e.priorityClassBase = proc::basePriorityFromNice(stat->nice, stat->policy);
        e.processID = pid;
        e.threadsCount = stat->numThreads;
        e.startTicks = stat->startTicks;
        list.push_back(std::move(e));
    }
    return list;
}

std::vector<ThreadEntry> LinuxProcessSource::threads(quint32 pid)
{
    std::vector<ThreadEntry> list;
    std::vector<quint32> ids;
    if (pid == 0 || !numericEntries(path(pid, "task").constData(), ids))
        return list; // the process has gone
    std::string text;
    const QByteArray task = path(pid, "task/");
    for (const quint32 tid : ids) {
        const QByteArray file = task + QByteArray::number(tid) + "/stat";
        if (!readFile(file.constData(), text))
            continue;
        const auto stat = proc::parseStatLine(text);
        if (!stat)
            continue;
        list.push_back({tid, pid, proc::basePriorityFromNice(stat->nice, stat->policy)});
    }
    return list;
}

bool LinuxProcessSource::canOpen(quint32 pid)
{
    if (pid == 0 || pid > INT_MAX)
        return false;
    // The kernel checks read access to the process when its maps are opened.
    const int fd = ::open(path(pid, "maps").constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::vector<ModuleEntry> LinuxProcessSource::modules(quint32 pid)
{
    std::string maps;
    if (pid == 0 || pid > INT_MAX)
        raiseErrno(ESRCH);
    if (!readFile(path(pid, "maps").constData(), maps))
        raiseErrno(errno);
    const std::string program = readLink(path(pid, "exe").constData());
    return proc::modulesFromMaps(maps, program, pid);
}

QString LinuxProcessSource::fullPath(quint32 pid)
{
    if (!canOpen(pid))
        raiseErrno(pid == 0 || pid > INT_MAX ? ESRCH : errno);
    return QString::fromUtf8(readLink(path(pid, "exe").constData()));
}

std::optional<quint64> LinuxProcessSource::cpuTime(quint32 pid)
{
    if (!canOpen(pid))
        return std::nullopt;
    if (m_realProc) {
        clockid_t clock{};
        timespec ts{};
        if (clock_getcpuclockid(static_cast<pid_t>(pid), &clock) != 0 || clock_gettime(clock, &ts) != 0)
            return std::nullopt; // ended since the check
        return static_cast<quint64>(ts.tv_sec) * 10'000'000ULL + static_cast<quint64>(ts.tv_nsec) / 100;
    }
    std::string text;
    if (!readFile(path(pid, "stat").constData(), text))
        return std::nullopt;
    const auto stat = proc::parseStatLine(text);
    if (!stat)
        return std::nullopt;
    return static_cast<quint64>(proc::unitsFromTicks(stat->utimeTicks, ticksPerSecond())) +
           static_cast<quint64>(proc::unitsFromTicks(stat->stimeTicks, ticksPerSecond()));
}

std::optional<qint64> LinuxProcessSource::bootTime()
{
    if (!m_bootTime) {
        std::string text;
        if (readFile((m_root + "/stat").constData(), text))
            m_bootTime = proc::parseBootTime(text);
    }
    return m_bootTime;
}

std::optional<ProcessTimes> LinuxProcessSource::times(quint32 pid)
{
    if (!canOpen(pid))
        return std::nullopt;
    std::string text;
    if (!readFile(path(pid, "stat").constData(), text))
        return std::nullopt;
    const auto stat = proc::parseStatLine(text);
    const auto boot = bootTime();
    if (!stat || !boot)
        return std::nullopt;
    ProcessTimes t;
    t.creation = proc::fileTimeFromStart(*boot, stat->startTicks, ticksPerSecond());
    t.kernel = proc::unitsFromTicks(stat->stimeTicks, ticksPerSecond());
    t.user = proc::unitsFromTicks(stat->utimeTicks, ticksPerSecond());
    return t;
}

std::optional<bool> LinuxProcessSource::is64Bits(quint32 pid)
{
    if (!canOpen(pid))
        return std::nullopt;
    const int fd = ::open(path(pid, "exe").constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char ident[5] = {};
    const ssize_t n = ::read(fd, ident, sizeof ident);
    ::close(fd);
    return n == 5 && std::memcmp(ident, "\177ELF", 4) == 0 && ident[4] == 2; // ELFCLASS64
}

std::optional<MemoryCounters> LinuxProcessSource::memoryInfo(quint32 pid)
{
    if (!canOpen(pid))
        return std::nullopt;
    std::string status, statText;
    if (!readFile(path(pid, "status").constData(), status) ||
        !readFile(path(pid, "stat").constData(), statText))
        return std::nullopt;
    const auto stat = proc::parseStatLine(statText);
    if (!stat)
        return std::nullopt;
    return proc::memoryCounters(proc::parseStatus(status), *stat);
}

QString LinuxProcessSource::userName(quint32 pid)
{
    if (!canOpen(pid))
        return {};
    std::string status;
    if (!readFile(path(pid, "status").constData(), status))
        return {};
    const auto uid = proc::parseStatus(status).effectiveUid;
    if (!uid)
        return {};
    passwd pw{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(*uid, &pw, buffer, sizeof buffer, &found) != 0 || !found)
        return {};
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return {};
    return QString::fromLocal8Bit(host).trimmed() + u'\\' + QString::fromLocal8Bit(found->pw_name).trimmed();
}

int LinuxProcessSource::processorCount()
{
    static const int count = [] {
        const long n = sysconf(_SC_NPROCESSORS_ONLN);
        return n > 0 ? static_cast<int>(n) : 1;
    }();
    return count;
}

bool LinuxProcessSource::setNice(quint32 tid, int nice)
{
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0)
        return true;
    if (errno == ESRCH)
        return false;
    raiseErrno(errno);
}

bool LinuxProcessSource::setPriorityClass(quint32 pid, quint32 priorityClass)
{
    if (!canOpen(pid))
        return false;
    const auto nice = proc::niceForPriorityClass(priorityClass);
    if (!nice)
        throw Error(QStringLiteral("Unknown priority class 0x%1").arg(priorityClass, 0, 16));
    // A nice value belongs to one thread: set it on every thread of the process.
    std::vector<quint32> tids;
    if (!numericEntries(path(pid, "task").constData(), tids) || tids.empty())
        return false;
    bool any = false;
    for (const quint32 tid : tids)
        any = setNice(tid, *nice) || any;
    return any;
}

bool LinuxProcessSource::terminate(quint32 pid, quint64 startTicks)
{
    // kill() with 0 or a negative id would hit a process group or every process.
    if (pid == 0 || pid > INT_MAX)
        return false;
    const int fd = pidfdOpen(static_cast<pid_t>(pid));
    if (fd < 0)
        return false;
    // With the pidfd held the id cannot be reused; check that it still names the listed process.
    std::string text;
    bool same = false;
    if (readFile(path(pid, "stat").constData(), text))
        if (const auto stat = proc::parseStatLine(text))
            same = stat->startTicks == startTicks;
    if (!same || pidfdSendSignal(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    const int rc = pidfdSendSignal(fd, SIGKILL);
    const int saved = errno;
    ::close(fd);
    if (rc != 0)
        raiseErrno(saved);
    return true;
}

bool LinuxProcessSource::suspendThread(quint32)
{
    throw Error(QStringLiteral("A single thread cannot be suspended on this system: "
                               "a stop signal stops the whole process"));
}

bool LinuxProcessSource::resumeThread(quint32)
{
    return false;
}

bool LinuxProcessSource::terminateThread(quint32)
{
    return false;
}

bool LinuxProcessSource::setThreadPriority(quint32 tid, quint32 priority)
{
    if (!canOpen(tid))
        return false;
    const auto nice = proc::niceForThreadPriority(static_cast<qint32>(priority));
    if (!nice)
        throw Error(QStringLiteral("Unknown thread priority %1").arg(static_cast<qint32>(priority)));
    return setNice(tid, *nice);
}

} // namespace rimo
