#include "db/msdataset.h"

#include "core/error.h"

#include <sybdb.h>

using rimo::Error;
using namespace rimo::db;

class TMSDataSet::Sink : public ResultSink
{
public:
    explicit Sink(TMSDataSet& ds) : m_ds(ds) {}
    void columns(const std::vector<ColumnInfo>& columns) override
    {
        // A batch may return several results; the data set keeps the last one.
        m_ds.m_columns = columns;
        m_ds.m_rows.clear();
    }
    void row(tds_dblib_dbprocess* proc, int columnCount) override
    {
        RowStore& rows = m_ds.m_rows;
        rows.beginRow();
        for (int i = 1; i <= columnCount; ++i) {
            const BYTE* data = dbdata(proc, i);
            rows.putRaw(data, static_cast<std::uint32_t>(dbdatlen(proc, i)), data == nullptr);
        }
        rows.endRow();
    }

private:
    TMSDataSet& m_ds;
};

TMSDataSet::TMSDataSet(QObject* parent) : QObject(parent) {}
TMSDataSet::~TMSDataSet() = default;

Session& TMSDataSet::session()
{
    if (!Connection)
        throw Error(QStringLiteral("%1: missing connection").arg(objectName()));
    return Connection->session();
}

void TMSDataSet::Close()
{
    m_columns.clear();
    m_rows.clear();
    m_view.clear();
    m_viewAll = false;
    m_fields.clear();
    m_fieldIndex.clear();
    m_edit.clear();
    m_cells.clear();
    m_cellsRow = static_cast<std::size_t>(-1);
    m_pos = 0;
    m_eof = true;
    m_state = State::Inactive;
    Q_EMIT dataChanged();
}

void TMSDataSet::openFromSession(const std::function<qint64(ResultSink*)>& run)
{
    Close();
    Sink sink(*this);
    try {
        run(&sink);
    } catch (...) {
        Close();
        throw;
    }
    buildFields();
    m_state = State::Browse;
    rebuildView();
    Q_EMIT dataChanged();
}

void TMSDataSet::openWithSql(const QString& sql)
{
    openFromSession([&](ResultSink* sink) { return readSession().execBatch(sql, sink); });
}

Session& TMSDataSet::readSession()
{
    if (!Connection)
        throw Error(QStringLiteral("%1: missing connection").arg(objectName()));
    return Connection->sessionForRead();
}

void TMSDataSet::buildFields()
{
    m_fields.clear();
    m_fieldIndex.clear();
    for (int i = 0; i < FieldCount(); ++i) {
        m_fields.push_back(std::make_unique<TField>(this, i));
        const QString key = m_columns[static_cast<std::size_t>(i)].name.toLower();
        if (!m_fieldIndex.contains(key))
            m_fieldIndex.insert(key, i);
    }
}

void TMSDataSet::rebuildView()
{
    m_view.clear();
    m_view.shrink_to_fit();
    m_cellsRow = static_cast<std::size_t>(-1);
    const std::size_t n = m_rows.rowCount();
    // Unfiltered, the rows are their own view: no list of every row is built.
    m_viewAll = !m_filtered || Filter.trimmed().isEmpty();
    if (!m_viewAll) {
        const FilterExpression expr(Filter);
        std::vector<Cell> cells;
        std::size_t row = 0;
        const FieldLookup lookup = [&](const QString& name) -> QVariant {
            const auto it = m_fieldIndex.constFind(name.toLower());
            if (it == m_fieldIndex.constEnd())
                throw Error(QStringLiteral("Field '%1' not found").arg(name));
            const ColumnInfo& c = m_columns[static_cast<std::size_t>(*it)];
            const Cell& cell = cells[static_cast<std::size_t>(*it)];
            if (cell.tag == CellTag::Null)
                return {};
            if (c.isInteger() || c.isFloat())
                return cellAsFloat(c, cell);
            return cellAsString(c, cell);
        };
        for (row = 0; row < n; ++row) {
            m_rows.cells(row, m_columns.size(), cells);
            if (expr.matches(lookup))
                m_view.push_back(row);
        }
    }
    resetCursorTo(0);
}

