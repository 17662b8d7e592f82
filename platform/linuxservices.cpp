#include "platform/linuxservices.h"

#include "platform/linuxprocesssource.h"
#include "platform/xcbwindowsource.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <sys/utsname.h>

namespace rimo {

QStringList xkbGroupLayouts(const QString& symbols)
{
    // Tokens like "us", "ir:2", "pc", "inet(evdev)"; a layout token is one that names a group
    // (explicitly with ":n" or implicitly as the first layout), generic parts are skipped.
    QStringList groups;
    static const QStringList generic = {
        QStringLiteral("pc"),        QStringLiteral("inet"),     QStringLiteral("group"),
        QStringLiteral("compose"),   QStringLiteral("level3"),   QStringLiteral("ctrl"),
        QStringLiteral("terminate"), QStringLiteral("altwin"),   QStringLiteral("capslock"),
        QStringLiteral("keypad"),    QStringLiteral("kpdl"),     QStringLiteral("evdev"),
        QStringLiteral("srvr_ctrl"), QStringLiteral("eurosign"), QStringLiteral("aliases")};
    for (const QString& raw : symbols.split(u'+', Qt::SkipEmptyParts)) {
        QString token = raw;
        int group = 1;
        const qsizetype colon = token.indexOf(u':');
        if (colon >= 0) {
            group = token.mid(colon + 1).toInt();
            token.truncate(colon);
        }
        const qsizetype paren = token.indexOf(u'(');
        const QString name = paren >= 0 ? token.left(paren) : token;
        if (name.isEmpty() || generic.contains(name) || group < 1 || group > 4)
            continue;
        if (colon < 0 && !groups.isEmpty())
            continue; // a second unnumbered layout would override group 1: keep the first
        while (groups.size() < group)
            groups << QString();
        if (groups[group - 1].isEmpty())
            groups[group - 1] = name;
    }
    return groups;
}

QString xkbLayoutForWindowsId(const QString& layoutId)
{
    const QString id = layoutId.toLower();
    if (id == u"00000429" || id == u"a0000429")
        return QStringLiteral("ir");
    if (id == u"00000409")
        return QStringLiteral("us");
    return {};
}

quintptr XkbKeyboardLayouts::loadAndActivate(const QString& layoutId)
{
    const QString wanted = xkbLayoutForWindowsId(layoutId);
    if (wanted.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY"))
        return 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    quintptr handle = 0;
    if (XkbDescPtr desc = XkbAllocKeyboard()) {
        if (XkbGetNames(display, XkbSymbolsNameMask, desc) == Success && desc->names &&
            desc->names->symbols) {
            char* name = XGetAtomName(display, desc->names->symbols);
            const QStringList groups = xkbGroupLayouts(QString::fromLatin1(name ? name : ""));
            if (name)
                XFree(name);
            const qsizetype index = groups.indexOf(wanted);
            if (index >= 0 && XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(index))) {
                XSync(display, False);
                handle = static_cast<quintptr>(index) + 1;
            }
        }
        XkbFreeKeyboard(desc, 0, True);
    }
    XCloseDisplay(display);
    return handle;
}

void XkbKeyboardLayouts::unload(quintptr)
{
    // The server's groups belong to the desktop; there is nothing to unload.
}

std::optional<OsVersionFacts> LinuxOsVersionSource::query()
{
    OsVersionFacts facts;
    facts.platform = 3; // neither the 9x nor the NT family
    utsname u{};
    if (uname(&u) == 0) {
        const QStringList parts = QString::fromLatin1(u.release).split(u'.');
        facts.major = parts.value(0).toInt();
        facts.minor = parts.value(1).toInt();
    }
    return facts;
}

void QtBeeper::defaultBeep()
{
    QApplication::beep();
}

bool DesktopShellOpener::open(const QString& pathOrUrl)
{
    const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl);
    return QDesktopServices::openUrl(url);
}

void WaitingTonePlayer::tone(int, int durationMs)
{
    if (durationMs > 0)
        QThread::msleep(static_cast<unsigned long>(durationMs));
}

PlatformServices withLinuxDefaults(PlatformServices s)
{
    if (!s.keyboard)
        s.keyboard = std::make_shared<XkbKeyboardLayouts>();
    if (!s.osVersion)
        s.osVersion = std::make_shared<LinuxOsVersionSource>();
    if (!s.beeper)
        s.beeper = std::make_shared<QtBeeper>();
    if (!s.shellOpener)
        s.shellOpener = std::make_shared<DesktopShellOpener>();
    if (!s.tone)
        s.tone = std::make_shared<WaitingTonePlayer>();
    if (!s.processes)
        s.processes = std::make_shared<LinuxProcessSource>();
    if (!s.windows)
        s.windows = std::make_shared<XcbWindowSource>();
    if (!s.clock)
        s.clock = std::make_shared<SystemClock>();
    return s;
}

} // namespace rimo
