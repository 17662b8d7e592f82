#pragma once
// Date and time texts as the user types them: the entry checks (which fault, no message), their
// completion to the canonical forms, and reading clock times. Characters of code 32 or less
// around a text do not count, and only ASCII digits are digits.

#include <QString>

namespace rimo {

// What is wrong with a typed date, in the order the checks find it.
enum class DateEntryFault {
    None,
    SlashCount,  // not exactly two "/"
    Characters,  // something other than digits and "/"
    MissingPart, // an empty year, month or day
    Month,       // a month outside 1..12
    Day,         // a day outside 1..31
};

struct DateEntryCheck
{
    DateEntryFault fault = DateEntryFault::None;
    QString text; // the text as checked, and as a message quotes it
};

// Neither the year nor the month length is checked, so "1388/12/30" and "1389/07/31" pass.
// Raises rimo::Error for a month or day beyond 32 bits.
DateEntryCheck checkDateEntry(const QString& text);

// An accepted date as yyyy/mm/dd: the year completed from "1300" ("89" is 1389, "0089" stays),
// month and day to two digits. A year of more than four digits stays as it is.
QString completedDate(const QString& accepted);

// An accepted date as the number yyyymmdd, so that dates sort as their numbers. Raises
// rimo::Error when the number does not fit 32 bits.
int dateNumber(const QString& accepted);

// Whether a date the entry check accepts names a day the calendar library can convert and count.
enum class SolarDayFault {
    None,
    Year, // a year of fewer than four digits (89, 0089) or beyond 65535
    Day,  // a day beyond its month's length (1389/07/31, Esfand 30 of a common year)
};

struct SolarDayCheck
{
    SolarDayFault fault = SolarDayFault::None;
    quint16 year = 0, month = 0, day = 0; // the day, when there is one
};

// Meant for a text checkDateEntry accepts; any other text gets a fault, never a day.
SolarDayCheck checkSolarDay(const QString& accepted);

// What is wrong with a typed time, in the order the checks find it.
enum class TimeEntryFault {
    None,
    ColonCount,  // more than one ":"
    Characters,  // something other than digits and ":"
    MissingPart, // an empty hour or minute
    Hour,        // an hour outside 0..23
    Minute,      // a minute outside 0..59
};

struct TimeEntryCheck
{
    TimeEntryFault fault = TimeEntryFault::None;
    QString text; // as checked and quoted: a time without ":" is read as whole hours ("8:00")
};

// Only the first ten characters after the ":" are read as the minute. Raises rimo::Error for an
// hour or minute beyond 32 bits.
TimeEntryCheck checkTimeEntry(const QString& text);

// An accepted time as hh:mm.
QString completedTime(const QString& accepted);

// Reads "h", "h:m" or "h:m:s" (blanks around each part allowed) as seconds since midnight;
// raises rimo::Error for anything else or a part out of range.
int clockSeconds(const QString& text);

} // namespace rimo
