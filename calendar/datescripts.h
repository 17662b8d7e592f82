#pragma once
// A date in Persian words, as the month calendar spells its current date: the year, month and
// day as numbers in words, and the whole date with the day as an ordinal.

#include "calendar/solarcalendar.h"

#include <QString>

enum TFormat { fLong, fShort };
enum TMonthType { mtNumeral, mtAlphabet };

namespace rimo::datescripts {

// Year, or CurrentYear when Year is 0. fShort spells only the last two digits of a four-digit
// year (1389 gives the words of 89, 1400 the zero word).
QString YearScript(int Year, TFormat Format, int CurrentYear);
// A cardinal for a month number; for 0 the ordinal of CurrentMonth.
QString MonthScript(int Month, int CurrentMonth);
// A cardinal, of CurrentDay when Day is 0.
QString DayScript(int Day, int CurrentDay);
// The ordinal day, Divider, the month (its name or its number in words), Divider, the year.
QString YMDScript(TMonthType MonthType, const QString& Divider, TDateKind Kind, int Year, int Month, int Day);

} // namespace rimo::datescripts
