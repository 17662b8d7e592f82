// Fuzz target: the first byte picks what the rest feeds.
//   0: packet framing plus the PRELOGIN, LOGIN7, SQL batch and RPC parsers
//   1: the T-SQL lexer and translator
//   2: a whole session (after a scripted PRELOGIN and login) reading the bytes as client packets
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/protocol.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/session.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace rimo::tds;

namespace {

std::string packetOf(uint8_t type, const std::string& payload)
{
    std::string p;
    const size_t len = payload.size() + 8;
    p += static_cast<char>(type);
    p += '\x01';
    p += static_cast<char>(len >> 8);
    p += static_cast<char>(len & 0xFF);
    p += std::string("\0\0\0\0", 4);
    return p + payload;
}

std::string login7()
{
    std::string user, pass, db;
    appendUtf16le(user, "sa");
    appendUtf16le(pass, "x");
    for (char& c : pass) {
        const uint8_t b = static_cast<uint8_t>(c);
        c = static_cast<char>((((b & 0x0F) << 4) | (b >> 4)) ^ 0xA5);
    }
    appendUtf16le(db, "master");
    std::string p(94, '\0');
    auto put32 = [&](size_t off, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&](size_t off, uint16_t v) {
        p[off] = static_cast<char>(v & 0xFF);
        p[off + 1] = static_cast<char>(v >> 8);
    };
    put32(4, kTds74);
    put32(8, 4096);
    size_t at = 94;
    auto field = [&](size_t off, const std::string& s) {
        put16(off, static_cast<uint16_t>(at));
        put16(off + 2, static_cast<uint16_t>(s.size() / 2));
        at += s.size();
    };
    for (size_t off : {36, 48, 52, 60, 64})
        put16(off, static_cast<uint16_t>(at));
    field(40, user);
    field(44, pass);
    field(68, db);
    p += user + pass + db;
    put32(0, static_cast<uint32_t>(p.size()));
    return p;
}

const std::string& dataDir()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/rimo-fuzz-XXXXXX";
        std::string d = mkdtemp(tmpl);
        ensureMaster(d);
        return d;
    }();
    return dir;
}

void fuzzParsers(std::string_view data)
{
    size_t pos = 0;
    MessageReader reader([&](char* buf, size_t n) {
        if (data.size() - pos < n)
            return false;
        std::memcpy(buf, data.data() + pos, n);
        pos += n;
        return true;
    });
    Message m;
    try {
        while (reader.next(m)) {
            try {
                switch (m.type) {
                case packet::Prelogin:
                    preloginReply(m.payload);
                    break;
                case packet::Login7:
                    parseLogin7(m.payload);
                    break;
                case packet::SqlBatch:
                    parseSqlBatch(m.payload, true);
                    break;
                default:
                    parseRpc(m.payload, m.type & 1);
                    break;
                }
            } catch (const ProtocolError&) {
            }
        }
    } catch (const ProtocolError&) {
    }
}

void fuzzSession(std::string_view data)
{
    std::string input =
        packetOf(packet::Prelogin, std::string("\x00\x00\x06\x00\x06\xFF\x09\x00\x00\x00\x00\x00", 12)) +
        packetOf(packet::Login7, login7());
    input.append(data);
    size_t pos = 0;
    Session::Transport t;
    t.read = [&](char* buf, size_t n) {
        if (input.size() - pos < n)
            return false;
        std::memcpy(buf, input.data() + pos, n);
        pos += n;
        return true;
    };
    t.write = [](const char*, size_t) {};
    t.pollAttention = [] { return false; };
    static DatabaseUsage usage;
    static AppLocks locks;
    ServerConfig config;
    config.dataDir = dataDir();
    config.password = "x";
    try {
        Session session(std::move(t), config, usage, locks, 51);
        session.run();
    } catch (const ProtocolError&) {
    } catch (const ServerError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    switch (bytes[0] % 3) {
    case 0:
        fuzzParsers(data);
        break;
    case 1:
        try {
            translateBatch(data);
        } catch (const ServerError&) {
        }
        break;
    default:
        fuzzSession(data);
        break;
    }
    return 0;
}
