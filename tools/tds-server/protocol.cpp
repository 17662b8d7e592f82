#include "tools/tds-server/protocol.h"

#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"

#include <cstdio>
#include <cstring>

namespace rimo::tds {

namespace {

class Cursor
{
public:
    explicit Cursor(std::string_view data) : m_data(data) {}
    size_t remaining() const { return m_data.size() - m_pos; }
    size_t pos() const { return m_pos; }
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

Value numericValue(std::string_view data, int scale)
{
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

Value textValue(std::string_view bytes, bool unicode)
{
    Value v;
    v.kind = Value::Text;
    v.s = unicode ? utf16leToUtf8(bytes) : cp1256ToUtf8(bytes);
    return v;
}

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

Value readParamValue(Cursor& c)
{
    const uint8_t type = c.u8();
    Value v;
    auto fixedInt = [&](int n) {
        v.kind = Value::Int;
        const uint64_t raw = readLe(c.bytes(n));
        v.i = n == 1 ? static_cast<int64_t>(raw) : signExtend(raw, n);
    };
    auto floatOf = [&](std::string_view b) {
        v.kind = Value::Float;
        if (b.size() == 4) {
            float f;
            const uint32_t raw = static_cast<uint32_t>(readLe(b));
            std::memcpy(&f, &raw, 4);
            v.d = f;
        } else {
            const uint64_t raw = readLe(b);
            std::memcpy(&v.d, &raw, 8);
        }
    };
    auto moneyOf = [&](std::string_view b) {
        int64_t units;
        if (b.size() == 4) {
            units = signExtend(readLe(b), 4);
        } else {
            const uint64_t hi = readLe(b.substr(0, 4));
            const uint64_t lo = readLe(b.substr(4, 4));
            units = static_cast<int64_t>((hi << 32) | lo);
        }
        v.kind = Value::Float;
        v.d = static_cast<double>(units) / 10000.0;
    };
    auto datetimeOf = [&](std::string_view b) {
        v.kind = Value::Text;
        if (b.size() == 4)
            v.s = datetimeText(static_cast<int32_t>(readLe(b.substr(0, 2))),
                               static_cast<uint32_t>(readLe(b.substr(2, 2)) * 60 * 300));
        else
            v.s = datetimeText(static_cast<int32_t>(signExtend(readLe(b.substr(0, 4)), 4)),
                               static_cast<uint32_t>(readLe(b.substr(4, 4))));
    };
    switch (type) {
    case 0x1F: // NULLTYPE
        return v;
    case 0x30:
        fixedInt(1);
        return v;
    case 0x32:
        fixedInt(1);
        v.i = v.i != 0;
        return v;
    case 0x34:
        fixedInt(2);
        return v;
    case 0x38:
        fixedInt(4);
        return v;
    case 0x7F:
        fixedInt(8);
        return v;
    case 0x3B:
        floatOf(c.bytes(4));
        return v;
    case 0x3E:
        floatOf(c.bytes(8));
        return v;
    case 0x3C:
        moneyOf(c.bytes(8));
        return v;
    case 0x7A:
        moneyOf(c.bytes(4));
        return v;
    case 0x3D:
        datetimeOf(c.bytes(8));
        return v;
    case 0x3A:
        datetimeOf(c.bytes(4));
        return v;
    case 0x26:
    case 0x68:
    case 0x6D:
    case 0x6E:
    case 0x6F:
    case 0x24: {
        c.u8(); // max length
        const uint8_t len = c.u8();
        if (len == 0)
            return v;
        const std::string_view b = c.bytes(len);
        if (type == 0x26 || type == 0x68) {
            if (len != 1 && len != 2 && len != 4 && len != 8)
                throw ProtocolError("bad integer length");
            v.kind = Value::Int;
            v.i = len == 1 ? static_cast<int64_t>(readLe(b)) : signExtend(readLe(b), len);
            if (type == 0x68)
                v.i = v.i != 0;
        } else if (type == 0x6D) {
            if (len != 4 && len != 8)
                throw ProtocolError("bad float length");
            floatOf(b);
        } else if (type == 0x6E) {
            if (len != 4 && len != 8)
                throw ProtocolError("bad money length");
            moneyOf(b);
        } else if (type == 0x6F) {
            if (len != 4 && len != 8)
                throw ProtocolError("bad datetime length");
            datetimeOf(b);
        } else {
            if (len != 16)
                throw ProtocolError("bad guid length");
            char buf[40];
            const auto* u = reinterpret_cast<const unsigned char*>(b.data());
            std::snprintf(buf, sizeof buf,
                          "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", u[3], u[2],
                          u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12], u[13], u[14],
                          u[15]);
            v.kind = Value::Text;
            v.s = buf;
        }
        return v;
    }
    case 0x6A:
    case 0x6C: {
        c.u8();
        c.u8();
        const uint8_t scale = c.u8();
        if (scale > 38)
            throw ProtocolError("bad scale");
        const uint8_t len = c.u8();
        return numericValue(c.bytes(len), scale);
    }
    case 0x28: {
        const uint8_t len = c.u8();
        if (len == 0)
            return v;
        if (len != 3)
            throw ProtocolError("bad date length");
        v.kind = Value::Text;
        v.s = dateText(static_cast<int64_t>(readLe(c.bytes(3))));
        return v;
    }
    case 0x29:
    case 0x2A:
    case 0x2B: {
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
        const std::string_view b = c.bytes(len);
        const std::string time = timeText(readLe(b.substr(0, timeLen)), scale);
        v.kind = Value::Text;
        v.s = type == 0x29 ? time : dateText(static_cast<int64_t>(readLe(b.substr(timeLen, 3)))) + " " + time;
        return v;
    }
    case 0xA7:
    case 0xAF:
    case 0xE7:
    case 0xEF:
    case 0xA5:
    case 0xAD: {
        const uint16_t maxLen = c.u16();
        const bool hasCollation = type != 0xA5 && type != 0xAD;
        if (hasCollation)
            c.skip(5);
        std::string data;
        if (maxLen == 0xFFFF) {
            bool isNull = false;
            data = readPlp(c, isNull);
            if (isNull)
                return v;
        } else {
            const uint16_t len = c.u16();
            if (len == 0xFFFF)
                return v;
            data = std::string(c.bytes(len));
        }
        if (!hasCollation) {
            v.kind = Value::Blob;
            v.s = std::move(data);
            return v;
        }
        return textValue(data, type == 0xE7 || type == 0xEF);
    }
    case 0x23:
    case 0x63:
    case 0x22: {
        c.u32();
        if (type != 0x22)
            c.skip(5);
        const uint32_t len = c.u32();
        if (len == 0xFFFFFFFF)
            return v;
        const std::string_view data = c.bytes(len);
        if (type == 0x22) {
            v.kind = Value::Blob;
            v.s = std::string(data);
            return v;
        }
        return textValue(data, type == 0x63);
    }
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
        if (out.payload.size() + body > kMaxMessageSize)
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
        if (r.params.size() > 2100)
            throw ProtocolError("too many parameters");
    }
    return r;
}

} // namespace rimo::tds
