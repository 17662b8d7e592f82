#include "tools/tds-server/protocol.h"

#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/precisetime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace rimo::tds {

namespace {

class Cursor
{
public:
    explicit Cursor(std::string_view data) : m_data(data) {}
    size_t remaining() const { return m_data.size() - m_pos; }
    size_t pos() const { return m_pos; }
    uint8_t peek() const
    {
        need(1);
        return static_cast<uint8_t>(m_data[m_pos]);
    }
    void need(size_t n) const
    {
        if (remaining() < n)
            throw ProtocolError("truncated message");
    }
    uint8_t u8()
    {
        need(1);
        return static_cast<uint8_t>(m_data[m_pos++]);
    }
    uint16_t u16()
    {
        need(2);
        const uint16_t v =
            static_cast<uint8_t>(m_data[m_pos]) | (static_cast<uint8_t>(m_data[m_pos + 1]) << 8);
        m_pos += 2;
        return v;
    }
    uint32_t u32()
    {
        need(4);
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(m_data[m_pos + i]);
        m_pos += 4;
        return v;
    }
    uint64_t u64()
    {
        const uint64_t lo = u32();
        const uint64_t hi = u32();
        return lo | (hi << 32);
    }
    std::string_view bytes(size_t n)
    {
        need(n);
        std::string_view v = m_data.substr(m_pos, n);
        m_pos += n;
        return v;
    }
    void skip(size_t n) { bytes(n); }

private:
    std::string_view m_data;
    size_t m_pos = 0;
};

int64_t signExtend(uint64_t v, int bytes)
{
    if (bytes >= 8)
        return static_cast<int64_t>(v);
    const uint64_t sign = uint64_t(1) << (bytes * 8 - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
}

uint64_t readLe(std::string_view b)
{
    uint64_t v = 0;
    for (size_t i = b.size(); i-- > 0;)
        v = (v << 8) | static_cast<uint8_t>(b[i]);
    return v;
}

// RPC parameter values are read by one reader per type family. Fixed-width types carry their bytes
// directly; their nullable forms (INTN, FLTN, ...) first give a maximum and an actual length, zero for
// NULL.

// The bytes of a nullable fixed-width value (INTN, BITN, FLTN, MONEYN, DATETIMN, GUID); nullopt for NULL.
std::optional<std::string_view> nullableBytes(Cursor& c)
{
    c.u8(); // max length
    const uint8_t len = c.u8();
    if (len == 0)
        return std::nullopt;
    return c.bytes(len);
}

// The width of a fixed-width type; 0 for the nullable forms, whose values carry their length.
size_t fixedWidth(uint8_t type)
{
    switch (type) {
    case 0x30: // TINYINT
    case 0x32: // BIT
        return 1;
    case 0x34: // SMALLINT
        return 2;
    case 0x38: // INT
    case 0x3B: // REAL
    case 0x7A: // SMALLMONEY
    case 0x3A: // SMALLDATETIME
        return 4;
    case 0x7F: // BIGINT
    case 0x3E: // FLOAT
    case 0x3C: // MONEY
    case 0x3D: // DATETIME
        return 8;
    default:
        return 0;
    }
}

// The value bytes of a fixed-width type or of its nullable form (nullopt for NULL). Throws `bad` when a
// nullable form's length is none of `lengths`.
std::optional<std::string_view> valueBytes(Cursor& c, uint8_t type, std::initializer_list<size_t> lengths,
                                           const char* bad)
{
    if (const size_t width = fixedWidth(type))
        return c.bytes(width);
    const auto b = nullableBytes(c);
    if (b && std::find(lengths.begin(), lengths.end(), b->size()) == lengths.end())
        throw ProtocolError(bad);
    return b;
}

// TINYINT (unsigned), SMALLINT, INT, BIGINT, BIT and their nullable forms INTN and BITN.
Value readInteger(Cursor& c, uint8_t type)
{
    const auto b = valueBytes(c, type, {1, 2, 4, 8}, "bad integer length");
    Value v;
    if (!b)
        return v;
    v.kind = Value::Int;
    const uint64_t raw = readLe(*b);
    v.i = b->size() == 1 ? static_cast<int64_t>(raw) : signExtend(raw, static_cast<int>(b->size()));
    if (type == 0x32 || type == 0x68)
        v.i = v.i != 0;
    return v;
}

// REAL, FLOAT and FLTN.
Value readFloat(Cursor& c, uint8_t type)
{
    const auto b = valueBytes(c, type, {4, 8}, "bad float length");
    Value v;
    if (!b)
        return v;
    v.kind = Value::Float;
    if (b->size() == 4) {
        float f;
        const uint32_t raw = static_cast<uint32_t>(readLe(*b));
        std::memcpy(&f, &raw, 4);
        v.d = f;
    } else {
        const uint64_t raw = readLe(*b);
        std::memcpy(&v.d, &raw, 8);
    }
    return v;
}

// SMALLMONEY, MONEY and MONEYN: ten-thousandths, the 8-byte form with its high half first.
Value readMoney(Cursor& c, uint8_t type)
{
    const auto b = valueBytes(c, type, {4, 8}, "bad money length");
    Value v;
    if (!b)
        return v;
    int64_t units;
    if (b->size() == 4) {
        units = signExtend(readLe(*b), 4);
    } else {
        const uint64_t hi = readLe(b->substr(0, 4));
        const uint64_t lo = readLe(b->substr(4, 4));
        units = static_cast<int64_t>((hi << 32) | lo);
    }
    v.kind = Value::Float;
    v.d = static_cast<double>(units) / 10000.0;
    return v;
}

// SMALLDATETIME (days, minutes), DATETIME (days, 1/300 s ticks) and DATETIMN, as text.
Value readDateTime(Cursor& c, uint8_t type)
{
    const auto b = valueBytes(c, type, {4, 8}, "bad datetime length");
    Value v;
    if (!b)
        return v;
    v.kind = Value::Text;
    if (b->size() == 4)
        v.s = datetimeText(static_cast<int32_t>(readLe(b->substr(0, 2))),
                           static_cast<uint32_t>(readLe(b->substr(2, 2)) * 60 * 300));
    else
        v.s = datetimeText(static_cast<int32_t>(signExtend(readLe(b->substr(0, 4)), 4)),
                           static_cast<uint32_t>(readLe(b->substr(4, 4))));
    return v;
}

// UNIQUEIDENTIFIER, as its usual text (the first three groups are stored little-endian).
Value readGuid(Cursor& c)
{
    const auto b = valueBytes(c, 0x24, {16}, "bad guid length");
    Value v;
    if (!b)
        return v;
    char buf[40];
    const auto* u = reinterpret_cast<const unsigned char*>(b->data());
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  u[3], u[2], u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12], u[13],
                  u[14], u[15]);
    v.kind = Value::Text;
    v.s = buf;
    return v;
}

