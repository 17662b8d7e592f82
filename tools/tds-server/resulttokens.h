// The tokens of a statement's answer: COLMETADATA describing the result columns, ROW values read from a
// SQLite statement, and the DONE tokens that close each statement.
#pragma once

#include "tools/tds-server/replywriter.h"
#include "tools/tds-server/storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace rimo::tds {

// DONE status bits and the command codes DONE carries.
constexpr uint16_t kDoneMore = 0x01;
constexpr uint16_t kDoneError = 0x02;
constexpr uint16_t kDoneCount = 0x10;
constexpr uint16_t kDoneAttn = 0x20;
constexpr uint16_t kCmdSelect = 0xC1;
constexpr uint16_t kCmdInsert = 0xC3;
constexpr uint16_t kCmdDelete = 0xC4;
constexpr uint16_t kCmdUpdate = 0xC5;
constexpr uint16_t kCmdExecute = 0xE0;
constexpr uint8_t kDoneProc = 0xFE;

enum class Enc {
    Int,
    Bit,
    Float,
    Decimal,
    Money,
    DateTime,
    Date,
    PreciseTime,
    PreciseText,
    UText,
    AText,
    Binary
};

// How each result value is written: TDS type byte, declared byte length and encoding.
struct Wire
{
    uint8_t tds = 0x26;
    uint32_t byteLen = 4;
    Enc enc = Enc::Int;
    bool plp = false;
    int padChars = 0;
};

// The wire form of a column type for the negotiated TDS version (MAX types need 7.2; DATE, TIME,
// DATETIME2 and DATETIMEOFFSET 7.3, before which the last three go as nvarchar text).
Wire wireFor(const ColumnType& t, uint32_t version);

struct ColumnMeta
{
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    Wire wire;
};

void writeColMetadata(ReplyWriter& w, const std::vector<ColumnMeta>& cols, uint32_t version);
// Appends the ROW token of the statement's current row. Throws ServerError when a value does not fit its
// column's type; `out` may then hold part of the row.
void writeRow(std::string& out, const std::vector<ColumnMeta>& cols, sqlite3_stmt* st);

// Each statement's DONE is held back until the next token is known, so that the last DONE of a reply is
// the one sent without DONE_MORE.
class HeldDone
{
public:
    explicit HeldDone(ReplyWriter& writer) : m_writer(writer) {}
    // Sends the DONE held so far (with DONE_MORE) and holds this one: DONE for a batch, DONEINPROC
    // inside an RPC.
    void hold(uint16_t status, uint16_t curCmd, uint64_t count, bool inRpc);
    // The same with the token given: DONEPROC closing an EXEC.
    void holdToken(uint8_t token, uint16_t status, uint16_t curCmd, uint64_t count);
    // Sends the DONE held, if any.
    void flush(bool more);
    bool held() const { return m_done.has_value(); }
    void drop() { m_done.reset(); }

private:
    struct Done
    {
        uint8_t token;
        uint16_t status;
        uint16_t curCmd;
        uint64_t count;
    };
    ReplyWriter& m_writer;
    std::optional<Done> m_done;
};

} // namespace rimo::tds
