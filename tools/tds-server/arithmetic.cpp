#include "tools/tds-server/arithmetic.h"

#include "tools/tds-server/encoding.h"

#include <sqlite3.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace rimo::tds {

namespace {

// A result's type travels as its subtype: this base plus its ArithType, clear of the subtypes SQLite's own
// functions use (JSON's is 'J').
constexpr unsigned kSubtypeBase = 0xA0;

constexpr double kMoneyLimit = 922337203685477.5807;
constexpr double kSmallMoneyLimit = 214748.3647;

void raise(sqlite3_context* ctx, int number, const std::string& text)
{
    const std::string message = "rimo:" + std::to_string(number) + ":" + text;
    sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

const char* sqlName(ArithType t)
{
    switch (t) {
    case ArithType::AText:
        return "varchar";
    case ArithType::NText:
        return "nvarchar";
    case ArithType::Bit:
        return "bit";
    case ArithType::TinyInt:
        return "tinyint";
    case ArithType::SmallInt:
        return "smallint";
    case ArithType::Int:
        return "int";
    case ArithType::BigInt:
        return "bigint";
    case ArithType::SmallMoney:
        return "smallmoney";
    case ArithType::Money:
        return "money";
    case ArithType::Decimal:
        return "numeric";
    case ArithType::Real:
        return "real";
    case ArithType::Float:
        return "float";
    case ArithType::Binary:
        return "varbinary";
    default:
        return "datetime";
    }
}

bool isText(ArithType t)
{
    return t == ArithType::AText || t == ArithType::NText;
}

bool isWhole(ArithType t)
{
    return t >= ArithType::Bit && t <= ArithType::BigInt;
}

bool isNumber(ArithType t)
{
    return t >= ArithType::Bit && t <= ArithType::Float;
}

void overflow(sqlite3_context* ctx, ArithType t)
{
    raise(ctx, 8115,
          std::string("Arithmetic overflow error converting expression to data type ") + sqlName(t) + ".");
}

std::string valueText(sqlite3_value* v)
{
    return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                       static_cast<size_t>(sqlite3_value_bytes(v)));
}

// The type an argument names: a code, a parameter's name (its declared type), or NULL (none).
ArithType namedType(sqlite3_value* arg, const StatementScope* scope)
{
    switch (sqlite3_value_type(arg)) {
    case SQLITE_INTEGER: {
        const int64_t code = sqlite3_value_int64(arg);
        return code > 0 && code <= static_cast<int64_t>(ArithType::Other) ? static_cast<ArithType>(code)
                                                                          : ArithType::Unknown;
    }
    case SQLITE_TEXT: {
        const std::string text = valueText(arg);
        if (text.empty())
            return ArithType::Unknown;
        if (text[0] != '@') {
            const long code = std::strtol(text.c_str(), nullptr, 10);
            return code > 0 && code <= static_cast<long>(ArithType::Other) ? static_cast<ArithType>(code)
                                                                           : ArithType::Unknown;
        }
        if (!scope || !scope->params)
            return ArithType::Unknown;
        const auto it = scope->params->find(text);
        if (it == scope->params->end() || it->second.arithType == 0 ||
            it->second.arithType > static_cast<uint8_t>(ArithType::Other))
            return ArithType::Unknown;
        return static_cast<ArithType>(it->second.arithType);
    }
    default:
        return ArithType::Unknown;
    }
}

// An operand's type: the one the translator knew, else the one its value carries from an earlier
// operator, else what the value holds (a whole number is an int when it fits one, as a literal is).
ArithType operandType(sqlite3_value* v, ArithType known)
{
    if (known != ArithType::Unknown)
        return known;
    const ArithType carried = arithSubtype(v);
    if (carried != ArithType::Unknown)
        return carried;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        const int64_t i = sqlite3_value_int64(v);
        return i >= INT32_MIN && i <= INT32_MAX ? ArithType::Int : ArithType::BigInt;
    }
    case SQLITE_FLOAT:
        return ArithType::Float;
    case SQLITE_TEXT:
        return ArithType::NText;
    case SQLITE_BLOB:
        return ArithType::Binary;
    default:
        return ArithType::Unknown;
    }
}

