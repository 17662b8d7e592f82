// time, datetime2 and datetimeoffset values: 100 ns units, a scale of 0..7 digits, and for
// datetimeoffset the offset from UTC the value was written with.
//
// Their kept texts have a fixed width, so that text order is time order and every form of one instant is
// one text: "HH:MM:SS.fffffff", "YYYY-MM-DD HH:MM:SS.fffffff" and "YYYY-MM-DD HH:MM:SS.fffffff +hh:mm"
// (local time and its offset, as SQL Server shows it). Two datetimeoffset values are equal when their UTC
// instants are, whatever their offsets: their columns compare under the RIMO_DTO collation.
#pragma once

#include "tools/tds-server/storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace rimo::tds {

constexpr int64_t kUnitsPerMinute = 600000000LL; // 100 ns units
constexpr int64_t kUnitsPerDay = 1440 * kUnitsPerMinute;

struct PreciseTime
{
    int64_t days1970 = 0; // local date (1900-01-01 for a time)
    int64_t units = 0;    // 100 ns units since local midnight
    int offsetMinutes = 0;
};

// True for time, datetime2 and datetimeoffset.
bool isPreciseTimeType(SqlType type);

// Reads a text as SQL Server converts it to `type` at `scale` under us_english and mdy, rounding to the
// scale (a time past 23:59:59.9999999 wraps to midnight, a datetime2 goes on to the next day). nullopt with
// `error` 241 (not a date or time, offset beyond 14 hours) or 242 (outside 0001-01-01..9999-12-31).
std::optional<PreciseTime> readPreciseTime(std::string_view text, SqlType type, int scale, int& error);
// The kept text of a value (seven fraction digits whatever the scale).
std::string keptPreciseText(const PreciseTime& t, SqlType type);
// The text SQL Server shows for the value at `scale` (no fraction at scale 0).
std::string shownPreciseText(const PreciseTime& t, SqlType type, int scale);
// readPreciseTime then keptPreciseText.
std::optional<std::string> storedPreciseTime(std::string_view text, SqlType type, int scale, int& error);

// The UTC instant of a datetimeoffset, in 100 ns units since 0001-01-01.
int64_t utcUnits(const PreciseTime& t);

// The kept text of a TIMEN (0x29), DATETIME2N (0x2A) or DATETIMEOFFSETN (0x2B) value's bytes at
// `scale`: the time in 10^-scale seconds, days since 0001-01-01, and for an offset its UTC instant and
// the offset in minutes. nullopt when the bytes are no such value (length, range, offset beyond 14 hours).
std::optional<std::string> preciseWireText(uint8_t tdsType, int scale, std::string_view bytes);

// Registers the RIMO_DTO collation: datetimeoffset texts in order of their UTC instants.
void registerPreciseTimeCollation(sqlite3* db);

} // namespace rimo::tds
