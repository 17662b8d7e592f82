#pragma once
// The query a caller gets from MsQuery2AdoQuery: the settings an ADO query would be given (its
// statement lines, its connection string and its parameter values by position), unopened. There
// is no ADO here to run it; the caller owns it and hands it on.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

struct TADOParameter
{
    QString Name;
    QVariant Value; // invalid: null
};

class TADOQuery
{
public:
    // Sets the statement lines and takes the ":name" parameters from them, each once, in order
    // of first use.
    void setSql(const QStringList& lines);
    const QStringList& SQL() const { return m_sql; }

    QString ConnectionString;

    int ParameterCount() const { return static_cast<int>(m_parameters.size()); }
    // Raises rimo::Error for an index out of range.
    TADOParameter& Parameters(int index);

private:
    QStringList m_sql;
    std::vector<TADOParameter> m_parameters;
};