// DECIMALN and NUMERICN: a whole number when it has no scale and fits, else a double.
Value readDecimal(Cursor& c)
{
    c.u8(); // max length
    c.u8(); // precision
    const uint8_t scale = c.u8();
    if (scale > 38)
        throw ProtocolError("bad scale");
    const uint8_t len = c.u8();
    const std::string_view data = c.bytes(len);
    Value v;
    if (data.empty())
        return v;
    const bool negative = data[0] == 0;
    const std::string_view mag = data.substr(1);
    if (mag.size() > 16)
        throw ProtocolError("numeric value too long");
    unsigned __int128 m = 0;
    for (size_t i = mag.size(); i-- > 0;)
        m = (m << 8) | static_cast<uint8_t>(mag[i]);
    if (scale == 0 && m <= static_cast<unsigned __int128>(INT64_MAX)) {
        v.kind = Value::Int;
        v.i = negative ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
        return v;
    }
    v.kind = Value::Float;
    v.d = std::strtod(scaledToText(m, scale, negative).c_str(), nullptr);
    return v;
}

// DATE, TIME, DATETIME2 and DATETIMEOFFSET (whose offset is dropped), as text.
Value readDateOrTime(Cursor& c, uint8_t type)
{
    Value v;
    if (type == 0x28) {
        const uint8_t len = c.u8();
        if (len == 0)
            return v;
        if (len != 3)
            throw ProtocolError("bad date length");
        v.kind = Value::Text;
        v.s = dateText(static_cast<int64_t>(readLe(c.bytes(3))));
        return v;
    }
    const uint8_t scale = c.u8();
    if (scale > 7)
        throw ProtocolError("bad time scale");
    const uint8_t len = c.u8();
    if (len == 0)
        return v;
    const int timeLen = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    const int expect = timeLen + (type == 0x29 ? 0 : 3) + (type == 0x2B ? 2 : 0);
    if (len != expect)
        throw ProtocolError("bad time length");
    auto text = preciseWireText(type, scale, c.bytes(len));
    if (!text)
        throw ProtocolError("bad date or time value");
    v.kind = Value::Text;
    v.s = std::move(*text);
    return v;
}

