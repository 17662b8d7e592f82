#include "openbox.h"

#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xtest.h>

namespace rimo::testing {

namespace {

template <typename Reply> struct Freed
{
    Reply* r;
    ~Freed() { std::free(r); }
    Reply* operator->() const { return r; }
    explicit operator bool() const { return r != nullptr; }
};

bool managed(xcb_connection_t* c, xcb_window_t root)
{
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    Freed<xcb_intern_atom_reply_t> a{
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr)};
    if (!a)
        return false;
    Freed<xcb_get_property_reply_t> p{
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, a->atom, XCB_ATOM_WINDOW, 0, 1), nullptr)};
    return p && xcb_get_property_value_length(p.r) >= 4;
}

} // namespace

OpenboxDesktop::OpenboxDesktop()
{
    if (m_server.display().isEmpty())
        return;
    const QByteArray display = m_server.display();
    m_openbox = fork();
    if (m_openbox == 0) {
        setenv("DISPLAY", display.constData(), 1);
        // No session manager, no user's configuration: the window manager as installed.
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_openbox < 0)
        return;
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && !(m_ready = managed(c, root)))
        QThread::msleep(50);
    xcb_disconnect(c);
}

OpenboxDesktop::~OpenboxDesktop()
{
    if (m_openbox > 0) {
        kill(m_openbox, SIGTERM);
        int status = 0;
        while (waitpid(m_openbox, &status, 0) < 0 && errno == EINTR) {
        }
    }
    m_server.stop();
}

XProbe::XProbe(const QByteArray& display)
{
    m_c = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_c)) {
        xcb_disconnect(m_c);
        m_c = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
}

XProbe::~XProbe()
{
    if (m_c)
        xcb_disconnect(m_c);
}

quint32 XProbe::atom(const char* name)
{
    Freed<xcb_intern_atom_reply_t> a{xcb_intern_atom_reply(
        m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr)};
    return a ? a->atom : 0;
}

QList<quint32> XProbe::cardinals(quint32 window, const char* property, const char* type)
{
    xcb_atom_t t = XCB_ATOM_CARDINAL;
    if (std::strcmp(type, "WINDOW") == 0)
        t = XCB_ATOM_WINDOW;
    else if (std::strcmp(type, "ATOM") == 0)
        t = XCB_ATOM_ATOM;
    else if (std::strcmp(type, "CARDINAL") != 0)
        t = atom(type);
    Freed<xcb_get_property_reply_t> p{
        xcb_get_property_reply(m_c, xcb_get_property(m_c, 0, window, atom(property), t, 0, 1024), nullptr)};
    QList<quint32> out;
    if (!p || p->format != 32)
        return out;
    const auto* v = static_cast<const quint32*>(xcb_get_property_value(p.r));
    for (int i = 0; i < xcb_get_property_value_length(p.r) / 4; ++i)
        out << v[i];
    return out;
}

QString XProbe::text(quint32 window, const char* property)
{
    Freed<xcb_get_property_reply_t> p{xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr)};
    if (!p)
        return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(p.r)),
                             xcb_get_property_value_length(p.r));
}

QList<quint32> XProbe::atomsOf(quint32 window, const char* property)
{
    return cardinals(window, property, "ATOM");
}

QList<quint32> XProbe::stacking()
{
    return cardinals(m_root, "_NET_CLIENT_LIST_STACKING", "WINDOW");
}

quint32 XProbe::transientFor(quint32 window)
{
    const QList<quint32> v = cardinals(window, "WM_TRANSIENT_FOR", "WINDOW");
    return v.value(0);
}

quint32 XProbe::topLevelOf(quint32 window)
{
    xcb_window_t w = window;
    for (;;) {
        Freed<xcb_query_tree_reply_t> t{xcb_query_tree_reply(m_c, xcb_query_tree(m_c, w), nullptr)};
        if (!t || t->parent == m_root || t->parent == 0)
            return w;
        w = t->parent;
    }
}

QRect XProbe::clientRect(quint32 window)
{
    Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr)};
    Freed<xcb_translate_coordinates_reply_t> t{
        xcb_translate_coordinates_reply(m_c, xcb_translate_coordinates(m_c, window, m_root, 0, 0), nullptr)};
    if (!g || !t)
        return {};
    return QRect(t->dst_x, t->dst_y, g->width, g->height);
}

QRect XProbe::frameRect(quint32 window)
{
    const quint32 top = topLevelOf(window);
    Freed<xcb_get_geometry_reply_t> g{xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, top), nullptr)};
    if (!g)
        return {};
    return QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
}

QList<quint32> XProbe::frameExtents(quint32 window)
{
    return cardinals(window, "_NET_FRAME_EXTENTS");
}

void XProbe::requestClose(quint32 window)
{
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = window;
    e.type = atom("_NET_CLOSE_WINDOW");
    e.data.data32[0] = XCB_CURRENT_TIME;
    e.data.data32[1] = 2; // from a pager or task bar: the user's own request
    xcb_send_event(m_c, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&e));
    xcb_flush(m_c);
}

void XProbe::tapKey(quint32 keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(m_c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Freed<xcb_get_keyboard_mapping_reply_t> map{xcb_get_keyboard_mapping_reply(
        m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, static_cast<uint8_t>(count)), nullptr)};
    if (!map)
        return;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.r);
    const int per = map->keysyms_per_keycode;
    for (int i = 0; i < count * per; ++i) {
        if (syms[i] != keysym)
            continue;
        const auto code = static_cast<uint8_t>(setup->min_keycode + i / per);
        xcb_test_fake_input(m_c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_c);
        return;
    }
}

} // namespace rimo::testing
