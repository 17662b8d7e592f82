#include "tools/tds-server/values.h"

#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/precisetime.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rimo::tds {

namespace {

constexpr int64_t kMsPerDay = 86400000;

std::string trimmed(std::string_view s)
{
    size_t a = 0;
    size_t b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return std::string(s.substr(a, b - a));
}

void raise(sqlite3_context* ctx, int number, const std::string& text)
{
    const std::string message = "rimo:" + std::to_string(number) + ":" + text;
    sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

struct IntRange
{
    const char* name;
    int64_t lo;
    int64_t hi;
};

std::optional<IntRange> intRange(std::string_view code)
{
    if (code == "int")
        return IntRange{"int", INT32_MIN, INT32_MAX};
    if (code == "smallint")
        return IntRange{"smallint", INT16_MIN, INT16_MAX};
    if (code == "tinyint")
        return IntRange{"tinyint", 0, 255};
    if (code == "bigint")
        return IntRange{"bigint", INT64_MIN, INT64_MAX};
    return std::nullopt;
}

std::string valueText(sqlite3_value* v)
{
    return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                       static_cast<size_t>(sqlite3_value_bytes(v)));
}

void storeInteger(sqlite3_context* ctx, sqlite3_value* v, const IntRange& r)
{
    const std::string overflow =
        std::string("Arithmetic overflow error converting expression to data type ") + r.name + ".";
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        const int64_t i = sqlite3_value_int64(v);
        if (i < r.lo || i > r.hi)
            return raise(ctx, 8115, overflow);
        return sqlite3_result_int64(ctx, i);
    }
    case SQLITE_FLOAT: {
        const double d = std::trunc(sqlite3_value_double(v));
        if (!(d >= static_cast<double>(r.lo) && d <= static_cast<double>(r.hi)) || std::isnan(d))
            return raise(ctx, 8115, overflow);
        return sqlite3_result_int64(ctx, static_cast<int64_t>(d));
    }
    case SQLITE_BLOB:
        return raise(ctx, 257,
                     std::string("Implicit conversion from data type varbinary to ") + r.name +
                         " is not allowed. Use the CONVERT function to run this query.");
    default:
        break;
    }
    const std::string text = valueText(v);
    const std::string t = trimmed(text);
    size_t k = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    const bool digits = k < t.size() && t.find_first_not_of("0123456789", k) == std::string::npos;
    if (t.empty())
        return sqlite3_result_int64(ctx, 0);
    if (!digits)
        return raise(ctx, 245,
                     "Conversion failed when converting the varchar value '" + text + "' to data type " +
                         r.name + ".");
    errno = 0;
    const long long i = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || i < r.lo || i > r.hi)
        return raise(ctx, 248,
                     "The conversion of the varchar value '" + text + "' overflowed an " + r.name +
                         " column. Use a larger integer column.");
    sqlite3_result_int64(ctx, i);
}

void storeBit(sqlite3_context* ctx, sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return sqlite3_result_int(ctx, sqlite3_value_int64(v) != 0);
    case SQLITE_FLOAT:
        return sqlite3_result_int(ctx, sqlite3_value_double(v) != 0);
    case SQLITE_BLOB:
        return raise(
            ctx, 257,
            "Implicit conversion from data type varbinary to bit is not allowed. Use the CONVERT function "
            "to run this query.");
    default:
        break;
    }
    const std::string text = valueText(v);
    const std::string t = lowerAscii(trimmed(text));
    if (t == "true")
        return sqlite3_result_int(ctx, 1);
    if (t == "false")
        return sqlite3_result_int(ctx, 0);
    size_t k = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (k < t.size() && t.find_first_not_of("0123456789", k) == std::string::npos)
        return sqlite3_result_int(ctx, t.find_first_not_of("0+-") != std::string::npos);
    if (t.empty())
        return sqlite3_result_int(ctx, 0);
    raise(ctx, 245, "Conversion failed when converting the varchar value '" + text + "' to data type bit.");
}

void storeFloat(sqlite3_context* ctx, sqlite3_value* v, bool single)
{
    const char* name = single ? "real" : "float";
    double d = 0;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        d = sqlite3_value_double(v);
        break;
    case SQLITE_BLOB:
        return raise(ctx, 257,
                     std::string("Implicit conversion from data type varbinary to ") + name +
                         " is not allowed. Use the CONVERT function to run this query.");
    default: {
        const std::string t = trimmed(valueText(v));
        if (!t.empty()) {
            char* end = nullptr;
            d = std::strtod(t.c_str(), &end);
            if (end != t.c_str() + t.size() || t.find_first_of("xXnN") != std::string::npos)
                return raise(ctx, 8114, std::string("Error converting data type varchar to ") + name + ".");
        }
    }
    }
    if (single) {
        if (std::isinf(d) || std::fabs(d) > FLT_MAX)
            return raise(ctx, 8115, "Arithmetic overflow error converting expression to data type real.");
        d = static_cast<double>(static_cast<float>(d));
    }
    sqlite3_result_double(ctx, d);
}

