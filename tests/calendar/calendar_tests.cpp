// The calendar date library: tables, leap years, conversions (checked day by day over two
// centuries and against Qt's own Persian calendar), and the date texts.
#include "calendar/solarcalendar.h"
#include "core/error.h"

#include <QCalendar>
#include <QDate>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

struct Ymd
{
    int y, m, d;
    bool operator==(const Ymd&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Ymd& v)
{
    return os << v.y << '/' << v.m << '/' << v.d;
}

// Converts a copy; returns the success flag and the parts as the function left them.
std::pair<bool, Ymd> convert(bool (*f)(quint16&, quint16&, quint16&), Ymd in)
{
    quint16 y = static_cast<quint16>(in.y), m = static_cast<quint16>(in.m), d = static_cast<quint16>(in.d);
    const bool ok = f(y, m, d);
    return {ok, {y, m, d}};
}

Ymd toSolar(Ymd g)
{
    const auto [ok, s] = convert(GregorianToSolar, g);
    EXPECT_TRUE(ok) << g;
    return s;
}

Ymd toGregorian(Ymd s)
{
    const auto [ok, g] = convert(SolarToGregorian, s);
    EXPECT_TRUE(ok) << s;
    return g;
}

// The leap-year rule the library used before the 33-year arithmetic rule.
bool oldSolarLeap(int year)
{
    return ((year + 38) * 31) % 128 <= 30;
}

} // namespace

TEST(SolarCalendar, LeapYears)
{
    // 1403 is the leap year of that cycle, not 1404.
    for (int y : {1375, 1379, 1383, 1387, 1391, 1395, 1399, 1403, 1408, 1412})
        EXPECT_TRUE(IsLeapOfKind(dkSolar, y)) << y;
    for (int y : {1376, 1388, 1400, 1402, 1404, 1405, 1407})
        EXPECT_FALSE(IsLeapOfKind(dkSolar, y)) << y;
    for (int y : {1904, 2000, 2024, 2400})
        EXPECT_TRUE(IsLeapOfKind(dkGregorian, y)) << y;
    for (int y : {1900, 2023, 2100, 2200})
        EXPECT_FALSE(IsLeapOfKind(dkGregorian, y)) << y;
}

TEST(SolarCalendar, LeapRuleKeepsTheEarlierLeapYearsUpTo1402)
{
    for (int y = 1244; y <= 1402; ++y)
        EXPECT_EQ(IsLeapOfKind(dkSolar, y), oldSolarLeap(y)) << y;
    EXPECT_NE(IsLeapOfKind(dkSolar, 1403), oldSolarLeap(1403));
}

TEST(SolarCalendar, MonthLengthsAndValidity)
{
    struct Case
    {
        TDateKind kind;
        int year, month, days;
    } cases[] = {
        {dkSolar, 1387, 12, 30},    {dkSolar, 1388, 12, 29},     {dkSolar, 1403, 12, 30},
        {dkSolar, 1404, 12, 29},    {dkSolar, 1389, 1, 31},      {dkSolar, 1389, 6, 31},
        {dkSolar, 1389, 7, 30},     {dkSolar, 0, 1, 0},          {dkSolar, 1389, 0, 0},
        {dkSolar, 1389, 13, 0},     {dkGregorian, 1900, 2, 28},  {dkGregorian, 2000, 2, 29},
        {dkGregorian, 2011, 4, 30}, {dkGregorian, 2011, 12, 31}, {dkGregorian, 0, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DaysOfMonth(c.kind, c.year, c.month), c.days) << c.kind << ' ' << c.year << '/' << c.month;
        if (c.days > 0) {
            EXPECT_TRUE(DateIsValid(c.kind, c.year, c.month, c.days));
            EXPECT_FALSE(DateIsValid(c.kind, c.year, c.month, c.days + 1));
            EXPECT_FALSE(DateIsValid(c.kind, c.year, c.month, 0));
        }
    }
}

