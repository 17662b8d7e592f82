// Date text conversions of the toolkit: the day-first Gregorian text to solar text (its own
// arithmetic within 1922-01-01..2021-03-20, the calendar library outside), solar text back to
// Gregorian (or an error for a text that names no solar day), today's slot, the toolkit's
// leap-year rule and the reordering of date texts.
#include "core/error.h"
#include "services_fixture.h"

#include <climits>

TEST(Conversions, ToFarsiDate)
{
    struct Case
    {
        const char* gregorian;
        const char* solar;
    } cases[] = {
        {"24/01/2011", "1389/11/04"},
        {"21/03/2011", "1390/01/01"},
        {"20/03/2009", "1387/12/30"},
        {"01/01/2000", "1378/10/11"},
        {"24/1/11", "1389/11/04"},
        {" 24/ 01/ 2011", "1389/11/04"},
        // The day arithmetic keeps its own leap years within its span: the library says 1370/12/30.
        {"20/03/1992", "1371/01/01"},
        {"01/01/1922", "1300/10/11"},
        {"20/03/2021", "1399/12/30"},
        // Outside the span the official calendar with its full year.
        {"09/12/2026", "1405/09/18"},
        {"21/03/2021", "1400/01/01"},
        {"20/03/2025", "1403/12/30"},
        {"21/03/2026", "1405/01/01"},
        {"24/01/1911", "1289/11/03"},
        {"31/12/1921", "1300/10/10"},
        {"21/03/0622", "0001/01/01"},
        {"01/01/2200", "1578/10/11"},
        // A two-digit year keeps the 1300s reading, whatever it meant.
        {"01/04/21", "1100/01/12"},
        {"01/01/22", "1300/10/11"},
        // Dates that do not exist or lie before the solar calendar, and unreadable texts.
        {"31/02/2030", ""},
        {"45/13/2030", ""},
        {"20/03/0622", ""},
        {"01/01/0100", ""},
        {"01/01/-5", ""},
        {"24//2011", ""},
        {"", ""},
        {"24/01", ""},
        {"a/01/2011", ""},
        {"24/01/2011/5", ""},
        {"24/01/99999999999", ""},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.ToFarsiDate(c.gregorian), c.solar) << c.gregorian;
        EXPECT_EQ(s.takeMessage(), "") << c.gregorian;
    }
}

TEST(Conversions, ToFarsiDateWithTextTheCheckRejects)
{
    // Day and month are not range-checked by the arithmetic; what it assembles goes through
    // the date check, which speaks and hands back the unpadded text.
    RecordingServices s;
    EXPECT_EQ(s.ToFarsiDate("-40/01/2000"), "78/10/-30");
    EXPECT_EQ(s.takeMessage(), msg::date("78/10/-30", msg::Digits));
    EXPECT_EQ(s.ToFarsiDate("2147483647/01/2000"), "78/11/2147483627");
    EXPECT_EQ(s.takeMessage(), msg::date("78/11/2147483627", msg::Day));
}

namespace {

// What a caller of a conversion sees: the text, or the error's text after "error: ".
template <typename F> QString outcome(F&& convert)
{
    try {
        return convert();
    } catch (const rimo::Error& e) {
        return QStringLiteral("error: ") + e.text();
    }
}

} // namespace

TEST(Conversions, ToEnglishDate)
{
    struct Case
    {
        const char* solar;
        QString gregorian;
    } cases[] = {
        {"1389/11/04", "24/01/2011"},
        {"1403/12/30", "20/03/2025"},
        {"1387/12/30", "20/03/2009"},
        {"1405/09/18", "09/12/2026"},
        {"1405/1/1", "21/03/2026"},
        {" 1391/01/01 ", "20/03/2012"},
        {"1000/01/01", "21/03/1621"},
        // Past Gregorian year 9999 the year keeps all its digits.
        {"13890/01/01", "20/03/14511"},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.ToEnglishDate(c.solar), c.gregorian) << c.solar;
        EXPECT_EQ(s.ToEnglishDateForSQLServer(c.solar), c.gregorian) << c.solar;
    }
    EXPECT_TRUE(s.messages.isEmpty());
}

