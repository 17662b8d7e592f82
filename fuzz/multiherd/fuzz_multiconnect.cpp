// Feeds arbitrary bytes to the reader of MultiConnect.Dat. The reader must never fail, must give
// four settings without line breaks, the writer's encoding of them must hold exactly four lines,
// and reading that encoding back must give the same settings.

#include "fuzzcheck.h"
#include "toolkit/multiherd/multiconnectfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const rimo::MultiConnectSettings s = rimo::decodeMultiConnect(bytes);
    bool roundTrips = !s.server.startsWith(QChar(0xFEFF)); // would read as a byte-order mark
    for (const QString* v : {&s.server, &s.database, &s.user, &s.password}) {
        FUZZ_CHECK(!v->contains(u'\r') && !v->contains(u'\n'));
        roundTrips = roundTrips && v->isValidUtf16(); // a lone surrogate has no UTF-8 form
    }
    const QByteArray encoded = rimo::encodeMultiConnect(s);
    FUZZ_CHECK(encoded.count("\r\n") == 4 && encoded.endsWith("\r\n"));
    FUZZ_CHECK(!encoded.startsWith("\xEF\xBB\xBF") || !roundTrips);
    if (roundTrips)
        FUZZ_CHECK(rimo::decodeMultiConnect(encoded) == s);
    return 0;
}
