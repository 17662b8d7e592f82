#include "calendar/solarcalendar.h"

#include "core/integertext.h"
#include "core/textutil.h"

namespace rimo {

namespace {

using calendarrules::kLeapMonth;

// Days before month N, N = 1..13.
constexpr quint16 kDaysBefore[2][14] = {
    {0, 0, 31, 62, 93, 124, 155, 186, 216, 246, 276, 306, 336, 365},
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
};

// Days since 1970-01-01 of a proleptic Gregorian date (y >= 0, m 1..12, d 1..31).
constexpr qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;                                                          // March-based year
    const qint64 era = y / 400;                                           // y >= 0 here
    const auto yoe = static_cast<unsigned>(y - era * 400);                // [0, 399]
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1; // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // [0, 146096]
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

struct Civil
{
    qint64 year;
    unsigned month;
    unsigned day;
};

// Inverse of daysFromCivil for days from 0000-03-01 to beyond year 65535 (32-bit arithmetic
// suffices there and is cheaper).
constexpr Civil civilFromDays(qint64 days)
{
    const auto z = static_cast<quint32>(days + 719468); // >= 0
    const quint32 era = z / 146097;
    const quint32 doe = z - era * 146097;                                      // [0, 146096]
    const quint32 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // [0, 399]
    const quint32 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // [0, 365]
    const quint32 mp = (5 * doy + 2) / 153;                                    // [0, 11], March = 0
    const quint32 d = doy - (153 * mp + 2) / 5 + 1;                            // [1, 31]
    const quint32 m = mp < 10 ? mp + 3 : mp - 9;                               // [1, 12]
    return {static_cast<qint64>(yoe + era * 400 + (m <= 2)), m, d};
}

constexpr qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// Days from solar 0001/01/01 to the first day of solar year y: 8 leap years in 33, the same
// cycle carried on before year 1.
constexpr qint64 solarYearStart(qint64 y)
{
    return 365 * (y - 1) + floorDiv(8 * y + 21, 33);
}

// 1405/01/01 is 2026-03-21; solar day 0 (0001/01/01) lies that many days earlier.
constexpr qint64 kSolarEpoch = daysFromCivil(2026, 3, 21) - solarYearStart(1405);
static_assert(daysFromCivil(2026, 3, 21) - kSolarEpoch == 512801);
static_assert(civilFromDays(kSolarEpoch).year == 622);

} // namespace

quint16 DayNumberInYear(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day)
{
    if (!DateIsValid(Kind, Year, Month, Day))
        return 0;
    quint16 n = kDaysBefore[Kind][Month] + Day;
    if (Month > kLeapMonth[Kind] && IsLeapOfKind(Kind, Year))
        ++n;
    return n;
}

bool DateOfDayNumber(TDateKind Kind, quint16 N, quint16 Year, quint16& Month, quint16& Day)
{
    Month = 0;
    Day = 0;
    const bool leap = IsLeapOfKind(Kind, Year);
    quint16 extra = 0;
    for (quint16 i = 2; i <= 13; ++i) {
        if (i > kLeapMonth[Kind] && leap)
            extra = 1;
        if (N <= kDaysBefore[Kind][i] + extra) {
            Month = i - 1;
            if (Month <= kLeapMonth[Kind])
                extra = 0;
            Day = N - (kDaysBefore[Kind][Month] + extra);
            break;
        }
    }
    return DateIsValid(Kind, Year, Month, Day);
}

qint64 solarDayNumber(qint64 year, qint64 month, qint64 day)
{
    const qint64 carried = floorDiv(month - 1, 12);
    return solarYearStart(year + carried) + kDaysBefore[dkSolar][month - 12 * carried] + day - 1;
}

bool solarDateOfDayNumber(qint64 n, quint16& Year, quint16& Month, quint16& Day)
{
    if (n < 0)
        return false; // before solar year 1
    // The year from the mean year of 12053/33 days: exact for every day of years 1..65535, as
    // the first and last day of each year, the extremes, show (tested in calendar_tests).
    const qint64 y = (33 * n + 3) / 12053 + 1;
    if (y > 65535)
        return false;
    const auto dayOfYear = static_cast<unsigned>(n - solarYearStart(y)); // [0, 365]
    // Six months of 31 days, then months of 30 (Esfand's 30th day is day 365).
    if (dayOfYear < 186) {
        Month = static_cast<quint16>(dayOfYear / 31 + 1);
        Day = static_cast<quint16>(dayOfYear % 31 + 1);
    } else {
        Month = static_cast<quint16>((dayOfYear - 186) / 30 + 7);
        Day = static_cast<quint16>((dayOfYear - 186) % 30 + 1);
    }
    Year = static_cast<quint16>(y);
    return true;
}

bool GregorianToSolar(quint16& Year, quint16& Month, quint16& Day)
{
    if (!DateIsValid(dkGregorian, Year, Month, Day))
        return false;
    // Gregorian years fit 16 bits, and solar years are 621 or 622 smaller, so the year fits too.
    return solarDateOfDayNumber(daysFromCivil(Year, Month, Day) - kSolarEpoch, Year, Month, Day);
}

bool SolarToGregorian(quint16& Year, quint16& Month, quint16& Day)
{
    if (!DateIsValid(dkSolar, Year, Month, Day))
        return false;
    const Civil c = civilFromDays(kSolarEpoch + solarDayNumber(Year, Month, Day));
    if (c.year > 65535)
        return false;
    Year = static_cast<quint16>(c.year);
    Month = static_cast<quint16>(c.month);
    Day = static_cast<quint16>(c.day);
    return true;
}

void SplitDate(const QString& Text, quint16& Year, quint16& Month, quint16& Day)
{
    if (Text.trimmed().isEmpty()) {
        Year = Month = Day = 0;
        return;
    }
    // A missing "/" leaves an empty part, which is no integer.
    QStringView rest(Text);
    const qsizetype first = rest.indexOf(u'/');
    const QStringView yearText = first < 0 ? QStringView() : rest.left(first);
    rest = first < 0 ? rest : rest.mid(first + 1);
    const qsizetype second = rest.indexOf(u'/');
    const QStringView monthText = second < 0 ? QStringView() : rest.left(second);
    rest = second < 0 ? rest : rest.mid(second + 1);

    const int year = integerOrError(yearText);
    const int month = integerOrError(monthText);
    const int day = integerOrError(rest);
    // Values that a 16-bit part cannot hold become 0, like the other out-of-range parts.
    const auto part = [](int value, int upper) -> quint16 {
        return value < 0 || value > upper ? 0 : static_cast<quint16>(value);
    };
    Year = year < 1000 ? 0 : part(year, 65535);
    Month = part(month, 12);
    Day = part(day, 31);
}

QString JoinDate(quint16 Year, quint16 Month, quint16 Day)
{
    return QString::number(Year) + u'/' + twoDigits(Month) + u'/' + twoDigits(Day);
}

QString ConvertDateText(const QString& Text, TDateKind Kind)
{
    quint16 y = 0;
    quint16 m = 0;
    quint16 d = 0;
    SplitDate(Text, y, m, d);
    if (Kind == dkGregorian)
        GregorianToSolar(y, m, d);
    else
        SolarToGregorian(y, m, d);
    return JoinDate(y, m, d);
}

} // namespace rimo
