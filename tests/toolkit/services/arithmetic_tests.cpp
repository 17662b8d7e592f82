// Date and time arithmetic of the toolkit: day counts (checked against a walk through the
// calendar and against the calendar library's conversions), the months-and-days difference,
// sortable integers, days and minutes added, hours between times, and the day-count texts.
#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "services_fixture.h"

#include <random>

namespace {

QString solarText(int y, int m, int d)
{
    return QStringLiteral("%1/%2/%3")
        .arg(y, 4, 10, QChar(u'0'))
        .arg(m, 2, 10, QChar(u'0'))
        .arg(d, 2, 10, QChar(u'0'));
}

// Every day from the start of `first` to the end of `last` on the calendar the program shows:
// months of 31 and 30 days and an Esfand of 30 days in the library's leap years.
QStringList calendarDays(int first = 1380, int last = 1430)
{
    QStringList days;
    for (int y = first; y <= last; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= rimo::DaysOfMonth(rimo::dkSolar, y, m); ++d)
                days << solarText(y, m, d);
        }
    }
    return days;
}

// The day's Julian day number by the library's conversion to the Gregorian calendar and Qt's
// own day count of that: a reference that shares nothing with the toolkit's day counting.
qint64 libraryDay(const QString& solar)
{
    quint16 y = 0, m = 0, d = 0;
    rimo::SplitDate(solar, y, m, d);
    EXPECT_TRUE(rimo::SolarToGregorian(y, m, d)) << solar.toStdString();
    return QDate(y, m, d).toJulianDay();
}

// The pairs of days whose counts the services must get right: across every Esfand/Farvardin
// boundary of 1300..1500 (from the last days of Esfand and from Farvardin 1 of the year before),
// and `randomPairs` pairs of days of those years drawn with a fixed seed.
QList<QPair<QString, QString>> countedPairs(int randomPairs)
{
    QList<QPair<QString, QString>> pairs;
    for (int y = 1300; y < 1500; ++y) {
        const QString nextNewYear = solarText(y + 1, 1, 1);
        const int esfand = rimo::DaysOfMonth(rimo::dkSolar, y, 12);
        for (int d = 28; d <= esfand; ++d)
            pairs.append({solarText(y, 12, d), nextNewYear});
        pairs.append({solarText(y, 1, 1), nextNewYear});
        pairs.append({solarText(y, 11, 15), solarText(y + 1, 1, 15)});
    }
    const QStringList days = calendarDays(1300, 1500);
    std::mt19937 random(1389);
    std::uniform_int_distribution<qsizetype> pick(0, days.size() - 1);
    for (int i = 0; i < randomPairs; ++i)
        pairs.append({days[pick(random)], days[pick(random)]});
    return pairs;
}

} // namespace

TEST(Arithmetic, DaySubDateExamples)
{
    struct Case
    {
        const char *from, *to;
        int days;
    } cases[] = {
        {"1389/05/10", "1389/05/10", 0},
        {"1389/01/01", "1390/01/01", 365},
        {"1389/12/29", "1390/01/01", 1},
        {"1389/05/10", "1390/03/20", 313},
        {"89/1/1", "1389/01/01", 0},
        {"89/1/1", "1390/1/1", 365},
        // Leap years of the calendar, not of IsKabise: two days in a row are always one apart.
        {"1388/01/01", "1389/01/01", 365},
        {"1387/01/01", "1388/01/01", 366},
        {"1388/12/29", "1389/01/01", 1},
        {"1387/12/29", "1388/01/01", 2},
        {"1387/12/30", "1388/01/01", 1},
        {"1403/12/30", "1404/01/01", 1},
        {"1404/12/29", "1405/01/01", 1},
        {"1370/12/30", "1371/01/01", 1},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.DaySubDate(c.from, c.to, false), c.days) << c.from << ' ' << c.to;
        EXPECT_EQ(s.DaySubDate(c.to, c.from, false), c.days) << c.to << ' ' << c.from;
        EXPECT_EQ(s.DaySubDate(c.to, c.from, true), -c.days) << c.to << ' ' << c.from;
        EXPECT_EQ(s.DaySubDate(c.from, c.to, true), c.days);
    }
    EXPECT_TRUE(s.messages.isEmpty());
}

