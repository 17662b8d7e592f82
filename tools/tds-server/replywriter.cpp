#include "tools/tds-server/replywriter.h"

#include "tools/tds-server/encoding.h"

#include <cstring>

namespace rimo::tds {

void ReplyWriter::u16(uint16_t v)
{
    m_buf.push_back(static_cast<char>(v & 0xFF));
    m_buf.push_back(static_cast<char>(v >> 8));
}

void ReplyWriter::u32(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_buf.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ReplyWriter::u64(uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        m_buf.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ReplyWriter::bVarchar(std::string_view utf8)
{
    std::string tmp;
    size_t units = appendUtf16le(tmp, utf8);
    if (units > 255) {
        units = 255;
        tmp.resize(510);
    }
    u8(static_cast<uint8_t>(units));
    m_buf += tmp;
}

void ReplyWriter::usVarchar(std::string_view utf8)
{
    std::string tmp;
    size_t units = appendUtf16le(tmp, utf8);
    if (units > 32000) {
        units = 32000;
        tmp.resize(64000);
    }
    u16(static_cast<uint16_t>(units));
    m_buf += tmp;
}

void ReplyWriter::done(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t count)
{
    u8(token);
    u16(status);
    u16(curCmd);
    if (m_version >= kTds72)
        u64(count);
    else
        u32(static_cast<uint32_t>(count));
}

void ReplyWriter::message(bool error, int32_t number, uint8_t state, uint8_t severity, std::string_view text,
                          std::string_view proc, int32_t line)
{
    std::string body;
    ReplyWriter tmp([](const char*, size_t) {}, 0);
    tmp.setVersion(m_version);
    tmp.u32(static_cast<uint32_t>(number));
    tmp.u8(state);
    tmp.u8(severity);
    tmp.usVarchar(text);
    tmp.bVarchar("RIMO-TEST");
    tmp.bVarchar(proc);
    if (m_version >= kTds72)
        tmp.u32(static_cast<uint32_t>(line));
    else
        tmp.u16(static_cast<uint16_t>(line));
    u8(error ? 0xAA : 0xAB);
    u16(static_cast<uint16_t>(tmp.buf().size()));
    m_buf += tmp.buf();
}

void ReplyWriter::envChangeString(uint8_t type, std::string_view newValue, std::string_view oldValue)
{
    ReplyWriter tmp([](const char*, size_t) {}, 0);
    tmp.u8(type);
    tmp.bVarchar(newValue);
    tmp.bVarchar(oldValue);
    u8(0xE3);
    u16(static_cast<uint16_t>(tmp.buf().size()));
    m_buf += tmp.buf();
}

void ReplyWriter::envChangeBinary(uint8_t type, std::string_view newValue, std::string_view oldValue)
{
    u8(0xE3);
    u16(static_cast<uint16_t>(3 + newValue.size() + oldValue.size()));
    u8(type);
    u8(static_cast<uint8_t>(newValue.size()));
    m_buf += newValue;
    u8(static_cast<uint8_t>(oldValue.size()));
    m_buf += oldValue;
}

void ReplyWriter::envChangeCollation()
{
    envChangeBinary(7, std::string_view(reinterpret_cast<const char*>(kCollation), 5), {});
}

void ReplyWriter::loginAck(uint32_t version)
{
    const std::string_view name = "Microsoft SQL Server";
    u8(0xAD);
    u16(static_cast<uint16_t>(10 + 2 * name.size()));
    u8(1);
    for (int i = 3; i >= 0; --i)
        u8(static_cast<uint8_t>((version >> (8 * i)) & 0xFF));
    bVarchar(name);
    u8(16);
    u8(0);
    u8(0x07);
    u8(0xD0);
}

void ReplyWriter::returnStatus(int32_t value)
{
    u8(0x79);
    u32(static_cast<uint32_t>(value));
}

void ReplyWriter::returnValueInt(uint16_t ordinal, int32_t value)
{
    u8(0xAC);
    u16(ordinal);
    u8(0); // no name: clients match output parameters by position
    u8(0x01);
    if (m_version >= kTds72)
        u32(0);
    else
        u16(0);
    u16(0x0001); // flags: nullable
    u8(0x26);    // INTN
    u8(4);
    u8(4);
    u32(static_cast<uint32_t>(value));
}

void ReplyWriter::sendPacket(const char* data, size_t len, bool last)
{
    m_packet.resize(8 + len);
    const size_t total = 8 + len;
    m_packet[0] = static_cast<char>(packet::Reply);
    m_packet[1] = static_cast<char>(last ? 0x01 : 0x00);
    m_packet[2] = static_cast<char>(total >> 8);
    m_packet[3] = static_cast<char>(total & 0xFF);
    m_packet[4] = static_cast<char>(m_spid >> 8);
    m_packet[5] = static_cast<char>(m_spid & 0xFF);
    m_packet[6] = 1;
    m_packet[7] = 0;
    std::memcpy(m_packet.data() + 8, data, len);
    m_send(m_packet.data(), m_packet.size());
}

void ReplyWriter::flushFull()
{
    const size_t chunk = m_packetSize - 8;
    size_t off = 0;
    while (m_buf.size() - off > chunk) {
        sendPacket(m_buf.data() + off, chunk, false);
        off += chunk;
        if (!m_attention && m_check && m_check())
            m_attention = true;
    }
    m_buf.erase(0, off);
}

void ReplyWriter::finish()
{
    flushFull();
    sendPacket(m_buf.data(), m_buf.size(), true);
    m_buf.clear();
}

} // namespace rimo::tds
