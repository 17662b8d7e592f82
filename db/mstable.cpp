#include "db/msdataset.h"

#include "core/error.h"
#include "db/rowwrite.h"
#include "db/sqltext.h"

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
    m_keyIndexes.clear();
    for (const QStringList& r : keys.rows) {
        const TField* key = FindField(r.value(0));
        // A key column missing from the result cannot identify rows: fall back to all values.
        if (!key) {
            m_keyColumns.clear();
            m_keyIndexes.clear();
            break;
        }
        m_keyColumns << r.value(0);
        m_keyIndexes.push_back(key->index());
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

void TMSTable::Post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    RowWrite st;
    if (m_state == State::Edit) {
        std::vector<Cell> original;
        m_rows.cells(currentRow(), m_columns.size(), original);
        st = rowUpdate(m_quotedTable, m_columns, original, m_edit, m_keyIndexes);
        if (st.text.isEmpty()) {
            Cancel();
            return;
        }
    } else {
        st = rowInsert(m_quotedTable, m_columns, m_edit);
    }
    // The row stays in editing when the server refuses it.
    const qint64 affected = session().execSql(st.text, st.declarations, st.params, nullptr);
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
        if (const auto& v = m_edit[i]; isWrittenColumn(m_columns[i], v)) {
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