TEST(Arithmetic, DaySubDateMatchesAWalkThroughTheCalendar)
{
    const QStringList days = calendarDays();
    const qsizetype anchor = days.indexOf(QStringLiteral("1403/12/29"));
    RecordingServices s;
    for (qsizetype i = 0; i < days.size(); ++i) {
        ASSERT_EQ(s.DaySubDateWithOutCheckDate(days[0], days[i], true), i) << days[i].toStdString();
        ASSERT_EQ(s.DaySubDate(days[i], days[anchor], true), anchor - i) << days[i].toStdString();
    }
}

// Every service that counts days against the library's day numbers, on the year ends of two
// centuries and thousands of random pairs: no count may differ.
TEST(Arithmetic, DayCountsAgreeWithTheCalendarLibrary)
{
    RecordingServices s;
    const QList<QPair<QString, QString>> pairs = countedPairs(5000);
    QStringList differences;
    for (const auto& [from, to] : pairs) {
        const qint64 expected = libraryDay(to) - libraryDay(from);
        const int distance = static_cast<int>(expected < 0 ? -expected : expected);
        const QList<QPair<QString, qint64>> counts = {
            {"DaySubDate", s.DaySubDate(from, to, true)},
            {"DaySubDate unsigned", s.DaySubDate(from, to, false) - distance + expected},
            {"DaySubDateWithOutCheckDate", s.DaySubDateWithOutCheckDate(from, to, true)},
            {"DaySubDateWithOutCheckDate unsigned",
             s.DaySubDateWithOutCheckDate(from, to, false) - distance + expected},
            {"NDayFromDate", libraryDay(s.NDayFromDate(from, static_cast<int>(expected))) - libraryDay(from)},
        };
        for (const auto& [service, count] : counts) {
            if (count != expected)
                differences << QStringLiteral("%1(%2, %3): %4 instead of %5")
                                   .arg(service, from, to)
                                   .arg(count)
                                   .arg(expected);
        }
    }
    EXPECT_GT(pairs.size(), 5000);
    EXPECT_EQ(differences.size(), 0) << differences.mid(0, 10).join(u'\n').toStdString();
    EXPECT_TRUE(s.messages.isEmpty());
}

TEST(Arithmetic, DaySubDateFailures)
{
    RecordingServices s;
    // A rejected date has been reported; nothing is counted.
    EXPECT_EQ(s.DaySubDate("1389/13/01", "1389/01/01", false), 0);
    EXPECT_EQ(s.takeMessage(), msg::date("1389/13/01", msg::Month));
    // Without the check the texts must be canonical.
    EXPECT_THROW(s.DaySubDateWithOutCheckDate("89/1/1", "1389/01/01", false), rimo::Error);
    EXPECT_THROW(s.DaySubDateWithOutCheckDate("1389/13/01", "1389/01/01", false), rimo::Error);
    EXPECT_THROW(s.DaySubDateWithOutCheckDate("1389/00/01", "1389/01/01", false), rimo::Error);
    // Very long spans are counted without visiting every year, up to what an integer holds.
    EXPECT_EQ(s.DaySubDate("1389/01/01", "5001389/01/01", false), 5000000 * 365 + 5000000 / 33 * 8 + 1);
    EXPECT_THROW(s.DaySubDate("1389/01/01", "999999999/01/01", false), rimo::Error);
    EXPECT_THROW(s.DaySubDate("1389/01/01", "99999999999/01/01", false), rimo::Error);
    EXPECT_TRUE(s.messages.isEmpty());
}

