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

} // namespace rimo::db
