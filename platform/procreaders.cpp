#include "platform/procreaders.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace rimo::proc {

namespace {

// Reads a whole number (optionally negative) and skips the blanks after it.
template <typename T> bool readNumber(std::string_view& s, T& out)
{
    const char* begin = s.data();
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc() || (ptr != end && *ptr != ' ' && *ptr != '\n'))
        return false;
    s.remove_prefix(static_cast<size_t>(ptr - begin));
    while (!s.empty() && (s.front() == ' ' || s.front() == '\n'))
        s.remove_prefix(1);
    return true;
}

bool skipField(std::string_view& s)
{
    const size_t blank = s.find(' ');
    if (blank == std::string_view::npos) {
        const bool had = !s.empty();
        s = {};
        return had;
    }
    s.remove_prefix(blank + 1);
    return true;
}

constexpr qint64 kUnitsPerSecond = 10'000'000;
// 100-ns units from 1601-01-01 to 1970-01-01.
constexpr qint64 kEpochDifference = 116'444'736'000'000'000LL;

} // namespace

std::optional<StatLine> parseStatLine(std::string_view line)
{
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    StatLine r;
    r.name = line.substr(open + 1, close - open - 1);
    std::string_view s = line.substr(close + 1);
    if (s.size() < 3 || s[0] != ' ')
        return std::nullopt;
    r.state = s[1];
    s.remove_prefix(2);
    if (s.empty() || s.front() != ' ')
        return std::nullopt;
    s.remove_prefix(1);
    // Fields 4 to 22 of the kernel's numbering, then 41 (policy) when present.
    qint64 ignored = 0;
    qint64 priority = 0;
    qint64 nice = 0;
    if (!readNumber(s, r.ppid))
        return std::nullopt;
    for (int i = 0; i < 4; ++i) // pgrp, session, tty, tpgid
        if (!readNumber(s, ignored))
            return std::nullopt;
    quint64 flags = 0, cminflt = 0, cmajflt = 0;
    if (!readNumber(s, flags) || !readNumber(s, r.minorFaults) || !readNumber(s, cminflt) ||
        !readNumber(s, r.majorFaults) || !readNumber(s, cmajflt) || !readNumber(s, r.utimeTicks) ||
        !readNumber(s, r.stimeTicks))
        return std::nullopt;
    qint64 cutime = 0, cstime = 0, itreal = 0;
    if (!readNumber(s, cutime) || !readNumber(s, cstime) || !readNumber(s, priority) ||
        !readNumber(s, nice) || !readNumber(s, r.numThreads) || !readNumber(s, itreal) ||
        !readNumber(s, r.startTicks))
        return std::nullopt;
    if (nice < -20 || nice > 19 || r.numThreads < 0)
        return std::nullopt;
    r.nice = static_cast<int>(nice);
    // Fields 23 to 40 are skipped; 41 is the policy (absent on very old kernels).
    for (int i = 23; i <= 40; ++i)
        if (!skipField(s))
            return r;
    qint64 policy = 0;
    if (readNumber(s, policy) && policy >= 0 && policy < 16)
        r.policy = static_cast<int>(policy);
    return r;
}

StatusFacts parseStatus(std::string_view text)
{
    StatusFacts f;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        if (key == "Uid") {
            // real, effective, saved, filesystem
            const size_t tab = value.find_first_of(" \t");
            if (tab == std::string_view::npos)
                continue;
            std::string_view rest = value.substr(tab + 1);
            while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
                rest.remove_prefix(1);
            quint32 uid = 0;
            const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), uid);
            if (ec == std::errc() && ptr != rest.data())
                f.effectiveUid = uid;
            continue;
        }
        quint64* target = nullptr;
        if (key == "VmPeak")
            target = &f.vmPeak;
        else if (key == "VmSize")
            target = &f.vmSize;
        else if (key == "VmHWM")
            target = &f.vmHWM;
        else if (key == "VmRSS")
            target = &f.vmRSS;
        else if (key == "VmData")
            target = &f.vmData;
        else if (key == "VmStk")
            target = &f.vmStk;
        else if (key == "VmPTE")
            target = &f.vmPTE;
        if (!target)
            continue;
        quint64 kb = 0;
        const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), kb);
        if (ec == std::errc() && ptr != value.data() && kb <= std::numeric_limits<quint64>::max() / 1024)
            *target = kb * 1024;
    }
    return f;
}

std::optional<qint64> parseBootTime(std::string_view procStat)
{
    size_t pos = 0;
    while (pos < procStat.size()) {
        const size_t eol = procStat.find('\n', pos);
        const std::string_view line =
            procStat.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        if (line.substr(0, 6) == "btime ") {
            qint64 value = 0;
            const auto [ptr, ec] = std::from_chars(line.data() + 6, line.data() + line.size(), value);
            if (ec == std::errc() && ptr != line.data() + 6 && value >= 0)
                return value;
            return std::nullopt;
        }
        if (eol == std::string_view::npos)
            break;
        pos = eol + 1;
    }
    return std::nullopt;
}