// A PLP value (the MAX types): total length, then chunks until a zero-length one.
std::string readPlp(Cursor& c, bool& isNull)
{
    const uint64_t total = c.u64();
    isNull = total == UINT64_MAX;
    std::string out;
    if (isNull)
        return out;
    for (;;) {
        const uint32_t len = c.u32();
        if (len == 0)
            break;
        out.append(c.bytes(len));
        if (out.size() > kMaxMessageSize)
            throw ProtocolError("PLP value too long");
    }
    return out;
}

// The bytes of a variable-length value after its maximum length: PLP for MAX, else a 2-byte length
// (0xFFFF for NULL).
std::optional<std::string> varBytes(Cursor& c, uint16_t maxLen)
{
    if (maxLen == 0xFFFF) {
        bool isNull = false;
        std::string data = readPlp(c, isNull);
        if (isNull)
            return std::nullopt;
        return data;
    }
    const uint16_t len = c.u16();
    if (len == 0xFFFF)
        return std::nullopt;
    return std::string(c.bytes(len));
}

Value textValue(std::string_view bytes, bool unicode)
{
    Value v;
    v.kind = Value::Text;
    v.s = unicode ? utf16leToUtf8(bytes) : cp1256ToUtf8(bytes);
    return v;
}

Value blobValue(std::string data)
{
    Value v;
    v.kind = Value::Blob;
    v.s = std::move(data);
    return v;
}

// VARCHAR, CHAR (code page 1256), NVARCHAR, NCHAR (UTF-16), with their collation.
Value readCharacter(Cursor& c, uint8_t type)
{
    const uint16_t maxLen = c.u16();
    c.skip(5); // collation
    const auto data = varBytes(c, maxLen);
    if (!data)
        return Value();
    return textValue(*data, type == 0xE7 || type == 0xEF);
}

// VARBINARY and BINARY.
Value readBinary(Cursor& c)
{
    const uint16_t maxLen = c.u16();
    auto data = varBytes(c, maxLen);
    if (!data)
        return Value();
    return blobValue(std::move(*data));
}

// The old large types TEXT, NTEXT (with a collation) and IMAGE: a 4-byte maximum and length.
Value readLargeObject(Cursor& c, uint8_t type)
{
    c.u32(); // max length
    if (type != 0x22)
        c.skip(5); // collation
    const uint32_t len = c.u32();
    if (len == 0xFFFFFFFF)
        return Value();
    const std::string_view data = c.bytes(len);
    if (type == 0x22)
        return blobValue(std::string(data));
    return textValue(data, type == 0x63);
}

