// SplitDate / ConvertDateText on any text: parts within their ranges, and a valid date that
// converts to the other calendar and back unchanged.
#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const rimo::TDateKind kind = data[0] & 1 ? rimo::dkGregorian : rimo::dkSolar;
    const QString text = fuzzText(data + 1, size - 1);
    try {
        quint16 y = 0, m = 0, d = 0;
        rimo::SplitDate(text, y, m, d);
        FUZZ_CHECK(m <= 12 && d <= 31 && (y == 0 || y >= 1000));
        const QString converted = rimo::ConvertDateText(text, kind);
        if (!rimo::DateIsValid(kind, y, m, d))
            return 0;
        quint16 y2 = y, m2 = m, d2 = d;
        const bool there = kind == rimo::dkGregorian ? rimo::GregorianToSolar(y2, m2, d2)
                                                     : rimo::SolarToGregorian(y2, m2, d2);
        if (!there)
            return 0; // outside the years both calendars can hold
        FUZZ_CHECK(converted == rimo::JoinDate(y2, m2, d2));
        const bool back = kind == rimo::dkGregorian ? rimo::SolarToGregorian(y2, m2, d2)
                                                    : rimo::GregorianToSolar(y2, m2, d2);
        FUZZ_CHECK(back && y2 == y && m2 == m && d2 == d);
    } catch (const rimo::Error&) {
    }
    return 0;
}