void storeDateTime(sqlite3_context* ctx, sqlite3_value* v, SqlType type, const char* name)
{
    int error = 241;
    std::optional<std::string> out;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        if (type == SqlType::Date)
            return raise(ctx, 206,
                         std::string("Operand type clash: ") +
                             (sqlite3_value_type(v) == SQLITE_INTEGER ? "int" : "float") +
                             " is incompatible with date");
        // A number is a day count from 1900-01-01, its fraction the time of day.
        const double n = sqlite3_value_double(v);
        if (!std::isfinite(n) || std::fabs(n) > 3e6)
            return raise(ctx, 8115,
                         std::string("Arithmetic overflow error converting expression to data type ") + name +
                             ".");
        const double whole = std::floor(n);
        out = roundInstant(daysFromCivil(1900, 1, 1) + static_cast<int64_t>(whole),
                           std::llround((n - whole) * kMsPerDay), type, error);
        if (!out)
            return raise(ctx, 8115,
                         std::string("Arithmetic overflow error converting expression to data type ") + name +
                             ".");
        break;
    }
    case SQLITE_BLOB:
        return raise(ctx, 257,
                     std::string("Implicit conversion from data type varbinary to ") + name +
                         " is not allowed. Use the CONVERT function to run this query.");
    default:
        out = storedDateTime(valueText(v), type, error);
    }
    if (!out) {
        if (error == 242)
            return raise(ctx, 242,
                         std::string("The conversion of a varchar data type to a ") + name +
                             " data type resulted in an out-of-range value.");
        return raise(ctx, 241, "Conversion failed when converting date and/or time from character string.");
    }
    sqlite3_result_text(ctx, out->data(), static_cast<int>(out->size()), SQLITE_TRANSIENT);
}

// time, datetime2 and datetimeoffset from a text only: numbers clash with them as with date.
void storePreciseTime(sqlite3_context* ctx, sqlite3_value* v, const std::string& code)
{
    const ColumnType t = parseTypeText(code).value_or(ColumnType{SqlType::DateTime2, 0, 0, 7});
    const std::string name = code.substr(0, code.find('('));
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return raise(ctx, 206,
                     std::string("Operand type clash: ") +
                         (sqlite3_value_type(v) == SQLITE_INTEGER ? "int" : "float") +
                         " is incompatible with " + name);
    case SQLITE_BLOB:
        return raise(ctx, 257,
                     "Implicit conversion from data type varbinary to " + name +
                         " is not allowed. Use the CONVERT function to run this query.");
    default:
        break;
    }
    int error = 241;
    const auto out = storedPreciseTime(valueText(v), t.type, t.scale, error);
    if (!out) {
        if (error == 242)
            return raise(ctx, 242,
                         "The conversion of a varchar data type to a " + name +
                             " data type resulted in an out-of-range value.");
        return raise(ctx, 241, "Conversion failed when converting date and/or time from character string.");
    }
    sqlite3_result_text(ctx, out->data(), static_cast<int>(out->size()), SQLITE_TRANSIENT);
}

// Binary columns take bytes; a text needs an explicit CONVERT, as in SQL Server.
void storeBinary(sqlite3_context* ctx, sqlite3_value* v, const std::string& code)
{
    if (sqlite3_value_type(v) == SQLITE_TEXT)
        return raise(ctx, 257,
                     "Implicit conversion from data type varchar to " + code +
                         " is not allowed. Use the CONVERT function to run this query.");
    sqlite3_result_value(ctx, v);
}

// An exact decimal number as sign and digits, read from a value without going through binary floating
// point where the value did not come as one.
struct DecimalDigits
{
    bool negative = false;
    std::string whole;    // no leading zeros
    std::string fraction; // as written
};

// "-12.50", "+.5", "3." (blanks around): a number as text. No exponent: SQL Server's conversion of a
// varchar to numeric refuses one.
std::optional<DecimalDigits> parseDecimalText(std::string_view text)
{
    std::string t = trimmed(text);
    DecimalDigits d;
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        d.negative = t[i++] == '-';
    bool any = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        if (!(d.whole.empty() && t[i] == '0'))
            d.whole += t[i];
        any = true;
        ++i;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            d.fraction += t[i++];
            any = true;
        }
    }
    if (!any || i != t.size())
        return std::nullopt;
    return d;
}

