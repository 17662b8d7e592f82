// IsValidDate / CompleateDate / DateToInt on any text: either one message and the text back,
// or a completed text that passes the check again and completes to itself.
#include "core/error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    SilentServices s;
    try {
        const bool valid = s.IsValidDate(text);
        FUZZ_CHECK(s.shown == (valid ? 0 : 1));
        s.shown = 0;
        const QString completed = s.CompleateDate(text);
        if (!valid) {
            FUZZ_CHECK(completed == text);
            return 0;
        }
        FUZZ_CHECK(s.shown == 0);
        FUZZ_CHECK(s.IsValidDate(completed));
        FUZZ_CHECK(s.CompleateDate(completed) == completed);
        FUZZ_CHECK(completed.indexOf(u'/') >= 4);
        s.DateToInt(text);
    } catch (const rimo::Error&) {
        // A number beyond 32 bits is reported as an error by design.
    }
    return 0;
}
