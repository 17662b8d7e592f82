#include "toolkit/commands/proceduretext.h"

#include "dbcontrols/datasource.h"
#include "toolkit/services/valueservices.h"

namespace rimo::commands {

QString bracketed(const QString& name)
{
    QString out = name;
    out.replace(u']', QStringLiteral("]]"));
    return u'[' + out + u']';
}

QString quotedLiteral(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

QString procedureText(const QString& sec, const std::vector<std::pair<QString, QString>>& rows)
{
    QStringList lines;
    lines << QStringLiteral("CREATE PROCEDURE ") + bracketed(QStringLiteral("_AutoCompute_") + sec) +
                 QStringLiteral(" As Begin Select ");
    for (const auto& [title, command] : rows)
        lines << u'(' + command + u')' + bracketed(TValueServices::RemoveRLBLank(title)) + u',';
    // The comma after the last column becomes a space; with no rows the first line's trailing
    // space stays a space, and the server rejects the text.
    QString& last = lines.last();
    last[last.size() - 1] = u' ';
    lines << QStringLiteral("Into ") + bracketed(u'_' + sec) + QStringLiteral(" End");
    return rimo::dbcontrols::joinLines(lines);
}

} // namespace rimo::commands
