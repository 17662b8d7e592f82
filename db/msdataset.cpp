#include "db/msdataset.h"

#include "core/error.h"

#include <QSaveFile>
#include <sybdb.h>

#include <algorithm>

using rimo::Error;
using namespace rimo::db;

// ---- fields --------------------------------------------------------------------------------

QString TField::FieldName() const
{
    return m_owner->m_columns[static_cast<std::size_t>(m_index)].name;
}

namespace {
const QVariant* editedValue(const std::vector<std::optional<QVariant>>& edit, int index)
{
    if (edit.empty())
        return nullptr;
    const auto& v = edit[static_cast<std::size_t>(index)];
    return v ? &*v : nullptr;
}
} // namespace

QString TField::AsString() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index))
        return v->isNull() ? QString() : v->toString();
    return cellAsString(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

qint64 TField::AsInteger() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index)) {
        if (v->isNull() || v->toString().isEmpty())
            return 0;
        bool ok = false;
        const qint64 n = v->toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid integer value").arg(v->toString()));
        return n;
    }
    return cellAsInteger(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

double TField::AsFloat() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index)) {
        if (v->isNull() || v->toString().isEmpty())
            return 0;
        bool ok = false;
        const double d = v->toDouble(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(v->toString()));
        return d;
    }
    return cellAsFloat(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

bool TField::IsNull() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index))
        return v->isNull();
    return m_owner->cell(m_index).tag == CellTag::Null;
}

void TField::setAsString(const QString& value)
{
    m_owner->setEditValue(m_index, QVariant(value));
}

void TField::setAsInteger(qint64 value)
{
    m_owner->setEditValue(m_index, QVariant(value));
}

// ---- data set ------------------------------------------------------------------------------

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
    m_fields.clear();
    m_fieldIndex.clear();
    m_edit.clear();
    m_cells.clear();
    m_cellsRow = static_cast<std::size_t>(-1);
    m_pos = 0;
    m_eof = true;
    m_state = State::Inactive;
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
    m_cellsRow = static_cast<std::size_t>(-1);
    const std::size_t n = m_rows.rowCount();
    if (!m_filtered || Filter.trimmed().isEmpty()) {
        m_view.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            m_view[i] = i;
    } else {
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
    m_eof = m_view.empty();
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
    return m_view[m_pos];
}

const Cell& TMSDataSet::cell(int column) const
{
    static const Cell empty{};
    if (m_state == State::Inactive || m_view.empty() || m_state == State::Insert)
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
    if (m_view.empty() || m_pos + 1 >= m_view.size()) {
        m_eof = true;
        return;
    }
    ++m_pos;
    m_eof = false;
}

