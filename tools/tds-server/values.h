// Values as SQL Server keeps them in a typed column: whole numbers in their type's range, dates and times
// as instants, real at single precision. The conversions run inside SQLite as rimo_store(value, 'type'),
// which the translator puts around every value written to a column and every value compared with one.
#pragma once

#include "tools/tds-server/storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace rimo::tds {

// The text a date or time is kept as, whatever its type: "YYYY-MM-DD HH:MM:SS.mmm", so that every form
// of one instant is one stored value and equals a date/time parameter.
// Parses a text the way SQL Server reads one under us_english with DATEFORMAT mdy, for a column of
// `type` (DateTime, SmallDateTime or Date), rounding as that type does (1/300 s, the minute, the day).
// Returns the kept text, or nullopt with `error` set to 241 (not a date) or 242 (out of the type's range).
std::optional<std::string> storedDateTime(std::string_view text, SqlType type, int& error);

// The type code rimo_store takes for a column type ("int", "datetime", ...), or empty when values of the
// type are kept as given.
std::string storeCode(const ColumnType& t);

// DATALENGTH of a value of `typeCode` (a column type's sqlName, or empty when unknown), in SQL Server's
// bytes: UTF-16 for the n-types, code page 1256 for the other texts, the type's width for numbers.
int64_t dataLength(std::string_view typeCode, int valueType, std::string_view text, int64_t integer);

// Registers rimo_store, rimo_len and rimo_datalength on a connection.
void registerValueFunctions(sqlite3* db);

// SQLite errors raised by these functions carry SQL Server's error: "rimo:<number>:<text>".
std::optional<std::pair<int, std::string>> valueError(std::string_view sqliteMessage);

} // namespace rimo::tds
