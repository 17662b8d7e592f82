#include "db/sqlparams.h"

namespace rimo::db {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The index just past the quoted part that starts at `i` with `open`; a doubled `close` inside
// is an escaped one. An unterminated part runs to the end.
qsizetype skipQuoted(const QString& s, qsizetype i, QChar close)
{
    const qsizetype n = s.size();
    for (++i; i < n; ++i) {
        if (s[i] != close)
            continue;
        if (i + 1 < n && s[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return n;
}

// Block comments nest in T-SQL.
qsizetype skipBlockComment(const QString& s, qsizetype i)
{
    const qsizetype n = s.size();
    int depth = 0;
    while (i < n) {
        if (s[i] == u'/' && i + 1 < n && s[i + 1] == u'*') {
            ++depth;
            i += 2;
        } else if (s[i] == u'*' && i + 1 < n && s[i + 1] == u'/') {
            i += 2;
            if (--depth == 0)
                return i;
        } else {
            ++i;
        }
    }
    return n;
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
        qsizetype end = -1;
        if (c == u'\'' || c == u'"')
            end = skipQuoted(sql, i, c);
        else if (c == u'[')
            end = skipQuoted(sql, i, u']');
        else if (c == u'-' && next == u'-')
            end = [&] {
                const qsizetype eol = sql.indexOf(u'\n', i);
                return eol < 0 ? n : eol;
            }();
        else if (c == u'/' && next == u'*')
            end = skipBlockComment(sql, i);
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
