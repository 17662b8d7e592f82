// Plain-function tests of the server's date arithmetic and of the date/time texts it stores and sends.
#include "tools/tds-server/datetime.h"

#include <gtest/gtest.h>

using namespace rimo::tds;

TEST(TdsDateTime, DayCountsRoundTripEveryDayOfTheSupportedYears)
{
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(1900, 1, 1), -25567);
    EXPECT_EQ(daysFromCivil(1, 1, 1), -719162);
    int64_t expected = daysFromCivil(1, 1, 1);
    for (int64_t y = 1; y <= 9999; ++y) {
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        const unsigned lengths[] = {31, leap ? 29u : 28u, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (unsigned m = 1; m <= 12; ++m) {
            for (unsigned d = 1; d <= lengths[m - 1]; ++d, ++expected) {
                ASSERT_EQ(daysFromCivil(y, m, d), expected) << y << "-" << m << "-" << d;
                int64_t y2;
                unsigned m2, d2;
                civilFromDays(expected, y2, m2, d2);
                ASSERT_TRUE(y2 == y && m2 == m && d2 == d) << y << "-" << m << "-" << d;
            }
        }
    }
}

TEST(TdsDateTime, WireValuesBecomeTexts)
{
    EXPECT_EQ(datetimeText(0, 0), "1900-01-01 00:00:00.000");
    EXPECT_EQ(datetimeText(40178, (11045 * 300) + 1), "2010-01-02 03:04:05.003");
    EXPECT_EQ(datetimeText(-1, 300 * 86399 + 299), "1899-12-31 23:59:59.997");
    EXPECT_EQ(dateText(0), "0001-01-01");
    EXPECT_EQ(dateText(733773), "2010-01-02");
    EXPECT_EQ(timeText(11045, 0), "03:04:05");
    EXPECT_EQ(timeText(110451234567, 7), "03:04:05.1234567");
    EXPECT_EQ(timeText(11045012, 3), "03:04:05.012");
}

TEST(TdsDateTime, StoredTextsParseOrAreRefused)
{
    struct Case
    {
        const char* text;
        bool ok;
        int y, m, d;
        int64_t ms;
    };
    const Case cases[] = {
        {"2010-01-02", true, 2010, 1, 2, 0},
        {"2010/01/02 03:04", true, 2010, 1, 2, 11040000},
        {" 2010.01.02 03:04:05.1239 ", true, 2010, 1, 2, 11045123},
        {"2010-01-02T03:04:05.5", true, 2010, 1, 2, 11045500},
        {"20100102", true, 2010, 1, 2, 0},
        {"2000-02-29 23:59:59", true, 2000, 2, 29, 86399000},
        {"1900-02-29", false, 0, 0, 0, 0},
        {"2010-02-30", false, 0, 0, 0, 0},
        {"2010-13-01", false, 0, 0, 0, 0},
        {"2010-01-02 24:00", false, 0, 0, 0, 0},
        {"2010-01-02 03:60", false, 0, 0, 0, 0},
        {"2010-01/02", false, 0, 0, 0, 0},
        {"2010-1-2", false, 0, 0, 0, 0},
        {"2010-01-02 03:04:05x", false, 0, 0, 0, 0},
        {"1389/11/04x", false, 0, 0, 0, 0},
        {"", false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int64_t days = 0;
        int64_t ms = -1;
        ASSERT_EQ(parseDateTime(c.text, days, ms), c.ok) << c.text;
        if (!c.ok)
            continue;
        EXPECT_EQ(days, daysFromCivil(c.y, static_cast<unsigned>(c.m), static_cast<unsigned>(c.d))) << c.text;
        EXPECT_EQ(ms, c.ms) << c.text;
    }
}
