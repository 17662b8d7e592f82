// ToFarsiDate on any text, and the solar text it gives taken back through ToEnglishDate.
#include "fuzz_support.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    SilentServices s;
    try {
        const QString solar = s.ToFarsiDate(text);
        FUZZ_CHECK(s.shown <= 1);
        if (s.shown == 0 && !solar.isEmpty()) {
            const qsizetype first = solar.indexOf(u'/');
            FUZZ_CHECK(first >= 4 && solar.indexOf(u'/', first + 1) == first + 3 &&
                       solar.size() == first + 6);
            s.ToEnglishDate(solar);
        }
    } catch (const rimo::Error&) {
        // A day beyond 32 bits after the arithmetic is reported as an error.
    }
    return 0;
}
