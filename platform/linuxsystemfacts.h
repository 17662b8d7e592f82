#pragma once
// The system facts on Linux: statfs for the file-system id, the X keyboard map's groups named
// through xkb-data's evdev.xml, /proc/meminfo, the address-space limit, and the Windows zone keys
// with their standard offsets from the system's time-zone database.

#include "platform/systemfacts.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>

namespace rimo {

class LinuxSystemFacts : public SystemFacts
{
public:
    std::optional<quint32> rootFileSystemId() override;
    QStringList keyboardLanguages() override;
    std::optional<MemoryFacts> memory() override;
    quint64 addressSpaceBytes() override;
    std::optional<QList<ZoneFacts>> zones() override;
};

// evdev.xml -> each layout's first ISO 639 code ("ir" -> "fas").
QHash<QString, QString> xkbLayoutLanguageCodes(const QByteArray& evdevXml);
// The English name of an ISO 639 language ("fas" -> "Persian", "eng" -> "English"); the code
// itself when Qt does not know it.
QString englishLanguageName(const QString& iso639);
// MemTotal and MemAvailable (kB in the file) in bytes; std::nullopt without MemTotal.
std::optional<MemoryFacts> parseMemInfo(const QByteArray& meminfo);
// The Windows zones of the shipped place table with displays "(UTC±hh:mm) places" ("(UTC)
// places" at offset 0) from their standard offsets at `utcNow`, sorted without regard to case;
// zones the time-zone database does not know are left out.
QList<ZoneFacts> windowsZones(const QDateTime& utcNow);
// The display text for a standard offset in seconds and the place list.
QString zoneDisplay(int offsetSeconds, const QString& places);

} // namespace rimo