TEST(SolarCalendar, DayNumbersRoundTripThroughEveryDayOfTheYear)
{
    for (TDateKind kind : {dkSolar, dkGregorian}) {
        for (int year : {1403, 1404, 2000, 2011}) {
            const int length = IsLeapOfKind(kind, year) ? 366 : 365;
            int expected = 0;
            for (int m = 1; m <= 12; ++m) {
                for (int d = 1; d <= DaysOfMonth(kind, year, m); ++d) {
                    ++expected;
                    ASSERT_EQ(DayNumberInYear(kind, year, m, d), expected) << year << '/' << m << '/' << d;
                    quint16 month = 99, day = 99;
                    ASSERT_TRUE(DateOfDayNumber(kind, expected, year, month, day));
                    EXPECT_EQ(month, m);
                    EXPECT_EQ(day, d);
                }
            }
            EXPECT_EQ(expected, length);
            quint16 month = 99, day = 99;
            EXPECT_FALSE(DateOfDayNumber(kind, length + 1, year, month, day));
            EXPECT_EQ(month, 0);
            EXPECT_EQ(day, 0);
        }
    }
    EXPECT_EQ(DayNumberInYear(dkSolar, 1388, 12, 30), 0);
    EXPECT_EQ(DayNumberInYear(dkGregorian, 2000, 3, 1), 61);
}

TEST(SolarCalendar, ConversionExamples)
{
    struct Case
    {
        Ymd gregorian, solar;
    } cases[] = {
        {{2011, 1, 24}, {1389, 11, 4}},
        {{2012, 3, 20}, {1391, 1, 1}},
        {{2009, 3, 20}, {1387, 12, 30}},
        {{2010, 3, 20}, {1388, 12, 29}},
        {{2010, 3, 21}, {1389, 1, 1}},
        {{1992, 3, 20}, {1370, 12, 30}},
        // Around the leap year 1403 and today.
        {{2025, 3, 20}, {1403, 12, 30}},
        {{2025, 3, 21}, {1404, 1, 1}},
        {{2026, 3, 20}, {1404, 12, 29}},
        {{2026, 3, 21}, {1405, 1, 1}},
        {{2026, 12, 9}, {1405, 9, 18}},
        // Far from the present, where a fixed offset between the calendars no longer holds.
        {{1911, 1, 24}, {1289, 11, 3}},
        {{1900, 1, 1}, {1278, 10, 11}},
        {{2100, 12, 31}, {1479, 10, 10}},
        {{622, 3, 21}, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toSolar(c.gregorian), c.solar) << c.gregorian;
        EXPECT_EQ(toGregorian(c.solar), c.gregorian) << c.solar;
    }
}

TEST(SolarCalendar, FailedConversionsLeaveThePartsUnchanged)
{
    const Ymd gregorianFailures[] = {{2011, 2, 29}, {2011, 13, 1}, {0, 1, 1}, {622, 3, 20}, {621, 12, 31}};
    for (const Ymd& g : gregorianFailures) {
        const auto [ok, out] = convert(GregorianToSolar, g);
        EXPECT_FALSE(ok) << g;
        EXPECT_EQ(out, g);
    }
    const Ymd solarFailures[] = {{1388, 12, 30}, {1404, 12, 30}, {1389, 7, 31}, {0, 1, 1}, {65535, 1, 1}};
    for (const Ymd& s : solarFailures) {
        const auto [ok, out] = convert(SolarToGregorian, s);
        EXPECT_FALSE(ok) << s;
        EXPECT_EQ(out, s);
    }
}

TEST(SolarCalendar, LastGregorianDayIsTheUpperEnd)
{
    const Ymd last = toSolar({65535, 12, 31});
    EXPECT_EQ(toGregorian(last), (Ymd{65535, 12, 31}));
    // The next solar day would be in Gregorian year 65536.
    Ymd next = last.d < DaysOfMonth(dkSolar, last.y, last.m) ? Ymd{last.y, last.m, last.d + 1}
                                                             : Ymd{last.y, last.m + 1, 1};
    const auto [ok, out] = convert(SolarToGregorian, next);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, next);
}

// The first and last day of every solar year that has a Gregorian counterpart convert there
// and back, so the year found from a day count is right across the whole range.
TEST(SolarCalendar, EveryYearBoundaryRoundTrips)
{
    for (int y = 1; y <= 64913; ++y) {
        for (const Ymd s : {Ymd{y, 1, 1}, Ymd{y, 12, DaysOfMonth(dkSolar, y, 12)}}) {
            const auto [ok, g] = convert(SolarToGregorian, s);
            ASSERT_TRUE(ok) << s;
            const auto [back, again] = convert(GregorianToSolar, g);
            ASSERT_TRUE(back) << g;
            ASSERT_EQ(again, s) << g;
        }
    }
}

