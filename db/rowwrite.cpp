#include "db/rowwrite.h"

#include "core/error.h"

#include <QStringList>
#include <sybdb.h>

namespace rimo::db {

namespace {

struct Statement
{
    QStringList declarations;
    std::vector<RpcParam> params;

    QString addParam(RpcParam p, const QString& declaration)
    {
        params.push_back(std::move(p));
        const QString name = QStringLiteral("@P%1").arg(params.size());
        declarations << name + u' ' + declaration;
        return name;
    }

    RowWrite finish(QString text) { return {std::move(text), declarations.join(u','), std::move(params)}; }
};

QString rawDeclaration(int type)
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
    default:
        return QStringLiteral("varbinary(max)");
    }
}

QString textDeclaration(const QString& s)
{
    return s.size() <= 4000 ? QStringLiteral("nvarchar(4000)") : QStringLiteral("nvarchar(max)");
}

// The SQL for a value written while editing: a parameter, or NULL / N'' which db-lib cannot
// send as parameters (an empty string would arrive as NULL).
QString newValueSql(Statement& st, const ColumnInfo& c, const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        if (c.isText()) {
            RpcParam p{RpcParam::Kind::Text, v.toString(), 0, 0, 0, {}};
            return st.addParam(p, textDeclaration(p.text));
        }
        RpcParam p{RpcParam::Kind::Int, {}, v.toLongLong(), 0, 0, {}};
        return st.addParam(p, QStringLiteral("bigint"));
    }
    const QString s = v.toString();
    if (!c.isText()) {
        if (s.trimmed().isEmpty())
            return QStringLiteral("NULL");
        bool ok = false;
        if (c.isInteger()) {
            const qint64 n = s.trimmed().toLongLong(&ok);
            if (ok)
                return st.addParam(RpcParam{RpcParam::Kind::Int, {}, n, 0, 0, {}}, QStringLiteral("bigint"));
        } else if (c.isFloat()) {
            const double d = s.trimmed().toDouble(&ok);
            if (ok)
                return st.addParam(RpcParam{RpcParam::Kind::Float, {}, 0, d, 0, {}}, QStringLiteral("float"));
        }
    }
    if (s.isEmpty())
        return QStringLiteral("N''");
    return st.addParam(RpcParam{RpcParam::Kind::Text, s, 0, 0, 0, {}}, textDeclaration(s));
}

// "[c] = @Pn" (or "[c] IS NULL") for a column's value as read, or empty when the column
// cannot be compared (long text and image values).
QString originalValueCondition(Statement& st, const ColumnInfo& c, const Cell& cell)
{
    const QString& name = c.quotedName;
    if (c.type == SYBTEXT || c.type == SYBNTEXT || c.type == SYBIMAGE)
        return {};
    switch (cell.tag) {
    case CellTag::Null:
        return name + QStringLiteral(" IS NULL");
    case CellTag::Int:
        return name + u'=' +
               st.addParam(RpcParam{RpcParam::Kind::Int, {}, cellAsInteger(c, cell), 0, 0, {}},
                           QStringLiteral("bigint"));
    case CellTag::Float:
        return name + u'=' +
               st.addParam(RpcParam{RpcParam::Kind::Float, {}, 0, cellAsFloat(c, cell), 0, {}},
                           QStringLiteral("float"));
    case CellTag::Text:
        break;
    case CellTag::Raw: {
        // Sent back in their own type, so the server compares the very value it sent.
        const int rawType = c.type == SYBBITN ? SYBBIT : c.type;
        if (isFixedWidthType(rawType) || rawType == SYBBINARY || rawType == SYBVARBINARY) {
            RpcParam p;
            p.kind = RpcParam::Kind::Raw;
            p.rawType = rawType;
            p.raw = QByteArray(cell.data, static_cast<qsizetype>(cell.size));
            return name + u'=' + st.addParam(p, rawDeclaration(rawType));
        }
        break;
    }
    }
    const QString text = cellAsString(c, cell);
    if (text.isEmpty())
        return name + QStringLiteral("=N''");
    return name + u'=' +
           st.addParam(RpcParam{RpcParam::Kind::Text, text, 0, 0, 0, {}}, textDeclaration(text));
}

} // namespace

bool isWrittenColumn(const ColumnInfo& column, const std::optional<QVariant>& edit)
{
    return edit && !column.identity && !column.timestamp;
}

RowWrite rowUpdate(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                   const std::vector<Cell>& original, const RowEdits& edits,
                   const std::vector<int>& keyColumns)
{
    Statement st;
    QStringList sets;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (isWrittenColumn(columns[i], edits[i]))
            sets << columns[i].quotedName + u'=' + newValueSql(st, columns[i], *edits[i]);
    }
    if (sets.isEmpty())
        return {};
    QStringList where;
    if (!keyColumns.empty()) {
        for (const int k : keyColumns) {
            const auto i = static_cast<std::size_t>(k);
            where << originalValueCondition(st, columns[i], original[i]);
        }
    } else {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QString cond = originalValueCondition(st, columns[i], original[i]);
            if (!cond.isEmpty())
                where << cond;
        }
        // Without a condition the server would change whichever row it meets first.
        if (where.isEmpty())
            throw Error(QStringLiteral("%1: Row cannot be located for updating. The table has no key and "
                                       "no column whose value can be compared.")
                            .arg(quotedTable));
    }
    return st.finish((keyColumns.empty() ? QStringLiteral("UPDATE TOP (1) ") : QStringLiteral("UPDATE ")) +
                     quotedTable + QStringLiteral(" SET ") + sets.join(u',') + QStringLiteral(" WHERE ") +
                     where.join(QStringLiteral(" AND ")));
}

RowWrite rowInsert(const QString& quotedTable, const std::vector<ColumnInfo>& columns, const RowEdits& edits)
{
    Statement st;
    QStringList names, values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!isWrittenColumn(columns[i], edits[i]))
            continue;
        names << columns[i].quotedName;
        values << newValueSql(st, columns[i], *edits[i]);
    }
    if (names.isEmpty())
        return st.finish(QStringLiteral("INSERT INTO ") + quotedTable + QStringLiteral(" DEFAULT VALUES"));
    return st.finish(QStringLiteral("INSERT INTO ") + quotedTable + QStringLiteral(" (") + names.join(u',') +
                     QStringLiteral(") VALUES (") + values.join(u',') + u')');
}

} // namespace rimo::db
