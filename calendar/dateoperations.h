#pragma once
// The month calendar's date operations as plain functions of a date text ("1389/11/04"), the
// calendar it belongs to and a count: moving by years, months and days, jumping to a year, month
// or day, and the queries on a date. The control applies them to its current date.
//
// Moves never leave a day its month lacks: a day beyond the new month's length becomes the
// month's last day (DaysOfMonth, so a leap Esfand or February has its extra day). Month and day
// steps carry across year ends. A step by years, months or days to a year outside 1..65535 gives
// year 0, which the control refuses with its message. A negative count is the opposite step. A text with a
// zero year, month or day has no place in the calendar; steps leave it as it is. Texts that are no date raise
// like SplitDate.

#include "calendar/solarcalendar.h"

#include <QString>

namespace rimo::dateops {

QString IncYear(const QString& Date, TDateKind Kind, int ANumberOfYear);
QString DecYear(const QString& Date, TDateKind Kind, int ANumberOfYear);
// Subtracting months within years 1..65535 changes nothing when the day is beyond the target
// month's length.
QString IncMonth(const QString& Date, TDateKind Kind, int ANumberOfMonth);
QString DecMonth(const QString& Date, TDateKind Kind, int ANumberOfMonth);
// Subtracting past the month's first day changes nothing.
QString IncDay(const QString& Date, TDateKind Kind, int ANumberOfDay);
QString DecDay(const QString& Date, TDateKind Kind, int ANumberOfDay);
QString GotoYear(const QString& Date, TDateKind Kind, int AYear);
// Changes nothing for a month outside 1..12.
QString GotoMonth(const QString& Date, TDateKind Kind, int AMonth);
// Changes nothing for a day the month lacks.
QString GotoDay(const QString& Date, TDateKind Kind, int ADay);

// Queries: a text that is no date of its calendar (1389/07/31, 1388/12/30) raises rimo::Error.
int GetMonthRemainDay(const QString& Date, TDateKind Kind);
int GetYearRemainDays(const QString& Date, TDateKind Kind);
// 1 to 7: Sunday first for Gregorian dates, Friday first for solar ones.
int DayOfWeek(const QString& Date, TDateKind Kind);
// 7 - DayOfWeek: 0 on a solar Thursday or a Gregorian Saturday.
int GetWeekRemainDays(const QString& Date, TDateKind Kind);
// Gregorian: the ISO 8601 week. Solar: weeks of seven days counted from Farvardin 1.
int WeekOfTheYear(const QString& ADate, TDateKind ADateKind);
// Whole days between the two dates, never negative; -1 when either is blank.
int DaysBetween(const QString& ANow, const QString& AThen, TDateKind Kind);

// The date without its first three "/"; the empty text for a blank date.
QString GetRawDate(const QString& Date);
// Every "/" replaced by Divider; the empty text for a blank date.
QString GetDateWithDiv(const QString& Date, const QString& Divider);

// Whether every day of Year converts to the other calendar: the years the control may show.
bool YearConverts(TDateKind Kind, int Year);

} // namespace rimo::dateops
