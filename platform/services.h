#pragma once
// What the toolkit needs from the operating system, behind small interfaces. The program
// passes the Linux implementations (linuxservices.h); tests pass doubles (testing/).

#include "core/clock.h"
#include "platform/processsource.h"
#include "platform/registry.h"
#include "platform/systemfacts.h"
#include "platform/windowsource.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QImage;

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

// Starts programs directly, never through a shell, so that every argument reaches the program
// as the text it is.
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;
    // Runs `program` in `workingFolder` (empty: the current one) with empty input and its output
    // discarded, and waits for its end without a time limit and without running the event loop.
    // False when it could not be started.
    virtual bool runAndWait(const QString& program, const QStringList& arguments,
                            const QString& workingFolder) = 0;
    // Starts it and returns at once; it outlives the caller. False when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments,
                               const QString& workingFolder) = 0;
};

// The local host's name and the addresses a name resolves to.
class HostResolver
{
public:
    // Why the host name could not be read, in the terms callers report.
    enum class NameFailure { InProgress, NetworkDown, NotInitialised, Other };
    virtual ~HostResolver() = default;
    // The host name as the kernel gives it; std::nullopt (and why in `failure`) when it cannot.
    virtual std::optional<QString> localHostName(NameFailure* failure) = 0;
    // The IPv4 addresses of `name`, dotted, in the resolver's order; empty when it does not
    // resolve, with the resolver's text in `error`.
    virtual QStringList ipv4Addresses(const QString& name, QString* error) = 0;
};

// The background of the desktop's root window for the rest of the session.
class DesktopBackground
{
public:
    virtual ~DesktopBackground() = default;
    // Shows `image` scaled to the screen; false (nothing changed) without a display.
    virtual bool setImage(const QImage& image) = 0;
};

// A tone of a frequency for a duration; without sound hardware it waits as long.
class TonePlayer
{
public:
    virtual ~TonePlayer() = default;
    virtual void tone(int frequencyHz, int durationMs) = 0;
    virtual void silence() = 0;
};

// Tells the desktop that file associations changed (nothing to tell on Linux, where desktops
// watch their own files).
class ShellNotifier
{
public:
    virtual ~ShellNotifier() = default;
    virtual void associationsChanged() = 0;
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
    std::shared_ptr<ProcessLauncher> launcher;
    std::shared_ptr<HostResolver> resolver;
    std::shared_ptr<DesktopBackground> background;
    std::shared_ptr<RegistryStore> registry;
    std::shared_ptr<ShellNotifier> shellNotifier;
    std::shared_ptr<SystemFacts> systemFacts;
};

// Fills the empty members with the Linux implementations (the clock with the system clock).
PlatformServices withLinuxDefaults(PlatformServices services);

} // namespace rimo