// The arithmetic type of a parameter sent as `type`; `width` is the declared width of the nullable
// forms (INTN 1, 2, 4 or 8, ...).
ArithType wireArithType(uint8_t type, uint8_t width)
{
    switch (type) {
    case 0x30:
        return ArithType::TinyInt;
    case 0x32:
    case 0x68:
        return ArithType::Bit;
    case 0x34:
        return ArithType::SmallInt;
    case 0x38:
        return ArithType::Int;
    case 0x7F:
        return ArithType::BigInt;
    case 0x26:
        return width == 1   ? ArithType::TinyInt
               : width == 2 ? ArithType::SmallInt
               : width == 4 ? ArithType::Int
                            : ArithType::BigInt;
    case 0x3B:
        return ArithType::Real;
    case 0x3E:
        return ArithType::Float;
    case 0x6D:
        return width == 4 ? ArithType::Real : ArithType::Float;
    case 0x7A:
        return ArithType::SmallMoney;
    case 0x3C:
        return ArithType::Money;
    case 0x6E:
        return width == 4 ? ArithType::SmallMoney : ArithType::Money;
    case 0x6A:
    case 0x6C:
        return ArithType::Decimal;
    case 0xA7:
    case 0xAF:
    case 0x23:
        return ArithType::AText;
    case 0xE7:
    case 0xEF:
    case 0x63:
        return ArithType::NText;
    case 0xA5:
    case 0xAD:
    case 0x22:
        return ArithType::Binary;
    case 0x1F:
        return ArithType::Unknown;
    default:
        return ArithType::Other;
    }
}

Value readTypedValue(Cursor& c, uint8_t type);

Value readParamValue(Cursor& c)
{
    const uint8_t type = c.u8();
    const uint8_t width = c.remaining() > 0 ? c.peek() : 0;
    Value v = readTypedValue(c, type);
    v.arithType = static_cast<uint8_t>(wireArithType(type, width));
    return v;
}

Value readTypedValue(Cursor& c, uint8_t type)
{
    switch (type) {
    case 0x1F: // NULLTYPE
        return Value();
    case 0x30: // TINYINT
    case 0x32: // BIT
    case 0x34: // SMALLINT
    case 0x38: // INT
    case 0x7F: // BIGINT
    case 0x26: // INTN
    case 0x68: // BITN
        return readInteger(c, type);
    case 0x3B: // REAL
    case 0x3E: // FLOAT
    case 0x6D: // FLTN
        return readFloat(c, type);
    case 0x7A: // SMALLMONEY
    case 0x3C: // MONEY
    case 0x6E: // MONEYN
        return readMoney(c, type);
    case 0x3A: // SMALLDATETIME
    case 0x3D: // DATETIME
    case 0x6F: // DATETIMN
        return readDateTime(c, type);
    case 0x24: // UNIQUEIDENTIFIER
        return readGuid(c);
    case 0x6A: // DECIMALN
    case 0x6C: // NUMERICN
        return readDecimal(c);
    case 0x28: // DATE
    case 0x29: // TIME
    case 0x2A: // DATETIME2
    case 0x2B: // DATETIMEOFFSET
        return readDateOrTime(c, type);
    case 0xA7: // BIGVARCHAR
    case 0xAF: // BIGCHAR
    case 0xE7: // NVARCHAR
    case 0xEF: // NCHAR
        return readCharacter(c, type);
    case 0xA5: // BIGVARBINARY
    case 0xAD: // BIGBINARY
        return readBinary(c);
    case 0x23: // TEXT
    case 0x63: // NTEXT
    case 0x22: // IMAGE
        return readLargeObject(c, type);
    default:
        throw ProtocolError("unsupported parameter type");
    }
}

} // namespace

std::string scaledToText(unsigned __int128 magnitude, int scale, bool negative)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    while (static_cast<int>(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0)
        digits.insert(digits.end() - scale, '.');
    return (negative ? "-" : "") + digits;
}

bool MessageReader::next(Message& out)
{
    out = Message();
    bool first = true;
    for (;;) {
        char header[8];
        if (!m_read(header, 8)) {
            if (first)
                return false;
            throw ProtocolError("connection closed inside a message");
        }
        const uint8_t type = static_cast<uint8_t>(header[0]);
        const uint8_t status = static_cast<uint8_t>(header[1]);
        const size_t length = (static_cast<uint8_t>(header[2]) << 8) | static_cast<uint8_t>(header[3]);
        if (length < 8)
            throw ProtocolError("bad packet length");
        if (first) {
            out.type = type;
        } else if (type != out.type) {
            throw ProtocolError("packet type changed inside a message");
        }
        first = false;
        out.status = status;
        const size_t body = length - 8;
        if (out.payload.size() + body > m_limit)
            throw ProtocolError("message too large");
        const size_t old = out.payload.size();
        out.payload.resize(old + body);
        if (body > 0 && !m_read(out.payload.data() + old, body))
            throw ProtocolError("connection closed inside a packet");
        if (status & 0x01)
            return true;
    }
}