struct Number
{
    bool whole = true; // held in i, else in d
    int64_t i = 0;
    double d = 0;
    double asDouble() const { return whole ? static_cast<double>(i) : d; }
};

std::string trimmed(std::string_view s)
{
    size_t a = 0;
    size_t b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r' || s[a] == '\n'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r' || s[b - 1] == '\n'))
        --b;
    return std::string(s.substr(a, b - a));
}

// A text operand brought to the number type of the other operand, as SQL Server converts it; false
// (with the error raised) when it is no such number.
bool textToNumber(sqlite3_context* ctx, sqlite3_value* v, ArithType textType, ArithType target, Number& out)
{
    const std::string text = valueText(v);
    const std::string t = trimmed(text);
    const std::string from = sqlName(textType);
    if (isWhole(target)) {
        const size_t sign = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
        if (t.empty()) {
            out = Number{true, 0, 0};
            return true;
        }
        if (sign >= t.size() || t.find_first_not_of("0123456789", sign) != std::string::npos) {
            raise(ctx, 245,
                  "Conversion failed when converting the " + from + " value '" + text + "' to data type " +
                      sqlName(target) + ".");
            return false;
        }
        errno = 0;
        const long long i = std::strtoll(t.c_str(), nullptr, 10);
        if (errno == ERANGE || (target != ArithType::BigInt && (i < INT32_MIN || i > INT32_MAX))) {
            raise(ctx, 248,
                  "The conversion of the " + from + " value '" + text + "' overflowed an " + sqlName(target) +
                      " column. Use a larger integer column.");
            return false;
        }
        out = Number{true, i, 0};
        return true;
    }
    char* end = nullptr;
    const double d = t.empty() ? 0 : std::strtod(t.c_str(), &end);
    if ((!t.empty() && end != t.c_str() + t.size()) || t.find_first_of("xXnN") != std::string::npos ||
        (t.empty() && target == ArithType::Decimal)) {
        if (target == ArithType::Money || target == ArithType::SmallMoney)
            raise(ctx, 235, "Cannot convert a char value to money. The char value has incorrect syntax.");
        else
            raise(ctx, 8114, "Error converting data type " + from + " to " + sqlName(target) + ".");
        return false;
    }
    out = Number{false, 0, d};
    return true;
}

Number numberOf(sqlite3_value* v)
{
    if (sqlite3_value_type(v) == SQLITE_INTEGER)
        return Number{true, sqlite3_value_int64(v), 0};
    return Number{false, 0, sqlite3_value_double(v)};
}

void setResult(sqlite3_context* ctx, const Number& n, ArithType type)
{
    if (n.whole)
        sqlite3_result_int64(ctx, n.i);
    else
        sqlite3_result_double(ctx, n.d);
    sqlite3_result_subtype(ctx, kSubtypeBase + static_cast<unsigned>(type));
}

bool inRange(int64_t v, ArithType t)
{
    switch (t) {
    case ArithType::Bit:
    case ArithType::TinyInt:
        return v >= 0 && v <= 255;
    case ArithType::SmallInt:
        return v >= INT16_MIN && v <= INT16_MAX;
    case ArithType::Int:
        return v >= INT32_MIN && v <= INT32_MAX;
    default:
        return true;
    }
}

