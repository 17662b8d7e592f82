#include "db/sqlparams.h"

#include "db/sqltext.h"

namespace rimo::db {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

ParamSql parseParamSql(const QString& sql)
{
    ParamSql out;
    QString piece;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        const qsizetype end = skipSqlNonCode(sql, i);
        if (end >= 0) {
            piece += QStringView(sql).mid(i, end - i);
            i = end;
            continue;
        }
        if (c == u':' && next == u':') {
            piece += u':';
            i += 2;
            continue;
        }
        if (c == u':' && !next.isNull() && isNameChar(next)) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            qsizetype index = -1;
            for (qsizetype k = 0; k < out.names.size() && index < 0; ++k)
                if (out.names[k].compare(name, Qt::CaseInsensitive) == 0)
                    index = k;
            if (index < 0) {
                index = out.names.size();
                out.names << name;
            }
            out.pieces << piece;
            piece.clear();
            out.refs.push_back(static_cast<int>(index));
            i = j;
            continue;
        }
        piece += c;
        ++i;
    }
    out.pieces << piece;
    return out;
}

QString ParamSql::build(const QStringList& substitutes) const
{
    QString text = pieces.value(0);
    for (std::size_t k = 0; k < refs.size(); ++k)
        text += substitutes.value(refs[k]) + pieces.value(static_cast<qsizetype>(k) + 1);
    return text;
}

QString ParamSql::withVariables() const
{
    QStringList variables;
    for (const QString& name : names)
        variables << u'@' + name;
    return build(variables);
}

} // namespace rimo::db
