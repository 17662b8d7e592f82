#include "db/rowwrite.h"

#include "core/error.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>
#include <sybdb.h>

namespace rimo::db {

namespace {

// A slot of a statement's shape: the column in the high half, what its SQL is in the low half.
// The codes below 0x100 are fixed; 0x100 + type is a raw parameter of the client library's type.
enum SlotCode : std::uint32_t {
    kNull = 1,      // NULL (IS NULL in a condition)
    kEmptyText = 2, // N'' (db-lib cannot send an empty text as a parameter)
    kBigint = 3,
    kFloat = 4,
    kText = 5,        // nvarchar(4000)
    kLongText = 6,    // nvarchar(max)
    kEmptyBinary = 7, // 0x (db-lib sends an empty binary parameter as NULL)
    // Dates and times: db-lib cannot send these types as parameters, so the value goes as ISO
    // text that the statement converts with an explicit style, which no date format or language
    // setting of the server changes.
    kIsoDate = 8,
    kIsoTime = 9,
    kIsoDateTime2 = 10,
    kIsoDateTimeOffset = 11,
    kIsoDateTime = 12,
    kIsoSmallDateTime = 13,
    kRawBase = 0x100,
};
// The first entry of a shape says which statement it is.
enum ShapeKind : std::uint32_t { kInsert = 1, kUpdateByKey = 2, kUpdateTop = 3 };
// Ends the SET list of an UPDATE; the conditions follow.
constexpr std::uint32_t kWhere = 0xFFFFFFFFu;

std::uint32_t slot(std::size_t column, std::uint32_t code)
{
    return static_cast<std::uint32_t>(column) << 16 | code;
}

std::uint32_t textCode(const QString& s)
{
    return s.size() <= 4000 ? kText : kLongText;
}

QString rawDeclaration(int type, int precision, int scale)
{
    switch (type) {
    case SYBINT1:
        return QStringLiteral("tinyint");
    case SYBINT2:
        return QStringLiteral("smallint");
    case SYBINT4:
        return QStringLiteral("int");
    case SYBINT8:
        return QStringLiteral("bigint");
    case SYBBIT:
        return QStringLiteral("bit");
    case SYBREAL:
        return QStringLiteral("real");
    case SYBFLT8:
        return QStringLiteral("float");
    case SYBDATETIME:
        return QStringLiteral("datetime");
    case SYBDATETIME4:
        return QStringLiteral("smalldatetime");
    case SYBMONEY:
        return QStringLiteral("money");
    case SYBMONEY4:
        return QStringLiteral("smallmoney");
    case SYBDECIMAL:
    case SYBNUMERIC:
        return QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale);
    default:
        return QStringLiteral("varbinary(max)");
    }
}

QString declaration(std::uint32_t code, const ColumnInfo& column)
{
    switch (code) {
    case kBigint:
        return QStringLiteral("bigint");
    case kFloat:
        return QStringLiteral("float");
    case kText:
    case kIsoDate:
    case kIsoTime:
    case kIsoDateTime2:
    case kIsoDateTimeOffset:
    case kIsoDateTime:
    case kIsoSmallDateTime:
        return QStringLiteral("nvarchar(4000)");
    case kLongText:
        return QStringLiteral("nvarchar(max)");
    default:
        return rawDeclaration(static_cast<int>(code - kRawBase), column.precision, column.scale);
    }
}

void addText(RowValues& out, std::size_t column, QString text)
{
    out.shape.push_back(slot(column, textCode(text)));
    RpcParam& p = out.params.emplace_back();
    p.kind = RpcParam::Kind::Text;
    p.text = std::move(text);
}

void addInt(RowValues& out, std::size_t column, qint64 v)
{
    out.shape.push_back(slot(column, kBigint));
    RpcParam& p = out.params.emplace_back();
    p.kind = RpcParam::Kind::Int;
    p.integer = v;
}

void addFloat(RowValues& out, std::size_t column, double v)
{
    out.shape.push_back(slot(column, kFloat));
    RpcParam& p = out.params.emplace_back();
    p.kind = RpcParam::Kind::Float;
    p.real = v;
}

// A date written as the program shows dates ("dd/mm/yyyy", optionally "HH:mm[:ss[.fff]]") into a
// date or date-and-time column, as ISO text and the slot that converts it with a fixed style: the
// server would read the text by its own date format, month first by default. False for any other
// text, which then goes as it is.
bool addDisplayedDate(RowValues& out, std::size_t column, int type, const QString& s)
{
    std::uint32_t code = 0;
    switch (type) {
    case SYBMSDATE:
        code = kIsoDate;
        break;
    case SYBMSDATETIME2:
        code = kIsoDateTime2;
        break;
    case SYBMSDATETIMEOFFSET:
        // Shown with its offset; a text written without one is read as UTC, as the server reads it.
        code = kIsoDateTimeOffset;
        break;
    case SYBDATETIME:
    case SYBDATETIMN:
        code = kIsoDateTime;
        break;
    case SYBDATETIME4:
        code = kIsoSmallDateTime;
        break;
    default:
        return false;
    }
    static const QRegularExpression shown(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/"
                       "(\\d{4})(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,7}))?)?)?"
                       "(?:\\s*([+-]\\d{2}:\\d{2}))?\\s*$"));
    const auto m = shown.match(s);
    if (!m.hasMatch())
        return false;
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    const int hour = m.captured(4).toInt();
    const int minute = m.captured(5).toInt();
    const int second = m.captured(6).toInt();
    const QString offset = m.captured(8);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59 ||
        (!offset.isEmpty() && code != kIsoDateTimeOffset))
        return false;
    QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (code != kIsoDate) {
        // datetime and smalldatetime in the ODBC form with milliseconds (style 121), datetime2 and
        // datetimeoffset in ISO 8601 with up to seven digits of the second (style 126).
        QString fraction = m.captured(7);
        if (code == kIsoDateTime2 || code == kIsoDateTimeOffset) {
            text += u'T';
        } else {
            text += u' ';
            fraction = (fraction + QStringLiteral("000")).left(3);
        }
        text += QStringLiteral("%1:%2:%3")
                    .arg(hour, 2, 10, QLatin1Char('0'))
                    .arg(minute, 2, 10, QLatin1Char('0'))
                    .arg(second, 2, 10, QLatin1Char('0'));
        if (!fraction.isEmpty())
            text += u'.' + fraction;
        text += offset;
    }
    out.shape.push_back(slot(column, code));
    RpcParam& p = out.params.emplace_back();
    p.kind = RpcParam::Kind::Text;
    p.text = std::move(text);
    return true;
}

