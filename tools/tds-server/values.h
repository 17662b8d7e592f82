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

// The type code rimo_store takes for a column type ("int", "datetime", ...), or empty when values of the
// type are kept as given.
std::string storeCode(const ColumnType& t);
// The code for a value compared with a column of type `t`, as SQL Server converts it there: a text is
// brought to a whole-number type ("int~": only texts convert); nothing is converted for a binary,
// varchar, decimal or money column (the value keeps its own type or precision); the other types as
// for a value written.
std::string comparedStoreCode(const ColumnType& t);

// DATALENGTH of a value of `typeCode` (a column type's sqlName, or empty when unknown), in SQL Server's
// bytes: UTF-16 for the n-types, code page 1256 for the other texts, the type's width for numbers.
int64_t dataLength(std::string_view typeCode, int valueType, std::string_view text, int64_t integer);

// Registers rimo_store, rimo_len and rimo_datalength on a connection.
void registerValueFunctions(sqlite3* db);

// SQLite errors raised by these functions carry SQL Server's error: "rimo:<number>:<text>".
std::optional<std::pair<int, std::string>> valueError(std::string_view sqliteMessage);

} // namespace rimo::tds