// Whole numbers: exact, refused past the result type's range.
void wholeArithmetic(sqlite3_context* ctx, char op, int64_t a, int64_t b, ArithType type)
{
    int64_t r = 0;
    bool over = false;
    switch (op) {
    case '+':
        over = __builtin_add_overflow(a, b, &r);
        break;
    case '-':
        over = __builtin_sub_overflow(a, b, &r);
        break;
    case '*':
        over = __builtin_mul_overflow(a, b, &r);
        break;
    case '/':
    case '%':
        if (b == 0)
            return raise(ctx, 8134, "Divide by zero error encountered.");
        if (b == -1) {
            // The smallest bigint divided by -1 is one past the largest.
            if (op == '%')
                r = 0;
            else if (a == INT64_MIN)
                over = true;
            else
                r = -a;
        } else {
            r = op == '/' ? a / b : a % b;
        }
        break;
    default:
        return raise(ctx, 8180, "Unknown arithmetic operator.");
    }
    if (over || !inRange(r, type))
        return overflow(ctx, type);
    setResult(ctx, Number{true, r, 0}, type);
}

// money, decimal, real and float: in double precision, refused past the type's range.
void fractionalArithmetic(sqlite3_context* ctx, char op, const Number& a, const Number& b, ArithType type,
                          ArithType ta, ArithType tb)
{
    // Whole values of decimal and money columns are kept as whole numbers; they stay exact while they
    // can.
    if (a.whole && b.whole && (op == '+' || op == '-' || op == '*')) {
        int64_t r = 0;
        const bool over = op == '+'   ? __builtin_add_overflow(a.i, b.i, &r)
                          : op == '-' ? __builtin_sub_overflow(a.i, b.i, &r)
                                      : __builtin_mul_overflow(a.i, b.i, &r);
        if (!over && (type == ArithType::Decimal ||
                      std::fabs(static_cast<double>(r)) <=
                          (type == ArithType::SmallMoney ? kSmallMoneyLimit : kMoneyLimit)))
            return setResult(ctx, Number{true, r, 0}, type);
    }
    const double x = a.asDouble();
    const double y = b.asDouble();
    double r = 0;
    switch (op) {
    case '+':
        r = x + y;
        break;
    case '-':
        r = x - y;
        break;
    case '*':
        r = x * y;
        break;
    case '/':
        if (y == 0)
            return raise(ctx, 8134, "Divide by zero error encountered.");
        r = x / y;
        break;
    case '%':
        if (type == ArithType::Real || type == ArithType::Float)
            return raise(ctx, 402,
                         std::string("The data types ") + sqlName(ta) + " and " + sqlName(tb) +
                             " are incompatible in the modulo operator.");
        if (y == 0)
            return raise(ctx, 8134, "Divide by zero error encountered.");
        r = std::fmod(x, y);
        break;
    default:
        return raise(ctx, 8180, "Unknown arithmetic operator.");
    }
    switch (type) {
    case ArithType::Real:
        if (!std::isfinite(r) || std::fabs(r) > FLT_MAX)
            return overflow(ctx, type);
        r = static_cast<double>(static_cast<float>(r));
        break;
    case ArithType::Float:
        if (!std::isfinite(r))
            return overflow(ctx, type);
        break;
    case ArithType::Money:
    case ArithType::SmallMoney:
        if (!std::isfinite(r) ||
            std::fabs(r) > (type == ArithType::SmallMoney ? kSmallMoneyLimit : kMoneyLimit) + 0.00005)
            return overflow(ctx, type);
        if (std::fabs(r) < 1e14)
            r = std::round(r * 10000) / 10000;
        break;
    default:
        if (!std::isfinite(r) || std::fabs(r) >= 1e38)
            return overflow(ctx, type);
        break;
    }
    setResult(ctx, Number{false, 0, r}, type);
}

