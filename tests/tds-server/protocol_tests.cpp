// Plain-function tests of the server's request parsers: RPC parameter values of every type family the
// reader knows, built byte by byte as a client sends them (no network).
#include "tools/tds-server/protocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace rimo::tds;

namespace {

// Bytes from hex pairs separated by blanks: "26 04 04 07 00 00 00".
std::string bytes(const char* hex)
{
    std::string out;
    const char* p = hex;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        char pair[3] = {p[0], p[1], 0};
        out.push_back(static_cast<char>(std::strtoul(pair, nullptr, 16)));
        p += 2;
    }
    return out;
}

// An RPC request by procedure id (sp_executesql) with one unnamed parameter of the given TYPE_INFO and
// value bytes, without ALL_HEADERS.
RpcRequest rpcWith(const char* typeAndValue)
{
    return parseRpc(bytes("FF FF 0A 00 00 00 00 00") + bytes(typeAndValue), false);
}

// The collation every character parameter carries before its value.
#define COLL "29 04 F0 10 00 "

} // namespace

TEST(TdsRpc, ParameterValuesDecodeForEveryTypeFamily)
{
    struct Case
    {
        const char* what;
        const char* typeAndValue;
        Value::Kind kind;
        int64_t i;
        double d;
        std::string s;
    };
    const Case cases[] = {
        {"null type", "1F", Value::Null, 0, 0, ""},
        {"tinyint is unsigned", "30 FF", Value::Int, 255, 0, ""},
        {"bit is 0 or 1", "32 02", Value::Int, 1, 0, ""},
        {"smallint", "34 FE FF", Value::Int, -2, 0, ""},
        {"int", "38 FE FF FF FF", Value::Int, -2, 0, ""},
        {"bigint", "7F FD FF FF FF FF FF FF FF", Value::Int, -3, 0, ""},
        {"intn 4", "26 04 04 07 00 00 00", Value::Int, 7, 0, ""},
        {"intn 1 is unsigned", "26 01 01 FF", Value::Int, 255, 0, ""},
        {"intn 2", "26 02 02 FF FF", Value::Int, -1, 0, ""},
        {"intn 8", "26 08 08 FD FF FF FF FF FF FF FF", Value::Int, -3, 0, ""},
        {"intn null", "26 04 00", Value::Null, 0, 0, ""},
        {"bitn", "68 01 01 05", Value::Int, 1, 0, ""},
        {"bitn null", "68 01 00", Value::Null, 0, 0, ""},
        {"real", "3B 00 00 C0 3F", Value::Float, 0, 1.5, ""},
        {"float", "3E 00 00 00 00 00 00 02 40", Value::Float, 0, 2.25, ""},
        {"fltn 8", "6D 08 08 00 00 00 00 00 00 E0 BF", Value::Float, 0, -0.5, ""},
        {"fltn 4", "6D 04 04 00 00 C0 3F", Value::Float, 0, 1.5, ""},
        {"fltn null", "6D 08 00", Value::Null, 0, 0, ""},
        {"money: high half first", "3C 00 00 00 00 40 E2 01 00", Value::Float, 0, 12.3456, ""},
        {"money negative", "3C FF FF FF FF 68 C5 FF FF", Value::Float, 0, -1.5, ""},
        {"smallmoney", "7A 68 C5 FF FF", Value::Float, 0, -1.5, ""},
        {"moneyn 8", "6E 08 08 00 00 00 00 40 E2 01 00", Value::Float, 0, 12.3456, ""},
        {"moneyn 4", "6E 04 04 68 C5 FF FF", Value::Float, 0, -1.5, ""},
        {"moneyn null", "6E 08 00", Value::Null, 0, 0, ""},
        {"datetime", "3D F2 9C 00 00 5C 8F 32 00", Value::Text, 0, 0, "2010-01-02 03:04:05.000"},
        {"smalldatetime", "3A F2 9C B8 00", Value::Text, 0, 0, "2010-01-02 03:04:00.000"},
        {"datetimn 8", "6F 08 08 F2 9C 00 00 5C 8F 32 00", Value::Text, 0, 0, "2010-01-02 03:04:05.000"},
        {"datetimn 4", "6F 04 04 F2 9C B8 00", Value::Text, 0, 0, "2010-01-02 03:04:00.000"},
        {"datetimn null", "6F 08 00", Value::Null, 0, 0, ""},
        {"guid", "24 10 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", Value::Text, 0, 0,
         "03020100-0504-0706-0809-0A0B0C0D0E0F"},
        {"guid null", "24 10 00", Value::Null, 0, 0, ""},
        {"numeric with scale", "6C 11 05 02 05 01 39 30 00 00", Value::Float, 0, 123.45, ""},
        {"numeric whole and negative", "6C 11 05 00 05 00 07 00 00 00", Value::Int, -7, 0, ""},
        {"decimal", "6A 11 05 01 05 01 39 30 00 00", Value::Float, 0, 1234.5, ""},
        {"numeric null", "6C 11 05 00 00", Value::Null, 0, 0, ""},
        {"date", "28 03 4D 32 0B", Value::Text, 0, 0, "2010-01-02"},
        {"date null", "28 00", Value::Null, 0, 0, ""},
        // Kept to 100 ns whatever their scale, as the server keeps these types.
        {"time(3)", "29 03 04 03 89 A8 00", Value::Text, 0, 0, "03:04:05.1230000"},
        {"datetime2(7)", "2A 07 08 07 17 68 B7 19 4D 32 0B", Value::Text, 0, 0,
         "2010-01-02 03:04:05.1234567"},
        // A datetimeoffset arrives as UTC and is kept as its local time with the offset.
        {"datetimeoffset(0) keeps the offset", "2B 00 08 25 2B 00 4D 32 0B 3C 00", Value::Text, 0, 0,
         "2010-01-02 04:04:05.0000000 +01:00"},
        {"datetimeoffset(0) west of UTC, the day before", "2B 00 08 08 07 00 4D 32 0B C4 FF", Value::Text, 0,
         0, "2010-01-01 23:30:00.0000000 -01:00"},
        {"time null", "29 03 00", Value::Null, 0, 0, ""},
        {"nvarchar", "E7 40 00 " COLL "04 00 61 00 62 00", Value::Text, 0, 0, "ab"},
        {"nvarchar null", "E7 40 00 " COLL "FF FF", Value::Null, 0, 0, ""},
        {"nvarchar(max) in chunks",
         "E7 FF FF " COLL "04 00 00 00 00 00 00 00 02 00 00 00 61 00 02 00 00 00 62 00 00 00 00 00",
         Value::Text, 0, 0, "ab"},
        {"nvarchar(max) null", "E7 FF FF " COLL "FF FF FF FF FF FF FF FF", Value::Null, 0, 0, ""},
        {"nchar", "EF 04 00 " COLL "02 00 78 00", Value::Text, 0, 0, "x"},
        {"varchar in code page 1256", "A7 10 00 " COLL "01 00 D1", Value::Text, 0, 0, "\u0631"},
        {"char", "AF 10 00 " COLL "02 00 61 20", Value::Text, 0, 0, "a "},
        {"varbinary", "A5 10 00 02 00 01 02", Value::Blob, 0, 0, std::string("\x01\x02", 2)},
        {"binary", "AD 10 00 01 00 00", Value::Blob, 0, 0, std::string(1, '\0')},
        {"varbinary null", "A5 10 00 FF FF", Value::Null, 0, 0, ""},
        {"text", "23 10 00 00 00 " COLL "02 00 00 00 61 62", Value::Text, 0, 0, "ab"},
        {"ntext", "63 10 00 00 00 " COLL "02 00 00 00 61 00", Value::Text, 0, 0, "a"},
        {"image", "22 10 00 00 00 01 00 00 00 07", Value::Blob, 0, 0, "\x07"},
        {"text null", "23 10 00 00 00 " COLL "FF FF FF FF", Value::Null, 0, 0, ""},
    };
    for (const auto& c : cases) {
        RpcRequest r;
        ASSERT_NO_THROW(r = rpcWith(c.typeAndValue)) << c.what;
        ASSERT_EQ(r.params.size(), 1u) << c.what;
        const Value& v = r.params[0].value;
        EXPECT_EQ(v.kind, c.kind) << c.what;
        EXPECT_EQ(v.i, c.i) << c.what;
        EXPECT_DOUBLE_EQ(v.d, c.d) << c.what;
        EXPECT_EQ(v.s, c.s) << c.what;
    }
}

