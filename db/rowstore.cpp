#include "db/rowstore.h"

#include "core/error.h"
#include "core/textutil.h"

#include <sybdb.h>

#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace rimo::db {

namespace {

template <typename T> T load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A cell starts with one byte. Raw and text values shorter than 64 bytes (most of a herd's cells:
// numbers, dates, serials) carry their kind and length in it: 0x80 | (0x40 for text) | length.
// Otherwise the byte is the tag, followed for raw and text by a 2-byte length (0xFFFF: a 4-byte
// one follows), and the value.
constexpr unsigned kShortCell = 0x80;
constexpr unsigned kShortText = 0x40;
constexpr std::uint32_t kShortLimit = 64;

// Reads a cell's kind and size and leaves `p` at its value.
template <typename P> void nextCell(P& p, CellTag& tag, std::uint32_t& size)
{
    const auto b = static_cast<unsigned char>(*p++);
    if (b & kShortCell) {
        tag = (b & kShortText) ? CellTag::Text : CellTag::Raw;
        size = b & (kShortText - 1);
        return;
    }
    tag = static_cast<CellTag>(b);
    if (tag == CellTag::Int || tag == CellTag::Float) {
        size = 8;
    } else if (tag == CellTag::Raw || tag == CellTag::Text) {
        size = load<std::uint16_t>(p);
        p += 2;
        if (size == 0xFFFF) {
            size = load<std::uint32_t>(p);
            p += 4;
        }
    } else {
        size = 0;
    }
}

QString trimTrailingBlanks(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == u' ')
        --n;
    s.truncate(n);
    return s;
}

QString dateTimeText(int type, const char* data, std::uint32_t size)
{
    DBDATEREC2 rec{};
    if (dbanydatecrack(nullptr, &rec, type, data) != SUCCEED)
        return QString::fromLatin1(QByteArray(data, static_cast<int>(size)).toHex());
    QString text;
    const bool hasDate = type != SYBMSTIME;
    const bool hasTime =
        type != SYBMSDATE && (rec.datehour || rec.dateminute || rec.datesecond || rec.datensecond);
    if (hasDate)
        text = twoDigits(rec.datedmonth) + u'/' + twoDigits(rec.datemonth + 1) + u'/' +
               QString::number(rec.dateyear).rightJustified(4, u'0');
    if (hasTime || !hasDate) {
        if (!text.isEmpty())
            text += u' ';
        text += twoDigits(rec.datehour) + u':' + twoDigits(rec.dateminute) + u':' + twoDigits(rec.datesecond);
    }
    if (type == SYBMSDATETIMEOFFSET) {
        // The local time with its offset, so that a value edited as shown keeps its instant.
        const int zone = rec.datetzone;
        const int minutes = zone < 0 ? -zone : zone;
        text += (zone < 0 ? QStringLiteral(" -") : QStringLiteral(" +")) + twoDigits(minutes / 60) + u':' +
                twoDigits(minutes % 60);
    }
    return text;
}

QString convertedText(int type, const char* data, std::uint32_t size)
{
    char buf[512];
    const DBINT n = dbconvert(nullptr, type, reinterpret_cast<const BYTE*>(data), static_cast<DBINT>(size),
                              SYBCHAR, reinterpret_cast<BYTE*>(buf), sizeof buf);
    if (n < 0)
        return QString::fromLatin1(QByteArray(data, static_cast<int>(size)).toHex().toUpper());
    return QString::fromUtf8(buf, n).trimmed();
}

QString rawAsString(const ColumnInfo& c, const char* d, std::uint32_t size)
{
    switch (c.type) {
    case SYBINT1:
        return QString::number(load<std::uint8_t>(d));
    case SYBINT2:
        return QString::number(load<std::int16_t>(d));
    case SYBINT4:
        return QString::number(load<std::int32_t>(d));
    case SYBINT8:
        return QString::number(load<std::int64_t>(d));
    case SYBBIT:
    case SYBBITN:
        return load<std::uint8_t>(d) ? QStringLiteral("True") : QStringLiteral("False");
    case SYBREAL:
        return QString::number(static_cast<double>(load<float>(d)), 'g', 7);
    case SYBFLT8:
        return QString::number(load<double>(d), 'g', 15);
    case SYBCHAR:
    case SYBVARCHAR:
    case SYBTEXT:
    case SYBNTEXT:
    case SYBNVARCHAR: {
        QString s = QString::fromUtf8(d, static_cast<qsizetype>(size));
        return c.fixedChar ? trimTrailingBlanks(std::move(s)) : s;
    }
    case SYBDATETIME:
    case SYBDATETIME4:
    case SYBDATETIMN:
    case SYBMSDATE:
    case SYBMSTIME:
    case SYBMSDATETIME2:
    case SYBMSDATETIMEOFFSET:
        return dateTimeText(c.type, d, size);
    case SYBBINARY:
    case SYBVARBINARY:
    case SYBIMAGE:
        return QString::fromLatin1(QByteArray(d, static_cast<int>(size)).toHex().toUpper());
    default:
        return convertedText(c.type, d, size);
    }
}

} // namespace

