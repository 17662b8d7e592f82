// Every day of 1900-2100 converted by the calendar library and by Qt's Persian calendar in the
// same run (compare the items-per-second of each pair), and Persian number spelling.
#include "calendar/solarcalendar.h"
#include "calendar/spelling.h"

#include <QCalendar>
#include <QDate>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

struct Parts
{
    quint16 y, m, d;
};

const std::vector<QDate>& gregorianDays()
{
    static const std::vector<QDate> days = [] {
        std::vector<QDate> v;
        for (QDate d(1900, 1, 1); d <= QDate(2100, 12, 31); d = d.addDays(1))
            v.push_back(d);
        return v;
    }();
    return days;
}

const std::vector<Parts>& gregorianParts()
{
    static const std::vector<Parts> parts = [] {
        std::vector<Parts> v;
        for (const QDate& d : gregorianDays())
            v.push_back({quint16(d.year()), quint16(d.month()), quint16(d.day())});
        return v;
    }();
    return parts;
}

const std::vector<Parts>& solarParts()
{
    static const std::vector<Parts> parts = [] {
        std::vector<Parts> v;
        for (Parts p : gregorianParts()) {
            rimo::GregorianToSolar(p.y, p.m, p.d);
            v.push_back(p);
        }
        return v;
    }();
    return parts;
}

void GregorianToSolar_Library(benchmark::State& state)
{
    const auto& days = gregorianParts();
    for (auto _ : state) {
        for (Parts p : days) {
            benchmark::DoNotOptimize(rimo::GregorianToSolar(p.y, p.m, p.d));
            benchmark::DoNotOptimize(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(days.size()));
}

// Both sides take a day's Gregorian parts and give its solar parts, as the library's callers
// need them: Qt through a QDate of the parts (the day number the library also works out).
void GregorianToSolar_QtPartsFromDate(benchmark::State& state)
{
    const QCalendar jalali(QCalendar::System::Jalali);
    const auto& days = gregorianParts();
    for (auto _ : state) {
        for (const Parts& p : days)
            benchmark::DoNotOptimize(jalali.partsFromDate(QDate(p.y, p.m, p.d)));
    }
    state.SetItemsProcessed(state.iterations() * qint64(days.size()));
}

void SolarToGregorian_Library(benchmark::State& state)
{
    const auto& days = solarParts();
    for (auto _ : state) {
        for (Parts p : days) {
            benchmark::DoNotOptimize(rimo::SolarToGregorian(p.y, p.m, p.d));
            benchmark::DoNotOptimize(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(days.size()));
}

void SolarToGregorian_QtDateFromParts(benchmark::State& state)
{
    const QCalendar jalali(QCalendar::System::Jalali);
    const auto& days = solarParts();
    // And back: solar parts in, Gregorian parts out (a QDate is only a day number until asked).
    for (auto _ : state) {
        for (const Parts& p : days) {
            int y = 0, m = 0, d = 0;
            jalali.dateFromParts(p.y, p.m, p.d).getDate(&y, &m, &d);
            benchmark::DoNotOptimize(y);
            benchmark::DoNotOptimize(m);
            benchmark::DoNotOptimize(d);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(days.size()));
}

void SpellNumber(benchmark::State& state)
{
    // Numbers of every length, from one digit to ten.
    static const int numbers[] = {7, 19, 21, 110, 999, 1389, 12000, 110000, 1000001, 2147483647};
    for (auto _ : state) {
        for (int n : numbers)
            benchmark::DoNotOptimize(rimo::SpellNumber(n));
    }
    state.SetItemsProcessed(state.iterations() * qint64(std::size(numbers)));
}

} // namespace

BENCHMARK(GregorianToSolar_Library);
BENCHMARK(GregorianToSolar_QtPartsFromDate);
BENCHMARK(SolarToGregorian_Library);
BENCHMARK(SolarToGregorian_QtDateFromParts);
BENCHMARK(SpellNumber);

BENCHMARK_MAIN();
