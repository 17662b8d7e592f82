#pragma once
// Linux implementations of the platform interfaces.

#include "platform/services.h"

#include <QStringList>

namespace rimo {

// Switches between the layouts (XKB groups) the X server already offers: Persian layouts map
// to the "ir" group, US English to "us". Without an X server or such a group it does nothing.
class XkbKeyboardLayouts : public KeyboardLayouts
{
public:
    quintptr loadAndActivate(const QString& layoutId) override;
    void unload(quintptr handle) override;
};

// The XKB symbols name ("pc+us+ir:2+inet(evdev)") -> the layout of each group, group 1 first.
QStringList xkbGroupLayouts(const QString& symbols);
// Windows layout identifier -> XKB layout name ("ir", "us"), empty when unknown.
QString xkbLayoutForWindowsId(const QString& layoutId);

// Reports a non-Windows platform with the kernel's version numbers.
class LinuxOsVersionSource : public OsVersionSource
{
public:
    std::optional<OsVersionFacts> query() override;
};

class QtBeeper : public Beeper
{
public:
    void defaultBeep() override;
};

// The desktop's default handler through xdg-open (from xdg-utils), started detached.
class DesktopShellOpener : public ShellOpener
{
public:
    bool open(const QString& pathOrUrl) override;
};

// QProcess with its input and output on the null device; the program is started directly.
class QProcessLauncher : public ProcessLauncher
{
public:
    bool runAndWait(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) override;
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) override;
};

// gethostname and getaddrinfo.
class LinuxHostResolver : public HostResolver
{
public:
    std::optional<QString> localHostName(NameFailure* failure) override;
    QStringList ipv4Addresses(const QString& name, QString* error) override;
};

// The X root window's background pixmap, kept by the server after the program ends and
// announced through _XROOTPMAP_ID and ESETROOT_PMAP_ID, the way desktop-less X sessions and
// terminal transparency read it. Desktops that paint their own background over the root hide it.
class XRootBackground : public DesktopBackground
{
public:
    bool setImage(const QImage& image) override;
};

// No PC speaker to drive: waits for the tone's length so that callers keep their timing.
class WaitingTonePlayer : public TonePlayer
{
public:
    void tone(int frequencyHz, int durationMs) override;
    void silence() override {}
};

class QuietShellNotifier : public ShellNotifier
{
public:
    void associationsChanged() override {}
};

} // namespace rimo