bool isFixedWidthType(int type)
{
    switch (type) {
    case SYBINT1:
    case SYBINT2:
    case SYBINT4:
    case SYBINT8:
    case SYBBIT:
    case SYBREAL:
    case SYBFLT8:
    case SYBDATETIME4:
    case SYBDATETIME:
    case SYBMONEY4:
    case SYBMONEY:
        return true;
    default:
        return false;
    }
}

bool ColumnInfo::isText() const
{
    return type == SYBCHAR || type == SYBVARCHAR || type == SYBTEXT || type == SYBNTEXT ||
           type == SYBNVARCHAR;
}

bool ColumnInfo::isInteger() const
{
    return type == SYBINT1 || type == SYBINT2 || type == SYBINT4 || type == SYBINT8 || type == SYBBIT ||
           type == SYBBITN;
}

bool ColumnInfo::isFloat() const
{
    return type == SYBREAL || type == SYBFLT8;
}

void RowStore::clear()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_rowStart.clear();
    m_rowStart.shrink_to_fit();
    m_building = 0;
}

char* RowStore::rowData(std::size_t row) const
{
    const std::uint64_t at = m_rowStart[row];
    return m_chunks[static_cast<std::size_t>(at >> 32)].data.get() + (at & 0xFFFFFFFFu);
}

void RowStore::append(const void* data, std::size_t size)
{
    if (m_chunks.empty() || m_chunks.back().size + size > m_chunks.back().capacity) {
        // The row does not fit in the last chunk: it moves, with what it holds so far, to a new one.
        const std::size_t soFar = m_chunks.empty() ? 0 : m_chunks.back().size - m_building;
        Chunk next;
        next.capacity = std::max(kChunkBytes, soFar + size);
        if (next.capacity > 0xFFFFFFFFu)
            throw Error(QStringLiteral("A row is too long to be kept in memory"));
        next.data.reset(new char[next.capacity]);
        if (soFar > 0)
            std::memcpy(next.data.get(), m_chunks.back().data.get() + m_building, soFar);
        next.size = soFar;
        if (!m_chunks.empty() && m_building == 0) {
            m_chunks.back() = std::move(next); // the row was alone in its chunk
        } else {
            if (!m_chunks.empty())
                m_chunks.back().size = m_building;
            m_chunks.push_back(std::move(next));
        }
        m_building = 0;
    }
    Chunk& c = m_chunks.back();
    if (size > 0)
        std::memcpy(c.data.get() + c.size, data, size);
    c.size += size;
}

void RowStore::beginRow()
{
    m_building = m_chunks.empty() ? 0 : m_chunks.back().size;
}

void RowStore::putLength(std::uint32_t size)
{
    if (size < 0xFFFF) {
        const auto s = static_cast<std::uint16_t>(size);
        append(&s, 2);
    } else {
        const std::uint16_t escape = 0xFFFF;
        char bytes[6];
        std::memcpy(bytes, &escape, 2);
        std::memcpy(bytes + 2, &size, 4);
        append(bytes, 6);
    }
}

