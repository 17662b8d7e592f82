#pragma once
// Facts about the machine the system information report shows, and the time zones of the world
// clock, behind one interface: Linux reads them from the kernel, X and the time-zone database,
// tests give fixed ones.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace rimo {

struct MemoryFacts
{
    quint64 totalBytes = 0;
    quint64 availableBytes = 0;
};

// A zone as the registry lists them: the Windows zone key ("Iran Standard Time") and its display
// text ("(UTC+03:30) Tehran").
struct ZoneFacts
{
    QString key;
    QString display;
};

class SystemFacts
{
public:
    virtual ~SystemFacts() = default;
    // The first 32 bits of the file-system id of "/"; std::nullopt when it cannot be read.
    virtual std::optional<quint32> rootFileSystemId() = 0;
    // The English names of the languages of the keyboard groups, in group order (a language may
    // repeat); empty without an X server.
    virtual QStringList keyboardLanguages() = 0;
    virtual std::optional<MemoryFacts> memory() = 0;
    // The address space the program may use, in bytes.
    virtual quint64 addressSpaceBytes() = 0;
    // The zones sorted as the registry lists its keys; std::nullopt when there is no zone source.
    virtual std::optional<QList<ZoneFacts>> zones() = 0;
};

} // namespace rimo
