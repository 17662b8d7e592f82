#include "platform/xcbwindowsource.h"

#include "platform/xtext.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string_view>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

namespace rimo {

namespace {

// A write to a server that has gone raises SIGPIPE, whose default action ends the process:
// hold it blocked while talking to the server and drop one that arrived meanwhile.
class SigpipeBlock
{
public:
    SigpipeBlock()
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~SigpipeBlock()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            const timespec zero{0, 0};
            sigtimedwait(&m_set, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t m_set;
    sigset_t m_old;
    bool m_wasPending = false;
};

template <typename T> struct FreeDeleter
{
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

constexpr uint32_t kPropertyLength = 1024; // 32-bit units: 4 KiB is far beyond 259 characters

enum AtomIndex {
    WM_STATE,
    NET_WM_NAME,
    UTF8_STRING,
    COMPOUND_TEXT,
    NET_WM_WINDOW_TYPE,
    NET_WM_WINDOW_TYPE_NORMAL,
    NET_WM_WINDOW_TYPE_DIALOG,
    NET_WM_PID,
    NET_CLIENT_LIST_STACKING,
    NET_SUPPORTING_WM_CHECK,
    WM_PROTOCOLS,
    WM_DELETE_WINDOW,
    NET_CLOSE_WINDOW,
    AtomCount
};

constexpr std::array<const char*, AtomCount> kAtomNames = {
    "WM_STATE",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "COMPOUND_TEXT",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_PID",
    "_NET_CLIENT_LIST_STACKING",
    "_NET_SUPPORTING_WM_CHECK",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "_NET_CLOSE_WINDOW",
};

std::string_view propertyBytes(const xcb_get_property_reply_t* r)
{
    if (!r || r->type == XCB_ATOM_NONE)
        return {};
    const int length = xcb_get_property_value_length(r);
    return {static_cast<const char*>(xcb_get_property_value(r)), static_cast<size_t>(std::max(length, 0))};
}

// The first 32-bit value of a property, or `fallback`.
uint32_t firstValue(const xcb_get_property_reply_t* r, uint32_t fallback = 0)
{
    if (!r || r->type == XCB_ATOM_NONE || r->format != 32 || xcb_get_property_value_length(r) < 4)
        return fallback;
    return *static_cast<const uint32_t*>(xcb_get_property_value(r));
}

struct WindowCookies
{
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t wmState, transientFor, windowType, netName, name, wmClass, pid, machine;
    xcb_res_query_client_ids_cookie_t clientIds;
};

} // namespace

struct XcbWindowSource::Connection
{
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    bool resource = false; // X-Resource 1.2 or later: client ids
    std::array<xcb_atom_t, AtomCount> atoms{};
    QByteArray host;

    ~Connection()
    {
        if (conn)
            xcb_disconnect(conn);
    }

    xcb_get_property_cookie_t property(xcb_window_t w, xcb_atom_t atom) const
    {
        return xcb_get_property(conn, 0, w, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, kPropertyLength);
    }
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_cookie_t c) const
    {
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(conn, c, &error));
        std::free(error);
        return r;
    }

    // The window named by the root's _NET_SUPPORTING_WM_CHECK when it names itself too: the
    // sign of a running window manager. 0 when there is none.
    xcb_window_t windowManagerCheck(Reply<xcb_get_property_reply_t> rootCheck) const
    {
        const xcb_window_t w = firstValue(rootCheck.get());
        if (!w)
            return 0;
        return firstValue(reply(property(w, atoms[NET_SUPPORTING_WM_CHECK])).get()) == w ? w : 0;
    }