// rimo_arith(op, a, b, ta, tb)
void arithFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* scope = static_cast<const StatementScope*>(sqlite3_user_data(ctx));
    const char op = sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 1
                        ? static_cast<char>(sqlite3_value_text(argv[0])[0])
                        : '?';
    sqlite3_value* a = argv[1];
    sqlite3_value* b = argv[2];
    if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const ArithType ta = operandType(a, namedType(argv[3], scope));
    const ArithType tb = operandType(b, namedType(argv[4], scope));
    if (isText(ta) && isText(tb)) {
        if (op != '+')
            return raise(ctx, 8117,
                         std::string("Operand data type ") + sqlName(ta) + " is invalid for " +
                             (op == '-'   ? "subtract"
                              : op == '*' ? "multiply"
                              : op == '/' ? "divide"
                                          : "modulo") +
                             " operator.");
        std::string joined = valueText(a);
        joined += valueText(b);
        sqlite3_result_text(ctx, joined.data(), static_cast<int>(joined.size()), SQLITE_TRANSIENT);
        return sqlite3_result_subtype(
            ctx, kSubtypeBase + static_cast<unsigned>(ta == ArithType::NText || tb == ArithType::NText
                                                          ? ArithType::NText
                                                          : ArithType::AText));
    }
    if (ta == ArithType::Binary && tb == ArithType::Binary && op == '+') {
        std::string joined(static_cast<const char*>(sqlite3_value_blob(a)),
                           static_cast<size_t>(sqlite3_value_bytes(a)));
        joined.append(static_cast<const char*>(sqlite3_value_blob(b)),
                      static_cast<size_t>(sqlite3_value_bytes(b)));
        return sqlite3_result_blob(ctx, joined.data(), static_cast<int>(joined.size()), SQLITE_TRANSIENT);
    }
    if (!(isNumber(ta) || isText(ta)) || !(isNumber(tb) || isText(tb))) {
        // Dates, times and binary values: SQLite's own arithmetic, as before, but never a division by zero.
        if ((op == '/' || op == '%') && sqlite3_value_double(b) == 0)
            return raise(ctx, 8134, "Divide by zero error encountered.");
        const Number x = numberOf(a);
        const Number y = numberOf(b);
        if (x.whole && y.whole)
            return wholeArithmetic(ctx, op, x.i, y.i, ArithType::BigInt);
        return fractionalArithmetic(ctx, op, x, y, ArithType::Float, ta, tb);
    }
    const ArithType type = isText(ta) ? tb : isText(tb) ? ta : std::max(ta, tb);
    Number x;
    Number y;
    if (isText(ta) ? !textToNumber(ctx, a, ta, type, x) : (x = numberOf(a), false))
        return;
    if (isText(tb) ? !textToNumber(ctx, b, tb, type, y) : (y = numberOf(b), false))
        return;
    if (isWhole(type) && x.whole && y.whole)
        // bit with bit is counted as int.
        return wholeArithmetic(ctx, op, x.i, y.i, type == ArithType::Bit ? ArithType::Int : type);
    if (isWhole(type)) {
        // A whole-number column holding a fraction cannot be; take the value's own precision.
        return fractionalArithmetic(ctx, op, x, y, ArithType::Float, ta, tb);
    }
    fractionalArithmetic(ctx, op, x, y, type, ta, tb);
}

// rimo_neg(a, ta): unary minus; tinyint becomes smallint, as SQL Server's negative of one does.
void negFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* scope = static_cast<const StatementScope*>(sqlite3_user_data(ctx));
    sqlite3_value* a = argv[0];
    if (sqlite3_value_type(a) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    ArithType t = operandType(a, namedType(argv[1], scope));
    if (isText(t) || t == ArithType::Bit || t == ArithType::Binary)
        return raise(ctx, 8117,
                     std::string("Operand data type ") + sqlName(t) + " is invalid for minus operator.");
    const Number n = numberOf(a);
    if (t == ArithType::TinyInt)
        t = ArithType::SmallInt;
    if (!isNumber(t)) {
        if (n.whole && n.i == INT64_MIN)
            return overflow(ctx, ArithType::BigInt);
        if (n.whole)
            return sqlite3_result_int64(ctx, -n.i);
        return sqlite3_result_double(ctx, -n.d);
    }
    if (n.whole) {
        if (n.i == INT64_MIN || !inRange(-n.i, t))
            return overflow(ctx, t);
        return setResult(ctx, Number{true, -n.i, 0}, t);
    }
    if ((t == ArithType::Money && -n.d > kMoneyLimit) ||
        (t == ArithType::SmallMoney && -n.d > kSmallMoneyLimit))
        return overflow(ctx, t);
    setResult(ctx, Number{false, 0, -n.d}, t);
}

