#include "toolkit/shell/shellcommands.h"

#include "core/textutil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <optional>

namespace rimo::shell {

LaunchCommand waitedLaunch(const QString& fileName, const QString& params)
{
    LaunchCommand command;
    QStringList parts = QProcess::splitCommand(u'"' + fileName + QStringLiteral("\" ") + params);
    if (!parts.isEmpty())
        command.program = parts.takeFirst();
    command.arguments = parts;
    const qsizetype slash = fileName.lastIndexOf(u'/');
    if (slash >= 0)
        command.workingFolder = fileName.left(slash + 1);
    if (command.program.contains(u'/') && QFileInfo(command.program).isRelative())
        command.program = QFileInfo(command.program).absoluteFilePath();
    return command;
}

namespace {

struct IniLine
{
    qsizetype start = 0;
    qsizetype length = 0; // without the line end
    QByteArray end;       // "\r\n", "\n" or empty for a last line without one
};

QList<IniLine> iniLines(const QByteArray& content)
{
    QList<IniLine> lines;
    qsizetype pos = 0;
    while (pos < content.size()) {
        const qsizetype lf = content.indexOf('\n', pos);
        IniLine line;
        line.start = pos;
        if (lf < 0) {
            line.length = content.size() - pos;
            pos = content.size();
        } else {
            const bool cr = lf > pos && content.at(lf - 1) == '\r';
            line.length = lf - pos - (cr ? 1 : 0);
            line.end = cr ? QByteArray("\r\n") : QByteArray("\n");
            pos = lf + 1;
        }
        lines << line;
    }
    return lines;
}

QString lineText(const QByteArray& content, const IniLine& line, bool first)
{
    QByteArray bytes = content.mid(line.start, line.length);
    if (first && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return QString::fromUtf8(bytes).trimmed();
}

// The section a header line opens; std::nullopt for any other line.
std::optional<QString> sectionOf(const QString& text)
{
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.indexOf(u']');
    return text.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

} // namespace

QByteArray setIniValue(const QByteArray& content, const QString& section, const QString& key,
                       const QString& value)
{
    QString clean = value;
    clean.remove(u'\r');
    clean.remove(u'\n');
    const QList<IniLine> lines = iniLines(content);
    QByteArray lineEnd = "\r\n";
    for (const IniLine& line : lines) {
        if (!line.end.isEmpty()) {
            lineEnd = line.end;
            break;
        }
    }
    const QByteArray entry = (key + u'=' + clean).toUtf8();

    qsizetype header = -1; // the line of the section's header
    qsizetype lastInSection = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = lineText(content, lines[i], i == 0);
        if (const auto opened = sectionOf(text)) {
            if (header >= 0)
                break; // the section ended
            if (opened->compare(section, Qt::CaseInsensitive) == 0)
                header = lastInSection = i;
            continue;
        }
        if (header < 0 || text.isEmpty())
            continue;
        lastInSection = i;
        if (text.startsWith(u';'))
            continue;
        const qsizetype eq = text.indexOf(u'=');
        if (eq > 0 && text.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            QByteArray out = content;
            out.replace(lines[i].start, lines[i].length, entry);
            return out;
        }
    }

    QByteArray out = content;
    if (header < 0) {
        if (!out.isEmpty() && lines.last().end.isEmpty())
            out += lineEnd;
        out += '[' + section.toUtf8() + ']' + lineEnd + entry + lineEnd;
        return out;
    }
    const IniLine& after = lines[lastInSection];
    qsizetype at = after.start + after.length + after.end.size();
    QByteArray inserted = entry + lineEnd;
    if (after.end.isEmpty())
        inserted.prepend(lineEnd); // the last line of the file had no line end yet
    out.insert(at, inserted);
    return out;
}

DesktopEntryFile shortcutEntry(const QString& target, const QString& args, const QString& workDir,
                               const QString& shortcutName)
{
    const QString group = QStringLiteral("Desktop Entry");
    const QFileInfo file(shortcutName);
    QString name = file.completeBaseName();
    if (name.isEmpty())
        name = file.fileName();
    DesktopEntryFile entry;
    entry.setValue(group, QStringLiteral("Type"), QStringLiteral("Application"));
    entry.setValue(group, QStringLiteral("Name"), name);
    entry.setValue(group, QStringLiteral("Exec"),
                   execLine(QStringList{target} + QProcess::splitCommand(args)));
    if (!workDir.isEmpty())
        entry.setValue(group, QStringLiteral("Path"), workDir);
    entry.setValue(group, QString::fromUtf16(kShowCommandKey), QStringLiteral("2"));
    return entry;
}

bool mayDeleteTree(const QString& dir)
{
    if (trimmedView(dir, TrimSet::Controls).isEmpty())
        return false;
    const QFileInfo info(dir);
    const QString root = QDir::rootPath();
    return QDir::cleanPath(info.absoluteFilePath()) != root && info.canonicalFilePath() != root;
}

} // namespace rimo::shell