namespace {

struct MappedFile
{
    std::string_view path;
    quint64 low = 0;
    quint64 high = 0;
    bool executable = false;
};

std::string_view baseName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

QString fromBytes(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

std::vector<ModuleEntry> modulesFromMaps(std::string_view maps, std::string_view programPath, quint32 pid)
{
    std::vector<MappedFile> files;
    while (!maps.empty()) {
        const size_t eol = maps.find('\n');
        std::string_view line = maps.substr(0, eol);
        maps = eol == std::string_view::npos ? std::string_view() : maps.substr(eol + 1);
        // start-end perms offset dev inode path
        quint64 low = 0, high = 0;
        const char* p = line.data();
        const char* end = line.data() + line.size();
        auto r1 = std::from_chars(p, end, low, 16);
        if (r1.ec != std::errc() || r1.ptr == end || *r1.ptr != '-')
            continue;
        auto r2 = std::from_chars(r1.ptr + 1, end, high, 16);
        if (r2.ec != std::errc() || r2.ptr == end || *r2.ptr != ' ' || high < low)
            continue;
        std::string_view rest(r2.ptr + 1, static_cast<size_t>(end - r2.ptr - 1));
        if (rest.size() < 4)
            continue;
        const bool exec = rest[2] == 'x';
        for (int i = 0; i < 4; ++i) // perms, offset, dev, inode
            if (!skipField(rest))
                break;
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        if (rest.empty() || rest.front() != '/')
            continue; // anonymous memory, [heap], [stack], [vdso]
        constexpr std::string_view deleted = " (deleted)";
        if (rest.size() > deleted.size() && rest.substr(rest.size() - deleted.size()) == deleted)
            rest.remove_suffix(deleted.size());
        auto it =
            std::find_if(files.begin(), files.end(), [&](const MappedFile& f) { return f.path == rest; });
        if (it == files.end()) {
            files.push_back({rest, low, high, exec});
        } else {
            it->low = std::min(it->low, low);
            it->high = std::max(it->high, high);
            it->executable = it->executable || exec;
        }
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const MappedFile& a, const MappedFile& b) { return a.low < b.low; });
    std::stable_partition(files.begin(), files.end(),
                          [&](const MappedFile& f) { return !programPath.empty() && f.path == programPath; });
    std::vector<ModuleEntry> modules;
    for (const MappedFile& f : files) {
        if (!f.executable)
            continue;
        ModuleEntry m;
        m.moduleID = kModuleId;
        m.processID = pid;
        m.loadCount = kLoadCount;
        m.baseAddress = f.low;
        m.baseSize = f.high - f.low;
        m.handle = f.low;
        m.modulePath = fromBytes(f.path);
        m.moduleName = fromBytes(baseName(f.path));
        modules.push_back(std::move(m));
    }
    return modules;
}

QString completeName(std::string_view kernelName, std::string_view exeBase, std::string_view argv0Base)
{
    if (kernelName.size() == static_cast<size_t>(kKernelNameLength)) {
        for (std::string_view candidate : {exeBase, argv0Base})
            if (candidate.size() > kernelName.size() && candidate.substr(0, kernelName.size()) == kernelName)
                return fromBytes(candidate);
    }
    return fromBytes(kernelName);
}

std::string_view argv0BaseName(std::string_view cmdline)
{
    const size_t nul = cmdline.find('\0');
    return baseName(cmdline.substr(0, nul));
}

quint32 basePriorityFromNice(int nice, int policy)
{
    if (policy == 1 || policy == 2) // SCHED_FIFO, SCHED_RR
        return 24;
    if (nice >= 15)
        return 4;
    if (nice >= 5)
        return 6;
    if (nice >= -2)
        return 8;
    if (nice >= -7)
        return 10;
    return 13;
}

std::optional<int> niceForPriorityClass(quint32 priorityClass)
{
    switch (priorityClass) {
    case priorityclass::Idle:
        return 19;
    case priorityclass::BelowNormal:
        return 10;
    case priorityclass::Normal:
        return 0;
    case priorityclass::AboveNormal:
        return -5;
    case priorityclass::High:
        return -10;
    case priorityclass::Realtime:
        return -20;
    default:
        return std::nullopt;
    }
}

std::optional<int> niceForThreadPriority(qint32 priority)
{
    switch (priority) {
    case -15:
        return 19;
    case -2:
        return 10;
    case -1:
        return 5;
    case 0:
        return 0;
    case 1:
        return -5;
    case 2:
        return -10;
    case 15:
        return -20;
    default:
        return std::nullopt;
    }
}

MemoryCounters memoryCounters(const StatusFacts& status, const StatLine& stat)
{
    MemoryCounters m;
    m.cb = 72;
    m.PageFaultCount = stat.minorFaults + stat.majorFaults;
    m.PeakWorkingSetSize = status.vmHWM;
    m.WorkingSetSize = status.vmRSS;
    m.QuotaPeakPagedPoolUsage = m.QuotaPagedPoolUsage = status.vmPTE;
    m.PagefileUsage = m.PeakPagefileUsage = status.vmData + status.vmStk;
    return m;
}

qint64 unitsFromTicks(quint64 ticks, long ticksPerSecond)
{
    if (ticksPerSecond <= 0)
        return 0;
    const quint64 tps = static_cast<quint64>(ticksPerSecond);
    const quint64 seconds = ticks / tps;
    const quint64 rest = ticks % tps;
    const quint64 limit = static_cast<quint64>(std::numeric_limits<qint64>::max()) / kUnitsPerSecond - 1;
    if (seconds > limit)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(seconds) * kUnitsPerSecond + static_cast<qint64>(rest * kUnitsPerSecond / tps);
}

qint64 fileTimeFromStart(qint64 bootTime, quint64 startTicks, long ticksPerSecond)
{
    const qint64 since = unitsFromTicks(startTicks, ticksPerSecond);
    if (bootTime < 0 || bootTime > (std::numeric_limits<qint64>::max() - kEpochDifference) / kUnitsPerSecond)
        return std::numeric_limits<qint64>::max();
    const qint64 boot = bootTime * kUnitsPerSecond + kEpochDifference;
    if (since > std::numeric_limits<qint64>::max() - boot)
        return std::numeric_limits<qint64>::max();
    return boot + since;
}

} // namespace rimo::proc
