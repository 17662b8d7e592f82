#pragma once
// The calendar date library: numeric solar (Persian) and Gregorian dates with 16-bit year, month
// and day. Solar leap years follow the 33-year arithmetic rule, and both conversions go through
// one running day count, so every Gregorian day maps to exactly one solar day and back.
// The functions have no state and no messages; failures show in their results.

#include <QString>
#include <QtGlobal>

namespace rimo {

enum TDateKind { dkSolar = 0, dkGregorian = 1 };

// Solar: leap when (25 x Year + 11) mod 33 < 8. Gregorian: the usual 4/100/400 rule.
bool IsLeapOfKind(TDateKind Kind, quint16 Year);
// 0 when Year is 0 or Month is outside 1..12.
quint16 DaysOfMonth(TDateKind Kind, quint16 Year, quint16 Month);
bool DateIsValid(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day);
// 1-based day of the year; 0 for an invalid date.
quint16 DayNumberInYear(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day);
// Month and day of day N of Year; false (with 0/0 when N fits no month) when that is no valid date.
bool DateOfDayNumber(TDateKind Kind, quint16 N, quint16 Year, quint16& Month, quint16& Day);

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
