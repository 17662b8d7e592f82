// Tests of a whole session over an in-memory connection: the client's packets are scripted and the
// server's answer is read back as bytes (no network, no FreeTDS), so the order of events is fixed.
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/protocol.h"
#include "tools/tds-server/session.h"
#include "tools/tds-server/storage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace rimo::tds;

namespace {

std::string packetOf(uint8_t type, const std::string& payload)
{
    const size_t len = payload.size() + 8;
    std::string p;
    p += static_cast<char>(type);
    p += '\x01';
    p += static_cast<char>(len >> 8);
    p += static_cast<char>(len & 0xFF);
    p += std::string("\0\0\0\0", 4);
    return p + payload;
}

// LOGIN7 of user "sa" with `password` into master, TDS 7.4.
std::string login7(const std::string& password)
{
    std::string user, pass, db;
    appendUtf16le(user, "sa");
    appendUtf16le(pass, password);
    for (char& c : pass) {
        const auto b = static_cast<uint8_t>(c);
        c = static_cast<char>((((b & 0x0F) << 4) | (b >> 4)) ^ 0xA5);
    }
    appendUtf16le(db, "master");
    std::string p(94, '\0');
    auto put16 = [&](size_t off, size_t v) {
        p[off] = static_cast<char>(v & 0xFF);
        p[off + 1] = static_cast<char>(v >> 8);
    };
    auto put32 = [&](size_t off, uint32_t v) {
        put16(off, v & 0xFFFF);
        put16(off + 2, v >> 16);
    };
    put32(4, kTds74);
    put32(8, 4096);
    size_t at = 94;
    for (size_t off : {36, 48, 52, 60, 64})
        put16(off, at);
    for (auto [off, text] : {std::pair<size_t, const std::string*>{40, &user}, {44, &pass}, {68, &db}}) {
        put16(off, at);
        put16(off + 2, text->size() / 2);
        at += text->size();
    }
    p += user + pass + db;
    put32(0, static_cast<uint32_t>(p.size()));
    return packetOf(packet::Login7, p);
}

// A SQL batch with the ALL_HEADERS of TDS 7.2 and later.
std::string sqlBatch(const std::string& sql)
{
    std::string payload("\x16\0\0\0\x12\0\0\0\x02\0\0\0\0\0\0\0\0\0\x01\0\0\0", 22);
    appendUtf16le(payload, sql);
    return packetOf(packet::SqlBatch, payload);
}

// Serves `input` to a session and returns what the server wrote. From the moment the server has read
// the whole input, the connection reports one waiting attention, as if the client had sent it after its
// last request.
std::string serve(const std::string& input, const std::string& dataDir)
{
    std::string output;
    size_t pos = 0;
    bool attentionSent = false;
    Session::Transport t;
    t.read = [&](char* buf, size_t n) {
        if (input.size() - pos < n)
            return false;
        std::memcpy(buf, input.data() + pos, n);
        pos += n;
        return true;
    };
    t.write = [&](const char* data, size_t n) { output.append(data, n); };
    t.pollAttention = [&] {
        if (pos < input.size() || attentionSent)
            return false;
        attentionSent = true;
        return true;
    };
    DatabaseUsage usage;
    AppLocks locks;
    Session session(std::move(t), ServerConfig{dataDir, "pw"}, usage, locks, 51);
    session.run();
    return output;
}

} // namespace

TEST(TdsSession, AnAttentionNoticedInsideALongStatementIsAcknowledged)
{
    char tmpl[] = "/tmp/rimo-session-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    ensureMaster(dir);
    std::string rows;
    for (int i = 1; i <= 40; ++i)
        rows += (i > 1 ? ",(" : "(") + std::to_string(i) + ")";
    // The count gives no row until the whole join is read, so no packet goes out before SQLite's progress
    // check is the one that finds the attention.
    const std::string output =
        serve(login7("pw") + sqlBatch("CREATE TABLE Big (n int) INSERT INTO Big VALUES " + rows) +
                  sqlBatch("SELECT COUNT(*) FROM Big a, Big b, Big c, Big d"),
              dir);
    std::filesystem::remove_all(dir);

    // The reply ends with a DONE carrying DONE_ATTN, which the client waits for after its attention.
    ASSERT_GE(output.size(), 8u + 13u);
    const std::string done = output.substr(output.size() - 13);
    EXPECT_EQ(static_cast<uint8_t>(done[0]), 0xFD);
    EXPECT_TRUE(static_cast<uint8_t>(done[1]) & 0x20) << "DONE status " << static_cast<int>(done[1]);
}