void TMSDataSet::resetCursorTo(std::size_t visibleIndex)
{
    m_pos = visibleIndex;
    m_eof = viewSize() == 0;
    Q_EMIT dataChanged();
}

void TMSDataSet::setFiltered(bool on)
{
    if (on && !Filter.trimmed().isEmpty())
        FilterExpression check(Filter); // raises before anything changes
    m_filtered = on;
    if (Active())
        rebuildView();
}

void TMSDataSet::setFilter(const QString& expression)
{
    if (m_filtered && !expression.trimmed().isEmpty())
        FilterExpression check(expression);
    Filter = expression;
    if (Active() && m_filtered)
        rebuildView();
}

void TMSDataSet::requireActive() const
{
    if (!Active())
        throw Error(
            QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(objectName()));
}

std::size_t TMSDataSet::currentRow() const
{
    return m_viewAll ? m_pos : m_view[m_pos];
}

const Cell& TMSDataSet::cell(int column) const
{
    static const Cell empty{};
    if (m_state == State::Inactive || viewSize() == 0 || m_state == State::Insert)
        return empty;
    const std::size_t row = currentRow();
    if (row != m_cellsRow) {
        m_rows.cells(row, m_columns.size(), m_cells);
        m_cellsRow = row;
    }
    return m_cells[static_cast<std::size_t>(column)];
}

void TMSDataSet::First()
{
    requireActive();
    beforeNavigate();
    resetCursorTo(0);
}

void TMSDataSet::Next()
{
    requireActive();
    beforeNavigate();
    if (m_pos + 1 >= viewSize()) {
        m_eof = true;
        return;
    }
    ++m_pos;
    m_eof = false;
    Q_EMIT dataChanged();
}

int TMSDataSet::RecordCount() const
{
    return Active() ? static_cast<int>(viewSize()) : 0;
}

TField* TMSDataSet::FindField(const QString& name)
{
    const auto it = m_fieldIndex.constFind(name.trimmed().toLower());
    return it == m_fieldIndex.constEnd() ? nullptr : m_fields[static_cast<std::size_t>(*it)].get();
}

TField& TMSDataSet::FieldByName(const QString& name)
{
    if (TField* f = FindField(name))
        return *f;
    throw Error(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
}

TField& TMSDataSet::Fields(int index)
{
    if (index < 0 || index >= FieldCount())
        throw Error(QStringLiteral("%1: field index %2 out of range").arg(objectName()).arg(index));
    return *m_fields[static_cast<std::size_t>(index)];
}

bool TMSDataSet::Locate(const QString& fields, const QVariantList& values)
{
    requireActive();
    const QStringList names = fields.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw Error(QStringLiteral("Locate: %1 fields but %2 values").arg(names.size()).arg(values.size()));
    std::vector<int> indexes;
    for (const QString& n : names)
        indexes.push_back(FieldByName(n).index());
    beforeNavigate();
    std::vector<Cell> cells;
    for (std::size_t v = 0; v < viewSize(); ++v) {
        m_rows.cells(m_viewAll ? v : m_view[v], m_columns.size(), cells);
        bool all = true;
        for (std::size_t k = 0; all && k < indexes.size(); ++k) {
            const ColumnInfo& c = m_columns[static_cast<std::size_t>(indexes[k])];
            const Cell& cell = cells[static_cast<std::size_t>(indexes[k])];
            const QVariant& want = values[static_cast<qsizetype>(k)];
            if (cell.tag == CellTag::Null || !want.isValid() || want.isNull()) {
                all = cell.tag == CellTag::Null && (!want.isValid() || want.isNull());
            } else if ((c.isInteger() || c.isFloat()) && want.canConvert<double>() &&
                       want.typeId() != QMetaType::QString) {
                all = cellAsFloat(c, cell) == want.toDouble();
            } else {
                all = cellAsString(c, cell) == want.toString();
            }
        }
        if (all) {
            m_pos = v;
            m_eof = false;
            Q_EMIT dataChanged();
            return true;
        }
    }
    return false;
}

void TMSDataSet::setEditValue(int column, QVariant value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw Error(QStringLiteral("%1: Dataset not in edit or insert mode").arg(objectName()));
    m_edit[static_cast<std::size_t>(column)] = std::move(value);
}
