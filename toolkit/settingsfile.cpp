#include "toolkit/settingsfile.h"

#include "toolkit/scramble.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace rimo {

QStringList decodeSettingsLines(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder d(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                      : QStringConverter::Utf16BE);
        text = d.decode(bytes.mid(2));
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            QStringDecoder arabic("windows-1256");
            text = arabic.isValid() ? arabic.decode(bytes) : QString::fromLatin1(bytes);
        }
    }
    if (text.isEmpty())
        return {};
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    if (text.endsWith(u'\n'))
        lines.removeLast(); // a final line end does not start another line
    return lines;
}

QStringList firstLines(const QStringList& lines, int count)
{
    QStringList out = lines.mid(0, count);
    while (out.size() < count)
        out << QString();
    return out;
}

QStringList readScrambledSettings(const QByteArray& bytes)
{
    QStringList lines = firstLines(decodeSettingsLines(bytes), 4);
    for (QString& line : lines)
        line = FindXOR(line);
    return lines;
}

QString findFileCaseInsensitive(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return {};
}

} // namespace rimo
