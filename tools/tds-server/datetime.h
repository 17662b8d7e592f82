// Dates and times as the server sends and stores them: proleptic Gregorian day counts, the texts SQLite
// keeps ("YYYY-MM-DD HH:MM:SS.mmm") and the parser for those texts.
#pragma once

#include "tools/tds-server/storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rimo::tds {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d);
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d);
// "YYYY-MM-DD HH:MM:SS.mmm" for a datetime value (days since 1900-01-01, 1/300 s ticks).
std::string datetimeText(int32_t days1900, uint32_t ticks);
// "YYYY-MM-DD" for a DATE value (days since 0001-01-01).
std::string dateText(int64_t daysSince0001);
// "HH:MM:SS[.f...]" for a TIME value: units of 10^-scale seconds (scale 0..7) since midnight.
std::string timeText(uint64_t units, int scale);

// Parses the date/time texts the server stores: "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" (also with '/' or '.'
// between the date's parts, or 'T' before the time), "YYYYMMDD". Returns false on anything else.
bool parseDateTime(std::string_view s, int64_t& days1970, int64_t& ms);

// The parts of a date/time text: the day (1900-01-01 when the text names none), 100 ns units since
// midnight, and the time zone offset when the text gives one.
struct DateTimeParts
{
    int64_t days1970 = 0;
    int64_t units = 0;
    std::optional<int> offsetMinutes;
};
// Reads a text the way SQL Server reads one under us_english with DATEFORMAT mdy: yyyymmdd, yyyy-mm-dd
// (also / and .), mdy with / - or ., month names, 'T' before an ISO time, a time alone, AM/PM. At most
// `maxFraction` digits of a second's fraction (seven always, the form parameters arrive in); an offset
// ("+hh:mm" within 14 hours, or Z) only when `offsets`. False on anything else.
bool readDateTimeText(std::string_view text, int maxFraction, bool offsets, DateTimeParts& out);

// The text a date, datetime or smalldatetime is kept as: "YYYY-MM-DD HH:MM:SS.mmm", so that every form
// of one instant is one stored value and equals a date/time parameter (time, datetime2 and
// datetimeoffset: precisetime.h).
// Parses a text the way SQL Server reads one under us_english with DATEFORMAT mdy, for a column of
// `type` (DateTime, SmallDateTime or Date), rounding as that type does (1/300 s, the minute, the day).
// Returns the kept text, or nullopt with `error` set to 241 (not a date) or 242 (out of the type's range).
std::optional<std::string> storedDateTime(std::string_view text, SqlType type, int& error);

// An instant (days since 1970-01-01, milliseconds into the day) rounded as `type` keeps it, as its kept
// text; nullopt with `error` 242 (241 for date) when out of the type's range.
std::optional<std::string> roundInstant(int64_t days, int64_t ms, SqlType type, int& error);

} // namespace rimo::tds