void putBigEndian(std::string& out, uint64_t v, int bytes)
{
    for (int k = bytes - 1; k >= 0; --k)
        out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// rimo_binary(a, ta, length, fixed, style): CAST and CONVERT to binary(n), varbinary(n) and image as
// SQL Server makes the bytes: nvarchar as UTF-16LE, varchar in its code page, whole numbers and floats
// big-endian in their type's width, money as its big-endian count of ten-thousandths; CONVERT's styles
// 1 and 2 read a text as hexadecimal digits (with and without 0x). The bytes are cut to the length
// (-1: none), and binary(n) fills up to it with zeros.
void binaryFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* scope = static_cast<const StatementScope*>(sqlite3_user_data(ctx));
    sqlite3_value* a = argv[0];
    if (sqlite3_value_type(a) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const ArithType t = operandType(a, namedType(argv[1], scope));
    const int64_t length = sqlite3_value_int64(argv[2]);
    const bool fixed = sqlite3_value_int(argv[3]) != 0;
    const int style = sqlite3_value_int(argv[4]);
    std::string bytes;
    switch (sqlite3_value_type(a)) {
    case SQLITE_BLOB:
        bytes.assign(static_cast<const char*>(sqlite3_value_blob(a)),
                     static_cast<size_t>(sqlite3_value_bytes(a)));
        break;
    case SQLITE_TEXT: {
        const std::string text = valueText(a);
        if (style == 1 || style == 2) {
            std::string_view digits = text;
            const bool prefixed =
                digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
            if (style == 1 && !prefixed)
                return raise(ctx, 8114,
                             std::string("Error converting data type ") + sqlName(t) + " to varbinary.");
            if (prefixed)
                digits.remove_prefix(2);
            if (digits.size() % 2)
                return raise(ctx, 8114,
                             std::string("Error converting data type ") + sqlName(t) + " to varbinary.");
            for (size_t k = 0; k < digits.size(); k += 2) {
                const int hi = hexDigit(digits[k]);
                const int lo = hexDigit(digits[k + 1]);
                if (hi < 0 || lo < 0)
                    return raise(ctx, 8114,
                                 std::string("Error converting data type ") + sqlName(t) + " to varbinary.");
                bytes.push_back(static_cast<char>(hi * 16 + lo));
            }
        } else if (t == ArithType::AText) {
            bytes = utf8ToCp1256(text);
        } else {
            appendUtf16le(bytes, text);
        }
        break;
    }
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        switch (t) {
        case ArithType::Bit:
        case ArithType::TinyInt:
            putBigEndian(bytes, static_cast<uint64_t>(sqlite3_value_int64(a)), 1);
            break;
        case ArithType::SmallInt:
            putBigEndian(bytes, static_cast<uint64_t>(sqlite3_value_int64(a)), 2);
            break;
        case ArithType::Int:
            putBigEndian(bytes, static_cast<uint64_t>(sqlite3_value_int64(a)), 4);
            break;
        case ArithType::BigInt:
            putBigEndian(bytes, static_cast<uint64_t>(sqlite3_value_int64(a)), 8);
            break;
        case ArithType::Real: {
            const float f = static_cast<float>(sqlite3_value_double(a));
            uint32_t u = 0;
            std::memcpy(&u, &f, 4);
            putBigEndian(bytes, u, 4);
            break;
        }
        case ArithType::Float: {
            const double d = sqlite3_value_double(a);
            uint64_t u = 0;
            std::memcpy(&u, &d, 8);
            putBigEndian(bytes, u, 8);
            break;
        }
        case ArithType::Money:
        case ArithType::SmallMoney: {
            const double units = std::round(sqlite3_value_double(a) * 10000);
            const bool small = t == ArithType::SmallMoney;
            const double limit = small ? 2147483647.0 : 9223372036854775807.0;
            const int64_t u = units >= limit        ? (small ? INT32_MAX : INT64_MAX)
                              : units <= -limit - 1 ? (small ? INT32_MIN : INT64_MIN)
                                                    : static_cast<int64_t>(units);
            putBigEndian(bytes, static_cast<uint64_t>(u), small ? 4 : 8);
            break;
        }
        default:
            return raise(ctx, 40000,
                         std::string("A conversion of a ") + sqlName(t) +
                             " value to binary is not supported by the test server.");
        }
        break;
    }
    default:
        break;
    }
    if (length >= 0 && bytes.size() > static_cast<size_t>(length))
        bytes.resize(static_cast<size_t>(length));
    if (fixed && length >= 0 && bytes.size() < static_cast<size_t>(length))
        bytes.append(static_cast<size_t>(length) - bytes.size(), '\0');
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

} // namespace