// Every Gregorian day of two centuries maps to one solar day, back again, and the solar days
// follow each other without gaps or repeats.
TEST(SolarCalendar, WholeRangeRoundTripAndContinuity)
{
    const QDate first(1900, 1, 1), last(2100, 12, 31);
    Ymd previous{};
    for (QDate g = first; g <= last; g = g.addDays(1)) {
        const Ymd greg{g.year(), g.month(), g.day()};
        const auto [ok, solar] = convert(GregorianToSolar, greg);
        ASSERT_TRUE(ok) << greg;
        ASSERT_TRUE(DateIsValid(dkSolar, solar.y, solar.m, solar.d)) << solar;
        const auto [back, again] = convert(SolarToGregorian, solar);
        ASSERT_TRUE(back) << solar;
        ASSERT_EQ(again, greg);
        if (g != first) {
            Ymd expected{previous.y, previous.m, previous.d + 1};
            if (previous.d == DaysOfMonth(dkSolar, previous.y, previous.m))
                expected = previous.m == 12 ? Ymd{previous.y + 1, 1, 1} : Ymd{previous.y, previous.m + 1, 1};
            ASSERT_EQ(solar, expected) << greg;
        }
        previous = solar;
    }
}

// Day numbers step through the calendar day by day: a year is as long as its months say (so
// Esfand 30 exists exactly in the leap years), the conversions agree with them, and parts beyond
// their range, or years outside 1..65535, carry on in the same cycle.
TEST(SolarCalendar, DayNumbersFollowTheCalendar)
{
    for (int y = 1; y <= 65535; ++y) {
        const qint64 start = solarDayNumber(y, 1, 1);
        ASSERT_EQ(solarDayNumber(y, 12, DaysOfMonth(dkSolar, y, 12)) + 1, solarDayNumber(y + 1, 1, 1)) << y;
        ASSERT_EQ(solarDayNumber(y + 1, 1, 1) - start, IsLeapOfKind(dkSolar, y) ? 366 : 365) << y;
        quint16 year = 0, month = 0, day = 0;
        ASSERT_TRUE(solarDateOfDayNumber(start, year, month, day)) << y;
        ASSERT_EQ((Ymd{year, month, day}), (Ymd{y, 1, 1}));
    }
    // Against the conversions, through Qt's Julian days, every day of 1300..1500.
    const qint64 offset = QDate(2011, 1, 24).toJulianDay() - solarDayNumber(1389, 11, 4);
    for (int y = 1300; y <= 1500; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= DaysOfMonth(dkSolar, y, m); ++d) {
                const Ymd g = toGregorian({y, m, d});
                ASSERT_EQ(solarDayNumber(y, m, d) + offset, QDate(g.y, g.m, g.d).toJulianDay())
                    << y << m << d;
            }
        }
    }
    EXPECT_EQ(solarDayNumber(1389, 1, 40), solarDayNumber(1389, 2, 9));
    EXPECT_EQ(solarDayNumber(1388, 12, 30), solarDayNumber(1389, 1, 1));
    EXPECT_EQ(solarDayNumber(1389, 13, 1), solarDayNumber(1390, 1, 1));
    EXPECT_EQ(solarDayNumber(1389, 0, 5), solarDayNumber(1388, 12, 5));
    EXPECT_EQ(solarDayNumber(1389, 1, 0), solarDayNumber(1388, 12, 29));
    for (qint64 y : {-1000LL, -34LL, -1LL, 0LL, 65530LL, 2147483600LL})
        EXPECT_EQ(solarDayNumber(y + 33, 1, 1) - solarDayNumber(y, 1, 1), 33 * 365 + 8) << y;
    quint16 year = 7, month = 7, day = 7;
    EXPECT_FALSE(solarDateOfDayNumber(-1, year, month, day));
    EXPECT_FALSE(solarDateOfDayNumber(solarDayNumber(65536, 1, 1), year, month, day));
    EXPECT_EQ((Ymd{year, month, day}), (Ymd{7, 7, 7}));
    EXPECT_TRUE(solarDateOfDayNumber(solarDayNumber(65536, 1, 1) - 1, year, month, day));
    EXPECT_EQ((Ymd{year, month, day}), (Ymd{65535, 12, DaysOfMonth(dkSolar, 65535, 12)}));
}

