#pragma once
// A desktop as users have it: an Xvfb of the test's own with the openbox window manager on it,
// and the X calls a test needs to read back what the window manager did (stacking, frames,
// transient-for) and to send real key events through the server (XTest).

#include "xvfb.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <xcb/xcb.h>

namespace rimo::testing {

class OpenboxDesktop
{
public:
    // Starts Xvfb, then openbox, and waits until openbox manages the screen; display() is
    // empty on failure.
    OpenboxDesktop();
    ~OpenboxDesktop();
    OpenboxDesktop(const OpenboxDesktop&) = delete;
    OpenboxDesktop& operator=(const OpenboxDesktop&) = delete;

    QByteArray display() const { return m_ready ? m_server.display() : QByteArray(); }

private:
    XvfbServer m_server;
    pid_t m_openbox = -1;
    bool m_ready = false;
};

// One connection to the display for reading window-manager state and sending input.
class XProbe
{
public:
    explicit XProbe(const QByteArray& display);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool ok() const { return m_c != nullptr; }
    // Client windows, bottom to top, as the window manager stacks them.
    QList<quint32> stacking();
    quint32 transientFor(quint32 window);
    // The outer frame the window manager put around `window` (the window itself when none),
    // in root coordinates.
    QRect frameRect(quint32 window);
    QRect clientRect(quint32 window);
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    QList<quint32> frameExtents(quint32 window);
    QList<quint32> cardinals(quint32 window, const char* property, const char* type = "CARDINAL");
    QList<quint32> atomsOf(quint32 window, const char* property);
    quint32 atom(const char* name);
    // A text property (any type), decoded as UTF-8.
    QString text(quint32 window, const char* property);
    // Asks the window manager to close `window`, as its close button or Alt+F4 does.
    void requestClose(quint32 window);
    // A real key press and release of the key that carries `keysym`, to the focused window.
    void tapKey(quint32 keysym);

private:
    quint32 topLevelOf(quint32 window);
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
};

// The desktop the openbox test entry (gtest_openbox_main.cpp) started.
OpenboxDesktop& desktop();

} // namespace rimo::testing