TEST(Arithmetic, SubDate)
{
    struct Case
    {
        const char *a, *b, *difference;
    } cases[] = {
        {"1389/01/01", "1389/01/01", "00/00"}, {"1389/01/01", "1389/02/01", "00/30"},
        {"1389/01/01", "1389/02/02", "01/01"}, {"1389/01/01", "1389/01/10", "00/09"},
        {"1389/01/01", "1390/01/01", "12/00"}, {"1389/01/01", "1390/02/01", "12/30"},
        {"1389/01/01", "1391/01/01", "24/00"}, {"1389/01/01", "1389/12/29", "11/28"},
        {"89/1/1", "1390/3/15", "14/14"},      {"13890/01/01", "1400/01/01", "149880/00"},
    };
    RecordingServices s;
    for (const auto& c : cases) {
        EXPECT_EQ(s.SubDate(c.a, c.b), c.difference) << c.a << ' ' << c.b;
        EXPECT_EQ(s.SubDate(c.b, c.a), c.difference) << c.b << ' ' << c.a;
    }
    EXPECT_TRUE(s.messages.isEmpty());
    EXPECT_EQ(s.SubDate("1389/01/01", "1389/13/01"), "");
    EXPECT_EQ(s.takeMessage(), msg::date("1389/13/01", msg::Month));
}

TEST(Arithmetic, SubDateDoesNotDependOnTheDecimalSeparator)
{
    rimo::ScopedFormatSettings formats;
    rimo::formatSettings().decimalSeparator = u',';
    RecordingServices s;
    EXPECT_EQ(s.SubDate("1389/01/01", "1390/02/05"), "13/04");
}

TEST(Arithmetic, DateToInt)
{
    RecordingServices s;
    EXPECT_EQ(s.DateToInt("1389/11/4"), 13891104);
    EXPECT_EQ(s.DateToInt("89/1/1"), 13890101);
    EXPECT_EQ(s.DateToInt(" 1389/11/4 "), 13891104);
    EXPECT_EQ(s.DateToInt("13890/1/1"), 138900101);
    EXPECT_TRUE(s.messages.isEmpty());
    EXPECT_EQ(s.DateToInt("1389/13/01"), -1);
    EXPECT_EQ(s.takeMessage(), msg::date("1389/13/01", msg::Month));
    EXPECT_THROW(s.DateToInt("1234567/01/01"), rimo::Error);
    // The integers sort in date order.
    const QStringList days = calendarDays();
    for (qsizetype i = 1; i < days.size(); i += 7)
        ASSERT_LT(s.DateToInt(days[i - 1]), s.DateToInt(days[i])) << days[i].toStdString();
}

TEST(Arithmetic, NDayFromDate)
{
    struct Case
    {
        const char* date;
        int n;
        const char* result;
    } cases[] = {
        {"1389/11/04", 1, "1389/11/05"},
        {"1389/12/29", 1, "1390/01/01"},
        {"1405/09/18", 30, "1405/10/18"},
        {"1405/01/01", -1, "1404/12/29"},
        {"1403/12/29", 1, "1403/12/30"},
        {"1389/11/04", -3650, "1379/11/07"},
        // On the calendar's days, also where ToFarsiDate's own stepping has other leap years.
        {"1370/12/30", 0, "1370/12/30"},
        {"1370/12/29", 1, "1370/12/30"},
        {"1387/12/29", 1, "1387/12/30"},
        {"1388/12/29", 1, "1389/01/01"},
        {"1404/12/29", 1, "1405/01/01"},
    };
    RecordingServices s;
    for (const auto& c : cases)
        EXPECT_EQ(s.NDayFromDate(c.date, c.n), c.result) << c.date << " + " << c.n;
    EXPECT_TRUE(s.messages.isEmpty());
    EXPECT_THROW(s.NDayFromDate("1389/13/01", 1), rimo::Error);
    EXPECT_EQ(s.takeMessage(), msg::date("1389/13/01", msg::Month));
    // Texts that pass the entry check but name no solar day.
    EXPECT_THROW(s.NDayFromDate("1388/12/30", 1), rimo::Error);
    EXPECT_THROW(s.NDayFromDate("89/11/04", 1), rimo::Error);
    // A result beyond the years the calendar holds.
    EXPECT_THROW(s.NDayFromDate("1389/11/04", 2147483647), rimo::Error);
    const int toFirstDay = -static_cast<int>(rimo::solarDayNumber(1000, 1, 1));
    EXPECT_EQ(s.NDayFromDate("1000/01/01", toFirstDay), "0001/01/01");
    EXPECT_THROW(s.NDayFromDate("1000/01/01", toFirstDay - 1), rimo::Error);
    EXPECT_TRUE(s.messages.isEmpty());
}

