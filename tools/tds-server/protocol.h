// TDS 7.x message framing and the requests the test server reads: packet assembly, PRELOGIN, LOGIN7,
// SQL batch and RPC parsing (replies are written by replywriter.h). Parsers throw ProtocolError on
// malformed input; the session then closes that one connection.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

class ProtocolError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace packet {
constexpr uint8_t SqlBatch = 0x01;
constexpr uint8_t Rpc = 0x03;
constexpr uint8_t Reply = 0x04;
constexpr uint8_t Attention = 0x06;
constexpr uint8_t TransactionManager = 0x0E;
constexpr uint8_t Login7 = 0x10;
constexpr uint8_t Prelogin = 0x12;
} // namespace packet

constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds73A = 0x730A0003;
constexpr uint32_t kTds73B = 0x730B0003;
constexpr uint32_t kTds74 = 0x74000004;

// Persian_100_CI_AI: LCID 0x0429, ignore case/accent/kana/width, version 1, sort id 0 (code page 1256).
constexpr uint8_t kCollation[5] = {0x29, 0x04, 0xF0, 0x10, 0x00};

struct Message
{
    uint8_t type = 0;
    uint8_t status = 0;
    std::string payload;
};

// Largest request the server accepts; bigger ones close the connection.
constexpr size_t kMaxMessageSize = 64u << 20;
// Before login only PRELOGIN and LOGIN7 are read, and TDS caps LOGIN7 at 128 KB; a client that has not
// logged in cannot make the server hold more than that.
constexpr size_t kMaxLoginMessageSize = (128u << 10) - 1;

// Reads whole messages (packets up to EOM) from a byte source. read(buf, n) fills exactly n bytes or
// returns false at end of stream.
class MessageReader
{
public:
    using ReadFn = std::function<bool(char*, size_t)>;
    explicit MessageReader(ReadFn read) : m_read(std::move(read)) {}
    // False on a clean end of stream before a message starts; throws ProtocolError otherwise.
    bool next(Message& out);
    // The largest message (all its packets' bodies together) next() accepts.
    void limitTo(size_t bytes) { m_limit = bytes; }

private:
    ReadFn m_read;
    size_t m_limit = kMaxMessageSize;
};

struct LoginRequest
{
    uint32_t tdsVersion = 0;
    uint32_t packetSize = 4096;
    std::string hostName, userName, password, appName, serverName, language, database;
};

LoginRequest parseLogin7(std::string_view payload);
// Checks the PRELOGIN options for structure; returns the canned reply payload.
std::string preloginReply(std::string_view request);
// The query text of a SQL batch as UTF-8; ALL_HEADERS are skipped when the version has them.
std::string parseSqlBatch(std::string_view payload, bool hasHeaders);

struct Value
{
    enum Kind { Null, Int, Float, Text, Blob };
    Kind kind = Null;
    int64_t i = 0;
    double d = 0;
    std::string s; // UTF-8 for Text, bytes for Blob
    // The type it was declared with or sent as, for arithmetic: an ArithType (arithmetic.h), 0 when
    // unknown.
    uint8_t arithType = 0;
};

struct RpcParam
{
    std::string name; // as sent, e.g. "@P1"; may be empty
    Value value;
};

struct RpcRequest
{
    std::string procName; // empty when sent by id
    uint16_t procId = 0;
    std::vector<RpcParam> params;
};

RpcRequest parseRpc(std::string_view payload, bool hasHeaders);

// Decimal text of a scaled integer magnitude; used for NUMERIC/MONEY parameters.
std::string scaledToText(unsigned __int128 magnitude, int scale, bool negative);

} // namespace rimo::tds
