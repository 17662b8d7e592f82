#include "tools/tds-server/resulttokens.h"

#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/precisetime.h"
#include "tools/tds-server/servererror.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

namespace rimo::tds {

namespace {

void put16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void putLe(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string sqliteText(sqlite3_stmt* st, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return p ? std::string(p, sqlite3_column_bytes(st, i)) : std::string();
}

void writeNull(std::string& out, const Wire& w)
{
    if (w.plp) {
        putLe(out, UINT64_MAX, 8);
        return;
    }
    switch (w.tds) {
    case 0xE7:
    case 0xEF:
    case 0xA7:
    case 0xAF:
    case 0xA5:
        put16(out, 0xFFFF);
        break;
    default:
        out.push_back('\0');
    }
}

void writeBytes(std::string& out, const Wire& w, std::string_view data)
{
    if (w.plp) {
        putLe(out, data.size(), 8);
        if (!data.empty()) {
            putLe(out, data.size(), 4);
            out.append(data);
        }
        putLe(out, 0, 4);
        return;
    }
    if (data.size() > w.byteLen)
        data = data.substr(0, w.byteLen);
    put16(out, static_cast<uint16_t>(data.size()));
    out.append(data);
}

void writeInt(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    const Wire& w = m.wire;
    const int64_t v = sqlite3_column_int64(st, i);
    const bool fits = w.byteLen == 8 || (w.byteLen == 4 && v >= INT32_MIN && v <= INT32_MAX) ||
                      (w.byteLen == 2 && v >= INT16_MIN && v <= INT16_MAX) ||
                      (w.byteLen == 1 && v >= 0 && v <= 255);
    if (!fits)
        throw ServerError(8115, 16,
                          "Arithmetic overflow error converting expression to data type " + m.type.sqlName() +
                              ".");
    out.push_back(static_cast<char>(w.byteLen));
    putLe(out, static_cast<uint64_t>(v), static_cast<int>(w.byteLen));
}

void writeFloat(std::string& out, const Wire& w, sqlite3_stmt* st, int i)
{
    const double d = sqlite3_column_double(st, i);
    out.push_back(static_cast<char>(w.byteLen));
    if (w.byteLen == 4) {
        const float f = static_cast<float>(d);
        uint32_t raw;
        std::memcpy(&raw, &f, 4);
        putLe(out, raw, 4);
    } else {
        uint64_t raw;
        std::memcpy(&raw, &d, 8);
        putLe(out, raw, 8);
    }
}

unsigned __int128 scaledMagnitude(sqlite3_stmt* st, int i, int scale, bool& negative)
{
    long double v;
    if (sqlite3_column_type(st, i) == SQLITE_INTEGER)
        v = static_cast<long double>(sqlite3_column_int64(st, i));
    else if (sqlite3_column_type(st, i) == SQLITE_FLOAT)
        v = sqlite3_column_double(st, i);
    else
        v = std::strtold(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), nullptr);
    negative = v < 0;
    if (negative)
        v = -v;
    for (int k = 0; k < scale; ++k)
        v *= 10;
    v = std::floor(v + 0.5L);
    if (v >= 1e38L)
        throw ServerError(8115, 16, "Arithmetic overflow error converting to data type numeric.");
    return static_cast<unsigned __int128>(v);
}

void writeDecimal(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    bool negative = false;
    unsigned __int128 mag = scaledMagnitude(st, i, m.type.scale, negative);
    out.push_back(static_cast<char>(m.wire.byteLen));
    out.push_back(negative ? 0 : 1);
    for (uint32_t k = 0; k + 1 < m.wire.byteLen; ++k) {
        out.push_back(static_cast<char>(static_cast<uint8_t>(mag & 0xFF)));
        mag >>= 8;
    }
}

// Money travels as a count of ten-thousandths; the 8-byte form sends its high half first. A stored
// value is a double past 15 significant digits, and the double nearest money's largest amount,
// 922337203685477.5807, is 2^63 ten-thousandths: the count is held to the type's range rather than
// wrapped around to its other end.
void writeMoney(std::string& out, const Wire& w, sqlite3_stmt* st, int i)
{
    const int64_t lo = w.byteLen == 4 ? INT32_MIN : INT64_MIN;
    const int64_t hi = w.byteLen == 4 ? INT32_MAX : INT64_MAX;
    int64_t units = 0;
    if (sqlite3_column_type(st, i) == SQLITE_INTEGER) {
        const int64_t whole = sqlite3_column_int64(st, i);
        units = whole > hi / 10000 ? hi : whole < lo / 10000 ? lo : whole * 10000;
    } else {
        const double scaled = sqlite3_column_double(st, i) * 10000.0;
        units = !(scaled < static_cast<double>(hi)) ? hi
                : scaled <= static_cast<double>(lo) ? lo
                                                    : std::llround(scaled);
    }
    out.push_back(static_cast<char>(w.byteLen));
    if (w.byteLen == 4) {
        putLe(out, static_cast<uint64_t>(units), 4);
    } else {
        putLe(out, static_cast<uint64_t>(units) >> 32, 4);
        putLe(out, static_cast<uint64_t>(units) & 0xFFFFFFFFu, 4);
    }
}

// A stored number is a day count from 1900-01-01 with the time as its fraction; text is parsed.
void writeDateTime(std::string& out, const Wire& w, sqlite3_stmt* st, int i)
{
    int64_t days = 0;
    int64_t ms = 0;
    const int t = sqlite3_column_type(st, i);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        const double v = sqlite3_column_double(st, i);
        days = daysFromCivil(1900, 1, 1) + static_cast<int64_t>(std::floor(v));
        ms = std::llround((v - std::floor(v)) * 86400000.0);
    } else {
        const std::string text = sqliteText(st, i);
        if (!parseDateTime(text, days, ms))
            throw ServerError(241, 16,
                              "Conversion failed when converting date and/or time from character string.");
    }
    if (w.enc == Enc::Date) {
        out.push_back(3);
        putLe(out, static_cast<uint64_t>(days - daysFromCivil(1, 1, 1)), 3);
    } else if (w.byteLen == 4) {
        out.push_back(4);
        putLe(out, static_cast<uint64_t>(days - daysFromCivil(1900, 1, 1)), 2);
        putLe(out, static_cast<uint64_t>((ms + 30000) / 60000), 2);
    } else {
        out.push_back(8);
        putLe(out, static_cast<uint64_t>(days - daysFromCivil(1900, 1, 1)), 4);
        putLe(out, static_cast<uint64_t>((ms * 3 + 5) / 10), 4);
    }
}

PreciseTime preciseValue(const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    int error = 241;
    const auto t = readPreciseTime(sqliteText(st, i), m.type.type, m.type.scale, error);
    if (!t)
        throw ServerError(241, 16,
                          "Conversion failed when converting date and/or time from character string.");
    return *t;
}

// TIMEN, DATETIME2N, DATETIMEOFFSETN: the time in 10^-scale seconds (3 to 5 bytes by the scale), the date
// as days since 0001-01-01, the offset in minutes; a datetimeoffset's date and time are its UTC instant.
void writePreciseTime(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    PreciseTime t = preciseValue(m, st, i);
    const int scale = m.type.scale;
    const int timeLen = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    if (m.type.type == SqlType::DateTimeOffset) {
        const int64_t utc = utcUnits(t);
        t.days1970 = utc / kUnitsPerDay + daysFromCivil(1, 1, 1);
        t.units = utc % kUnitsPerDay;
    }
    uint64_t units = static_cast<uint64_t>(t.units);
    for (int k = scale; k < 7; ++k)
        units /= 10;
    out.push_back(static_cast<char>(m.wire.byteLen));
    putLe(out, units, timeLen);
    if (m.type.type == SqlType::Time)
        return;
    putLe(out, static_cast<uint64_t>(t.days1970 - daysFromCivil(1, 1, 1)), 3);
    if (m.type.type == SqlType::DateTimeOffset)
        putLe(out, static_cast<uint64_t>(static_cast<uint16_t>(static_cast<int16_t>(t.offsetMinutes))), 2);
}

// Before TDS 7.3 the same values go as the nvarchar text SQL Server shows for them.
void writePreciseText(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    const std::string text = shownPreciseText(preciseValue(m, st, i), m.type.type, m.type.scale);
    std::string utf16;
    appendUtf16le(utf16, text);
    writeBytes(out, m.wire, utf16);
}

// UTF-16 text, cut to the declared length and blank-padded to it for NCHAR.
void writeUnicodeText(std::string& out, const Wire& w, sqlite3_stmt* st, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    const std::string_view text(p, sqlite3_column_bytes(st, i));
    if (w.plp) {
        std::string tmp;
        appendUtf16le(tmp, text);
        writeBytes(out, w, tmp);
        return;
    }
    const size_t lenPos = out.size();
    put16(out, 0);
    size_t units = appendUtf16le(out, text);
    size_t bytes = out.size() - lenPos - 2;
    if (bytes > w.byteLen) {
        out.resize(lenPos + 2 + w.byteLen);
        bytes = w.byteLen;
        units = bytes / 2;
    }
    for (; static_cast<int>(units) < w.padChars; ++units) {
        out.push_back(' ');
        out.push_back('\0');
        bytes += 2;
    }
    out[lenPos] = static_cast<char>(bytes & 0xFF);
    out[lenPos + 1] = static_cast<char>(bytes >> 8);
}

// Code-page 1256 text, blank-padded to the declared length for CHAR.
void writeAnsiText(std::string& out, const Wire& w, sqlite3_stmt* st, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    std::string narrow = utf8ToCp1256(std::string_view(p, sqlite3_column_bytes(st, i)));
    if (w.padChars > 0 && static_cast<int>(narrow.size()) < w.padChars)
        narrow.append(w.padChars - narrow.size(), ' ');
    writeBytes(out, w, narrow);
}

void writeValue(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    const Wire& w = m.wire;
    if (sqlite3_column_type(st, i) == SQLITE_NULL) {
        writeNull(out, w);
        return;
    }
    switch (w.enc) {
    case Enc::Int:
        writeInt(out, m, st, i);
        break;
    case Enc::Bit:
        out.push_back(1);
        out.push_back(sqlite3_column_int64(st, i) != 0 ? 1 : 0);
        break;
    case Enc::Float:
        writeFloat(out, w, st, i);
        break;
    case Enc::Decimal:
        writeDecimal(out, m, st, i);
        break;
    case Enc::Money:
        writeMoney(out, w, st, i);
        break;
    case Enc::DateTime:
    case Enc::Date:
        writeDateTime(out, w, st, i);
        break;
    case Enc::PreciseTime:
        writePreciseTime(out, m, st, i);
        break;
    case Enc::PreciseText:
        writePreciseText(out, m, st, i);
        break;
    case Enc::UText:
        writeUnicodeText(out, w, st, i);
        break;
    case Enc::AText:
        writeAnsiText(out, w, st, i);
        break;
    case Enc::Binary: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
        writeBytes(out, w, std::string_view(p ? p : "", sqlite3_column_bytes(st, i)));
        break;
    }
    }
}

} // namespace