void RowStore::putRaw(const void* data, std::uint32_t size, bool isNull)
{
    if (isNull) {
        putNull();
        return;
    }
    putSized(CellTag::Raw, data, size);
}

void RowStore::putText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    putTextUtf8(utf8.constData(), static_cast<std::uint32_t>(utf8.size()));
}

void RowStore::putTextUtf8(const char* data, std::uint32_t size)
{
    putSized(CellTag::Text, data, size);
}

void RowStore::putSized(CellTag tag, const void* data, std::uint32_t size)
{
    if (size < kShortLimit) {
        char bytes[1 + kShortLimit];
        bytes[0] = static_cast<char>(kShortCell | (tag == CellTag::Text ? kShortText : 0) | size);
        if (size > 0)
            std::memcpy(bytes + 1, data, size);
        append(bytes, 1 + size);
        return;
    }
    const char t = static_cast<char>(tag);
    append(&t, 1);
    putLength(size);
    append(data, size);
}

void RowStore::putInt(std::int64_t v)
{
    char bytes[9];
    bytes[0] = static_cast<char>(CellTag::Int);
    std::memcpy(bytes + 1, &v, 8);
    append(bytes, 9);
}

void RowStore::putFloat(double v)
{
    char bytes[9];
    bytes[0] = static_cast<char>(CellTag::Float);
    std::memcpy(bytes + 1, &v, 8);
    append(bytes, 9);
}

void RowStore::putNull()
{
    const char tag = static_cast<char>(CellTag::Null);
    append(&tag, 1);
}

void RowStore::endRow()
{
    if (m_chunks.empty())
        append(nullptr, 0); // a row of no cells still points into a chunk
    m_rowStart.push_back(static_cast<std::uint64_t>(m_chunks.size() - 1) << 32 | m_building);
}

void RowStore::endRowReplacing(std::size_t row, std::size_t columnCount)
{
    // A row that fits where the old one was is written over it, so a run that rewrites every
    // row (the record sequence rebuild) does not grow the store; a longer one stays where it
    // was built.
    char* oldStart = rowData(row);
    const char* p = oldStart;
    for (std::size_t i = 0; i < columnCount; ++i) {
        CellTag tag;
        std::uint32_t size;
        nextCell(p, tag, size);
        p += size;
    }
    const std::size_t oldLength = static_cast<std::size_t>(p - oldStart);
    Chunk& last = m_chunks.back();
    const std::size_t newLength = last.size - m_building;
    if (newLength <= oldLength) {
        std::memmove(oldStart, last.data.get() + m_building, newLength);
        last.size = m_building;
    } else {
        m_rowStart[row] = static_cast<std::uint64_t>(m_chunks.size() - 1) << 32 | m_building;
    }
}

bool RowStore::overwriteCell(std::size_t row, std::size_t column, std::size_t columnCount, CellTag tag,
                             const char* data, std::uint32_t size)
{
    if (column >= columnCount)
        return false;
    char* p = rowData(row);
    for (std::size_t i = 0;; ++i) {
        CellTag cellTag;
        std::uint32_t cellSize;
        nextCell(p, cellTag, cellSize);
        if (i == column) {
            if (cellTag != tag || cellSize != size)
                return false;
            if (size > 0)
                std::memcpy(p, data, size);
            return true;
        }
        p += cellSize;
    }
}

void RowStore::cells(std::size_t row, std::size_t columnCount, std::vector<Cell>& out) const
{
    out.resize(columnCount);
    const char* p = rowData(row);
    for (std::size_t i = 0; i < columnCount; ++i) {
        Cell& c = out[i];
        nextCell(p, c.tag, c.size);
        c.data = c.tag == CellTag::Null ? nullptr : p;
        p += c.size;
    }
}

std::size_t RowStore::memoryBytes() const
{
    std::size_t bytes = m_chunks.capacity() * sizeof(Chunk) + m_rowStart.capacity() * sizeof(std::uint64_t);
    for (const Chunk& c : m_chunks)
        bytes += c.capacity;
    return bytes;
}

