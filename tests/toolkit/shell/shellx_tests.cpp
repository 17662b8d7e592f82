// The shell services that meet the X server, each on an Xvfb of the test's own: the window of a
// running program, found through the two monitors, and the root window's background.
#include "platform/linuxprocesssource.h"
#include "platform/xcbwindowsource.h"
#include "shellharness.h"
#include "xvfb.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace rimo;
using rimo::testing::ShellHarness;
using rimo::testing::XcbWindowsHelper;
using rimo::testing::XvfbServer;

namespace {

// The real process table without the helper programs of other tests running at the same time,
// which would otherwise come first in the table under the same name.
class OwnHelperProcessSource : public LinuxProcessSource
{
public:
    quint32 helperPid = 0;
    std::vector<ProcessEntry> processes() override
    {
        std::vector<ProcessEntry> all = LinuxProcessSource::processes();
        const QString helperName = QFileInfo(XcbWindowsHelper::program()).fileName();
        std::erase_if(
            all, [&](const ProcessEntry& p) { return p.exeFile == helperName && p.processID != helperPid; });
        return all;
    }
};

// Pixels and properties of the root window, read through a connection of the test's own.
class RootReader
{
public:
    explicit RootReader(const QByteArray& display) : m_display(XOpenDisplay(display.constData())) {}
    ~RootReader()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool ok() const { return m_display != nullptr; }
    QRgb pixel(double fx, double fy) const
    {
        const int screen = DefaultScreen(m_display);
        const int x = static_cast<int>(fx * DisplayWidth(m_display, screen));
        const int y = static_cast<int>(fy * DisplayHeight(m_display, screen));
        XImage* image = XGetImage(m_display, RootWindow(m_display, screen), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return 0;
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return qRgb(static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff),
                    static_cast<int>(p & 0xff));
    }
    unsigned long pixmapProperty(const char* name) const
    {
        const Atom property = XInternAtom(m_display, name, True);
        if (property == None)
            return 0;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        unsigned long id = 0;
        if (XGetWindowProperty(m_display, DefaultRootWindow(m_display), property, 0, 1, False, XA_PIXMAP,
                               &type, &format, &count, &after, &data) == Success &&
            data && count == 1)
            id = *reinterpret_cast<unsigned long*>(data);
        if (data)
            XFree(data);
        return id;
    }
    // Whether the server still holds the pixmap (a freed one answers with an error).
    bool pixmapAlive(unsigned long id) const
    {
        auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        Window root = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        const Status found = XGetGeometry(m_display, id, &root, &x, &y, &width, &height, &border, &depth);
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return found != 0;
    }

private:
    Display* m_display;
};

bool reddish(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

bool bluish(QRgb c)
{
    return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60;
}

QString twoColourImage(const QTemporaryDir& dir, const QString& name, QRgb left, QRgb right)
{
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, left);
    image.setPixel(1, 0, right);
    const QString path = dir.filePath(name);
    return image.save(path) ? path : QString();
}

// DISPLAY set to the test's own server while the object lives.
class DisplayScope
{
public:
    explicit DisplayScope(const QByteArray& display)
        : m_saved(qgetenv("DISPLAY")), m_had(qEnvironmentVariableIsSet("DISPLAY"))
    {
        if (display.isNull())
            qunsetenv("DISPLAY");
        else
            qputenv("DISPLAY", display);
    }
    ~DisplayScope()
    {
        if (m_had)
            qputenv("DISPLAY", m_saved);
        else
            qunsetenv("DISPLAY");
    }

private:
    QByteArray m_saved;
    bool m_had;
};

} // namespace

