#include "db/msdataset.h"

#include "core/error.h"

#include <sybdb.h>

#include <cstring>

using rimo::Error;
using namespace rimo::db;

QString TMSTable::selectStatement() const
{
    QString sql = QStringLiteral("SELECT * FROM ") + quoteName(TableName);
    if (!FilterSQL.trimmed().isEmpty())
        sql += QStringLiteral(" WHERE (") + FilterSQL + u')';
    if (!OrderFields.trimmed().isEmpty())
        sql += QStringLiteral(" ORDER BY ") + OrderFields;
    return sql;
}

void TMSTable::Open()
{
    if (TableName.trimmed().isEmpty())
        throw Error(QStringLiteral("%1: No table name specified").arg(objectName()));
    openWithSql(selectStatement());
    m_quotedTable = quoteName(TableName);
    for (ColumnInfo& c : m_columns)
        c.quotedName = quoteName(c.name);
    try {
        readKeyColumns();
    } catch (...) {
        Close();
        throw;
    }
}

void TMSTable::readKeyColumns()
{
    // db-lib reports char and varchar alike, so the table's own description tells which
    // columns are fixed-width (their trailing blanks are padding), and which form its key.
    struct Text : ResultSink
    {
        QList<QStringList> rows;
        void columns(const std::vector<ColumnInfo>&) override {}
        void row(tds_dblib_dbprocess* proc, int count) override
        {
            QStringList r;
            for (int i = 1; i <= count; ++i) {
                const BYTE* d = dbdata(proc, i);
                r << (d ? QString::fromUtf8(reinterpret_cast<const char*>(d), dbdatlen(proc, i)).trimmed()
                        : QString());
            }
            rows << r;
        }
    };
    RpcParam table;
    table.kind = RpcParam::Kind::Text;
    table.text = bareTableName(TableName);
    const QString declaration = QStringLiteral("@P1 nvarchar(256)");

    Text types;
    session().execSql(QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS "
                                     "WHERE TABLE_NAME = @P1"),
                      declaration, {table}, &types);
    for (const QStringList& r : types.rows) {
        const QString type = r.value(1).toLower();
        if (TField* f = FindField(r.value(0)))
            m_columns[static_cast<std::size_t>(f->index())].fixedChar = type == u"char" || type == u"nchar";
    }

    Text keys;
    session().execSql(
        QStringLiteral("SELECT k.COLUMN_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS t "
                       "JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE k ON k.CONSTRAINT_NAME = t.CONSTRAINT_NAME "
                       "AND k.TABLE_NAME = t.TABLE_NAME WHERE t.CONSTRAINT_TYPE = 'PRIMARY KEY' "
                       "AND t.TABLE_NAME = @P1 ORDER BY k.ORDINAL_POSITION"),
        declaration, {table}, &keys);
    m_keyColumns.clear();
    for (const QStringList& r : keys.rows) {
        // A key column missing from the result cannot identify rows: fall back to all values.
        if (!FindField(r.value(0))) {
            m_keyColumns.clear();
            break;
        }
        m_keyColumns << r.value(0);
    }
    m_cellsRow = static_cast<std::size_t>(-1);
    if (m_filtered && !Filter.trimmed().isEmpty())
        rebuildView(); // the filter compares trimmed texts
}

void TMSTable::Edit()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (m_view.empty())
        throw Error(
            QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(objectName()));
    m_edit.assign(m_columns.size(), std::nullopt);
    m_state = State::Edit;
}

void TMSTable::Insert()
{
    requireActive();
    if (m_state == State::Edit || m_state == State::Insert)
        Post();
    m_edit.assign(m_columns.size(), std::nullopt);
    m_state = State::Insert;
}

void TMSTable::Cancel()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        m_edit.clear();
        m_state = State::Browse;
    }
}

void TMSTable::beforeNavigate()
{
    if (m_state == State::Edit || m_state == State::Insert)
        Post();
}

namespace {

struct Statement
{
    QString text;
    QStringList declarations;
    std::vector<RpcParam> params;

    QString addParam(RpcParam p, const QString& declaration)
    {
        params.push_back(std::move(p));
        const QString name = QStringLiteral("@P%1").arg(params.size());
        declarations << name + u' ' + declaration;
        return name;
    }
};

bool isFixedRawType(int type)
{
    return type == SYBINT1 || type == SYBINT2 || type == SYBINT4 || type == SYBINT8 || type == SYBBIT ||
           type == SYBBITN || type == SYBREAL || type == SYBFLT8 || type == SYBDATETIME ||
           type == SYBDATETIME4;
}

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
    case SYBBITN:
        return QStringLiteral("bit");
    case SYBREAL:
        return QStringLiteral("real");
    case SYBFLT8:
        return QStringLiteral("float");
    case SYBDATETIME:
        return QStringLiteral("datetime");
    case SYBDATETIME4:
        return QStringLiteral("smalldatetime");
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
    case CellTag::Raw:
        if (isFixedRawType(c.type) || c.type == SYBBINARY || c.type == SYBVARBINARY) {
            RpcParam p;
            p.kind = RpcParam::Kind::Raw;
            p.rawType = c.type == SYBBITN ? SYBBIT : c.type;
            p.raw = QByteArray(cell.data, static_cast<qsizetype>(cell.size));
            return name + u'=' + st.addParam(p, rawDeclaration(c.type));
        }
        break;
    }
    const QString text = cellAsString(c, cell);
    if (text.isEmpty())
        return name + QStringLiteral("=N''");
    return name + u'=' +
           st.addParam(RpcParam{RpcParam::Kind::Text, text, 0, 0, 0, {}}, textDeclaration(text));
}

} // namespace

