// libFuzzer target for the statement a Post sends for a table without a key: columns of any type
// the access layer reads, original values of any bytes (of the size the client library delivers
// for fixed-width types), and one edited column. The statement must name as many parameters as it
// declares and sends, and never leave a condition out silently.
#include "core/error.h"
#include "db/rowstore.h"
#include "db/rowwrite.h"

#include <sybdb.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kTypes[] = {SYBINT1,      SYBINT2,    SYBINT4,    SYBINT8,        SYBBIT,
                          SYBREAL,      SYBFLT8,    SYBMONEY,   SYBMONEY4,      SYBDATETIME,
                          SYBDATETIME4, SYBDECIMAL, SYBNUMERIC, SYBCHAR,        SYBVARCHAR,
                          SYBNVARCHAR,  SYBTEXT,    SYBNTEXT,   SYBIMAGE,       SYBBINARY,
                          SYBVARBINARY, SYBMSDATE,  SYBMSTIME,  SYBMSDATETIME2, SYBMSDATETIMEOFFSET};

int fixedSize(int type)
{
    switch (type) {
    case SYBINT1:
    case SYBBIT:
        return 1;
    case SYBINT2:
        return 2;
    case SYBINT4:
    case SYBREAL:
    case SYBMONEY4:
    case SYBDATETIME4:
        return 4;
    case SYBINT8:
    case SYBFLT8:
    case SYBMONEY:
    case SYBDATETIME:
        return 8;
    case SYBDECIMAL:
    case SYBNUMERIC:
        return sizeof(DBDECIMAL);
    case SYBMSDATE:
    case SYBMSTIME:
    case SYBMSDATETIME2:
    case SYBMSDATETIMEOFFSET:
        return sizeof(DBDATETIMEALL);
    default:
        return -1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool init = dbinit() == SUCCEED;
    (void)init;
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    const int columnCount = 1 + next() % 6;
    std::vector<rimo::db::ColumnInfo> columns(static_cast<std::size_t>(columnCount));
    rimo::db::RowStore rows;
    rows.beginRow();
    for (int i = 0; i < columnCount; ++i) {
        rimo::db::ColumnInfo& c = columns[static_cast<std::size_t>(i)];
        c.name = QStringLiteral("c%1").arg(i);
        c.quotedName = QStringLiteral("[c%1]").arg(i);
        c.type = kTypes[next() % (sizeof kTypes / sizeof kTypes[0])];
        c.precision = 1 + next() % 38;
        c.scale = next() % (c.precision + 1);
        c.fixedChar = c.type == SYBCHAR && next() % 2;
        const std::uint8_t kind = next();
        if (kind % 5 == 0) {
            rows.putNull();
            continue;
        }
        int n = fixedSize(c.type);
        if (n < 0)
            n = next() % 24;
        char buf[64] = {};
        for (int k = 0; k < n && k < static_cast<int>(sizeof buf); ++k)
            buf[k] = static_cast<char>(next());
        if (c.type == SYBDECIMAL || c.type == SYBNUMERIC) {
            // db-lib delivers a well-formed structure: precision and scale within bounds.
            DBDECIMAL d{};
            std::memcpy(&d, buf, sizeof d);
            d.precision = static_cast<BYTE>(c.precision);
            d.scale = static_cast<BYTE>(c.scale);
            std::memcpy(buf, &d, sizeof d);
        }
        rows.putRaw(buf, static_cast<std::uint32_t>(n), false);
    }
    rows.endRow();
    std::vector<rimo::db::Cell> cells;
    rows.cells(0, columns.size(), cells);

    rimo::db::RowEdits edits(columns.size());
    const std::size_t edited = next() % columns.size();
    switch (next() % 3) {
    case 0:
        edits[edited] = QVariant(static_cast<qint64>(next()) - 128);
        break;
    case 1:
        edits[edited] = QVariant(
            QString::fromLatin1(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(size - at)));
        break;
    default:
        edits[edited] = QVariant();
        break;
    }
    rimo::db::RowWrite w;
    try {
        w = rimo::db::rowUpdate(QStringLiteral("[T]"), columns, cells, edits, {});
    } catch (const rimo::Error&) {
        return 0; // nothing to compare: refused, never sent without a condition
    }
    if (w.text.isEmpty())
        __builtin_trap();
    if (!w.text.contains(QStringLiteral(" WHERE ")))
        __builtin_trap();
    // Declarations are separated by commas, but decimal(p,s) holds one too: count the names.
    const auto declared = w.declarations.count(QStringLiteral("@P"));
    if (static_cast<std::size_t>(declared) != w.params.size() || w.text.count(u'@') != declared)
        __builtin_trap();
    return 0;
}
