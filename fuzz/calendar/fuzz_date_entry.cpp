// IsValidDate / CompleateDate / DateToInt on any text: either one message and the text back,
// or a completed text that passes the check again and completes to itself. ToEnglishDate on the
// same text: either rimo::Error with nothing shown, or a day-first Gregorian text that the library
// takes back to the same solar day.
#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "core/textutil.h"
#include "fuzz_support.h"

namespace {

void checkToEnglishDate(const QString& text)
{
    SilentServices s;
    QString gregorian;
    try {
        gregorian = s.ToEnglishDate(text);
    } catch (const rimo::Error& e) {
        FUZZ_CHECK(s.shown == 0 && !e.text().isEmpty());
        return;
    }
    FUZZ_CHECK(s.shown == 0);
    const QStringList parts = gregorian.split(u'/');
    FUZZ_CHECK(parts.size() == 3 && parts[0].size() == 2 && parts[1].size() == 2 && parts[2].size() >= 4);
    auto y = static_cast<quint16>(parts[2].toUInt());
    auto m = static_cast<quint16>(parts[1].toUInt());
    auto d = static_cast<quint16>(parts[0].toUInt());
    FUZZ_CHECK(rimo::GregorianToSolar(y, m, d));
    quint16 sy = 0, sm = 0, sd = 0;
    rimo::SplitDate(rimo::trimmedView(text, rimo::TrimSet::Controls).toString(), sy, sm, sd);
    FUZZ_CHECK(y == sy && m == sm && d == sd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    checkToEnglishDate(text);
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
