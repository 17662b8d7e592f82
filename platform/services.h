#pragma once
// What the toolkit needs from the operating system, behind small interfaces. The program
// passes the Linux implementations (linuxservices.h); tests pass doubles (testing/).

#include "core/clock.h"
#include "platform/processsource.h"
#include "platform/windowsource.h"

#include <QString>
#include <memory>
#include <optional>

namespace rimo {

// Keyboard layouts named by Windows layout identifiers ("00000429", "a0000429", "00000409").
class KeyboardLayouts
{
public:
    virtual ~KeyboardLayouts() = default;
    // Loads and activates a layout; returns a handle (0 when it could not be loaded).
    virtual quintptr loadAndActivate(const QString& layoutId) = 0;
    virtual void unload(quintptr handle) = 0;
};

// Operating system version facts, as the Windows version query reports them.
struct OsVersionFacts
{
    int platform = 0; // 1: Windows 9x family, 2: NT family, anything else: another platform
    int major = 0;
    int minor = 0;
    QString servicePack;
    QString productType; // "WINNT", "LANMANNT", "SERVERNT" or empty when unreadable
};

class OsVersionSource
{
public:
    virtual ~OsVersionSource() = default;
    // std::nullopt when the query fails.
    virtual std::optional<OsVersionFacts> query() = 0;
};

class Beeper
{
public:
    virtual ~Beeper() = default;
    virtual void defaultBeep() = 0;
};

// Opens a file or address with the desktop's default application.
class ShellOpener
{
public:
    virtual ~ShellOpener() = default;
    virtual bool open(const QString& pathOrUrl) = 0;
};

// A tone of a frequency for a duration; without sound hardware it waits as long.
class TonePlayer
{
public:
    virtual ~TonePlayer() = default;
    virtual void tone(int frequencyHz, int durationMs) = 0;
    virtual void silence() = 0;
};

// The set the toolkit is built with. Any member left empty gets the Linux implementation.
struct PlatformServices
{
    std::shared_ptr<KeyboardLayouts> keyboard;
    std::shared_ptr<OsVersionSource> osVersion;
    std::shared_ptr<Beeper> beeper;
    std::shared_ptr<ShellOpener> shellOpener;
    std::shared_ptr<TonePlayer> tone;
    std::shared_ptr<ProcessSource> processes;
    std::shared_ptr<WindowSource> windows;
    std::shared_ptr<Clock> clock; // today's date and the time of day
};

// Fills the empty members with the Linux implementations (the clock with the system clock).
PlatformServices withLinuxDefaults(PlatformServices services);

} // namespace rimo
