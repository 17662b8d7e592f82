// Plain-function tests of the answer tokens: the wire form of each column type per TDS version, ROW values
// read from a SQLite statement, and the DONE tokens held back until the next one is known (no network).
#include "tools/tds-server/resulttokens.h"
#include "tools/tds-server/servererror.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

using namespace rimo::tds;

namespace {

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

ColumnMeta column(SqlType type, int length = 0, int precision = 0, int scale = 0)
{
    ColumnMeta m;
    m.type = ColumnType{type, length, precision, scale};
    m.wire = wireFor(m.type, kTds74);
    return m;
}

// One SELECT on an in-memory database, stepped to its first row.
class Row
{
public:
    explicit Row(const char* select)
    {
        sqlite3_open(":memory:", &m_db);
        sqlite3_prepare_v2(m_db, select, -1, &m_stmt, nullptr);
        EXPECT_EQ(sqlite3_step(m_stmt), SQLITE_ROW) << select;
    }
    ~Row()
    {
        sqlite3_finalize(m_stmt);
        sqlite3_close(m_db);
    }
    sqlite3_stmt* stmt() const { return m_stmt; }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

TEST(TdsResultTokens, ColumnTypesTravelInTheFormTheVersionKnows)
{
    struct Case
    {
        ColumnType type;
        uint32_t version;
        uint8_t tds;
        uint32_t byteLen;
        bool plp;
    };
    const Case cases[] = {
        {{SqlType::TinyInt}, kTds74, 0x26, 1, false},
        {{SqlType::BigInt}, kTds74, 0x26, 8, false},
        {{SqlType::Real}, kTds74, 0x6D, 4, false},
        {{SqlType::Decimal, 0, 10, 2}, kTds74, 0x6A, 9, false},
        {{SqlType::Numeric, 0, 38, 0}, kTds74, 0x6C, 17, false},
        {{SqlType::SmallMoney}, kTds74, 0x6E, 4, false},
        {{SqlType::SmallDateTime}, kTds74, 0x6F, 4, false},
        {{SqlType::Date}, kTds74, 0x28, 3, false},
        {{SqlType::Date}, kTds72, 0x6F, 8, false},
        {{SqlType::NChar, 10}, kTds74, 0xEF, 20, false},
        {{SqlType::NVarChar, -1}, kTds74, 0xE7, 0xFFFF, true},
        {{SqlType::NVarChar, -1}, kTds71, 0xE7, 8000, false},
        {{SqlType::Text, -1}, kTds72, 0xA7, 0xFFFF, true},
        {{SqlType::Image, -1}, kTds71, 0xA5, 8000, false},
        {{SqlType::Binary, 6}, kTds74, 0xA5, 6, false},
    };
    for (const auto& c : cases) {
        const Wire w = wireFor(c.type, c.version);
        EXPECT_EQ(w.tds, c.tds) << c.type.sqlName() << " " << std::hex << c.version;
        EXPECT_EQ(w.byteLen, c.byteLen) << c.type.sqlName() << " " << std::hex << c.version;
        EXPECT_EQ(w.plp, c.plp) << c.type.sqlName() << " " << std::hex << c.version;
    }
}

TEST(TdsResultTokens, RowValuesAreWrittenInTheirColumnsWireForm)
{
    Row row("SELECT 7, NULL, 'ab', 1.5, '2010-01-02 03:04:05', x'0102', 3.25, -1.5, '\u0631', 'a', NULL, "
            "40178.5");
    const std::vector<ColumnMeta> cols = {
        column(SqlType::Int),
        column(SqlType::NVarChar, 10),
        column(SqlType::NChar, 4),
        column(SqlType::Float),
        column(SqlType::DateTime),
        column(SqlType::VarBinary, 4),
        column(SqlType::Decimal, 0, 5, 2),
        column(SqlType::Money),
        column(SqlType::Char, 3),
        column(SqlType::NVarChar, -1),
        column(SqlType::NVarChar, -1),
        column(SqlType::SmallDateTime),
    };
    std::string out;
    writeRow(out, cols, row.stmt());
    const std::string expected = "D1 "
                                 "04 07 00 00 00 "                // int 7
                                 "FF FF "                         // NULL nvarchar
                                 "08 00 61 00 62 00 20 00 20 00 " // nchar(4) padded
                                 "08 00 00 00 00 00 00 F8 3F "    // float 1.5
                                 "08 F2 9C 00 00 5C 8F 32 00 "    // datetime from text
                                 "02 00 01 02 "                   // varbinary
                                 "05 01 45 01 00 00 "             // decimal(5,2) 3.25
                                 "08 FF FF FF FF 68 C5 FF FF "    // money -1.5
                                 "03 00 D1 20 20 "                // char(3), code page 1256
                                 "02 00 00 00 00 00 00 00 02 00 00 00 61 00 00 00 00 00 " // nvarchar(max)
                                 "FF FF FF FF FF FF FF FF " // NULL nvarchar(max)
                                 "04 F2 9C D0 02";          // smalldatetime from a day count, noon
    EXPECT_EQ(hex(out), expected);
}

TEST(TdsResultTokens, ValuesThatDoNotFitTheirTypeAreRefused)
{
    struct Case
    {
        const char* select;
        ColumnMeta column;
        int number;
    };
    const Case cases[] = {
        {"SELECT 300", column(SqlType::TinyInt), 8115},
        {"SELECT -1", column(SqlType::TinyInt), 8115},
        {"SELECT 40000", column(SqlType::SmallInt), 8115},
        {"SELECT 3000000000", column(SqlType::Int), 8115},
        {"SELECT 1e40", column(SqlType::Decimal, 0, 38, 0), 8115},
        {"SELECT '2010-02-30'", column(SqlType::DateTime), 241},
        {"SELECT 'soon'", column(SqlType::Date), 241},
    };
    for (const auto& c : cases) {
        Row row(c.select);
        std::string out;
        try {
            writeRow(out, {c.column}, row.stmt());
            ADD_FAILURE() << c.select << " was written";
        } catch (const ServerError& e) {
            EXPECT_EQ(e.number(), c.number) << c.select;
        }
    }
}

TEST(TdsResultTokens, OnlyTheLastDoneOfAReplyGoesWithoutMore)
{
    std::string sent;
    ReplyWriter writer([&](const char* data, size_t n) { sent.append(data, n); }, 51);
    HeldDone done(writer);
    EXPECT_FALSE(done.held());
    done.hold(kDoneCount, kCmdSelect, 3, false);
    EXPECT_EQ(hex(writer.buf()), "");
    done.hold(0, 0, 0, true);
    EXPECT_TRUE(done.held());
    done.flush(false);
    EXPECT_FALSE(done.held());
    done.flush(false); // nothing held: nothing written
    EXPECT_EQ(hex(writer.buf()), "FD 11 00 C1 00 03 00 00 00 00 00 00 00 "
                                 "FF 00 00 00 00 00 00 00 00 00 00 00 00");
    done.hold(kDoneError, 0, 0, false);
    done.drop();
    writer.finish();
    EXPECT_EQ(sent.size(), 8u + 26u);
}
