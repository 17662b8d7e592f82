#include "toolkit/commands/fielddefs.h"

#include "db/msdataset.h"
#include "toolkit/commands/storedcommands.h"
#include "toolkit/services/valueservices.h"

namespace rimo::commands {

bool isDefComment(const QString& line)
{
    if (line.isEmpty())
        return true;
    qsizetype i = 0;
    while (i < line.size() && line.at(i) == u' ')
        ++i;
    return QStringView(line).mid(i).startsWith(u"//");
}

QStringList withoutDefComments(const QStringList& lines)
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString& l : lines) {
        if (!isDefComment(l))
            out << l;
    }
    return out;
}

std::pair<QString, QString> splitFieldLine(const QString& line)
{
    const qsizetype at = line.indexOf(u'~');
    if (at < 0)
        return {line, QString()};
    return {line.left(at), line.mid(at + 1)};
}

} // namespace rimo::commands

namespace {
const QString kIniSection = QStringLiteral("ini");
}

void TStoredCommands::LoadDefField(TMSTable* TableName, const QString& IniFileName)
{
    const std::unique_ptr<QStringList> lines = SQlCmdReadOneWriteStringList(kIniSection, IniFileName);
    LastINIFound = false;
    if (lines->isEmpty())
        return;
    LastINIFound = true;
    for (const QString& line : rimo::commands::withoutDefComments(*lines)) {
        const auto [name, value] = rimo::commands::splitFieldLine(TValueServices::RemoveRLBLank(line));
        if (TField* field = TableName->FindField(name))
            field->setAsString(value);
    }
}

void TStoredCommands::SaveDefField(TMSTable* TableName, const QString& IniFileName)
{
    const std::unique_ptr<QStringList> stored = SQlCmdReadOneWriteStringList(kIniSection, IniFileName);
    if (stored->isEmpty())
        return;
    QStringList lines;
    for (const QString& line : rimo::commands::withoutDefComments(*stored)) {
        auto [name, value] = rimo::commands::splitFieldLine(line);
        if (const TField* field = TableName->FindField(name))
            value = field->AsString();
        const QString rebuilt = TValueServices::RemoveRLBLank(name + u'~' + value);
        if (!rebuilt.trimmed().isEmpty())
            lines << rebuilt;
    }
    if (LastINIFound)
        SQlCmdWriteStringList(kIniSection, IniFileName, lines);
}