ArithType arithTypeOf(const ColumnType& t)
{
    switch (t.type) {
    case SqlType::Int:
        return ArithType::Int;
    case SqlType::BigInt:
        return ArithType::BigInt;
    case SqlType::SmallInt:
        return ArithType::SmallInt;
    case SqlType::TinyInt:
        return ArithType::TinyInt;
    case SqlType::Bit:
        return ArithType::Bit;
    case SqlType::Float:
        return ArithType::Float;
    case SqlType::Real:
        return ArithType::Real;
    case SqlType::Decimal:
    case SqlType::Numeric:
        return ArithType::Decimal;
    case SqlType::Money:
        return ArithType::Money;
    case SqlType::SmallMoney:
        return ArithType::SmallMoney;
    case SqlType::NVarChar:
    case SqlType::NChar:
    case SqlType::NText:
        return ArithType::NText;
    case SqlType::VarChar:
    case SqlType::Char:
    case SqlType::Text:
        return ArithType::AText;
    case SqlType::VarBinary:
    case SqlType::Binary:
    case SqlType::Image:
        return ArithType::Binary;
    default:
        return ArithType::Other;
    }
}

std::optional<ColumnType> resultTypeOf(ArithType t)
{
    switch (t) {
    case ArithType::TinyInt:
        return ColumnType{SqlType::TinyInt, 0, 0, 0};
    case ArithType::SmallInt:
        return ColumnType{SqlType::SmallInt, 0, 0, 0};
    case ArithType::Int:
        return ColumnType{SqlType::Int, 0, 0, 0};
    case ArithType::BigInt:
        return ColumnType{SqlType::BigInt, 0, 0, 0};
    case ArithType::SmallMoney:
        return ColumnType{SqlType::SmallMoney, 0, 0, 0};
    case ArithType::Money:
        return ColumnType{SqlType::Money, 0, 0, 0};
    case ArithType::Real:
        return ColumnType{SqlType::Real, 0, 0, 0};
    case ArithType::Float:
        return ColumnType{SqlType::Float, 0, 0, 0};
    default:
        return std::nullopt;
    }
}

ArithType arithSubtype(sqlite3_value* v)
{
    const unsigned s = sqlite3_value_subtype(v);
    if (s <= kSubtypeBase || s > kSubtypeBase + static_cast<unsigned>(ArithType::Other))
        return ArithType::Unknown;
    return static_cast<ArithType>(s - kSubtypeBase);
}

void registerArithmetic(sqlite3* db, const StatementScope* scope)
{
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
#ifdef SQLITE_SUBTYPE
    flags |= SQLITE_SUBTYPE;
#endif
#ifdef SQLITE_RESULT_SUBTYPE
    flags |= SQLITE_RESULT_SUBTYPE;
#endif
    auto* data = const_cast<StatementScope*>(scope);
    sqlite3_create_function(db, "rimo_arith", 5, flags, data, arithFunction, nullptr, nullptr);
    sqlite3_create_function(db, "rimo_neg", 2, flags, data, negFunction, nullptr, nullptr);
    sqlite3_create_function(db, "rimo_binary", 5, flags, data, binaryFunction, nullptr, nullptr);
}

} // namespace rimo::tds