QString cellAsString(const ColumnInfo& column, const Cell& cell)
{
    switch (cell.tag) {
    case CellTag::Null:
        return {};
    case CellTag::Text:
        return QString::fromUtf8(cell.data, cell.size);
    case CellTag::Int:
        return QString::number(load<std::int64_t>(cell.data));
    case CellTag::Float:
        return QString::number(load<double>(cell.data), 'g', 15);
    case CellTag::Raw:
        return rawAsString(column, cell.data, cell.size);
    }
    return {};
}

void appendCellAsString(QString& out, const ColumnInfo& column, const Cell& cell)
{
    const bool text = cell.tag == CellTag::Text || (cell.tag == CellTag::Raw && column.isText());
    if (!text) {
        out += cellAsString(column, cell);
        return;
    }
    auto size = static_cast<qsizetype>(cell.size);
    // Padding of char columns, as cellAsString drops it (a blank is never part of a longer UTF-8
    // sequence).
    if (cell.tag == CellTag::Raw && column.fixedChar)
        while (size > 0 && cell.data[size - 1] == ' ')
            --size;
    const auto* bytes = reinterpret_cast<const unsigned char*>(cell.data);
    if (std::all_of(bytes, bytes + size, [](unsigned char c) { return c < 0x80; })) {
        out += QLatin1String(cell.data, size);
        return;
    }
    // Decoded into the string's own buffer (UTF-8 never takes fewer bytes than UTF-16 units), a
    // leading byte order mark dropped as QString::fromUtf8 drops it.
    const qsizetype at = out.size();
    out.resize(at + size);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar* end = utf8.appendToBuffer(out.data() + at, QByteArrayView(cell.data, size));
    out.resize(end - out.constData());
}

double cellAsFloat(const ColumnInfo& column, const Cell& cell)
{
    switch (cell.tag) {
    case CellTag::Null:
        return 0;
    case CellTag::Int:
        return static_cast<double>(load<std::int64_t>(cell.data));
    case CellTag::Float:
        return load<double>(cell.data);
    case CellTag::Text:
        break;
    case CellTag::Raw:
        switch (column.type) {
        case SYBINT1:
        case SYBINT2:
        case SYBINT4:
        case SYBINT8:
        case SYBBIT:
        case SYBBITN:
            return static_cast<double>(cellAsInteger(column, cell));
        case SYBREAL:
            return static_cast<double>(load<float>(cell.data));
        case SYBFLT8:
            return load<double>(cell.data);
        case SYBMONEY:
        case SYBMONEY4:
        case SYBDECIMAL:
        case SYBNUMERIC: {
            double v = 0;
            if (dbconvert(nullptr, column.type, reinterpret_cast<const BYTE*>(cell.data),
                          static_cast<DBINT>(cell.size), SYBFLT8, reinterpret_cast<BYTE*>(&v), sizeof v) > 0)
                return v;
            return 0;
        }
        default:
            break;
        }
    }
    const QString text = cellAsString(column, cell).trimmed();
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return v;
}

std::int64_t cellAsInteger(const ColumnInfo& column, const Cell& cell)
{
    switch (cell.tag) {
    case CellTag::Null:
        return 0;
    case CellTag::Int:
        return load<std::int64_t>(cell.data);
    case CellTag::Float:
        return static_cast<std::int64_t>(std::llround(load<double>(cell.data)));
    case CellTag::Text:
        break;
    case CellTag::Raw:
        switch (column.type) {
        case SYBINT1:
            return load<std::uint8_t>(cell.data);
        case SYBINT2:
            return load<std::int16_t>(cell.data);
        case SYBINT4:
            return load<std::int32_t>(cell.data);
        case SYBINT8:
            return load<std::int64_t>(cell.data);
        case SYBBIT:
        case SYBBITN:
            return load<std::uint8_t>(cell.data) ? 1 : 0;
        case SYBREAL:
        case SYBFLT8:
        case SYBMONEY:
        case SYBMONEY4:
        case SYBDECIMAL:
        case SYBNUMERIC:
            return static_cast<std::int64_t>(std::llround(cellAsFloat(column, cell)));
        default:
            break;
        }
    }
    const QString text = cellAsString(column, cell).trimmed();
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}

} // namespace rimo::db
