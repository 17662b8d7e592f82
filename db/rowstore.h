#pragma once
// Compact storage of the rows of one result. Each row is a run of cells in one arena: a tag byte
// and the value as the client library delivered it (or as later written), so a million-row table
// costs little more than its data and reading a row copies nothing until a value is asked for.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace rimo::db {

struct ColumnInfo
{
    QString name;
    QString quotedName; // [name], filled by tables for the statements they send
    int type = 0;       // the client library's type of the delivered value (SYBINT4, SYBCHAR, ...)
    int serverType = 0; // the type on the server (distinguishes char from varchar)
    int maxLength = 0;
    int precision = 0; // decimal and numeric
    int scale = 0;
    bool nullable = true;
    bool identity = false;
    bool fixedChar = false; // char/nchar: trailing blanks are padding
    bool timestamp = false;
    bool isText() const;
    bool isInteger() const;
    bool isFloat() const;
};

// Whether values of the client library's type have one size, set by the type, as the fixed-length
// types of the wire: tinyint, smallint, int, bigint, bit, real, float, smalldatetime, datetime,
// smallmoney (4 bytes) and money (8 bytes). db-lib takes such values without a length.
bool isFixedWidthType(int type);

enum class CellTag : std::uint8_t { Null = 0, Raw = 1, Text = 2, Int = 3, Float = 4 };

struct Cell
{
    CellTag tag = CellTag::Null;
    const char* data = nullptr;
    std::uint32_t size = 0;
};

class RowStore
{
public:
    void clear();
    void reserve(std::size_t rows) { m_rowStart.reserve(rows); }
    std::size_t rowCount() const { return m_rowStart.size(); }

    // Building a row: begin, one put per column, end.
    void beginRow();
    void putRaw(const void* data, std::uint32_t size, bool isNull);
    void putText(const QString& text);
    void putTextUtf8(const char* data, std::uint32_t size);
    void putInt(std::int64_t v);
    void putFloat(double v);
    void putNull();
    void endRow();                                                  // appends a new row
    void endRowReplacing(std::size_t row, std::size_t columnCount); // the built row replaces an existing one

    // Writes over one cell of a stored row when the new value has the cell's tag and size, and
    // returns false (writing nothing) when it has not.
    bool overwriteCell(std::size_t row, std::size_t column, std::size_t columnCount, CellTag tag,
                       const char* data, std::uint32_t size);

    // The cells of a row, decoded into `out` (size = column count).
    void cells(std::size_t row, std::size_t columnCount, std::vector<Cell>& out) const;
    std::size_t memoryBytes() const;

    // Rows are kept in chunks of this size (a longer row gets a chunk of its own); a row never
    // straddles two, and a chunk never moves once written.
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

private:
    struct Chunk
    {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t capacity = 0;
    };
    void putLength(std::uint32_t size);
    void putSized(CellTag tag, const void* data, std::uint32_t size);
    void append(const void* data, std::size_t size);
    char* rowData(std::size_t row) const;
    // Growing one buffer would hold the old and the new copy at once when it doubles, which is
    // when the store is at its largest; chunks are only ever added.
    std::vector<Chunk> m_chunks;
    std::vector<std::uint64_t> m_rowStart; // chunk << 32 | offset in the chunk
    std::size_t m_building = 0;            // offset of the row being built, in the last chunk
};

// Conversions of one stored value; `null` values read as empty text or 0.
QString cellAsString(const ColumnInfo& column, const Cell& cell);
// Appends the same text to `out`; plain ASCII text, the usual case, without a string of its own.
void appendCellAsString(QString& out, const ColumnInfo& column, const Cell& cell);
std::int64_t cellAsInteger(const ColumnInfo& column, const Cell& cell);
double cellAsFloat(const ColumnInfo& column, const Cell& cell);

} // namespace rimo::db
