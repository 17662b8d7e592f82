// IsValidTime / CompleateTime on any text: a rejected time gives the empty text, an accepted
// one completes to a text that passes again and completes to itself.
#include "core/error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    SilentServices s;
    try {
        const bool valid = s.IsValidTime(text);
        FUZZ_CHECK(s.shown == (valid ? 0 : 1));
        const QString completed = s.CompleateTime(text);
        if (!valid) {
            FUZZ_CHECK(completed.isEmpty());
            return 0;
        }
        FUZZ_CHECK(s.IsValidTime(completed));
        FUZZ_CHECK(s.CompleateTime(completed) == completed);
        s.NMinFromTime(completed, completed);
        s.SubTime(text, completed);
    } catch (const rimo::Error&) {
    }
    return 0;
}