TEST(Arithmetic, TimesOfDay)
{
    RecordingServices s;
    EXPECT_EQ(s.NMinFromTime("23:45", "00:30"), "00:15");
    EXPECT_EQ(s.NMinFromTime("08:00", "1:30"), "09:30");
    EXPECT_EQ(s.NMinFromTime("8", "0:5:59"), "08:05");
    EXPECT_THROW(s.NMinFromTime("25:00", "00:10"), rimo::Error);
    EXPECT_THROW(s.NMinFromTime("08:00", "abc"), rimo::Error);

    EXPECT_DOUBLE_EQ(s.SubTime("10:30", "08:00"), 2.5);
    EXPECT_DOUBLE_EQ(s.SubTime("01:00", "23:30"), 1.5);
    EXPECT_DOUBLE_EQ(s.SubTime("10:00", "10:00"), 0);
    EXPECT_DOUBLE_EQ(s.SubTime("10:10", "10:00"), 0.17);
    EXPECT_DOUBLE_EQ(s.SubTime("8", "9:59"), 22.02);
    EXPECT_TRUE(s.messages.isEmpty());
    EXPECT_THROW(s.SubTime("24:00", "10:00"), rimo::Error);
    EXPECT_EQ(s.takeMessage(), msg::time("24:00", msg::Hour));
}

TEST(Arithmetic, DayCountTexts)
{
    EXPECT_EQ(TDateServices::ConvertDayToMonthDay("45"), "1.15");
    EXPECT_EQ(TDateServices::ConvertDayToMonthDay("30"), "1.0");
    EXPECT_EQ(TDateServices::ConvertDayToMonthDay("abc"), "0.0");
    EXPECT_EQ(TDateServices::ConvertDayToMonthDay("-45"), "-1.-15");

    struct Case
    {
        const char *text, *result;
    } compare[] = {
        {"2/5", "02/05"},
        {"7", "00/07"},
        {"12/05", "12/05"},
        {"1/30", "01/30"},
        // Whole months in the day part are carried as SubDate counts them.
        {"0/45", "01/15"},
        {"45", "01/15"},
        {"1/60", "03/00"},
        {"2/31", "03/01"},
        {"x/45", "0x/45"},
    };
    for (const auto& c : compare)
        EXPECT_EQ(TDateServices::ConvetToDateCompare(c.text), c.result) << c.text;

    EXPECT_EQ(TDateServices::DaysToDateSpell("400"), "1" + msg::Years + "1" + msg::Months + "5" + msg::Days);
    EXPECT_EQ(TDateServices::DaysToDateSpell("365"), "1" + msg::Years);
    EXPECT_EQ(TDateServices::DaysToDateSpell("30"), "1" + msg::Months);
    EXPECT_EQ(TDateServices::DaysToDateSpell("59"), "1" + msg::Months + "29" + msg::Days);
    EXPECT_EQ(TDateServices::DaysToDateSpell("730"), "2" + msg::Years);
    for (const char* nothing : {"0", "-400", "abc", ""})
        EXPECT_EQ(TDateServices::DaysToDateSpell(nothing), "") << nothing;
}
