// The toolkit's own date rules as plain functions: kabise years and their counting, day
// differences on the library's calendar, the day stepping of its conversion, and the texts of differences and
// clock times.
#include "calendar/daterules.h"
#include "core/error.h"

#include <climits>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

qint64 kabiseYearsByWalking(qint64 from, qint64 to)
{
    qint64 n = 0;
    for (qint64 y = from; y < to; ++y)
        n += isKabiseYear(static_cast<int>(y)) ? 1 : 0;
    return n;
}

} // namespace

TEST(DateRules, KabiseYearsCountFromTheirOwnEpochs)
{
    // Years from 100 on count as year - 1300, years below as themselves: 33-year cycles apart.
    for (int y = 100; y < 3000; ++y)
        ASSERT_EQ(isKabiseYear(y), isKabiseYear(y + 33)) << y;
    for (int y = -200; y < 67; ++y)
        ASSERT_EQ(isKabiseYear(y), isKabiseYear(y + 33)) << y;
    for (int y = 0; y < 100; ++y)
        ASSERT_EQ(isKabiseYear(y), isKabiseYear(1300 + y)) << y;
    // 8 in every 33 years.
    EXPECT_EQ(kabiseYearsByWalking(1300, 1333), 8);
    EXPECT_EQ(kabiseYearsByWalking(-33, 0), 8);
    for (int y : {INT_MIN, INT_MIN + 1, INT_MAX, -1})
        isKabiseYear(y); // answers without overflow
}