// Qt's Persian calendar follows a 2820-year cycle; it agrees with the 33-year rule day by day up
// to 2058-03-19, after which it places one leap year a year later.
TEST(SolarCalendar, AgreesWithQtPersianCalendar)
{
    const QCalendar jalali(QCalendar::System::Jalali);
    for (QDate g(1900, 1, 1); g <= QDate(2058, 3, 19); g = g.addDays(1)) {
        const QCalendar::YearMonthDay qt = jalali.partsFromDate(g);
        const Ymd ours = toSolar({g.year(), g.month(), g.day()});
        ASSERT_EQ(ours, (Ymd{qt.year, qt.month, qt.day})) << g.toString(Qt::ISODate).toStdString();
    }
}

TEST(SolarCalendar, SplitAndJoinDateTexts)
{
    struct Case
    {
        const char* text;
        Ymd parts;
    } cases[] = {
        {"1389/11/04", {1389, 11, 4}},
        {"2011/1/24", {2011, 1, 24}},
        {"   ", {0, 0, 0}},
        {"", {0, 0, 0}},
        {"89/11/04", {0, 11, 4}},
        {"0999/11/04", {0, 11, 4}},
        {"1389/13/04", {1389, 0, 4}},
        {"1389/11/32", {1389, 11, 0}},
        {" 1389/11/04", {1389, 11, 4}},
        {"65535/1/1", {65535, 1, 1}},
        // Parts a 16-bit number cannot hold count as out of range.
        {"65536/1/1", {0, 1, 1}},
        {"-1389/1/1", {0, 1, 1}},
        {"1389/-1/-5", {1389, 0, 0}},
    };
    for (const auto& c : cases) {
        quint16 y = 7, m = 7, d = 7;
        SplitDate(QString::fromLatin1(c.text), y, m, d);
        EXPECT_EQ((Ymd{y, m, d}), c.parts) << c.text;
    }
    EXPECT_EQ(JoinDate(1389, 11, 4), "1389/11/04");
    EXPECT_EQ(JoinDate(2011, 10, 24), "2011/10/24");
    EXPECT_EQ(JoinDate(0, 1, 1), "0/01/01");
}

TEST(SolarCalendar, NonNumericOrOversizedPartsRaiseAnError)
{
    for (const char* text : {"1389/ab/04", "1389", "1389/11", "x/1/1", "1389/11/04x", "1389/1 1/04",
                             "1389/999999999999999999999999999999/04", "99999999999/01/01"}) {
        quint16 y = 7, m = 7, d = 7;
        EXPECT_THROW(SplitDate(QString::fromLatin1(text), y, m, d), Error) << text;
        EXPECT_THROW(ConvertDateText(QString::fromLatin1(text), dkSolar), Error) << text;
    }
    // Leading zeros are no overflow.
    quint16 y = 0, m = 0, d = 0;
    SplitDate("1389/000000000000000000000000000011/04", y, m, d);
    EXPECT_EQ(m, 11);
}

TEST(SolarCalendar, ConvertDateText)
{
    struct Case
    {
        const char* text;
        TDateKind kind;
        const char* result;
    } cases[] = {
        {"1389/11/04", dkSolar, "2011/01/24"},
        {"2011/01/24", dkGregorian, "1389/11/04"},
        {"1403/12/30", dkSolar, "2025/03/20"},
        {"2026/12/09", dkGregorian, "1405/09/18"},
        // Invalid dates come back with their numbers unchanged.
        {"1389/07/31", dkSolar, "1389/07/31"},
        {"1388/12/30", dkSolar, "1388/12/30"},
        {"89/11/04", dkSolar, "0/11/04"},
        {"2011/02/29", dkGregorian, "2011/02/29"},
        {"", dkSolar, "0/00/00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertDateText(QString::fromLatin1(c.text), c.kind), QString::fromLatin1(c.result))
            << c.text;
}