    std::vector<xcb_window_t> candidates() const;
    WindowEntry read(xcb_window_t w, const WindowCookies& c, bool& listed) const;
};

std::vector<xcb_window_t> XcbWindowSource::Connection::candidates() const
{
    const auto check = property(root, atoms[NET_SUPPORTING_WM_CHECK]);
    const auto stacking = property(root, atoms[NET_CLIENT_LIST_STACKING]);
    const auto tree = xcb_query_tree(conn, root);
    std::vector<xcb_window_t> list;
    const bool manager = windowManagerCheck(reply(check)) != 0;
    auto clients = reply(stacking);
    if (manager && clients && clients->type == XCB_ATOM_WINDOW && clients->format == 32) {
        xcb_discard_reply(conn, tree.sequence);
        const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(clients.get()));
        list.assign(w, w + xcb_get_property_value_length(clients.get()) / 4);
    } else {
        xcb_generic_error_t* error = nullptr;
        Reply<xcb_query_tree_reply_t> r(xcb_query_tree_reply(conn, tree, &error));
        std::free(error);
        if (r) {
            const xcb_window_t* w = xcb_query_tree_children(r.get());
            list.assign(w, w + xcb_query_tree_children_length(r.get()));
        }
    }
    std::reverse(list.begin(), list.end()); // both lists run bottom to top
    return list;
}

WindowEntry XcbWindowSource::Connection::read(xcb_window_t w, const WindowCookies& c, bool& listed) const
{
    // Every reply is collected, even of a window already ruled out, so none is left queued.
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(conn, c.attributes, &error));
    std::free(error);
    const auto wmState = reply(c.wmState);
    const auto transient = reply(c.transientFor);
    const auto type = reply(c.windowType);
    const auto netName = reply(c.netName);
    const auto name = reply(c.name);
    const auto wmClass = reply(c.wmClass);
    const auto pid = reply(c.pid);
    const auto machine = reply(c.machine);
    Reply<xcb_res_query_client_ids_reply_t> ids;
    if (resource) {
        error = nullptr;
        ids.reset(xcb_res_query_client_ids_reply(conn, c.clientIds, &error));
        std::free(error);
    }

    listed = false;
    WindowEntry e;
    if (!attributes || attributes->override_redirect) // gone, or a menu or tooltip
        return e;
    constexpr uint32_t iconic = 3;
    if (attributes->map_state != XCB_MAP_STATE_VIEWABLE && firstValue(wmState.get()) != iconic)
        return e;
    if (transient && transient->type != XCB_ATOM_NONE)
        return e;
    if (type && type->type != XCB_ATOM_NONE) {
        const xcb_atom_t first = firstValue(type.get());
        if (first != atoms[NET_WM_WINDOW_TYPE_NORMAL] && first != atoms[NET_WM_WINDOW_TYPE_DIALOG])
            return e;
    }
    listed = true;
    e.handle = w;
    if (netName && netName->type != XCB_ATOM_NONE) {
        e.caption = xtext::decodeTitle(propertyBytes(netName.get()), xtext::Encoding::Utf8);
    } else if (name) {
        const auto encoding = name->type == atoms[UTF8_STRING]     ? xtext::Encoding::Utf8
                              : name->type == atoms[COMPOUND_TEXT] ? xtext::Encoding::CompoundText
                                                                   : xtext::Encoding::Latin1;
        e.caption = xtext::decodeTitle(propertyBytes(name.get()), encoding);
    }
    e.windowClass = xtext::classOfWmClass(propertyBytes(wmClass.get()));
    if (ids) {
        for (auto it = xcb_res_query_client_ids_ids_iterator(ids.get()); it.rem;
             xcb_res_client_id_value_next(&it)) {
            // The value begins with the id request it answers (client and mask).
            const auto* asked = reinterpret_cast<const xcb_res_client_id_spec_t*>(it.data);
            if ((asked->mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
                xcb_res_client_id_value_value_length(it.data) >= 1) {
                e.processID = *xcb_res_client_id_value_value(it.data);
                break;
            }
        }
    }
    if (e.processID == 0) {
        const std::string_view machineName = propertyBytes(machine.get());
        const std::string_view hostName(host.constData(), static_cast<size_t>(host.size()));
        if (!hostName.empty() && machineName.substr(0, machineName.find('\0')) == hostName)
            e.processID = firstValue(pid.get());
    }
    return e;
}

XcbWindowSource::XcbWindowSource(QByteArray display, bool askServerForOwner)
    : m_display(std::move(display)), m_askServerForOwner(askServerForOwner)
{
}

XcbWindowSource::~XcbWindowSource()
{
    SigpipeBlock block;
    m_connection.reset();
}

void XcbWindowSource::drop()
{
    m_connection.reset();
}