TEST(DateRules, KabiseYearsBetweenMatchesAWalk)
{
    struct Case
    {
        qint64 from, to;
    } cases[] = {
        {0, 0},     {5, 5},       {10, 5},      {0, 1},       {0, 100},  {90, 110},    {99, 100},
        {100, 101}, {1380, 1431}, {1387, 1389}, {1403, 1405}, {-40, 10}, {-500, 3000}, {1, 5000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kabiseYearsBetween(c.from, c.to), std::max<qint64>(0, kabiseYearsByWalking(c.from, c.to)))
            << c.from << ".." << c.to;
    // A long span is counted without the walk: 8 in every 33 years after the first hundred.
    EXPECT_EQ(kabiseYearsBetween(100, 100 + 33LL * 1000000), 8LL * 1000000);
}

TEST(DateRules, ToolkitDayDifference)
{
    struct Case
    {
        DateParts from, to;
        int distance; // signedResult false
        int signedCount;
    } cases[] = {
        {{1389, 5, 10}, {1389, 5, 10}, 0, 0},
        {{1389, 1, 1}, {1390, 1, 1}, 365, 365},
        {{1390, 1, 1}, {1389, 1, 1}, 365, -365},
        // Counted on the calendar the program shows: 1387 and 1403 have an Esfand 30, 1388 and
        // 1404 (kabise years of the toolkit's older rule) have none.
        {{1388, 1, 1}, {1389, 1, 1}, 365, 365},
        {{1387, 1, 1}, {1388, 1, 1}, 366, 366},
        {{1387, 12, 29}, {1388, 1, 1}, 2, 2},
        {{1388, 12, 29}, {1389, 1, 1}, 1, 1},
        {{1403, 12, 30}, {1404, 1, 1}, 1, 1},
        {{1404, 12, 29}, {1405, 1, 1}, 1, 1},
        {{1389, 6, 31}, {1389, 7, 1}, 1, 1},
        {{1389, 1, 1}, {1389, 12, 29}, 364, 364},
        {{1389, 12, 29}, {1389, 1, 1}, 364, -364},
        {{89, 1, 1}, {90, 1, 1}, 365, 365}, // years below 1000 count in the same cycle
        // A day beyond its month counts on: 1389/01/40 is 1389/02/09, eight days after 02/01.
        {{1389, 1, 40}, {1389, 2, 1}, -8, -8},
        {{1389, 2, 1}, {1389, 1, 40}, -8, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toolkitDayDifference(c.from, c.to, false), c.distance)
            << c.from.year << '/' << c.from.month;
        EXPECT_EQ(toolkitDayDifference(c.from, c.to, true), c.signedCount)
            << c.from.year << '/' << c.from.month;
    }
    EXPECT_THROW(toolkitDayDifference({1389, 13, 1}, {1389, 1, 1}, false), Error);
    EXPECT_THROW(toolkitDayDifference({1389, 1, 1}, {1389, 0, 1}, false), Error);
    EXPECT_THROW(toolkitDayDifference({1389, 1, 1}, {99999999, 1, 1}, false), Error);
    EXPECT_EQ(toolkitDayDifference({1389, 1, 1}, {5001389, 1, 1}, false),
              5000000 * 365 + 5000000 / 33 * 8 + 1);
}

TEST(DateRules, DatePartsOfTexts)
{
    const auto parts = [](const DateParts& p) { return std::tuple(p.year, p.month, p.day); };
    EXPECT_EQ(parts(fixedPositionDateParts("1389/11/04")), std::tuple(1389, 11, 4));
    EXPECT_EQ(parts(fixedPositionDateParts("1389-11-04 and more")), std::tuple(1389, 11, 4));
    EXPECT_THROW(fixedPositionDateParts("89/1/1"), Error);
    EXPECT_THROW(fixedPositionDateParts("1389/1/1"), Error);
    EXPECT_EQ(parts(completedDateParts("13890/01/01")), std::tuple(13890, 1, 1));
    EXPECT_EQ(parts(completedDateParts("1389/001/0004")), std::tuple(1389, 1, 4));
    EXPECT_THROW(completedDateParts("1389/x/04"), Error);
}

TEST(DateRules, ToolkitSolarTextStepsInsideItsSpanOnly)
{
    struct Case
    {
        int y, m, d;
        const char* text;
        bool stepped;
    } cases[] = {
        {2011, 1, 24, "89/11/4", true},
        {1922, 1, 1, "0/10/11", true},
        {2021, 3, 20, "99/12/30", true},
        {1992, 3, 20, "71/1/1", true}, // the steps' own leap years: the library says 1370/12/30
        {21, 4, 1, "100/1/12", true},  // a two-digit year, whatever it meant
        {2000, 1, -40, "78/10/-30", true},
        {2020, 2, 31, "98/12/12", true}, // not range-checked inside the span
        {2021, 3, 21, "1400/01/01", false},
        {1921, 12, 31, "1300/10/10", false},
        {2026, 12, 9, "1405/09/18", false},
        {622, 3, 21, "0001/01/01", false},
        {622, 3, 20, "", false},
        {2030, 2, 31, "", false},
        {2021, 3, 32, "", false},
        {100, 1, 1, "", false},
        {-5, 1, 1, "", false},
    };
    for (const auto& c : cases) {
        const ToolkitSolarText t = toolkitSolarText(c.y, c.m, c.d);
        EXPECT_EQ(t.text, c.text) << c.y << '-' << c.m << '-' << c.d;
        EXPECT_EQ(t.stepped, c.stepped) << c.y << '-' << c.m << '-' << c.d;
    }
}

TEST(DateRules, ReorderedDateText)
{
    struct Case
    {
        const char *text, *from, *to, *result;
    } cases[] = {
        {"24/01/2011", "D/M/Y", "Y/M/D", "2011/01/24"},
        {"1389/11/04", "y/m/d", "d/m/y", "04/11/1389"},
        {"24/01/2011", "D/M/Y", "D/M/Y", ""},
        {"24/01/2011", "DMY", "YMD", ""},
        // Characters are taken by position, so texts must come padded.
        {"4/1/2011", "D/M/Y", "Y/M/D", "11//2/4/"},
        {"", "Y/M/D", "D/M/Y", "//"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reorderedDateText(c.text, c.from, c.to), c.result) << c.text << ' ' << c.from;
}

TEST(DateRules, MonthsAndDaysBetween)
{
    struct Case
    {
        DateParts a, b;
        const char* text;
    } cases[] = {
        {{1389, 1, 1}, {1389, 1, 1}, "00/00"}, {{1389, 1, 1}, {1389, 1, 31}, "00/30"},
        {{1389, 1, 1}, {1389, 2, 2}, "01/01"}, {{1389, 1, 1}, {1390, 1, 1}, "12/00"},
        {{1390, 1, 1}, {1389, 1, 1}, "12/00"}, {{1389, 1, 1}, {1390, 1, 2}, "12/01"},
        {{1389, 1, 1}, {1390, 2, 1}, "12/30"}, // 390 days: the 30 left over stay days
        {{1389, 1, 1}, {1391, 1, 1}, "24/00"}, {{1, 1, 1}, {1001, 1, 1}, "12000/00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(monthsAndDaysBetween(c.a, c.b), c.text) << c.text;
}

TEST(DateRules, DayCountTexts)
{
    struct Case
    {
        const char* text;
        const char* monthDay;
        const char* comparable;
    } cases[] = {
        {"0", "0.0", "00/00"},   {" 45 ", "1.15", "01/15"},   {"30", "1.0", "00/30"},
        {"31", "1.1", "01/01"},  {"-45", "-1.-15", "00/-45"}, {"abc", "0.0", "00/abc"},
        {"2/5", "0.0", "02/05"}, {"1/60", "0.0", "03/00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(monthDayText(c.text), c.monthDay) << c.text;
        EXPECT_EQ(comparableDateText(c.text), c.comparable) << c.text;
    }

    const QString y = QStringLiteral(" سال "), m = QStringLiteral(" ماه "), d = QStringLiteral(" روز ");
    EXPECT_EQ(dayCountText("1"), "1" + d);
    EXPECT_EQ(dayCountText("29"), "29" + d);
    EXPECT_EQ(dayCountText("364"), "12" + m + "4" + d); // twelve 30-day months do not make a year
    EXPECT_EQ(dayCountText("366"), "1" + y + "1" + d);
    EXPECT_EQ(dayCountText(" 395 "), "1" + y + "1" + m);
    EXPECT_EQ(dayCountText("2147483647"), "5883516" + y + "10" + m + "7" + d);
    for (const char* nothing : {"0", "-1", "1.5", "", "99999999999"})
        EXPECT_EQ(dayCountText(nothing), "") << nothing;
}

TEST(DateRules, ClockTimes)
{
    struct After
    {
        const char *time, *span, *result;
    } after[] = {
        {"23:45", "00:30", "00:15"},       {"0", "0", "00:00"},
        {"12:00", "12", "00:00"},          {"8:59:59", "0:0:1", "09:00"},
        {"23:59:59", "23:59:59", "23:59"},
    };
    for (const auto& c : after)
        EXPECT_EQ(clockTimeAfter(c.time, c.span), c.result) << c.time << " + " << c.span;
    EXPECT_THROW(clockTimeAfter("24:00", "0"), Error);
    EXPECT_THROW(clockTimeAfter("0", "1:60"), Error);

    struct Since
    {
        int later, earlier;
        double hours;
    } since[] = {
        {10 * 3600, 8 * 3600, 2},
        {3600, 23 * 3600 + 1800, 1.5}, // over midnight
        {0, 0, 0},
        {600, 0, 0.17},
        {59, 0, 0}, // seconds do not count
        {0, 60, 23.98},
    };
    for (const auto& c : since)
        EXPECT_DOUBLE_EQ(hoursSince(c.later, c.earlier), c.hours) << c.later << ' ' << c.earlier;
}
