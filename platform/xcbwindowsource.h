#pragma once
// The top-level application windows of an X display, read through xcb: Xlib's default error
// handlers would end the process when the server goes away, xcb reports it instead.
//
// Listed, topmost first (_NET_CLIENT_LIST_STACKING reversed when a window manager offers it,
// else the root's children reversed): clients that are viewable or minimised (WM_STATE
// iconic), without WM_TRANSIENT_FOR, not override-redirect, with no _NET_WM_WINDOW_TYPE or a
// normal or dialog one (other types are tool windows). The owning process comes from the
// X-Resource client-id query, else from _NET_WM_PID when WM_CLIENT_MACHINE is this host.

#include "platform/windowsource.h"

#include <QByteArray>
#include <memory>

namespace rimo {

class XcbWindowSource : public WindowSource
{
public:
    // `display` names the X display; empty means $DISPLAY. The connection is made at the first
    // use and made again after it was lost. Without `askServerForOwner` the owner comes only
    // from _NET_WM_PID, as on a server without X-Resource.
    explicit XcbWindowSource(QByteArray display = {}, bool askServerForOwner = true);
    ~XcbWindowSource() override;
    XcbWindowSource(const XcbWindowSource&) = delete;
    XcbWindowSource& operator=(const XcbWindowSource&) = delete;

    std::vector<WindowEntry> windows() override;
    // Sends WM_DELETE_WINDOW (as _NET_CLOSE_WINDOW to the window manager when there is one) and
    // returns at once. A window that does not take WM_DELETE_WINDOW is left alone: closing its
    // connection instead would end its whole client.
    bool postClose(quint32 handle) override;

private:
    struct Connection;
    Connection* connection();
    void drop();

    QByteArray m_display;
    bool m_askServerForOwner;
    std::unique_ptr<Connection> m_connection;
};

} // namespace rimo
