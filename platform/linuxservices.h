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

class DesktopShellOpener : public ShellOpener
{
public:
    bool open(const QString& pathOrUrl) override;
};

// No PC speaker to drive: waits for the tone's length so that callers keep their timing.
class WaitingTonePlayer : public TonePlayer
{
public:
    void tone(int frequencyHz, int durationMs) override;
    void silence() override {}
};

} // namespace rimo
