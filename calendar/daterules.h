#pragma once
// The toolkit's own date rules beside the calendar library: its leap years ("kabise"), its day
// counting (on the library's calendar), the day stepping of its Gregorian-to-solar conversion,
// date differences and the texts that show and compare them. Plain functions of their input,
// with no messages.

#include <QString>
#include <QtGlobal>

namespace rimo {

struct DateParts
{
    int year = 0;
    int month = 0;
    int day = 0;
};

// --- Leap years and day counting ---

// The toolkit's IsKabise: (y - 55) mod 33 a multiple of 4 other than 32, where a year from 100 on
// counts by its last two digits above 1300 (1388 as 88 + 1300, 2388 as 88 + 2300 - 1300).
// Answers for any integer. It marks 1388 and 1404 where the calendar (IsLeapOfKind) has 1387
// and 1403, so nothing that counts days uses it any more.
bool isKabiseYear(int year);

// The number of kabise years in [from, to); 0 when `to` is not above `from`. Long spans are
// counted without visiting every year.
qint64 kabiseYearsBetween(qint64 from, qint64 to);

// Days from one date to another on the calendar the program shows (solarDayNumber: Esfand has
// its 30th day in the library's leap years). The count is taken from the earlier date, in the
// order of year, month and day, to the later one; with `signedResult` it is negative when `from`
// is the later date. A day beyond its month's length counts on (1389/01/40 is 1389/02/09).
// Raises rimo::Error for a month outside 1..12 and a count beyond 32 bits.
int toolkitDayDifference(const DateParts& from, const DateParts& to, bool signedResult);

// Year, month and day of a canonical yyyy/mm/dd text read at the positions 1-4, 6-7 and 9-10.
// Raises rimo::Error for a part that is no integer.
DateParts fixedPositionDateParts(const QString& text);
// Year, month and day of a completed date, split at its two "/". Raises like the above.
DateParts completedDateParts(const QString& completed);

// --- Conversion ---

struct ToolkitSolarText
{
    QString text;
    bool stepped = false; // an unpadded text of the day stepping, still to be completed
};

// The solar date of Gregorian numbers as the toolkit converts them. From 1922-01-01 to 2021-03-20,
// and for every year below 100 (read as the 1300s by its last two digits), the toolkit's own day
// stepping gives the unpadded "S/T/E", which may even fail the date check (day and month are not
// range-checked). Otherwise the calendar library gives "yyyy/mm/dd", or "" for a date that does
// not exist, lies before 622-03-21 or has a negative year.
ToolkitSolarText toolkitSolarText(int year, int month, int day);

// "D/M/Y" to "Y/M/D" and back (format names in any case) by fixed character positions;
// "" for any other pair.
QString reorderedDateText(const QString& text, const QString& oldFormat, const QString& newFormat);

// --- Differences and their texts ---

// The distance between two dates as "MM/DD" in 30-day months and 360-day years: exactly 30 days
// stay days, exactly 360 days become 12 months.
QString monthsAndDaysBetween(const DateParts& a, const DateParts& b);

// A day count as "months.days" in 30-day months; a text that is no integer counts 0.
QString monthDayText(const QString& days);

// A "months/days" or plain day count as a comparable "MM/DD": whole 30-day months of the day part
// are carried into the month part, and parts of one character get a leading "0".
QString comparableDateText(const QString& text);

// A day count as years (365 days), months (30 days) and days, each a number followed by its
// Persian unit word, the zero parts left out; "" for 0, negative counts and non-numbers.
QString dayCountText(const QString& days);

// --- Clock times ---

// `time` advanced by the span `span` (both as clockSeconds reads them), as hh:mm, wrapping at
// midnight. Raises rimo::Error for a text clockSeconds refuses.
QString clockTimeAfter(const QString& time, const QString& span);

// Hours from the clock time `earlierSeconds` forward to `laterSeconds` (wrapping over midnight),
// in whole minutes, rounded to two decimals.
double hoursSince(int laterSeconds, int earlierSeconds);

} // namespace rimo
