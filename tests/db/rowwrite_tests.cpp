// The statements a Post sends, built from a table's columns, the row as read and the edits,
// without a server.
#include "core/error.h"
#include "db/rowwrite.h"
#include "db/sqltext.h"

#include <gtest/gtest.h>
#include <sybdb.h>

#include <cmath>
#include <cstring>

using namespace rimo::db;

namespace {

QByteArray int32Bytes(qint32 v)
{
    return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
}

// Money as db-lib delivers it: ten-thousandths, high half first.
QByteArray moneyBytes(double v)
{
    const qint64 units = std::llround(v * 10000);
    const DBMONEY m{static_cast<DBINT>(units >> 32), static_cast<DBUINT>(units & 0xFFFFFFFF)};
    return QByteArray(reinterpret_cast<const char*>(&m), sizeof m);
}

// A date as db-lib delivers a date column: days from 1900-01-01, no time.
QByteArray dateBytes(int daysFrom1900)
{
    DBDATETIMEALL d{};
    d.date = daysFrom1900;
    d.has_date = 1;
    return QByteArray(reinterpret_cast<const char*>(&d), sizeof d);
}

QByteArray smallMoneyBytes(double v)
{
    const DBMONEY4 m{static_cast<DBINT>(std::llround(v * 10000))};
    return QByteArray(reinterpret_cast<const char*>(&m), sizeof m);
}

// One parameter as the expectations below spell it.
QString text(const QString& v)
{
    return QStringLiteral("text:") + v;
}
QString integer(qint64 v)
{
    return QStringLiteral("int:%1").arg(v);
}
QString raw(int type, const QByteArray& bytes)
{
    return QStringLiteral("raw%1:").arg(type) + QString::fromLatin1(bytes.toHex());
}

QString describe(const RpcParam& p)
{
    switch (p.kind) {
    case RpcParam::Kind::Null:
        return QStringLiteral("null");
    case RpcParam::Kind::Text:
        return text(p.text);
    case RpcParam::Kind::Int:
        return integer(p.integer);
    case RpcParam::Kind::Float:
        return QStringLiteral("float:%1").arg(p.real, 0, 'g', 17);
    case RpcParam::Kind::Raw:
        return raw(p.rawType, p.raw);
    }
    return {};
}

struct Column
{
    const char* name;
    int type;
    QVariant original; // as read; invalid: NULL
    bool serverOwned = false;
};

// The row as db-lib delivered it: every value in its raw form.
void putOriginal(RowStore& rows, const Column& c)
{
    QByteArray bytes;
    if (!c.original.isValid()) {
        rows.putNull();
        return;
    }
    if (c.original.typeId() == QMetaType::QByteArray)
        bytes = c.original.toByteArray();
    else if (c.type == SYBINT4)
        bytes = int32Bytes(c.original.toInt());
    else if (c.type == SYBMONEY)
        bytes = moneyBytes(c.original.toDouble());
    else if (c.type == SYBMONEY4)
        bytes = smallMoneyBytes(c.original.toDouble());
    else
        bytes = c.original.toString().toUtf8();
    rows.putRaw(bytes.constData(), static_cast<std::uint32_t>(bytes.size()), false);
}

const QString kNoText; // the update writes nothing

struct Case
{
    const char* what;
    const char* table;
    std::vector<Column> columns;
    std::vector<std::pair<int, QVariant>> edits; // column, value written while editing
    std::vector<int> keys;
    bool insert;
    QString text;
    QString declarations;
    QStringList params;
};

// db-lib's value conversions (money to text, for one) need the library initialised, as it is in
// any program that has connected.
class RowWriting : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { dbinit(); }
};

} // namespace