Wire wireFor(const ColumnType& t, uint32_t version)
{
    Wire w;
    const bool maxOk = version >= kTds72;
    switch (t.type) {
    case SqlType::Int:
        w = {0x26, 4, Enc::Int};
        break;
    case SqlType::BigInt:
        w = {0x26, 8, Enc::Int};
        break;
    case SqlType::SmallInt:
        w = {0x26, 2, Enc::Int};
        break;
    case SqlType::TinyInt:
        w = {0x26, 1, Enc::Int};
        break;
    case SqlType::Bit:
        w = {0x68, 1, Enc::Bit};
        break;
    case SqlType::Float:
        w = {0x6D, 8, Enc::Float};
        break;
    case SqlType::Real:
        w = {0x6D, 4, Enc::Float};
        break;
    case SqlType::Decimal:
    case SqlType::Numeric: {
        const int p = t.precision;
        w = {static_cast<uint8_t>(t.type == SqlType::Decimal ? 0x6A : 0x6C),
             static_cast<uint32_t>(p <= 9    ? 5
                                   : p <= 19 ? 9
                                   : p <= 28 ? 13
                                             : 17),
             Enc::Decimal};
        break;
    }
    case SqlType::Money:
        w = {0x6E, 8, Enc::Money};
        break;
    case SqlType::SmallMoney:
        w = {0x6E, 4, Enc::Money};
        break;
    case SqlType::DateTime:
        w = {0x6F, 8, Enc::DateTime};
        break;
    case SqlType::SmallDateTime:
        w = {0x6F, 4, Enc::DateTime};
        break;
    case SqlType::Date:
        w = version >= kTds73A ? Wire{0x28, 3, Enc::Date} : Wire{0x6F, 8, Enc::DateTime};
        break;
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset: {
        const int timeLen = t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
        if (version >= kTds73A) {
            const bool dated = t.type != SqlType::Time;
            const bool offset = t.type == SqlType::DateTimeOffset;
            w = {static_cast<uint8_t>(offset  ? 0x2B
                                      : dated ? 0x2A
                                              : 0x29),
                 static_cast<uint32_t>(timeLen + (dated ? 3 : 0) + (offset ? 2 : 0)), Enc::PreciseTime};
        } else {
            // "HH:MM:SS[.f]", with "YYYY-MM-DD " before and " +hh:mm" after.
            const int chars = 8 + (t.scale > 0 ? 1 + t.scale : 0) + (t.type == SqlType::Time ? 0 : 11) +
                              (t.type == SqlType::DateTimeOffset ? 7 : 0);
            w = {0xE7, static_cast<uint32_t>(2 * chars), Enc::PreciseText};
        }
        break;
    }
    case SqlType::NVarChar:
    case SqlType::NText:
        if (t.length < 0)
            w = maxOk ? Wire{0xE7, 0xFFFF, Enc::UText, true} : Wire{0xE7, 8000, Enc::UText};
        else
            w = {0xE7, static_cast<uint32_t>(2 * t.length), Enc::UText};
        break;
    case SqlType::NChar:
        w = {0xEF, static_cast<uint32_t>(2 * t.length), Enc::UText, false, t.length};
        break;
    case SqlType::VarChar:
    case SqlType::Text:
        if (t.length < 0)
            w = maxOk ? Wire{0xA7, 0xFFFF, Enc::AText, true} : Wire{0xA7, 8000, Enc::AText};
        else
            w = {0xA7, static_cast<uint32_t>(t.length), Enc::AText};
        break;
    case SqlType::Char:
        w = {0xAF, static_cast<uint32_t>(t.length), Enc::AText, false, t.length};
        break;
    case SqlType::VarBinary:
    case SqlType::Binary:
    case SqlType::Image:
        if (t.length < 0)
            w = maxOk ? Wire{0xA5, 0xFFFF, Enc::Binary, true} : Wire{0xA5, 8000, Enc::Binary};
        else
            w = {0xA5, static_cast<uint32_t>(t.length), Enc::Binary};
        break;
    }
    return w;
}

