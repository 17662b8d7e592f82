// ToFarsiDate on any text, and the solar text it gives taken back through ToEnglishDate.
// ToFarsiDate never raises: whatever the day arithmetic assembles stays within 32 bits, so an
// escaping exception ends the run as a fault. ToEnglishDate refuses, with rimo::Error and without
// a message, the days the arithmetic makes that the calendar lacks (its own Esfand 30).
#include "core/error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    SilentServices s;
    const QString solar = s.ToFarsiDate(text);
    FUZZ_CHECK(s.shown <= 1);
    if (s.shown == 0 && !solar.isEmpty()) {
        const qsizetype first = solar.indexOf(u'/');
        FUZZ_CHECK(first >= 4 && solar.indexOf(u'/', first + 1) == first + 3 && solar.size() == first + 6);
        try {
            s.ToEnglishDate(solar);
        } catch (const rimo::Error&) {
        }
        FUZZ_CHECK(s.shown == 0);
    }
    return 0;
}
