#include "db/msdataset.h"
#include "db/sqltext.h"

#include "core/error.h"
#include "core/wholefile.h"

#include <algorithm>

using rimo::Error;
using namespace rimo::db;

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
    rimo::writeWholeFile(path, content);
}

void TMSQuery::syncParams()
{
    if (SQL == m_paramsSql && ParamCheck == m_paramsChecked)
        return;
    m_paramsSql = SQL;
    m_paramsChecked = ParamCheck;
    if (ParamCheck) {
        m_parsed = parseParamSql(sqlText());
    } else {
        m_parsed = ParamSql();
        m_parsed.pieces << sqlText();
    }
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

bool rimo::db::columnIsUnicode(TMSQuery& ask, const QString& table, const QString& column)
{
    try {
        ask.setSqlText(
            QStringLiteral("SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ") +
            quotedSqlText(table) + QStringLiteral(" AND COLUMN_NAME = ") + quotedSqlText(column));
        ask.Open();
        const QString type =
            ask.IsEmpty() ? QString() : ask.FieldByName(QStringLiteral("DATA_TYPE")).AsString();
        ask.Close();
        for (const char* unicode : {"nchar", "nvarchar", "ntext", "sysname"})
            if (type.compare(QLatin1String(unicode), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    } catch (const std::exception&) {
        return false;
    }
}