DecimalDigits decimalOfDouble(double v)
{
    // The shortest text that reads back as the same double: what the client wrote as 2.675 is rounded
    // as 2.675, not as the binary value just below it.
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return *parseDecimalText(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

DecimalDigits decimalOfInteger(int64_t v)
{
    DecimalDigits d;
    d.negative = v < 0;
    const uint64_t m = d.negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    if (m != 0)
        d.whole = std::to_string(m);
    return d;
}

// Rounds to `scale` digits after the point, half away from zero, as SQL Server does.
void roundDecimal(DecimalDigits& d, int scale)
{
    const size_t s = static_cast<size_t>(scale);
    if (d.fraction.size() <= s) {
        d.fraction.append(s - d.fraction.size(), '0');
        return;
    }
    const bool up = d.fraction[s] >= '5';
    d.fraction.resize(s);
    if (!up)
        return;
    std::string digits = d.whole + d.fraction;
    int k = static_cast<int>(digits.size()) - 1;
    while (k >= 0 && digits[static_cast<size_t>(k)] == '9')
        digits[static_cast<size_t>(k--)] = '0';
    if (k < 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[static_cast<size_t>(k)];
    d.fraction = digits.substr(digits.size() - s);
    d.whole = digits.substr(0, digits.size() - s);
    if (d.whole.find_first_not_of('0') == std::string::npos)
        d.whole.clear();
}

struct DecimalTarget
{
    int precision;
    int scale;
    std::string name;     // "numeric", "money", "smallmoney": the type SQL Server's messages name
    int64_t minUnits = 0; // money ranges, in units of 10^-4
    int64_t maxUnits = 0;
};

std::optional<DecimalTarget> decimalTarget(std::string_view code)
{
    if (code == "money")
        return DecimalTarget{19, 4, "money", INT64_MIN, INT64_MAX};
    if (code == "smallmoney")
        return DecimalTarget{10, 4, "smallmoney", INT32_MIN, INT32_MAX};
    if (code.rfind("decimal(", 0) != 0)
        return std::nullopt;
    DecimalTarget t{18, 0, "numeric"};
    if (std::sscanf(std::string(code).c_str(), "decimal(%d,%d)", &t.precision, &t.scale) != 2 ||
        t.precision < 1 || t.precision > 38 || t.scale < 0 || t.scale > t.precision)
        return std::nullopt;
    return t;
}

// decimal(p,s), numeric(p,s), money, smallmoney: the value rounded to the scale, refused when its whole
// part needs more digits than the precision leaves (or, for money, out of its range).
void storeDecimal(sqlite3_context* ctx, sqlite3_value* v, const DecimalTarget& t)
{
    const bool money = t.name != "numeric";
    DecimalDigits d;
    const char* source = "varchar";
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        d = decimalOfInteger(sqlite3_value_int64(v));
        source = "int";
        break;
    case SQLITE_FLOAT: {
        const double x = sqlite3_value_double(v);
        if (!std::isfinite(x))
            return raise(ctx, 8115,
                         "Arithmetic overflow error converting float to data type " + t.name + ".");
        source = "numeric";
        // SQLite reads a literal as a double: past 15 significant digits its digits are no longer the
        // client's, so the value is kept as that double and refused only when it is beyond the type's
        // range by more than the double's own error.
        double limit = 1;
        for (int k = 0; k < t.precision - t.scale; ++k)
            limit *= 10;
        if (std::fabs(x) * std::pow(10.0, t.scale) >= 1e15) {
            if (std::fabs(x) >= limit * (1 + 1e-15))
                return raise(ctx, 8115,
                             money ? "Arithmetic overflow error converting expression to data type " +
                                         t.name + "."
                                   : std::string("Arithmetic overflow error converting numeric to data type "
                                                 "numeric."));
            return sqlite3_result_double(ctx, x);
        }
        d = decimalOfDouble(x);
        break;
    }
    case SQLITE_BLOB:
        return raise(ctx, 257,
                     "Implicit conversion from data type varbinary to " + t.name +
                         " is not allowed. Use the CONVERT function to run this query.");
    default: {
        const std::string text = valueText(v);
        auto parsed = parseDecimalText(text);
        if (!parsed) {
            if (money)
                return raise(ctx, 235,
                             "Cannot convert a char value to money. The char value has incorrect syntax.");
            return raise(ctx, 8114, "Error converting data type varchar to numeric.");
        }
        d = std::move(*parsed);
    }
    }
    roundDecimal(d, t.scale);
    const std::string overflow =
        money ? "Arithmetic overflow error converting expression to data type " + t.name + "."
              : std::string("Arithmetic overflow error converting ") + source + " to data type numeric.";
    if (static_cast<int>(d.whole.size()) > t.precision - t.scale)
        return raise(ctx, 8115, overflow);
    const std::string digits = (d.whole.empty() ? "0" : d.whole) + d.fraction;
    if (digits.size() <= 18) {
        int64_t units = std::stoll(digits);
        if (d.negative)
            units = -units;
        if (money && (units < t.minUnits || units > t.maxUnits))
            return raise(ctx, 8115, overflow);
        if (d.fraction.find_first_not_of('0') == std::string::npos) {
            int64_t whole = units;
            for (int k = 0; k < t.scale; ++k)
                whole /= 10;
            return sqlite3_result_int64(ctx, whole);
        }
        // Correctly rounded: the double nearest the decimal value, as a literal of it would be.
        double scale = 1;
        for (int k = 0; k < t.scale; ++k)
            scale *= 10;
        return sqlite3_result_double(ctx, static_cast<double>(units) / scale);
    }
    if (money) {
        // 19 digits: only the extremes of money's range need them.
        const unsigned __int128 m = [&] {
            unsigned __int128 x = 0;
            for (char c : digits)
                x = x * 10 + static_cast<unsigned>(c - '0');
            return x;
        }();
        const unsigned __int128 limit =
            d.negative ? static_cast<unsigned __int128>(INT64_MAX) + 1 : INT64_MAX;
        if (m > limit)
            return raise(ctx, 8115, overflow);
    }
    const std::string text =
        std::string(d.negative ? "-" : "") + (d.whole.empty() ? "0" : d.whole) + "." + d.fraction;
    sqlite3_result_double(ctx, std::strtod(text.c_str(), nullptr));
}

// A varchar column keeps a text in its code page; a number or bytes are kept as given.
void storeNarrowText(sqlite3_context* ctx, sqlite3_value* v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return sqlite3_result_value(ctx, v);
    const std::string text = valueText(v);
    const std::string narrow = narrowedToCp1256(text);
    if (narrow == text)
        return sqlite3_result_value(ctx, v);
    sqlite3_result_text(ctx, narrow.data(), static_cast<int>(narrow.size()), SQLITE_TRANSIENT);
}

// rimo_store(value, type): the value as a column of `type` keeps it, or SQL Server's error.
void storeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_value(ctx, v);
    std::string code = valueText(argv[1]);
    // "~": the value is compared with a column of the type; only a text is converted to it, as a number
    // of a higher type is not brought down to a smaller one.
    if (!code.empty() && code.back() == '~') {
        if (sqlite3_value_type(v) != SQLITE_TEXT)
            return sqlite3_result_value(ctx, v);
        code.pop_back();
    }
    if (code == "varchar")
        return storeNarrowText(ctx, v);
    if (const auto d = decimalTarget(code))
        return storeDecimal(ctx, v, *d);
    if (const auto r = intRange(code))
        return storeInteger(ctx, v, *r);
    if (code == "bit")
        return storeBit(ctx, v);
    if (code == "real" || code == "float")
        return storeFloat(ctx, v, code == "real");
    if (code == "datetime")
        return storeDateTime(ctx, v, SqlType::DateTime, "datetime");
    if (code == "smalldatetime")
        return storeDateTime(ctx, v, SqlType::SmallDateTime, "smalldatetime");
    if (code == "date")
        return storeDateTime(ctx, v, SqlType::Date, "date");
    if (code == "varbinary" || code == "binary" || code == "image")
        return storeBinary(ctx, v, code);
    if (code.rfind("time(", 0) == 0 || code.rfind("datetime2(", 0) == 0 ||
        code.rfind("datetimeoffset(", 0) == 0)
        return storePreciseTime(ctx, v, code);
    sqlite3_result_value(ctx, v);
}

// LEN: the characters before the trailing blanks, NUL characters included (SQLite's length() stops at
// the first one).
void lenFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    std::string text = valueText(v);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    sqlite3_result_int64(ctx, static_cast<int64_t>(codePointCount(text)));
}

void dataLengthFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const std::string code = sqlite3_value_type(argv[1]) == SQLITE_NULL ? std::string() : valueText(argv[1]);
    std::string bytes;
    if (type == SQLITE_BLOB)
        bytes.assign(static_cast<const char*>(sqlite3_value_blob(v)),
                     static_cast<size_t>(sqlite3_value_bytes(v)));
    else if (type == SQLITE_TEXT)
        bytes = valueText(v);
    sqlite3_result_int64(ctx,
                         dataLength(code, type, bytes, type == SQLITE_INTEGER ? sqlite3_value_int64(v) : 0));
}

} // namespace

std::string storeCode(const ColumnType& t)
{
    switch (t.type) {
    case SqlType::Int:
        return "int";
    case SqlType::BigInt:
        return "bigint";
    case SqlType::SmallInt:
        return "smallint";
    case SqlType::TinyInt:
        return "tinyint";
    case SqlType::Bit:
        return "bit";
    case SqlType::Real:
        return "real";
    case SqlType::Float:
        return "float";
    case SqlType::DateTime:
        return "datetime";
    case SqlType::SmallDateTime:
        return "smalldatetime";
    case SqlType::Date:
        return "date";
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
        return t.sqlName();
    case SqlType::VarChar:
    case SqlType::Char:
    case SqlType::Text:
        return "varchar";
    case SqlType::Decimal:
    case SqlType::Numeric:
        return "decimal(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    case SqlType::Money:
        return "money";
    case SqlType::SmallMoney:
        return "smallmoney";
    case SqlType::VarBinary:
        return "varbinary";
    case SqlType::Binary:
        return "binary";
    case SqlType::Image:
        return "image";
    default:
        return {};
    }
}

