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
    m_statements.clear();
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
    if (viewSize() == 0)
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
    Q_EMIT dataChanged();
}

void TMSTable::Cancel()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        m_edit.clear();
        m_state = State::Browse;
        Q_EMIT dataChanged();
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
    if (m_state == State::Edit) {
        m_rows.cells(currentRow(), m_columns.size(), m_postCells);
        if (!rowUpdateValues(m_quotedTable, m_columns, m_postCells, m_edit, m_keyIndexes, m_postValues)) {
            Cancel();
            return;
        }
    } else {
        rowInsertValues(m_columns, m_edit, m_postValues);
    }
    const CachedStatement& st = statementFor(m_postValues.shape);
    // The row stays in editing when the server refuses it.
    const qint64 affected = session().execSql(st.text, st.declarations, m_postValues.params, nullptr);
    if (affected == 0)
        throw Error(
            QStringLiteral("%1: Row cannot be located for updating. Some values may have been changed "
                           "since it was last read.")
                .arg(TableName));
    storePostedRow();
    Q_EMIT dataChanged();
}

const TMSTable::CachedStatement& TMSTable::statementFor(const std::vector<std::uint32_t>& shape)
{
    for (const CachedStatement& c : m_statements) {
        if (c.shape == shape)
            return c;
    }
    // A table posts rows of a few shapes; one whose edits keep changing shape must not grow
    // the list without end.
    if (m_statements.size() >= 32)
        m_statements.clear();
    const RowWrite w = rowStatement(m_quotedTable, m_columns, shape);
    return m_statements.emplace_back(CachedStatement{
        shape, {w.text.toUtf8(), w.text.size()}, {w.declarations.toUtf8(), w.declarations.size()}});
}

namespace {
// A value written by Post as the row store keeps it: whole numbers in the column's own width,
// so the posted row keeps its size and can be written over the old one.
struct PostedCell
{
    CellTag tag = CellTag::Null;
    std::uint32_t size = 0;
    alignas(8) char fixed[8] = {};
    QByteArray text;
    const char* data() const { return tag == CellTag::Text ? text.constData() : fixed; }
};

template <typename T> void setFixed(PostedCell& out, CellTag tag, T v)
{
    out.tag = tag;
    out.size = sizeof v;
    std::memcpy(out.fixed, &v, sizeof v);
}

PostedCell postedCell(const ColumnInfo& c, const QVariant& v)
{
    PostedCell out;
    if (v.isNull())
        return out;
    const bool number = v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int;
    if (number && c.isInteger()) {
        const qint64 n = v.toLongLong();
        if (c.type == SYBINT4 && n >= INT32_MIN && n <= INT32_MAX)
            setFixed(out, CellTag::Raw, static_cast<std::int32_t>(n));
        else if (c.type == SYBINT2 && n >= INT16_MIN && n <= INT16_MAX)
            setFixed(out, CellTag::Raw, static_cast<std::int16_t>(n));
        else if (c.type == SYBINT1 && n >= 0 && n <= 255)
            setFixed(out, CellTag::Raw, static_cast<std::uint8_t>(n));
        else if (c.type == SYBINT8)
            setFixed(out, CellTag::Raw, static_cast<std::int64_t>(n));
        else
            setFixed(out, CellTag::Int, static_cast<std::int64_t>(n));
        return out;
    }
    const QString s = v.toString();
    if (!number && !c.isText() && s.trimmed().isEmpty())
        return out;
    out.tag = CellTag::Text;
    out.text = s.toUtf8();
    out.size = static_cast<std::uint32_t>(out.text.size());
    return out;
}

void putCell(RowStore& rows, CellTag tag, const char* data, std::uint32_t size)
{
    switch (tag) {
    case CellTag::Null:
        rows.putNull();
        break;
    case CellTag::Raw:
        rows.putRaw(data, size, false);
        break;
    case CellTag::Text:
        rows.putTextUtf8(data, size);
        break;
    case CellTag::Int: {
        std::int64_t v;
        std::memcpy(&v, data, 8);
        rows.putInt(v);
        break;
    }
    case CellTag::Float: {
        double v;
        std::memcpy(&v, data, 8);
        rows.putFloat(v);
        break;
    }
    }
}
} // namespace

bool TMSTable::writePostedCellsInPlace()
{
    const std::size_t row = currentRow();
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (const auto& v = m_edit[i]; isWrittenColumn(m_columns[i], v)) {
            const PostedCell cell = postedCell(m_columns[i], *v);
            if (!m_rows.overwriteCell(row, i, m_columns.size(), cell.tag, cell.data(), cell.size))
                return false;
        }
    }
    return true;
}

void TMSTable::storePostedRow()
{
    // Most posts change values of the same size (numbers in their column's width): those are
    // written where they are. The cells written before one that does not fit hold the new
    // values already, so the row built below is the same either way.
    if (m_state != State::Edit || !writePostedCellsInPlace()) {
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
                const PostedCell cell = postedCell(m_columns[i], *v);
                putCell(m_rows, cell.tag, cell.data(), cell.size);
            } else {
                putCell(m_rows, saved[i].tag, saved[i].bytes.constData(),
                        static_cast<std::uint32_t>(saved[i].bytes.size()));
            }
        }
        if (m_state == State::Edit) {
            m_rows.endRowReplacing(currentRow(), m_columns.size());
        } else {
            m_rows.endRow();
            if (!m_viewAll)
                m_view.push_back(m_rows.rowCount() - 1);
            m_pos = viewSize() - 1;
            m_eof = false;
        }
    }
    m_cellsRow = static_cast<std::size_t>(-1);
    m_edit.clear();
    m_state = State::Browse;
}
