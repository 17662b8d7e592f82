// The /proc line readers on any bytes. The first byte picks the reader (stat line, status,
// maps, /proc/stat); each result must keep the readers' promises.
#include "fuzzcheck.h"
#include "platform/procreaders.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace rimo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
    case 0:
        if (const auto s = proc::parseStatLine(text)) {
            FUZZ_CHECK(s->nice >= -20 && s->nice <= 19 && s->numThreads >= 0);
            FUZZ_CHECK(s->name.data() >= text.data() &&
                       s->name.data() + s->name.size() <= text.data() + text.size());
            const quint32 base = proc::basePriorityFromNice(s->nice, s->policy);
            FUZZ_CHECK(base == 4 || base == 6 || base == 8 || base == 10 || base == 13 || base == 24);
            const QString name = proc::completeName(s->name, s->name, proc::argv0BaseName(text));
            FUZZ_CHECK(name.size() <= static_cast<qsizetype>(text.size()));
            const MemoryCounters m = proc::memoryCounters(proc::parseStatus(text), *s);
            FUZZ_CHECK(m.PageFaultCount == s->minorFaults + s->majorFaults);
            FUZZ_CHECK(proc::fileTimeFromStart(0, s->startTicks, 100) >= 116444736000000000LL);
        }
        break;
    case 1: {
        const proc::StatusFacts f = proc::parseStatus(text);
        for (quint64 v : {f.vmPeak, f.vmSize, f.vmHWM, f.vmRSS, f.vmData, f.vmStk, f.vmPTE})
            FUZZ_CHECK(v % 1024 == 0);
        break;
    }
    case 2: {
        const size_t cut = text.find('\n');
        const std::string_view program =
            cut == std::string_view::npos ? std::string_view() : text.substr(0, cut);
        const auto modules = proc::modulesFromMaps(text, program, 42);
        for (size_t i = 0; i < modules.size(); ++i) {
            const ModuleEntry& m = modules[i];
            FUZZ_CHECK(m.modulePath.startsWith(u'/') && m.modulePath.endsWith(m.moduleName));
            FUZZ_CHECK(!m.moduleName.contains(u'/'));
            FUZZ_CHECK(m.handle == m.baseAddress && m.processID == 42);
            FUZZ_CHECK(m.baseAddress + m.baseSize >= m.baseAddress);
            for (size_t j = 0; j < i; ++j)
                FUZZ_CHECK(modules[j].modulePath != m.modulePath ||
                           modules[j].modulePath.contains(u'\uFFFD'));
            if (i > 0 && !program.empty())
                FUZZ_CHECK(m.modulePath !=
                               QString::fromUtf8(program.data(), static_cast<qsizetype>(program.size())) ||
                           m.modulePath.contains(u'\uFFFD'));
        }
        break;
    }
    case 3:
        if (const auto boot = proc::parseBootTime(text))
            FUZZ_CHECK(*boot >= 0 && proc::fileTimeFromStart(*boot, 0, 100) >= 116444736000000000LL);
        break;
    }
    return 0;
}