std::string comparedStoreCode(const ColumnType& t)
{
    switch (t.type) {
    case SqlType::VarBinary:
    case SqlType::Binary:
    case SqlType::Image:
    case SqlType::VarChar:
    case SqlType::Char:
    case SqlType::Text:
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
        return {};
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::Bit:
        return storeCode(t) + "~";
    default:
        return storeCode(t);
    }
}

int64_t dataLength(std::string_view typeCode, int valueType, std::string_view text, int64_t integer)
{
    const std::string_view base = typeCode.substr(0, typeCode.find('('));
    if (base == "nvarchar" || base == "nchar" || base == "ntext" || base == "sysname" ||
        (base.empty() && valueType == SQLITE_TEXT)) {
        std::string utf16;
        appendUtf16le(utf16, text);
        return static_cast<int64_t>(utf16.size());
    }
    if (base == "varchar" || base == "char" || base == "text")
        return static_cast<int64_t>(utf8ToCp1256(text).size());
    if (base == "tinyint" || base == "bit")
        return 1;
    if (base == "smallint")
        return 2;
    if (base == "int" || base == "real" || base == "smallmoney" || base == "smalldatetime")
        return 4;
    if (base == "bigint" || base == "float" || base == "money" || base == "datetime")
        return 8;
    if (base == "date")
        return 3;
    if (base == "time" || base == "datetime2" || base == "datetimeoffset") {
        // The time takes 3 to 5 bytes by its scale, the date 3 more, the offset 2.
        const auto t = parseTypeText(typeCode);
        const int scale = t ? t->scale : 7;
        return (scale <= 2   ? 3
                : scale <= 4 ? 4
                             : 5) +
               (base == "time" ? 0 : 3) + (base == "datetimeoffset" ? 2 : 0);
    }
    if (base == "decimal" || base == "numeric") {
        int precision = 18;
        std::sscanf(std::string(typeCode.substr(base.size())).c_str(), "(%d", &precision);
        return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
    }
    if (valueType == SQLITE_INTEGER)
        return integer >= INT32_MIN && integer <= INT32_MAX ? 4 : 8;
    if (valueType == SQLITE_FLOAT)
        return 8;
    return static_cast<int64_t>(text.size());
}

void registerValueFunctions(sqlite3* db)
{
    sqlite3_create_function(db, "rimo_store", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, storeFunction,
                            nullptr, nullptr);
    sqlite3_create_function(db, "rimo_len", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, lenFunction,
                            nullptr, nullptr);
    sqlite3_create_function(db, "rimo_datalength", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            dataLengthFunction, nullptr, nullptr);
}

std::optional<std::pair<int, std::string>> valueError(std::string_view message)
{
    if (message.rfind("rimo:", 0) != 0)
        return std::nullopt;
    const size_t colon = message.find(':', 5);
    if (colon == std::string_view::npos)
        return std::nullopt;
    const int number = std::atoi(std::string(message.substr(5, colon - 5)).c_str());
    if (number <= 0)
        return std::nullopt;
    return std::make_pair(number, std::string(message.substr(colon + 1)));
}

} // namespace rimo::tds
