// The reply side of the protocol: tokens collected in a buffer and sent as type-4 packets no larger than
// the negotiated size, checking between packets whether the client sent an attention.
#pragma once

#include "tools/tds-server/protocol.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rimo::tds {

// Collects reply tokens and sends them as type-4 packets of at most packetSize bytes.
class ReplyWriter
{
public:
    using SendFn = std::function<void(const char*, size_t)>;
    ReplyWriter(SendFn send, uint16_t spid) : m_send(std::move(send)), m_spid(spid) {}

    void setPacketSize(size_t size) { m_packetSize = size; }
    void setVersion(uint32_t v) { m_version = v; }
    uint32_t version() const { return m_version; }
    // Called between packets; returns true when the client sent an attention meanwhile.
    void setAttentionCheck(std::function<bool()> check) { m_check = std::move(check); }
    bool attention() const { return m_attention; }
    // For an attention noticed elsewhere than between packets.
    void setAttention() { m_attention = true; }
    void clearAttention() { m_attention = false; }

    std::string& buf() { return m_buf; }
    void maybeFlush()
    {
        if (m_buf.size() >= m_packetSize - 8)
            flushFull();
    }
    void finish(); // sends everything, last packet with EOM
    void discard() { m_buf.clear(); }

    void u8(uint8_t v) { m_buf.push_back(static_cast<char>(v)); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void bVarchar(std::string_view utf8);  // 1-byte count of UTF-16 units
    void usVarchar(std::string_view utf8); // 2-byte count of UTF-16 units

    void done(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t count);
    void message(bool error, int32_t number, uint8_t state, uint8_t severity, std::string_view text,
                 std::string_view proc = {}, int32_t line = 1);
    void envChangeString(uint8_t type, std::string_view newValue, std::string_view oldValue);
    void envChangeCollation();
    void envChangeBinary(uint8_t type, std::string_view newValue, std::string_view oldValue);
    void loginAck(uint32_t version);
    void returnStatus(int32_t value);
    // RETURNVALUE of an int output parameter at `ordinal` (the handle of sp_prepare).
    void returnValueInt(uint16_t ordinal, int32_t value);

private:
    void flushFull();
    void sendPacket(const char* data, size_t len, bool last);

    SendFn m_send;
    uint16_t m_spid;
    size_t m_packetSize = 4096;
    uint32_t m_version = kTds74;
    std::function<bool()> m_check;
    bool m_attention = false;
    std::string m_buf;
    std::string m_packet;
};

} // namespace rimo::tds