void TMSTable::Post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    std::vector<int> changed;
    for (int i = 0; i < FieldCount(); ++i) {
        const ColumnInfo& c = m_columns[static_cast<std::size_t>(i)];
        // identity, computed and row-version values belong to the server
        if (m_edit[static_cast<std::size_t>(i)] && !c.identity && !c.timestamp)
            changed.push_back(i);
    }
    const QString& table = m_quotedTable;
    Statement st;
    if (m_state == State::Edit) {
        if (changed.empty()) {
            Cancel();
            return;
        }
        QStringList sets;
        for (int i : changed) {
            const ColumnInfo& c = m_columns[static_cast<std::size_t>(i)];
            sets << c.quotedName + u'=' + newValueSql(st, c, *m_edit[static_cast<std::size_t>(i)]);
        }
        std::vector<Cell> original;
        m_rows.cells(currentRow(), m_columns.size(), original);
        QStringList where;
        if (!m_keyColumns.isEmpty()) {
            for (const QString& k : m_keyColumns) {
                const int i = FindField(k)->index();
                where << originalValueCondition(st, m_columns[static_cast<std::size_t>(i)],
                                                original[static_cast<std::size_t>(i)]);
            }
        } else {
            for (int i = 0; i < FieldCount(); ++i) {
                const QString cond = originalValueCondition(st, m_columns[static_cast<std::size_t>(i)],
                                                            original[static_cast<std::size_t>(i)]);
                if (!cond.isEmpty())
                    where << cond;
            }
        }
        st.text =
            (m_keyColumns.isEmpty() ? QStringLiteral("UPDATE TOP (1) ") : QStringLiteral("UPDATE ")) + table +
            QStringLiteral(" SET ") + sets.join(u',') +
            (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
    } else {
        QStringList names, values;
        for (int i : changed) {
            const ColumnInfo& c = m_columns[static_cast<std::size_t>(i)];
            names << c.quotedName;
            values << newValueSql(st, c, *m_edit[static_cast<std::size_t>(i)]);
        }
        st.text = names.isEmpty()
                      ? QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES")
                      : QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(u',') +
                            QStringLiteral(") VALUES (") + values.join(u',') + u')';
    }
    // The row stays in editing when the server refuses it.
    const qint64 affected = session().execSql(st.text, st.declarations.join(u','), st.params, nullptr);
    if (affected == 0)
        throw Error(
            QStringLiteral("%1: Row cannot be located for updating. Some values may have been changed "
                           "since it was last read.")
                .arg(TableName));
    storePostedRow();
}

namespace {
// A whole number written in the column's own width, so the posted row keeps its size.
void putIntegerAsColumn(RowStore& rows, const ColumnInfo& c, qint64 v)
{
    if (c.type == SYBINT4 && v >= INT32_MIN && v <= INT32_MAX) {
        const auto x = static_cast<std::int32_t>(v);
        rows.putRaw(&x, 4, false);
    } else if (c.type == SYBINT2 && v >= INT16_MIN && v <= INT16_MAX) {
        const auto x = static_cast<std::int16_t>(v);
        rows.putRaw(&x, 2, false);
    } else if (c.type == SYBINT1 && v >= 0 && v <= 255) {
        const auto x = static_cast<std::uint8_t>(v);
        rows.putRaw(&x, 1, false);
    } else if (c.type == SYBINT8) {
        const auto x = static_cast<std::int64_t>(v);
        rows.putRaw(&x, 8, false);
    } else {
        rows.putInt(v);
    }
}
} // namespace

void TMSTable::storePostedRow()
{
    // Copy the cells first: writing the new row may move the arena.
    struct Saved
    {
        CellTag tag;
        QByteArray bytes;
    };
    std::vector<Saved> saved(m_columns.size());
    if (m_state == State::Edit) {
        std::vector<Cell> cells;
        m_rows.cells(currentRow(), m_columns.size(), cells);
        for (std::size_t i = 0; i < cells.size(); ++i)
            saved[i] = {cells[i].tag, QByteArray(cells[i].data, static_cast<qsizetype>(cells[i].size))};
    }
    m_rows.beginRow();
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (const auto& v = m_edit[i]; v && !m_columns[i].identity && !m_columns[i].timestamp) {
            const ColumnInfo& c = m_columns[i];
            const QString s = v->toString();
            if (v->isNull() || (!c.isText() && s.trimmed().isEmpty()))
                m_rows.putNull();
            else if (c.isInteger() && (v->typeId() == QMetaType::LongLong || v->typeId() == QMetaType::Int))
                putIntegerAsColumn(m_rows, c, v->toLongLong());
            else
                m_rows.putText(s);
            continue;
        }
        switch (saved[i].tag) {
        case CellTag::Null:
            m_rows.putNull();
            break;
        case CellTag::Raw:
            m_rows.putRaw(saved[i].bytes.constData(), static_cast<std::uint32_t>(saved[i].bytes.size()),
                          false);
            break;
        case CellTag::Text:
            m_rows.putText(QString::fromUtf8(saved[i].bytes));
            break;
        case CellTag::Int: {
            std::int64_t v;
            std::memcpy(&v, saved[i].bytes.constData(), 8);
            m_rows.putInt(v);
            break;
        }
        case CellTag::Float: {
            double v;
            std::memcpy(&v, saved[i].bytes.constData(), 8);
            m_rows.putFloat(v);
            break;
        }
        }
    }
    if (m_state == State::Edit) {
        m_rows.endRowReplacing(currentRow(), m_columns.size());
    } else {
        m_rows.endRow();
        m_view.push_back(m_rows.rowCount() - 1);
        m_pos = m_view.size() - 1;
        m_eof = false;
    }
    m_cellsRow = static_cast<std::size_t>(-1);
    m_edit.clear();
    m_state = State::Browse;
}
