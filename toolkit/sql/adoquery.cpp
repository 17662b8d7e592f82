#include "toolkit/sql/adoquery.h"

#include "core/error.h"
#include "db/sqlparams.h"

void TADOQuery::setSql(const QStringList& lines)
{
    m_sql = lines;
    m_parameters.clear();
    for (const QString& name : rimo::db::parseParamSql(lines.join(u'\n')).names)
        m_parameters.push_back({name, QVariant()});
}

TADOParameter& TADOQuery::Parameters(int index)
{
    if (index < 0 || index >= ParameterCount())
        throw rimo::Error(QStringLiteral("Parameter index %1 out of range").arg(index));
    return m_parameters[static_cast<std::size_t>(index)];
}