// A text that names no solar day used to come back as its own numbers reordered (31/07/1389),
// year first (0/11/04) or as "//", which a caller could take for a date and write into SQL. Now
// the caller gets rimo::Error, whose text is the one Persian message the user sees; nothing is
// shown before it.
TEST(Conversions, ToEnglishDateRefusesWhatNamesNoDay)
{
    const QString year = QStringLiteral("سال صحيح نيست");
    struct Case
    {
        const char* solar;
        QString message;
    } cases[] = {
        // Past the entry check, but no day of the calendar.
        {"1389/07/31", msg::date("1389/07/31", msg::Day)},
        {"1389/12/30", msg::date("1389/12/30", msg::Day)},
        {"1404/12/30", msg::date("1404/12/30", msg::Day)},
        {" 1388/12/30 ", msg::date("1388/12/30", msg::Day)},
        {"89/11/4", msg::date("89/11/4", year)},
        {"0089/11/04", msg::date("0089/11/04", year)},
        {"999/01/01", msg::date("999/01/01", year)},
        {"70000/01/01", msg::date("70000/01/01", year)},
        {"99999999999999999999/01/01", msg::date("99999999999999999999/01/01", year)},
        // A solar year whose Gregorian year the calendar no longer holds.
        {"65000/01/01", msg::date("65000/01/01", year)},
        // The entry check's own messages.
        {"", msg::date("", msg::SlashCount)},
        {"   ", msg::date("", msg::SlashCount)},
        {"abc", msg::date("abc", msg::SlashCount)},
        {"1389/ab/04", msg::date("1389/ab/04", msg::Digits)},
        {"۱۳۸۹/۱۱/۰۴", msg::date("۱۳۸۹/۱۱/۰۴", msg::Digits)},
        {"1389//04", msg::DateEntry},
        {"1389/13/01", msg::date("1389/13/01", msg::Month)},
        {"1389/11/32", msg::date("1389/11/32", msg::Day)},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        const QString error = QStringLiteral("error: ") + c.message;
        EXPECT_EQ(outcome([&] { return s.ToEnglishDate(c.solar); }), error) << c.solar;
        EXPECT_EQ(outcome([&] { return s.ToEnglishDateForSQLServer(c.solar); }), error) << c.solar;
    }
    EXPECT_TRUE(s.messages.isEmpty()) << s.messages.join(u'|').toStdString();
}

TEST(Conversions, FarsiTodayIsFilledOnce)
{
    RecordingServices s;
    EXPECT_EQ(s.FarsiToday(), "");
    s.fillTodaySlot(QDate(2026, 12, 9));
    EXPECT_EQ(s.FarsiToday(), "1405/09/18");
    s.fillTodaySlot(QDate(2011, 1, 24));
    EXPECT_EQ(s.FarsiToday(), "1389/11/04");
    s.fillTodaySlot();
    EXPECT_EQ(s.FarsiToday().size(), 10);
}

TEST(Conversions, IsKabise)
{
    // The toolkit's own rule: 1388 and 1404 rather than 1387 and 1403.
    for (int y : {1371, 1375, 1379, 1383, 1388, 1392, 1396, 1400, 1404, 1408, 1412, 1416, 1421, 88, 5})
        EXPECT_TRUE(TDateServices::IsKabise(y)) << y;
    for (int y : {1387, 1389, 1403, 1405, 1417, 1420, 87, 0})
        EXPECT_FALSE(TDateServices::IsKabise(y)) << y;
    for (int y = 0; y < 100; ++y)
        EXPECT_EQ(TDateServices::IsKabise(y), TDateServices::IsKabise(1300 + y)) << y;
    // Far outside any sensible year it still answers, without overflow.
    TDateServices::IsKabise(INT_MIN);
    TDateServices::IsKabise(INT_MAX);
}

TEST(Conversions, ConvertDateFormat)
{
    EXPECT_EQ(TDateServices::ConvertDateFormat("24/01/2011", "D/M/Y", "Y/M/D"), "2011/01/24");
    EXPECT_EQ(TDateServices::ConvertDateFormat("24/01/2011", "d/m/y", "y/m/d"), "2011/01/24");
    EXPECT_EQ(TDateServices::ConvertDateFormat("1389/11/04", "Y/M/D", "D/M/Y"), "04/11/1389");
    EXPECT_EQ(TDateServices::ConvertDateFormat("24/01/2011", "D/M/Y", "D/M/Y"), "");
    EXPECT_EQ(TDateServices::ConvertDateFormat("", "Y/M/D", "D/M/Y"), "//");
    EXPECT_EQ(TDateServices::ConvertDateFormat("1/2", "D/M/Y", "Y/M/D"), "//1/");
}