TEST(ShellX, GetFileHandleGivesTheProgramsLastListedWindowAndSwitchesTheMonitorsOff)
{
    XvfbServer server;
    ASSERT_FALSE(server.display().isEmpty()) << "Xvfb did not start";
    XcbWindowsHelper helper(server.display(),
                            {QStringLiteral("normal:first"), QStringLiteral("normal:second")});
    ASSERT_EQ(helper.ids().size(), 2);
    auto processes = std::make_shared<OwnHelperProcessSource>();
    processes->helperPid = helper.pid();
    auto windows = std::make_shared<XcbWindowSource>(server.display());
    ShellHarness shell({}, processes, windows);

    // What the window monitor lists, in its order: the helper's windows, the last one wins.
    TAppWindowCollection list(windows, processes);
    list.UpdateWindows();
    quint32 expected = 0;
    int matches = 0;
    for (const TWindowItem* w : list) {
        if (w->ProcessID() == helper.pid()) {
            expected = w->Handle();
            ++matches;
        }
    }
    ASSERT_EQ(matches, 2);
    ASSERT_TRUE(helper.ids().contains(expected));

    const QString otherCase = QFileInfo(XcbWindowsHelper::program()).fileName().toUpper();
    EXPECT_EQ(shell.GetFileHandle(otherCase), expected);
    EXPECT_FALSE(shell.processes.Active());
    EXPECT_FALSE(shell.windows.Active());

    shell.processes.setActive(true);
    shell.windows.setActive(true);
    EXPECT_EQ(shell.GetFileHandle(QStringLiteral("not-running.exe")), 0u);
    EXPECT_FALSE(shell.processes.Active());
    EXPECT_FALSE(shell.windows.Active());
}

TEST(ShellX, ChangeWallpaperPaintsTheRootAndKeepsOnePixmapForTheSession)
{
    XvfbServer server;
    ASSERT_FALSE(server.display().isEmpty()) << "Xvfb did not start";
    DisplayScope scope(server.display());
    QTemporaryDir dir;
    const QString redBlue = twoColourImage(dir, "red-blue.png", qRgb(255, 0, 0), qRgb(0, 0, 255));
    const QString blueRed = twoColourImage(dir, "blue-red.bmp", qRgb(0, 0, 255), qRgb(255, 0, 0));
    ASSERT_FALSE(redBlue.isEmpty() || blueRed.isEmpty());
    ShellHarness shell; // the X root background

    shell.ChangeWallpaper(redBlue);
    RootReader root(server.display());
    ASSERT_TRUE(root.ok());
    EXPECT_TRUE(reddish(root.pixel(0.1, 0.5))) << std::hex << root.pixel(0.1, 0.5);
    EXPECT_TRUE(bluish(root.pixel(0.9, 0.5))) << std::hex << root.pixel(0.9, 0.5);
    const unsigned long first = root.pixmapProperty("_XROOTPMAP_ID");
    EXPECT_NE(first, 0u);
    EXPECT_EQ(root.pixmapProperty("ESETROOT_PMAP_ID"), first);
    EXPECT_TRUE(root.pixmapAlive(first)) << "kept after the setting connection closed";

    // A missing or unreadable file changes nothing.
    ASSERT_TRUE(QFile(dir.filePath("junk.png")).open(QIODevice::WriteOnly));
    shell.ChangeWallpaper(dir.filePath("missing.png"));
    shell.ChangeWallpaper(dir.filePath("junk.png"));
    EXPECT_TRUE(reddish(root.pixel(0.1, 0.5)));
    EXPECT_EQ(root.pixmapProperty("_XROOTPMAP_ID"), first);

    // The next image takes over and the previous pixmap is released, not leaked.
    shell.ChangeWallpaper(blueRed);
    EXPECT_TRUE(bluish(root.pixel(0.1, 0.5)));
    EXPECT_TRUE(reddish(root.pixel(0.9, 0.5)));
    const unsigned long second = root.pixmapProperty("_XROOTPMAP_ID");
    EXPECT_NE(second, first);
    EXPECT_TRUE(root.pixmapAlive(second));
    EXPECT_FALSE(root.pixmapAlive(first));
}

TEST(ShellX, ChangeWallpaperWithoutAnXServerDoesNothing)
{
    QTemporaryDir dir;
    const QString image = twoColourImage(dir, "red-blue.png", qRgb(255, 0, 0), qRgb(0, 0, 255));
    ShellHarness shell;
    {
        DisplayScope none{QByteArray()};
        EXPECT_NO_THROW(shell.ChangeWallpaper(image));
    }
    {
        DisplayScope gone(QByteArrayLiteral(":4998"));
        EXPECT_NO_THROW(shell.ChangeWallpaper(image));
    }
}