// A value written while editing: a parameter, or NULL / N'' which db-lib cannot send as
// parameters (an empty string would arrive as NULL).
void addNewValue(RowValues& out, std::size_t column, const ColumnInfo& c, const QVariant& v)
{
    if (v.isNull()) {
        out.shape.push_back(slot(column, kNull));
        return;
    }
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        if (c.isText())
            addText(out, column, v.toString());
        else
            addInt(out, column, v.toLongLong());
        return;
    }
    QString s = v.toString();
    if (!c.isText()) {
        if (s.trimmed().isEmpty()) {
            out.shape.push_back(slot(column, kNull));
            return;
        }
        bool ok = false;
        if (c.isInteger()) {
            const qint64 n = s.trimmed().toLongLong(&ok);
            if (ok) {
                addInt(out, column, n);
                return;
            }
        } else if (c.isFloat()) {
            const double d = s.trimmed().toDouble(&ok);
            if (ok) {
                addFloat(out, column, d);
                return;
            }
        } else if (addDisplayedDate(out, column, c.type, s)) {
            return;
        }
    }
    if (s.isEmpty())
        out.shape.push_back(slot(column, kEmptyText));
    else
        addText(out, column, std::move(s));
}

// The value of a date or time column as ISO 8601 text with every digit it has, and the slot that
// converts it back; false when db-lib cannot take the value apart.
bool addIsoDateTime(RowValues& out, std::size_t column, int type, const Cell& cell)
{
    DBDATEREC2 rec{};
    if (dbanydatecrack(nullptr, &rec, type, cell.data) != SUCCEED)
        return false;
    const QString date = QStringLiteral("%1-%2-%3")
                             .arg(rec.dateyear, 4, 10, QLatin1Char('0'))
                             .arg(rec.datemonth + 1, 2, 10, QLatin1Char('0'))
                             .arg(rec.datedmonth, 2, 10, QLatin1Char('0'));
    const QString time = QStringLiteral("%1:%2:%3.%4")
                             .arg(rec.datehour, 2, 10, QLatin1Char('0'))
                             .arg(rec.dateminute, 2, 10, QLatin1Char('0'))
                             .arg(rec.datesecond, 2, 10, QLatin1Char('0'))
                             .arg(rec.datensecond / 100, 7, 10, QLatin1Char('0'));
    QString text;
    std::uint32_t code = 0;
    switch (type) {
    case SYBMSDATE:
        text = date;
        code = kIsoDate;
        break;
    case SYBMSTIME:
        text = time;
        code = kIsoTime;
        break;
    case SYBMSDATETIME2:
        text = date + u'T' + time;
        code = kIsoDateTime2;
        break;
    default: {
        const int offset = rec.datetzone;
        const int magnitude = offset < 0 ? -offset : offset;
        text = date + u'T' + time + (offset < 0 ? u'-' : u'+') +
               QStringLiteral("%1:%2")
                   .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
                   .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
        code = kIsoDateTimeOffset;
        break;
    }
    }
    out.shape.push_back(slot(column, code));
    RpcParam& p = out.params.emplace_back();
    p.kind = RpcParam::Kind::Text;
    p.text = std::move(text);
    return true;
}

