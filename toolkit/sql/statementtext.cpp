#include "toolkit/sql/statementtext.h"

#include "db/sqltext.h"
#include "toolkit/sql/texts.h"

namespace rimo::sql {

namespace {

constexpr qsizetype kShownMessageLength = 300;

// Characters that continue a name (variables and temporary tables start with @ or #).
bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

QString literal(const QString& name)
{
    return rimo::db::quotedSqlText(name);
}

} // namespace

qsizetype findSqlWord(QStringView sql, QStringView word, qsizetype from)
{
    const qsizetype n = sql.size();
    qsizetype i = std::max<qsizetype>(from, 0);
    while (i < n) {
        const qsizetype end = rimo::db::skipSqlNonCode(sql, i);
        if (end >= 0) {
            i = end;
            continue;
        }
        if (!isNameChar(sql[i])) {
            ++i;
            continue;
        }
        // A run of name characters: a word, compared whole.
        qsizetype j = i + 1;
        while (j < n && isNameChar(sql[j]))
            ++j;
        if (sql.mid(i, j - i).compare(word, Qt::CaseInsensitive) == 0)
            return i;
        i = j;
    }
    return -1;
}

QString withoutLeadingSpaces(const QString& sql)
{
    qsizetype i = 0;
    while (i < sql.size() && sql[i] == u' ')
        ++i;
    return sql.mid(i);
}

bool startsWithSelect(const QString& sql)
{
    return QStringView(sql).left(6).compare(u"SELECT", Qt::CaseInsensitive) == 0;
}

bool selectHoldsCount(const QString& select)
{
    return findSqlWord(select, u"COUNT") >= 0;
}

QString countStatement(const QString& select)
{
    const QString rest = select.mid(6);
    const qsizetype from = findSqlWord(rest, u"FROM");
    const QString list = from < 0 ? QString() : rest.left(from);
    const QString tail = from < 0 ? rest : rest.mid(from);
    return QStringLiteral("Select Count(") + list + QStringLiteral(") As Res ") + u' ' + tail;
}

QString tableProbeSql(const QString& table)
{
    return QStringLiteral("SELECT  * FROM  INFORMATION_SCHEMA.TABLES Where (Table_Name = ") + literal(table) +
           QStringLiteral(") And Table_Type='BASE TABLE' ");
}

QString viewProbeSql(const QString& view)
{
    return QStringLiteral("SELECT  * FROM  INFORMATION_SCHEMA.TABLES Where (Table_Name = ") + literal(view) +
           QStringLiteral(") And Table_Type='VIEW' ");
}

QString fieldProbeSql(const QString& table, const QString& field)
{
    return QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ") + literal(table) +
           QStringLiteral("AND  COLUMN_NAME = ") + literal(field);
}

QString procedureProbeSql(const QString& procedure)
{
    return QStringLiteral("select * from dbo.sysobjects where id = object_id(N") + literal(procedure) +
           QStringLiteral(") and OBJECTPROPERTY(id, N'IsProcedure') = 1");
}

QString databaseProbeSql(const QString& database)
{
    return QStringLiteral("select * from Master.Dbo.sysdatabases where Name=(N") + literal(database) +
           QStringLiteral(") ");
}

QString dropViewSql(const QString& view)
{
    return QStringLiteral("if exists (SELECT *  FROM  INFORMATION_SCHEMA.TABLES WHERE  (Table_Type = 'View') "
                          "And Table_Name =") +
           literal(view) + QStringLiteral(")  drop view [dbo].[") +
           QString(view).replace(QStringLiteral("]"), QStringLiteral("]]")) + u']';
}

QString exceptMessageText(const QString& msg, const QString& errorText)
{
    using namespace rimo::sqltexts;
    QString shown = msg;
    if (shown.size() > kShownMessageLength)
        shown = shown.left(kShownMessageLength) + Cr + TooLong;
    if (errorText.contains(u"PRIMARY KEY", Qt::CaseInsensitive))
        shown += Cr + DuplicateNote;
    return shown + Cr + Rule + Cr + Cr + SystemMessage + Cr + errorText;
}

} // namespace rimo::sql
