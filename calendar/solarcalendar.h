#pragma once
// The calendar date library: numeric solar (Persian) and Gregorian dates with 16-bit year, month
// and day. Solar leap years follow the 33-year arithmetic rule, and both conversions go through
// one running day count, so every Gregorian day maps to exactly one solar day and back.
// The functions have no state and no messages; failures show in their results.

#include <QString>
#include <QtGlobal>

namespace rimo {

enum TDateKind { dkSolar = 0, dkGregorian = 1 };

// The month-length rules are here, not in the library, because every conversion and every
// date check of a caller asks them once per day it handles: inline, they cost a table read.
namespace calendarrules {
inline constexpr quint16 kMonthLength[2][13] = {
    {0, 31, 31, 31, 31, 31, 31, 30, 30, 30, 30, 30, 29},
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};
inline constexpr quint16 kLeapMonth[2] = {12, 2};
} // namespace calendarrules

// Solar: leap when (25 x Year + 11) mod 33 < 8. Gregorian: the usual 4/100/400 rule.
constexpr bool IsLeapOfKind(TDateKind Kind, quint16 Year)
{
    const quint32 y = Year;
    return Kind == dkSolar ? (25 * y + 11) % 33 < 8 : y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

// 0 when Year is 0 or Month is outside 1..12.
constexpr quint16 DaysOfMonth(TDateKind Kind, quint16 Year, quint16 Month)
{
    if (Year == 0 || Month < 1 || Month > 12)
        return 0;
    const quint16 days = calendarrules::kMonthLength[Kind][Month];
    return Month == calendarrules::kLeapMonth[Kind] && IsLeapOfKind(Kind, Year) ? days + 1 : days;
}

constexpr bool DateIsValid(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day)
{
    return Year != 0 && Month >= 1 && Month <= 12 && Day >= 1 && Day <= DaysOfMonth(Kind, Year, Month);
}
static_assert(DaysOfMonth(dkSolar, 1403, 12) == 30 && DaysOfMonth(dkSolar, 1404, 12) == 29);
static_assert(DaysOfMonth(dkGregorian, 2000, 2) == 29 && DaysOfMonth(dkGregorian, 1900, 2) == 28);
// 1-based day of the year; 0 for an invalid date.
quint16 DayNumberInYear(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day);
// Month and day of day N of Year; false (with 0/0 when N fits no month) when that is no valid date.
bool DateOfDayNumber(TDateKind Kind, quint16 N, quint16 Year, quint16& Month, quint16& Day);

// Day numbers of the solar calendar: the days from 0001/01/01 (day 0) by the leap rule above,
// whose 33-year cycle carries on past year 65535 and before year 1, so that any two dates are a
// subtraction apart. Parts beyond their range count on: a day beyond its month's length into
// the next months (1389/01/40 is 1389/02/09, 1388/12/30 is 1389/01/01), a month beyond 12 into
// the next years (1389/13/01 is 1390/01/01). Callers keep the parts within 32 bits.
qint64 solarDayNumber(qint64 year, qint64 month, qint64 day);
// The date of day number n; false, with the parts unchanged, outside years 1..65535.
bool solarDateOfDayNumber(qint64 n, quint16& Year, quint16& Month, quint16& Day);

// Convert in place. False, with the parts unchanged, for an invalid date or a result outside
// years 1..65535 (Gregorian dates before 622-03-21, solar dates after Gregorian year 65535).
bool GregorianToSolar(quint16& Year, quint16& Month, quint16& Day);
bool SolarToGregorian(quint16& Year, quint16& Month, quint16& Day);

// Reads "year/month/day". A blank text gives 0/0/0. A year of fewer than four digits, a month
// above 12, a day above 31 and any part outside 0..65535 become 0. A part that is no integer
// raises rimo::Error.
void SplitDate(const QString& Text, quint16& Year, quint16& Month, quint16& Day);
// "1389/11/04": the year unpadded, month and day with two digits.
QString JoinDate(quint16 Year, quint16 Month, quint16 Day);
// The date of kind Kind in Text, converted to the other calendar; an invalid date comes back
// with its numbers unchanged. Raises like SplitDate.
QString ConvertDateText(const QString& Text, TDateKind Kind);

} // namespace rimo