TEST_F(RowWriting, StatementsOfAPost)
{
    const std::vector<Column> keyed = {{"ID", SYBINT4, 2, true},
                                       {"Serial", SYBNVARCHAR, "y"},
                                       {"A", SYBINT4, 5},
                                       {"B", SYBINT4, QVariant()}};
    const Case cases[] = {
        {"changed columns only; an identity value is never written",
         "Keyed",
         keyed,
         {{0, qint64(9)}, {3, qint64(7)}},
         {0},
         false,
         "UPDATE [Keyed] SET [B]=@P1 WHERE [ID]=@P2",
         "@P1 bigint,@P2 int",
         {integer(7), raw(SYBINT4, int32Bytes(2))}},
        {"nothing written: no statement, the post cancels",
         "Keyed",
         keyed,
         {{0, qint64(9)}},
         {0},
         false,
         kNoText,
         "",
         {}},
        {"a NULL set: a null value, and a blank text for a number",
         "Keyed",
         keyed,
         {{1, QVariant()}, {2, QString("  ")}, {3, QString(" 12 ")}},
         {0},
         false,
         "UPDATE [Keyed] SET [Serial]=NULL,[A]=NULL,[B]=@P1 WHERE [ID]=@P2",
         "@P1 bigint,@P2 int",
         {integer(12), raw(SYBINT4, int32Bytes(2))}},
        {"keyless: at most one row, matched by every comparable original value",
         "Loose",
         {{"A", SYBINT4, 1},
          {"B", SYBNVARCHAR, QVariant()},
          {"Memo", SYBNTEXT, "long"},
          {"C", SYBNVARCHAR, ""}},
         {{1, QString("z")}},
         {},
         false,
         "UPDATE TOP (1) [Loose] SET [B]=@P1 WHERE [A]=@P2 AND [B] IS NULL AND [C]=N''",
         "@P1 nvarchar(4000),@P2 int",
         {text("z"), raw(SYBINT4, int32Bytes(1))}},
        {"keyless with money: the original amounts go back in their own type",
         "Cash",
         {{"M", SYBMONEY, 12.3456}, {"S", SYBMONEY4, 7.5}, {"Note", SYBNVARCHAR, "a"}},
         {{2, QString("b")}},
         {},
         false,
         "UPDATE TOP (1) [Cash] SET [Note]=@P1 WHERE [M]=@P2 AND [S]=@P3 AND [Note]=@P4",
         "@P1 nvarchar(4000),@P2 money,@P3 smallmoney,@P4 nvarchar(4000)",
         {text("b"), raw(SYBMONEY, moneyBytes(12.3456)), raw(SYBMONEY4, smallMoneyBytes(7.5)), text("a")}},
        {"keyless with a date and an empty binary: the date as ISO text converted with a fixed "
         "style, never as '15/03/2011'; the empty binary as 0x, not NULL",
         "Dated",
         {{"D", SYBMSDATE, dateBytes(40615)}, {"B", SYBVARBINARY, QByteArray()}, {"N", SYBINT4, 1}},
         {{2, qint64(2)}},
         {},
         false,
         "UPDATE TOP (1) [Dated] SET [N]=@P1 WHERE [D]=CONVERT(date,@P2,23) AND [B]=0x AND [N]=@P3",
         "@P1 bigint,@P2 nvarchar(4000),@P3 int",
         {integer(2), text("2011-03-15"), raw(SYBINT4, int32Bytes(1))}},
        {"dates written as the program shows them (day first) go as ISO text with a fixed style",
         "Dated2",
         {{"D", SYBMSDATE, dateBytes(40615)}, {"T", SYBDATETIME, QVariant()}},
         {{0, QString("03/12/2011")}, {1, QString("03/12/2011 10:30")}},
         {},
         false,
         "UPDATE TOP (1) [Dated2] SET [D]=CONVERT(date,@P1,23),[T]=CONVERT(datetime,@P2,121) WHERE "
         "[D]=CONVERT(date,@P3,23) AND [T] IS NULL",
         "@P1 nvarchar(4000),@P2 nvarchar(4000),@P3 nvarchar(4000)",
         {text("2011-12-03"), text("2011-12-03 10:30:00.000"), text("2011-03-15")}},
        {"a datetimeoffset written as shown (day first, no offset) goes as ISO text, read as UTC; a time "
         "as it is written",
         "Zoned",
         {{"O", SYBMSDATETIMEOFFSET, QVariant()}, {"T", SYBMSTIME, QVariant()}},
         {{0, QString("03/12/2011 10:30:15.5")}, {1, QString("10:30:15")}},
         {},
         false,
         "UPDATE TOP (1) [Zoned] SET [O]=CONVERT(datetimeoffset(7),@P1),[T]=@P2 WHERE [O] IS NULL AND [T] IS "
         "NULL",
         "@P1 nvarchar(4000),@P2 nvarchar(4000)",
         {text("2011-12-03T10:30:15.5"), text("10:30:15")}},
        {"a quote and ] in names and values",
         "dbo.odd]table",
         {{"k]ey", SYBNVARCHAR, "a'b]"}, {"it's]col", SYBNVARCHAR, "x"}},
         {{1, QString("O'Neil ]x")}},
         {0},
         false,
         "UPDATE [dbo].[odd]]table] SET [it's]]col]=@P1 WHERE [k]]ey]=@P2",
         "@P1 nvarchar(4000),@P2 nvarchar(4000)",
         {text("O'Neil ]x"), text("a'b]")}},
        {"insert of the set columns; an empty text stays an empty text",
         "Keyed",
         keyed,
         {{0, qint64(9)}, {1, QString("")}, {2, qint64(3)}},
         {0},
         true,
         "INSERT INTO [Keyed] ([Serial],[A]) VALUES (N'',@P1)",
         "@P1 bigint",
         {integer(3)}},
        {"insert with defaults: nothing set but the identity",
         "Keyed",
         keyed,
         {{0, qint64(9)}},
         {0},
         true,
         "INSERT INTO [Keyed] DEFAULT VALUES",
         "",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ColumnInfo> columns;
        RowStore rows;
        rows.beginRow();
        for (const Column& given : c.columns) {
            ColumnInfo info;
            info.name = QString::fromUtf8(given.name);
            info.quotedName = quoteName(info.name); // as a table does once per open
            info.type = given.type;
            info.identity = given.serverOwned;
            columns.push_back(info);
            putOriginal(rows, given);
        }
        rows.endRow();
        std::vector<Cell> original;
        rows.cells(0, columns.size(), original);
        RowEdits edits(columns.size());
        for (const auto& [column, value] : c.edits)
            edits[static_cast<std::size_t>(column)] = value;

        const QString table = quoteName(QString::fromUtf8(c.table));
        const RowWrite w =
            c.insert ? rowInsert(table, columns, edits) : rowUpdate(table, columns, original, edits, c.keys);
        EXPECT_EQ(w.text.toStdString(), c.text.toStdString());
        EXPECT_EQ(w.declarations.toStdString(), c.declarations.toStdString());
        QStringList params;
        for (const RpcParam& p : w.params)
            params << describe(p);
        EXPECT_EQ(params.join(u'|').toStdString(), c.params.join(u'|').toStdString());
    }
}

TEST_F(RowWriting, KeylessRowWithNothingComparableIsRefused)
{
    // Long text and image values cannot be compared: an UPDATE TOP (1) without a condition would
    // change whichever row the server meets first.
    std::vector<ColumnInfo> columns(2);
    columns[0].name = "Memo";
    columns[0].type = SYBNTEXT;
    columns[1].name = "Photo";
    columns[1].type = SYBIMAGE;
    for (ColumnInfo& c : columns)
        c.quotedName = quoteName(c.name);
    RowStore rows;
    rows.beginRow();
    rows.putRaw("a", 1, false);
    rows.putNull();
    rows.endRow();
    std::vector<Cell> original;
    rows.cells(0, columns.size(), original);
    RowEdits edits(columns.size());
    edits[0] = QString("b");

    EXPECT_THROW(rowUpdate("[Notes]", columns, original, edits, {}), rimo::Error);
}