// The condition on a column's value as read; false when the column cannot be compared (long
// text and image values).
bool addOriginalValue(RowValues& out, std::size_t column, const ColumnInfo& c, const Cell& cell)
{
    if (c.type == SYBTEXT || c.type == SYBNTEXT || c.type == SYBIMAGE)
        return false;
    switch (cell.tag) {
    case CellTag::Null:
        out.shape.push_back(slot(column, kNull));
        return true;
    case CellTag::Int:
        addInt(out, column, cellAsInteger(c, cell));
        return true;
    case CellTag::Float:
        addFloat(out, column, cellAsFloat(c, cell));
        return true;
    case CellTag::Text:
        break;
    case CellTag::Raw: {
        // Sent back in their own type, so the server compares the very value it sent: never as
        // display text, which the server would read by its own date format ('15/03/2011').
        const int rawType = c.type == SYBBITN ? SYBBIT : c.type;
        const bool binary = rawType == SYBBINARY || rawType == SYBVARBINARY;
        if (binary && cell.size == 0) {
            out.shape.push_back(slot(column, kEmptyBinary)); // as a parameter it would arrive as NULL
            return true;
        }
        if ((rawType == SYBMSDATE || rawType == SYBMSTIME || rawType == SYBMSDATETIME2 ||
             rawType == SYBMSDATETIMEOFFSET) &&
            addIsoDateTime(out, column, rawType, cell))
            return true;
        if (isFixedWidthType(rawType) || binary || isSentAsItsOwnType(rawType)) {
            out.shape.push_back(slot(column, kRawBase + static_cast<std::uint32_t>(rawType)));
            RpcParam& p = out.params.emplace_back();
            p.kind = RpcParam::Kind::Raw;
            p.rawType = rawType;
            // Refers to the row's own bytes: sent before the row changes, and copied by
            // rowUpdate for callers that keep the statement.
            p.raw = QByteArray::fromRawData(cell.data, static_cast<qsizetype>(cell.size));
            return true;
        }
        break;
    }
    }
    QString text = cellAsString(c, cell);
    // A date written in this session is held as the text it was written as.
    if (addDisplayedDate(out, column, c.type, text))
        return true;
    if (text.isEmpty())
        out.shape.push_back(slot(column, kEmptyText));
    else
        addText(out, column, std::move(text));
    return true;
}

} // namespace

bool isSentAsItsOwnType(int type)
{
    switch (type) {
    case SYBDECIMAL:
    case SYBNUMERIC:
        return true;
    default:
        return false;
    }
}

bool isWrittenColumn(const ColumnInfo& column, const std::optional<QVariant>& edit)
{
    return edit && !column.identity && !column.timestamp;
}

void RowValues::clear()
{
    shape.clear();
    params.clear();
}

bool rowUpdateValues(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                     const std::vector<Cell>& original, const RowEdits& edits,
                     const std::vector<int>& keyColumns, RowValues& out)
{
    out.clear();
    out.shape.push_back(keyColumns.empty() ? kUpdateTop : kUpdateByKey);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (isWrittenColumn(columns[i], edits[i]))
            addNewValue(out, i, columns[i], *edits[i]);
    }
    if (out.shape.size() == 1)
        return false;
    out.shape.push_back(kWhere);
    if (!keyColumns.empty()) {
        for (const int k : keyColumns) {
            const auto i = static_cast<std::size_t>(k);
            // The server cannot index long text and image columns, so a key never holds one.
            if (!addOriginalValue(out, i, columns[i], original[i]))
                throw Error(QStringLiteral("%1: Row cannot be located for updating. The key column %2 "
                                           "cannot be compared.")
                                .arg(quotedTable, columns[i].quotedName));
        }
    } else {
        bool any = false;
        for (std::size_t i = 0; i < columns.size(); ++i)
            any = addOriginalValue(out, i, columns[i], original[i]) || any;
        // Without a condition the server would change whichever row it meets first.
        if (!any)
            throw Error(QStringLiteral("%1: Row cannot be located for updating. The table has no key and "
                                       "no column whose value can be compared.")
                            .arg(quotedTable));
    }
    return true;
}

