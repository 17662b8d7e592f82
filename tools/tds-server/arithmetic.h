// Arithmetic as SQL Server types it. +, -, *, / and % take the operand type of higher precedence, and a
// whole-number result outside that type's range is error 8115, a division by zero 8134; + of two texts
// joins them, and a text beside a number is converted to the number's type. The operators run inside
// SQLite as rimo_arith('op', a, b, ta, tb) and rimo_neg(a, ta), where ta and tb are the operands' types
// as far as the translator knows them (see operandTypeSql); a result carries its type to the next
// operator as its SQLite subtype, and a value of no known type is typed by what it holds.
#pragma once

#include "tools/tds-server/storage.h"

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_value;

namespace rimo::tds {

// The types arithmetic tells apart, in SQL Server's order of data type precedence (text lowest).
enum class ArithType : uint8_t {
    Unknown = 0,
    AText, // varchar, char, text
    NText, // nvarchar, nchar, ntext
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    SmallMoney,
    Money,
    Decimal,
    Real,
    Float,
    Binary, // (var)binary, image: no arithmetic
    Other   // dates and times: SQLite's own arithmetic, as before
};

ArithType arithTypeOf(const ColumnType& t);
// The column type an arithmetic result of `t` is sent as; nullopt where the value itself tells better
// (decimal, whose precision is not followed, and the texts).
std::optional<ColumnType> resultTypeOf(ArithType t);
// The type a rimo_arith or rimo_neg result carries as its subtype; Unknown for any other value.
ArithType arithSubtype(sqlite3_value* v);

// Registers rimo_arith, rimo_neg and rimo_binary on a connection; they read a parameter's declared type
// (Value::arithType) from `scope`, which must outlive the connection.
void registerArithmetic(sqlite3* db, const StatementScope* scope);

} // namespace rimo::tds
