#include "platform/linuxservices.h"

#include "platform/linuxprocesssource.h"
#include "platform/linuxregistry.h"
#include "platform/linuxsystemfacts.h"
#include "platform/xcbwindowsource.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSysInfo>
#include <QThread>
#include <QUrl>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

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

namespace {

void prepareQuietProcess(QProcess& process, const QString& program, const QStringList& arguments,
                         const QString& workingFolder)
{
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    // Like a hidden console: nothing to read, and whatever the program writes goes nowhere, so
    // a chatty child can neither block on a full pipe nor fill our memory.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

} // namespace

bool DesktopShellOpener::open(const QString& pathOrUrl)
{
    // xdg-open is run here rather than through QDesktopServices, which only the X and Wayland
    // platform plugins implement: the program on another plugin (offscreen, vnc) still opens.
    QString target = pathOrUrl;
    if (QFileInfo::exists(pathOrUrl)) {
        target = QFileInfo(pathOrUrl).absoluteFilePath();
    } else {
        const QUrl url(pathOrUrl);
        if (url.isValid() && !url.scheme().isEmpty())
            target = QString::fromLatin1(url.toEncoded());
    }
    QProcess process;
    prepareQuietProcess(process, QStringLiteral("xdg-open"), {target}, {});
    return process.startDetached();
}

void WaitingTonePlayer::tone(int, int durationMs)
{
    if (durationMs > 0)
        QThread::msleep(static_cast<unsigned long>(durationMs));
}

bool QProcessLauncher::runAndWait(const QString& program, const QStringList& arguments,
                                  const QString& workingFolder)
{
    QProcess process;
    prepareQuietProcess(process, program, arguments, workingFolder);
    process.start();
    if (!process.waitForStarted(-1))
        return false;
    // waitForFinished blocks in its own poll, not in the event loop.
    process.waitForFinished(-1);
    return true;
}

bool QProcessLauncher::startDetached(const QString& program, const QStringList& arguments,
                                     const QString& workingFolder)
{
    QProcess process;
    prepareQuietProcess(process, program, arguments, workingFolder);
    return process.startDetached();
}

std::optional<QString> LinuxHostResolver::localHostName(NameFailure* failure)
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        if (failure)
            *failure = errno == ENETDOWN ? NameFailure::NetworkDown : NameFailure::Other;
        return std::nullopt;
    }
    return QString::fromLocal8Bit(buffer);
}

QStringList LinuxHostResolver::ipv4Addresses(const QString& name, QString* error)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one answer per address, not one per socket type
    addrinfo* answer = nullptr;
    const int rc = ::getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &answer);
    QStringList out;
    if (rc != 0) {
        if (error)
            *error = QString::fromLocal8Bit(::gai_strerror(rc));
        return out;
    }
    for (const addrinfo* a = answer; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr)
            continue;
        sockaddr_in in{};
        std::memcpy(&in, a->ai_addr, sizeof in);
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &in.sin_addr, text, sizeof text))
            out << QString::fromLatin1(text);
    }
    ::freeaddrinfo(answer);
    if (out.isEmpty() && error)
        *error = QStringLiteral("no IPv4 address");
    return out;
}

namespace {

int ignoreXErrors(Display*, XErrorEvent*)
{
    return 0;
}

// The pixmap a previous setter left in the root's properties, when both name the same one (the
// sign that it was left behind on purpose and may be released).
Pixmap retainedRootPixmap(Display* display, Window root, Atom rootPmap, Atom esetroot)
{
    auto read = [&](Atom property) -> Pixmap {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        Pixmap found = 0;
        if (XGetWindowProperty(display, root, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                               &after, &data) == Success &&
            type == XA_PIXMAP && format == 32 && count == 1 && data)
            found = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
        if (data)
            XFree(data);
        return found;
    };
    const Pixmap a = read(rootPmap);
    return a != 0 && a == read(esetroot) ? a : 0;
}

bool paintRootPixmap(Display* display, int screen, Window root, const QImage& image, Pixmap* out)
{
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    const int depth = DefaultDepth(display, screen);
    Visual* visual = DefaultVisual(display, screen);
    // 0xAARRGGBB words are what a true-colour visual with these masks takes as pixels.
    if ((depth != 24 && depth != 32) || visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 ||
        visual->blue_mask != 0xff)
        return false;
    QImage scaled = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_RGB32);
    XImage* ximage = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                  reinterpret_cast<char*>(scaled.bits()), static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 32, static_cast<int>(scaled.bytesPerLine()));
    if (!ximage)
        return false;
    ximage->byte_order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    if (ximage->bits_per_pixel != 32) {
        ximage->data = nullptr;
        XDestroyImage(ximage);
        return false;
    }
    const Pixmap pixmap = XCreatePixmap(display, root, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), static_cast<unsigned>(depth));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, ximage, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, gc);
    ximage->data = nullptr; // the pixels belong to `scaled`
    XDestroyImage(ximage);
    *out = pixmap;
    return true;
}

} // namespace

bool XRootBackground::setImage(const QImage& image)
{
    if (image.isNull() || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    // A stale pixmap id in the properties must not end the program through Xlib's default handler.
    auto* previousHandler = XSetErrorHandler(ignoreXErrors);
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    Pixmap pixmap = 0;
    const bool painted = paintRootPixmap(display, screen, root, image, &pixmap);
    if (painted) {
        const Atom rootPmap = XInternAtom(display, "_XROOTPMAP_ID", False);
        const Atom esetroot = XInternAtom(display, "ESETROOT_PMAP_ID", False);
        // The previous setter's connection was kept alive only to hold its pixmap: release it.
        if (const Pixmap old = retainedRootPixmap(display, root, rootPmap, esetroot))
            XKillClient(display, old);
        const unsigned long id = pixmap;
        XChangeProperty(display, root, rootPmap, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&id), 1);
        XChangeProperty(display, root, esetroot, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&id), 1);
        XSetWindowBackgroundPixmap(display, root, pixmap);
        XClearWindow(display, root);
        // The pixmap outlives this connection (and the program) until the next setter kills it.
        XSetCloseDownMode(display, RetainPermanent);
    }
    XSync(display, False);
    XCloseDisplay(display);
    XSetErrorHandler(previousHandler);
    return painted;
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
    if (!s.launcher)
        s.launcher = std::make_shared<QProcessLauncher>();
    if (!s.resolver)
        s.resolver = std::make_shared<LinuxHostResolver>();
    if (!s.background)
        s.background = std::make_shared<XRootBackground>();
    if (!s.registry)
        s.registry = std::make_shared<LinuxRegistry>(LinuxRegistry::defaultFolders());
    if (!s.shellNotifier)
        s.shellNotifier = std::make_shared<QuietShellNotifier>();
    if (!s.systemFacts)
        s.systemFacts = std::make_shared<LinuxSystemFacts>();
    return s;
}

} // namespace rimo
