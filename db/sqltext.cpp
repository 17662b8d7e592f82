#include "db/sqltext.h"

#include <QStringList>

namespace rimo::db {

QString quoteName(const QString& name)
{
    QStringList parts;
    QString current;
    bool inBracket = false;
    for (const QChar c : name.trimmed()) {
        if (c == u'[')
            inBracket = true;
        else if (c == u']')
            inBracket = false;
        if (c == u'.' && !inBracket) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    for (QString& p : parts) {
        p = p.trimmed();
        if (p.isEmpty() || (p.startsWith(u'[') && p.endsWith(u']')))
            continue;
        p = u'[' + QString(p).replace(u']', QStringLiteral("]]")) + u']';
    }
    return parts.join(u'.');
}

QString bareTableName(const QString& name)
{
    QString last = quoteName(name);
    const qsizetype dot = last.lastIndexOf(QStringLiteral("].["));
    if (dot >= 0)
        last = last.mid(dot + 2);
    if (last.startsWith(u'[') && last.endsWith(u']'))
        last = last.mid(1, last.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    return last;
}

QString quotedSqlText(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

namespace {

// The index just past the quoted part opening at `i`; a doubled `close` inside is an escaped
// one, and an unterminated part runs to the end.
qsizetype skipQuoted(QStringView s, qsizetype i, QChar close)
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
qsizetype skipBlockComment(QStringView s, qsizetype i)
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

qsizetype skipSqlNonCode(QStringView s, qsizetype i)
{
    const QChar c = s[i];
    const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
    if (c == u'\'' || c == u'"')
        return skipQuoted(s, i, c);
    if (c == u'[')
        return skipQuoted(s, i, u']');
    if (c == u'-' && next == u'-') {
        const qsizetype eol = s.indexOf(u'\n', i);
        return eol < 0 ? s.size() : eol;
    }
    if (c == u'/' && next == u'*')
        return skipBlockComment(s, i);
    return -1;
}

} // namespace rimo::db
