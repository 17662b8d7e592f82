// Feeds arbitrary bytes to the journal reader. It either refuses them with rimo::Error or gives a
// journal whose rows each hold the header's number of values; writing that journal again and
// reading it back gives the same journal. The file reader bounds the size (readWholeFile) before
// this parser sees the bytes.

#include "core/error.h"
#include "fuzzcheck.h"
#include "repairs/journal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace rimo::repairs;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Journal j;
    try {
        j = parseJournal(bytes);
    } catch (const rimo::Error& e) {
        FUZZ_CHECK(e.text().startsWith(QLatin1String("Journal line ")));
        return 0;
    }
    const auto ids = static_cast<std::size_t>(j.header.identity.size());
    const auto cols = static_cast<std::size_t>(j.header.columns.size());
    FUZZ_CHECK(ids > 0 && cols > 0);
    QByteArray again = encodeHeader(j.header);
    for (const JournalRow& r : j.rows) {
        FUZZ_CHECK(r.identity.size() == ids && r.before.size() == cols && r.after.size() == cols);
        again += encodeRow(r);
    }
    const Journal back = parseJournal(again);
    FUZZ_CHECK(back.header == j.header && back.rows == j.rows && !back.truncatedTail);
    return 0;
}