LoginRequest parseLogin7(std::string_view payload)
{
    Cursor c(payload);
    LoginRequest r;
    const uint32_t length = c.u32();
    if (length > payload.size() || length < 86)
        throw ProtocolError("bad LOGIN7 length");
    r.tdsVersion = c.u32();
    r.packetSize = c.u32();
    c.skip(12 + 4 + 8);
    auto field = [&](bool password) {
        const uint16_t ib = c.u16();
        const uint16_t cch = c.u16();
        const size_t begin = ib;
        const size_t end = begin + 2u * cch;
        if (end > length)
            throw ProtocolError("LOGIN7 field out of range");
        std::string raw(payload.substr(begin, end - begin));
        if (password)
            for (char& ch : raw) {
                const uint8_t b = static_cast<uint8_t>(ch) ^ 0xA5;
                ch = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
            }
        return utf16leToUtf8(raw);
    };
    r.hostName = field(false);
    r.userName = field(false);
    r.password = field(true);
    r.appName = field(false);
    r.serverName = field(false);
    c.skip(4);    // extension
    field(false); // client interface name
    r.language = field(false);
    r.database = field(false);
    return r;
}

std::string preloginReply(std::string_view request)
{
    // Walk the option table so that a garbled PRELOGIN is refused rather than answered.
    Cursor c(request);
    for (int guard = 0;; ++guard) {
        const uint8_t token = c.u8();
        if (token == 0xFF)
            break;
        const size_t offset = (static_cast<size_t>(c.u8()) << 8) | c.u8();
        const size_t len = (static_cast<size_t>(c.u8()) << 8) | c.u8();
        if (offset + len > request.size() || guard > 64)
            throw ProtocolError("bad PRELOGIN option");
    }
    static const unsigned char reply[] = {0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00,
                                          0x01, 0x02, 0x00, 0x21, 0x00, 0x01, 0x03, 0x00, 0x22,
                                          0x00, 0x00, 0x04, 0x00, 0x22, 0x00, 0x01, 0xFF, 0x10,
                                          0x00, 0x07, 0xD0, 0x00, 0x00, 0x02, 0x00, 0x00};
    return std::string(reinterpret_cast<const char*>(reply), sizeof reply);
}

namespace {

void skipHeaders(Cursor& c, std::string_view payload)
{
    const uint32_t total = c.u32();
    if (total < 4 || total > payload.size())
        throw ProtocolError("bad ALL_HEADERS length");
    c.skip(total - 4);
}

} // namespace

std::string parseSqlBatch(std::string_view payload, bool hasHeaders)
{
    Cursor c(payload);
    if (hasHeaders)
        skipHeaders(c, payload);
    return utf16leToUtf8(payload.substr(c.pos()));
}

RpcRequest parseRpc(std::string_view payload, bool hasHeaders)
{
    Cursor c(payload);
    if (hasHeaders)
        skipHeaders(c, payload);
    RpcRequest r;
    const uint16_t nameLen = c.u16();
    if (nameLen == 0xFFFF)
        r.procId = c.u16();
    else
        r.procName = utf16leToUtf8(c.bytes(2u * nameLen));
    c.u16(); // option flags
    while (c.remaining() > 0) {
        const uint8_t next = static_cast<uint8_t>(payload[c.pos()]);
        if (next == 0x80 || next == 0xFF || next == 0xFE)
            break; // a second RPC in the same message; only the first is run
        RpcParam p;
        const uint8_t len = c.u8();
        p.name = utf16leToUtf8(c.bytes(2u * len));
        c.u8(); // status flags
        p.value = readParamValue(c);
        r.params.push_back(std::move(p));
        // One past SQL Server's limit is enough to refuse the request (8003); the rest is not read.
        if (r.params.size() > 2100)
            break;
    }
    return r;
}

} // namespace rimo::tds