TEST(TdsRpc, MalformedParameterValuesCloseTheConnection)
{
    const char* cases[] = {
        "26 04 03 01 02 03",             // integer of three bytes
        "68 01 03 01 00 00",             // bit of three bytes
        "6D 08 02 00 00",                // float of two bytes
        "6E 08 02 00 00",                // money of two bytes
        "6F 08 02 00 00",                // datetime of two bytes
        "24 10 04 00 01 02 03",          // guid of four bytes
        "6C 11 05 27 05 01 39 30 00 00", // scale above 38
        // seventeen magnitude bytes
        "6C 26 12 00 12 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "28 02 00 00",                      // date of two bytes
        "29 08 05 00 00 00 00 00",          // time scale above 7
        "2A 07 05 00 00 00 00 00",          // datetime2 without its date
        "29 00 03 80 51 01",                // time(0) of 86400 seconds
        "2A 00 06 00 00 00 DB B9 37",       // datetime2 in the year 10000
        "2B 00 08 00 00 00 4D 32 0B 84 03", // datetimeoffset 15 hours east
        "2B 00 08 00 00 00 00 00 00 C4 FF", // datetimeoffset before 0001-01-01 in local time
        "38 01 02",                         // int cut short
        "E7 40 00 " COLL "04 00 61 00",     // nvarchar cut short
        "99 00",                            // unknown type
    };
    for (const char* c : cases)
        EXPECT_THROW(rpcWith(c), ProtocolError) << c;
}
