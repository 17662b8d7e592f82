// The month calendar's date operations on any text and count: no step crashes or wraps a
// year, a step from a real date lands on a real date (or year 0), day steps agree with the day
// count between the dates, month steps undo, and the grid of any real month is whole.
#include "calendar/dateoperations.h"
#include "calendar/monthgrid.h"
#include "core/error.h"
#include "fuzzcheck.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace rimo;
namespace ops = rimo::dateops;

struct Ymd
{
    quint16 y = 0, m = 0, d = 0;
};

Ymd parts(const QString& text)
{
    Ymd p;
    SplitDate(text, p.y, p.m, p.d);
    return p;
}

bool valid(TDateKind kind, const Ymd& p)
{
    return DateIsValid(kind, p.y, p.m, p.d);
}

void checkGrid(TDateKind kind, const Ymd& p)
{
    if (!ops::YearConverts(kind, p.y))
        return;
    const monthgrid::MonthGrid g = monthgrid::FillGrid(kind, p.y, p.m, p.d, true);
    const int length = DaysOfMonth(kind, p.y, p.m);
    FUZZ_CHECK(g.firstCell >= 0 && g.firstCell < 7);
    FUZZ_CHECK(g.lastRow * 7 + g.lastCol == g.firstCell + length - 1);
    FUZZ_CHECK(g.focusedCell == g.firstCell + p.d - 1);
    FUZZ_CHECK(g.texts[static_cast<size_t>(g.focusedCell)] == QString::number(p.d));
    for (const QString& t : g.texts)
        FUZZ_CHECK(!t.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const TDateKind kind = data[0] & 1 ? dkGregorian : dkSolar;
    int32_t count = 0;
    std::memcpy(&count, data + 1, sizeof count);
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 5), static_cast<qsizetype>(size - 5));
    try {
        const Ymd in = parts(text);
        using Step = QString (*)(const QString&, TDateKind, int);
        const Step steps[] = {ops::IncYear, ops::DecYear,  ops::IncMonth,  ops::DecMonth, ops::IncDay,
                              ops::DecDay,  ops::GotoYear, ops::GotoMonth, ops::GotoDay};
        for (Step step : steps) {
            const Ymd out = parts(step(text, kind, count));
            // a real date moves to a real date, or to year 0 past the calendar's ends
            if (valid(kind, in))
                FUZZ_CHECK(out.y == 0 || valid(kind, out));
        }
        if (!valid(kind, in))
            return 0;
        checkGrid(kind, in);
        const QString date = JoinDate(in.y, in.m, in.d);
        // day steps move by exactly that many days where both dates convert
        const int days = static_cast<int>(static_cast<uint32_t>(count) % 40000);
        const QString later = ops::IncDay(date, kind, days);
        const Ymd l = parts(later);
        if (l.y != 0 && ops::YearConverts(kind, in.y) && ops::YearConverts(kind, l.y))
            FUZZ_CHECK(ops::DaysBetween(date, later, kind) == days);
        // month steps undo when the day exists in every month
        const int months = static_cast<int>(static_cast<uint32_t>(count) % 2000);
        if (in.d <= 28) {
            const QString moved = ops::IncMonth(date, kind, months);
            if (parts(moved).y != 0)
                FUZZ_CHECK(ops::DecMonth(moved, kind, months) == date);
        }
        const int remain = ops::GetYearRemainDays(date, kind);
        FUZZ_CHECK(remain >= 0 && remain <= 365);
        const int week = ops::WeekOfTheYear(date, kind);
        FUZZ_CHECK(week >= 1 && week <= 53);
    } catch (const rimo::Error&) {
    }
    return 0;
}