void writeColMetadata(ReplyWriter& w, const std::vector<ColumnMeta>& cols, uint32_t version)
{
    w.u8(0x81);
    w.u16(static_cast<uint16_t>(cols.size()));
    for (const auto& c : cols) {
        if (version >= kTds72)
            w.u32(0);
        else
            w.u16(0);
        w.u16(static_cast<uint16_t>((c.nullable ? 0x01 : 0) | 0x08 | (c.identity ? 0x10 : 0)));
        const Wire& wi = c.wire;
        w.u8(wi.tds);
        switch (wi.tds) {
        case 0x26:
        case 0x68:
        case 0x6D:
        case 0x6E:
        case 0x6F:
            w.u8(static_cast<uint8_t>(wi.byteLen));
            break;
        case 0x6A:
        case 0x6C:
            w.u8(static_cast<uint8_t>(wi.byteLen));
            w.u8(static_cast<uint8_t>(c.type.precision));
            w.u8(static_cast<uint8_t>(c.type.scale));
            break;
        case 0x28:
            break;
        case 0x29:
        case 0x2A:
        case 0x2B:
            w.u8(static_cast<uint8_t>(c.type.scale));
            break;
        case 0xA5:
            w.u16(static_cast<uint16_t>(wi.byteLen));
            break;
        default: // character types carry the collation
            w.u16(static_cast<uint16_t>(wi.byteLen));
            w.buf().append(reinterpret_cast<const char*>(kCollation), 5);
            break;
        }
        w.bVarchar(c.name);
    }
}

void writeRow(std::string& out, const std::vector<ColumnMeta>& cols, sqlite3_stmt* st)
{
    out.push_back(static_cast<char>(0xD1));
    const int n = static_cast<int>(cols.size());
    for (int i = 0; i < n; ++i)
        writeValue(out, cols[i], st, i);
}

void HeldDone::hold(uint16_t status, uint16_t curCmd, uint64_t count, bool inRpc)
{
    flush(true);
    m_done = Done{static_cast<uint8_t>(inRpc ? 0xFF : 0xFD), status, curCmd, count};
}

void HeldDone::holdToken(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t count)
{
    flush(true);
    m_done = Done{token, status, curCmd, count};
}

void HeldDone::flush(bool more)
{
    if (!m_done)
        return;
    m_writer.done(m_done->token, static_cast<uint16_t>(m_done->status | (more ? kDoneMore : 0)),
                  m_done->curCmd, m_done->count);
    m_done.reset();
}

} // namespace rimo::tds
