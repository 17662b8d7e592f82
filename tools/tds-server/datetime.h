// Dates and times as the server sends and stores them: proleptic Gregorian day counts, the texts SQLite
// keeps ("YYYY-MM-DD HH:MM:SS.mmm") and the parser for those texts.
#pragma once

#include <cstdint>
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

} // namespace rimo::tds