int TMSDataSet::RecordCount() const
{
    return Active() ? static_cast<int>(m_view.size()) : 0;
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
    for (std::size_t v = 0; v < m_view.size(); ++v) {
        m_rows.cells(m_view[v], m_columns.size(), cells);
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

// ---- query ---------------------------------------------------------------------------------

void TParam::setAsString(const QString& value)
{
    // Even an unset QString is a text here, the empty one: only Clear makes a null.
    m_value = QVariant(value);
}

QString TParam::AsString() const
{
    if (!m_value.isValid())
        return {};
    if (m_value.typeId() == QMetaType::Double)
        return QString::number(m_value.toDouble(), 'g', 15);
    return m_value.toString();
}

void TMSQuery::saveSqlToFile(const QString& path) const
{
    QByteArray content;
    for (const QString& line : SQL) {
        content += line.toUtf8();
        content += "\r\n";
    }
    QSaveFile file(path);
    // Where no temporary file can be made beside the target, write it in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    if (file.write(content) != content.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

void TMSQuery::syncParams()
{
    if (SQL == m_paramsSql)
        return;
    m_paramsSql = SQL;
    m_parsed = parseParamSql(sqlText());
    std::vector<std::unique_ptr<TParam>> params;
    for (const QString& name : m_parsed.names) {
        const auto kept = std::find_if(m_params.begin(), m_params.end(), [&](const auto& p) {
            return p && p->Name().compare(name, Qt::CaseInsensitive) == 0;
        });
        params.push_back(kept != m_params.end() ? std::move(*kept) : std::make_unique<TParam>(name));
    }
    m_params = std::move(params);
}

int TMSQuery::ParamCount()
{
    syncParams();
    return static_cast<int>(m_params.size());
}

TParam& TMSQuery::Params(int index)
{
    syncParams();
    if (index < 0 || index >= static_cast<int>(m_params.size()))
        throw Error(QStringLiteral("%1: parameter index %2 out of range").arg(objectName()).arg(index));
    return *m_params[static_cast<std::size_t>(index)];
}

TParam& TMSQuery::ParamByName(const QString& name)
{
    syncParams();
    for (const auto& p : m_params)
        if (p->Name().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return *p;
    throw Error(QStringLiteral("%1: Parameter '%2' not found").arg(objectName(), name));
}

struct TMSQuery::Call
{
    QString text;
    QStringList declarations;
    QStringList names;
    std::vector<RpcParam> values;
};

TMSQuery::Call TMSQuery::buildCall()
{
    syncParams();
    Call call;
    QStringList substitutes;
    for (const auto& p : m_params) {
        const QString variable = u'@' + p->Name();
        const QVariant& v = p->value();
        RpcParam value;
        QString type;
        if (!v.isValid()) {
            type = QStringLiteral("nvarchar(1)");
        } else if (v.typeId() == QMetaType::LongLong) {
            value.kind = RpcParam::Kind::Int;
            value.integer = v.toLongLong();
            type = QStringLiteral("bigint");
        } else if (v.typeId() == QMetaType::Double) {
            value.kind = RpcParam::Kind::Float;
            value.real = v.toDouble();
            type = QStringLiteral("float");
        } else {
            value.kind = RpcParam::Kind::Text;
            value.text = v.toString();
            // db-lib sends an empty text as NULL, so it goes in the statement as a literal.
            if (value.text.isEmpty()) {
                substitutes << QStringLiteral("N''");
                continue;
            }
            type = value.text.size() <= 4000 ? QStringLiteral("nvarchar(4000)")
                                             : QStringLiteral("nvarchar(max)");
        }
        substitutes << variable;
        call.declarations << variable + u' ' + type;
        call.names << variable;
        call.values.push_back(std::move(value));
    }
    call.text = m_parsed.build(substitutes);
    return call;
}

qint64 TMSQuery::run(Session& session, ResultSink* sink)
{
    const Call call = buildCall();
    if (m_params.empty())
        return session.execBatch(call.text, sink);
    return session.execSql(call.text, call.declarations.join(u','), call.values, sink, call.names);
}

void TMSQuery::Prepare()
{
    const Call call = buildCall();
    readSession().prepareSql(call.text, call.declarations.join(u','));
}

void TMSQuery::Open()
{
    m_rowsAffected = -1;
    openFromSession([&](ResultSink* sink) {
        m_rowsAffected = run(readSession(), sink);
        return m_rowsAffected;
    });
    if (m_columns.empty()) {
        Close();
        throw Error(QStringLiteral("%1: the statement returned no result set").arg(objectName()));
    }
}

void TMSQuery::Execute()
{
    Close();
    m_rowsAffected = -1;
    bool gotColumns = false;
    openFromSession([&](ResultSink* sink) {
        struct Watch : ResultSink
        {
            ResultSink* inner;
            bool* got;
            void columns(const std::vector<ColumnInfo>& c) override
            {
                *got = true;
                inner->columns(c);
            }
            void row(tds_dblib_dbprocess* p, int n) override { inner->row(p, n); }
        } watch;
        watch.inner = sink;
        watch.got = &gotColumns;
        m_rowsAffected = run(session(), &watch);
        return m_rowsAffected;
    });
    if (!gotColumns)
        Close(); // nothing to read: the query stays closed, as after a statement without rows
}

// ---- table ---------------------------------------------------------------------------------

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
