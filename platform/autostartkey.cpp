#include "platform/autostartkey.h"

#include "core/error.h"
#include "platform/desktopentry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>

namespace rimo {

namespace {

const QString kGroup = QStringLiteral("Desktop Entry");

struct Entry
{
    QString path;
    DesktopEntryFile file;
    QString name;
};

bool folderWritable(const QString& folder)
{
    // Tried rather than asked: access() checks the real user, not the one the kernel checks
    // file permissions against.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".rimo-probe-XXXXXX")));
    return probe.open();
}

class AutostartKey : public RegistryKey
{
public:
    AutostartKey(QString folder, bool writable) : m_folder(std::move(folder)), m_writable(writable) {}

    std::optional<QString> readText(const QString& name) override
    {
        for (const Entry& e : entries()) {
            if (e.name.compare(name, Qt::CaseInsensitive) == 0)
                return commandOf(e.file);
        }
        return std::nullopt;
    }

    void writeText(const QString& name, const QString& value) override
    {
        const QStringList command = splitAutostartCommand(value);
        if (!m_writable || command.isEmpty())
            throw Error(QStringLiteral("Failed to set data for '%1'").arg(name));
        Entry target;
        for (Entry& e : entries()) {
            if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
                target = std::move(e);
                break;
            }
        }
        if (target.path.isEmpty()) {
            target.path = freePath(autostartFileBase(name));
            target.file.setValue(kGroup, QStringLiteral("Name"), name);
        }
        target.file.setValue(kGroup, QStringLiteral("Type"), QStringLiteral("Application"));
        target.file.setValue(kGroup, QStringLiteral("Exec"), execLine(command));
        // Whole or not at all: a reader never sees half an entry.
        QSaveFile out(target.path);
        if (!out.open(QIODevice::WriteOnly) || out.write(target.file.toBytes()) < 0 || !out.commit())
            throw Error(QStringLiteral("Failed to set data for '%1'").arg(name));
    }

    void writeNumber(const QString& name, qint32) override
    {
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(name));
    }

    QStringList valueNames() override
    {
        QStringList names;
        for (const Entry& e : entries())
            names.append(e.name);
        return names;
    }
    QStringList subkeyNames() override { return {}; }

private:
    // The entries with a Name, in file-name order.
    QList<Entry> entries() const
    {
        QList<Entry> result;
        const QDir dir(m_folder);
        const QStringList files =
            dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString& fileName : files) {
            QFile f(dir.filePath(fileName));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            Entry e{f.fileName(), DesktopEntryFile::parse(f.readAll()), {}};
            e.name = e.file.value(kGroup, QStringLiteral("Name"));
            if (!e.name.isEmpty())
                result.append(std::move(e));
        }
        return result;
    }

    static QString commandOf(const DesktopEntryFile& file)
    {
        const QString exec = file.value(kGroup, QStringLiteral("Exec"));
        const auto parts = splitExecLine(exec);
        return parts ? autostartCommandText(*parts) : exec;
    }

    // A file of that base name not yet taken (another entry may already use it).
    QString freePath(const QString& base) const
    {
        const QDir dir(m_folder);
        QString path = dir.filePath(base + QStringLiteral(".desktop"));
        for (int n = 2; QFile::exists(path); ++n)
            path = dir.filePath(QStringLiteral("%1-%2.desktop").arg(base).arg(n));
        return path;
    }

    QString m_folder;
    bool m_writable;
};

} // namespace

QString autostartFileBase(const QString& title)
{
    QString base;
    for (const QChar c : title)
        base.append(c.isLetterOrNumber() || c == u'-' || c == u'_' ? c : u'_');
    return base.isEmpty() ? QStringLiteral("entry") : base;
}

QString autostartCommandText(const QStringList& programAndArguments)
{
    QString text;
    for (qsizetype i = 0; i < programAndArguments.size(); ++i) {
        const QString& part = programAndArguments[i];
        const bool quote = i == 0 || part.isEmpty() || part.contains(u' ') || part.contains(u'"');
        if (i > 0)
            text += u' ';
        text += quote ? u'"' + part + u'"' : part;
    }
    return text;
}

QStringList splitAutostartCommand(const QString& text)
{
    QStringList parts;
    QString current;
    bool inQuotes = false;
    bool started = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (c.isSpace() && !inQuotes) {
            if (started)
                parts.append(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        parts.append(current);
    return parts;
}

std::unique_ptr<RegistryKey> openAutostartKey(const QString& folder, RegistryAccess access)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return nullptr;
    const bool writable = folderWritable(folder);
    if (access != RegistryAccess::Read && !writable)
        return nullptr;
    return std::make_unique<AutostartKey>(folder, access != RegistryAccess::Read);
}

} // namespace rimo