XcbWindowSource::Connection* XcbWindowSource::connection()
{
    if (m_connection && xcb_connection_has_error(m_connection->conn))
        drop();
    if (m_connection)
        return m_connection.get();
    if (m_display.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    auto c = std::make_unique<Connection>();
    int screenNumber = 0;
    c->conn = xcb_connect(m_display.isEmpty() ? nullptr : m_display.constData(), &screenNumber);
    if (xcb_connection_has_error(c->conn))
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c->conn));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return nullptr;
    c->root = screens.data->root;

    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
    for (size_t i = 0; i < AtomCount; ++i)
        cookies[i] =
            xcb_intern_atom(c->conn, 0, static_cast<uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c->conn, &xcb_res_id);
    xcb_res_query_version_cookie_t version{};
    if (ext && ext->present)
        version = xcb_res_query_version(c->conn, 1, 2);
    for (size_t i = 0; i < AtomCount; ++i) {
        Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c->conn, cookies[i], nullptr));
        c->atoms[i] = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    if (ext && ext->present && m_askServerForOwner) {
        Reply<xcb_res_query_version_reply_t> v(xcb_res_query_version_reply(c->conn, version, nullptr));
        c->resource = v && (v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2));
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        c->host = QByteArray(host);
    if (xcb_connection_has_error(c->conn))
        return nullptr;
    m_connection = std::move(c);
    return m_connection.get();
}

std::vector<WindowEntry> XcbWindowSource::windows()
{
    SigpipeBlock block;
    std::vector<WindowEntry> list;
    Connection* c = connection();
    if (!c)
        return list;
    const std::vector<xcb_window_t> windows = c->candidates();
    // All requests first, then the replies: one round trip for the whole list.
    std::vector<WindowCookies> cookies(windows.size());
    const auto& a = c->atoms;
    for (size_t i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        WindowCookies& k = cookies[i];
        k.attributes = xcb_get_window_attributes(c->conn, w);
        k.wmState = c->property(w, a[WM_STATE]);
        k.transientFor = c->property(w, XCB_ATOM_WM_TRANSIENT_FOR);
        k.windowType = c->property(w, a[NET_WM_WINDOW_TYPE]);
        k.netName = c->property(w, a[NET_WM_NAME]);
        k.name = c->property(w, XCB_ATOM_WM_NAME);
        k.wmClass = c->property(w, XCB_ATOM_WM_CLASS);
        k.pid = c->property(w, a[NET_WM_PID]);
        k.machine = c->property(w, XCB_ATOM_WM_CLIENT_MACHINE);
        if (c->resource) {
            xcb_res_client_id_spec_t wanted{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            k.clientIds = xcb_res_query_client_ids(c->conn, 1, &wanted);
        }
    }
    for (size_t i = 0; i < windows.size(); ++i) {
        bool listed = false;
        WindowEntry e = c->read(windows[i], cookies[i], listed);
        if (listed)
            list.push_back(std::move(e));
    }
    if (xcb_connection_has_error(c->conn)) {
        drop();
        list.clear();
    }
    return list;
}

bool XcbWindowSource::postClose(quint32 handle)
{
    SigpipeBlock block;
    Connection* c = connection();
    if (!c || handle == 0)
        return false;
    const auto protocolsCookie = c->property(handle, c->atoms[WM_PROTOCOLS]);
    const auto checkCookie = c->property(c->root, c->atoms[NET_SUPPORTING_WM_CHECK]);
    const auto protocols = c->reply(protocolsCookie);
    const bool manager = c->windowManagerCheck(c->reply(checkCookie)) != 0;
    if (!protocols || protocols->type != XCB_ATOM_ATOM || protocols->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(protocols.get()));
    const int count = xcb_get_property_value_length(protocols.get()) / 4;
    if (std::find(atoms, atoms + count, c->atoms[WM_DELETE_WINDOW]) == atoms + count)
        return false;

    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = handle;
    if (manager) {
        event.type = c->atoms[NET_CLOSE_WINDOW];
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = 2; // the request comes from a pager-like tool, not an application
        xcb_send_event(c->conn, 0, c->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        event.type = c->atoms[WM_PROTOCOLS];
        event.data.data32[0] = c->atoms[WM_DELETE_WINDOW];
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c->conn, 0, handle, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c->conn);
    return !xcb_connection_has_error(c->conn);
}

} // namespace rimo
