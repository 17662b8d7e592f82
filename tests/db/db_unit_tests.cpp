#include "core/error.h"
#include "db/filter.h"
#include "db/msconnection.h"
#include "db/msdataset.h"
#include "db/sqltext.h"

#include <gtest/gtest.h>
#include <sybdb.h>

#include <cstring>

using namespace rimo;
using namespace rimo::db;

TEST(DbText, ServerNamesUsersBringFromWindows)
{
    struct Case
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"farmserver", "farmserver"},
        {"farmserver,1433", "farmserver:1433"},
        {"10.0.0.5, 1500", "10.0.0.5:1500"},
        {"farmserver:1500", "farmserver:1500"},
        {"farmserver\\SQLEXPRESS", "farmserver\\SQLEXPRESS"},
        {".", "127.0.0.1"},
        {"(local)\\SQLEXPRESS", "127.0.0.1\\SQLEXPRESS"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(freetdsServerName(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(DbText, TableNamesAreQuoted)
{
    EXPECT_EQ(quoteName("FirstRec"), "[FirstRec]");
    EXPECT_EQ(quoteName("dbo.FirstRec"), "[dbo].[FirstRec]");
    EXPECT_EQ(quoteName("[dbo].[First Rec]"), "[dbo].[First Rec]");
    EXPECT_EQ(quoteName("odd]name"), "[odd]]name]");
    EXPECT_EQ(bareTableName("[dbo].[First Rec]"), "First Rec");
    EXPECT_EQ(bareTableName("zayesh"), "zayesh");
}

TEST(DbText, TableSelectStatement)
{
    TMSTable t;
    t.TableName = "zayesh";
    EXPECT_EQ(t.selectStatement(), "SELECT * FROM [zayesh]");
    t.FilterSQL = "MilkPeriodchange=1";
    t.OrderFields = "Serial,ZDate";
    EXPECT_EQ(t.selectStatement(), "SELECT * FROM [zayesh] WHERE (MilkPeriodchange=1) ORDER BY Serial,ZDate");
}

TEST(DbText, ConnectStringWithoutProvider)
{
    TMSConnection c;
    c.Server = "srv,1433";
    c.Database = "herd";
    c.Username = "sa";
    c.Password = "p;w";
    EXPECT_EQ(c.ConnectString(), "Data Source=srv,1433;Initial Catalog=herd;User ID=sa;Password=\"p;w\"");
}

TEST(DbText, TextLiteralsDoubleTheirQuotes)
{
    struct Case
    {
        QString in;
        QString out;
    } cases[] = {
        {"1024", "'1024'"},
        {"", "''"},
        {"O'Neil", "'O''Neil'"},
        {"''", "''''''"},
        {"a]b [c] \"d\"", "'a]b [c] \"d\"'"}, // only the single quote is special in a literal
        {QStringLiteral("گاو 'يك'"), QStringLiteral("'گاو ''يك'''")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quotedSqlText(c.in), c.out) << c.in.toStdString();
}

TEST(DbFilter, ExpressionsOverARow)
{
    const QVariantMap row{
        {"serial", "1024"}, {"milkperiod", 2.0}, {"kind", QStringLiteral("رسمي")}, {"fat", QVariant()}};
    const FieldLookup lookup = [&](const QString& n) {
        if (!row.contains(n.toLower()))
            throw Error("Field '" + n + "' not found");
        return row.value(n.toLower());
    };
    struct Case
    {
        const char* expr;
        bool expected;
    } cases[] = {
        {"Serial = '1024'", true},
        {"serial='1025'", false},
        {"MilkPeriod > 1 and MilkPeriod <= 2", true},
        {"MilkPeriod <> 2 or Serial = '1024'", true},
        {"not (MilkPeriod = 2)", false},
        {"Fat is null", true},
        {"Fat is not null", false},
        {"Fat = 0", false},
        {"[Serial] >= '1000'", true},
        {"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterExpression(QString::fromLatin1(c.expr)).matches(lookup), c.expected) << c.expr;
    EXPECT_TRUE(FilterExpression(QStringLiteral("Kind = 'رسمي'")).matches(lookup));
    EXPECT_FALSE(FilterExpression(QStringLiteral("Kind = 'رسمی'")).matches(lookup))
        << "U+06CC is another letter";

    for (const char* bad : {"Serial =", "(Serial = '1'", "Serial = 'x", "Serial ! 1", "Serial = 1 1"})
        EXPECT_THROW(FilterExpression(QString::fromLatin1(bad)), Error) << bad;
    EXPECT_THROW(FilterExpression("Nope = 1").matches(lookup), Error);
}

TEST(DbRowStore, CellLengthsAroundEachLengthForm)
{
    // Short cells carry their length in the tag byte, longer ones a 2-byte and then a 4-byte
    // length: each side of each border reads back with its kind, size and bytes.
    const std::uint32_t sizes[] = {0, 1, 63, 64, 65, 0xFFFE, 0xFFFF, 0x10000};
    RowStore rows;
    std::vector<QByteArray> values;
    rows.beginRow();
    for (std::uint32_t size : sizes) {
        for (int text = 0; text < 2; ++text) {
            values.push_back(
                QByteArray(static_cast<qsizetype>(size), static_cast<char>('a' + values.size() % 26)));
            if (text)
                rows.putTextUtf8(values.back().constData(), size);
            else
                rows.putRaw(values.back().constData(), size, false);
        }
    }
    rows.putNull();
    rows.endRow();
    const std::size_t columns = values.size() + 1;
    // Same kind and size: written over in place, whatever the length form.
    for (std::size_t i : {std::size_t{4}, std::size_t{6}, std::size_t{13}}) {
        values[i].fill('Z');
        EXPECT_TRUE(rows.overwriteCell(0, i, columns, i % 2 ? CellTag::Text : CellTag::Raw,
                                       values[i].constData(), static_cast<std::uint32_t>(values[i].size())));
    }
    std::vector<Cell> cells;
    rows.cells(0, columns, cells);
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cells[i].tag, i % 2 ? CellTag::Text : CellTag::Raw);
        ASSERT_EQ(cells[i].size, static_cast<std::uint32_t>(values[i].size()));
        EXPECT_EQ(QByteArray(cells[i].data, static_cast<qsizetype>(cells[i].size)), values[i]);
    }
    EXPECT_EQ(cells.back().tag, CellTag::Null);
}

// Text appended in place reads as the cell's own string: padding of char columns dropped, other
// blanks kept, Persian and broken UTF-8 as the string would have them, other types unchanged.
TEST(DbRowStore, AppendedCellTextIsTheCellsString)
{
    auto column = [](int type, bool fixedChar) {
        ColumnInfo c;
        c.type = type;
        c.fixedChar = fixedChar;
        return c;
    };
    const std::int32_t number = -42;
    const double real = 2.5;
    const QByteArray persian = QStringLiteral("گاو ۱۲ ").toUtf8();
    const struct
    {
        ColumnInfo column;
        CellTag tag;
        QByteArray bytes;
    } cases[] = {
        {column(SYBVARCHAR, false), CellTag::Raw, "A-1204 "},
        {column(SYBCHAR, true), CellTag::Raw, "1390/01/01     "},
        {column(SYBCHAR, true), CellTag::Raw, "      "},
        {column(SYBCHAR, true), CellTag::Raw, persian + "   "},
        {column(SYBNVARCHAR, false), CellTag::Raw, persian},
        {column(SYBNVARCHAR, true), CellTag::Text, "kept  "},
        {column(SYBVARCHAR, false), CellTag::Raw, QByteArray("ab\xC3\x28\xFF", 5)},
        {column(SYBVARCHAR, false), CellTag::Raw, QByteArray("\xEF\xBB\xBF\xF0\x9F\x90\x84\xE2\x82", 9)},
        {column(SYBVARCHAR, false), CellTag::Text, QByteArray("\xF0\x9F\x90\x84\xC3", 5)},
        {column(SYBVARCHAR, false), CellTag::Raw, ""},
        {column(SYBVARCHAR, false), CellTag::Null, ""},
        {column(SYBINT4, false), CellTag::Raw, QByteArray(reinterpret_cast<const char*>(&number), 4)},
        {column(SYBFLT8, false), CellTag::Float, QByteArray(reinterpret_cast<const char*>(&real), 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toStdString());
        const Cell cell{c.tag, c.bytes.constData(), static_cast<std::uint32_t>(c.bytes.size())};
        QString out = QStringLiteral("before|");
        appendCellAsString(out, c.column, cell);
        EXPECT_EQ(out, QStringLiteral("before|") + cellAsString(c.column, cell));
    }
}

TEST(DbRowStore, RowsAcrossChunksKeepEveryCell)
{
    // Enough rows of mixed sizes to fill several chunks, with rows ending close to each chunk's
    // end, a text longer than the short length form and a row longer than a whole chunk: every
    // cell must read back as written, after rows were rewritten in place and moved.
    RowStore rows;
    const std::size_t columns = 4;
    auto textOf = [](std::size_t row) {
        if (row == 700)
            return QByteArray(static_cast<qsizetype>(RowStore::kChunkBytes + 5), 'L');
        if (row == 900)
            return QByteArray(0x10005, 'M'); // past the two-byte length
        return QByteArray(static_cast<qsizetype>(row * 37 % 3001), static_cast<char>('a' + row % 26));
    };
    const std::size_t count = 3000;
    for (std::size_t r = 0; r < count; ++r) {
        const QByteArray text = textOf(r);
        const auto id = static_cast<std::int32_t>(r);
        rows.beginRow();
        rows.putRaw(&id, 4, false);
        rows.putTextUtf8(text.constData(), static_cast<std::uint32_t>(text.size()));
        if (r % 3 == 0)
            rows.putNull();
        else
            rows.putInt(static_cast<std::int64_t>(r) * 1000);
        rows.putFloat(static_cast<double>(r) / 4);
        rows.endRow();
    }
    ASSERT_EQ(rows.rowCount(), count);
    EXPECT_GT(rows.memoryBytes(), 3 * RowStore::kChunkBytes);

    // A shorter row replaces its old one where it is; a longer one is written anew.
    auto rewrite = [&](std::size_t r, const QByteArray& text) {
        const auto id = static_cast<std::int32_t>(r);
        rows.beginRow();
        rows.putRaw(&id, 4, false);
        rows.putTextUtf8(text.constData(), static_cast<std::uint32_t>(text.size()));
        rows.putInt(-static_cast<std::int64_t>(r));
        rows.putFloat(static_cast<double>(r) / 4);
        rows.endRowReplacing(r, columns);
    };
    std::vector<QByteArray> rewritten(count);
    for (std::size_t r = 1; r < count; r += 97) {
        rewritten[r] = QByteArray(static_cast<qsizetype>(r % 2 ? 1 : 4000), 'R');
        rewrite(r, rewritten[r]);
    }
    const std::int32_t newId = 77777;
    EXPECT_TRUE(rows.overwriteCell(5, 0, columns, CellTag::Raw, reinterpret_cast<const char*>(&newId), 4));
    EXPECT_FALSE(rows.overwriteCell(5, 1, columns, CellTag::Raw, "x", 1)) << "a text is not a raw value";

    std::vector<Cell> cells;
    for (std::size_t r = 0; r < count; ++r) {
        SCOPED_TRACE(r);
        rows.cells(r, columns, cells);
        const bool moved = !rewritten[r].isEmpty();
        std::int32_t id = 0;
        ASSERT_EQ(cells[0].tag, CellTag::Raw);
        std::memcpy(&id, cells[0].data, 4);
        EXPECT_EQ(id, r == 5 ? newId : static_cast<std::int32_t>(r));
        ASSERT_EQ(cells[1].tag, CellTag::Text);
        EXPECT_EQ(QByteArray(cells[1].data, cells[1].size), moved ? rewritten[r] : textOf(r));
        if (!moved && r % 3 == 0) {
            EXPECT_EQ(cells[2].tag, CellTag::Null);
        } else {
            ASSERT_EQ(cells[2].tag, CellTag::Int);
            std::int64_t v = 0;
            std::memcpy(&v, cells[2].data, 8);
            EXPECT_EQ(v, moved ? -static_cast<std::int64_t>(r) : static_cast<std::int64_t>(r) * 1000);
        }
        ASSERT_EQ(cells[3].tag, CellTag::Float);
        double f = 0;
        std::memcpy(&f, cells[3].data, 8);
        EXPECT_EQ(f, static_cast<double>(r) / 4);
    }
}