void rowInsertValues(const std::vector<ColumnInfo>& columns, const RowEdits& edits, RowValues& out)
{
    out.clear();
    out.shape.push_back(kInsert);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (isWrittenColumn(columns[i], edits[i]))
            addNewValue(out, i, columns[i], *edits[i]);
    }
}

RowWrite rowStatement(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                      const std::vector<std::uint32_t>& shape)
{
    RowWrite w;
    if (shape.empty())
        return w;
    int paramCount = 0;
    // The SQL of one slot: its literal, or the next parameter (declared as it goes).
    auto value = [&](std::uint32_t code, const ColumnInfo& column) -> QString {
        if (code == kNull)
            return QStringLiteral("NULL");
        if (code == kEmptyText)
            return QStringLiteral("N''");
        if (code == kEmptyBinary)
            return QStringLiteral("0x");
        const QString name = QStringLiteral("@P%1").arg(++paramCount);
        if (!w.declarations.isEmpty())
            w.declarations += u',';
        w.declarations += name + u' ' + declaration(code, column);
        switch (code) {
        case kIsoDate:
            return QStringLiteral("CONVERT(date,%1,23)").arg(name);
        case kIsoTime:
            return QStringLiteral("CONVERT(time(7),%1)").arg(name);
        case kIsoDateTime2:
            return QStringLiteral("CONVERT(datetime2(7),%1,126)").arg(name);
        case kIsoDateTimeOffset:
            return QStringLiteral("CONVERT(datetimeoffset(7),%1)").arg(name);
        case kIsoDateTime:
            return QStringLiteral("CONVERT(datetime,%1,121)").arg(name);
        case kIsoSmallDateTime:
            return QStringLiteral("CONVERT(smalldatetime,%1,121)").arg(name);
        default:
            return name;
        }
    };
    const bool insert = shape.front() == kInsert;
    QStringList names, values, where;
    bool inWhere = false;
    for (std::size_t i = 1; i < shape.size(); ++i) {
        if (shape[i] == kWhere) {
            inWhere = true;
            continue;
        }
        const ColumnInfo& column = columns[shape[i] >> 16];
        const QString& name = column.quotedName;
        const std::uint32_t code = shape[i] & 0xFFFF;
        if (inWhere)
            where << (code == kNull ? name + QStringLiteral(" IS NULL") : name + u'=' + value(code, column));
        else if (insert) {
            names << name;
            values << value(code, column);
        } else
            values << name + u'=' + value(code, column);
    }
    if (insert) {
        w.text = names.isEmpty()
                     ? QStringLiteral("INSERT INTO ") + quotedTable + QStringLiteral(" DEFAULT VALUES")
                     : QStringLiteral("INSERT INTO ") + quotedTable + QStringLiteral(" (") +
                           names.join(u',') + QStringLiteral(") VALUES (") + values.join(u',') + u')';
    } else {
        w.text =
            (shape.front() == kUpdateTop ? QStringLiteral("UPDATE TOP (1) ") : QStringLiteral("UPDATE ")) +
            quotedTable + QStringLiteral(" SET ") + values.join(u',') + QStringLiteral(" WHERE ") +
            where.join(QStringLiteral(" AND "));
    }
    return w;
}

RowWrite rowUpdate(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                   const std::vector<Cell>& original, const RowEdits& edits,
                   const std::vector<int>& keyColumns)
{
    RowValues values;
    if (!rowUpdateValues(quotedTable, columns, original, edits, keyColumns, values))
        return {};
    RowWrite w = rowStatement(quotedTable, columns, values.shape);
    w.params = std::move(values.params);
    for (RpcParam& p : w.params)
        p.raw.detach();
    return w;
}

RowWrite rowInsert(const QString& quotedTable, const std::vector<ColumnInfo>& columns, const RowEdits& edits)
{
    RowValues values;
    rowInsertValues(columns, edits, values);
    RowWrite w = rowStatement(quotedTable, columns, values.shape);
    w.params = std::move(values.params);
    return w;
}

} // namespace rimo::db
