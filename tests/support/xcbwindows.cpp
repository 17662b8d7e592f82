// Test helper: opens the X windows named on its command line, prints "ready <id> <id> ..."
// and then closes a window when its WM_DELETE_WINDOW request arrives ("closed <id>"). Ends
// when its standard input closes.
//
//   normal:TITLE   a top-level window titled by _NET_WM_NAME (UTF-8)
//   legacy:TITLE   titled by WM_NAME only (Latin-1)
//   dialog         owned by the first window (WM_TRANSIENT_FOR), of the dialog type
//   utility        of the utility type (a tool window)
//   override       override-redirect, mapped
//   unmapped       never mapped
//   iconic         unmapped with WM_STATE iconic, as a window manager leaves a minimised one
//   noclose:TITLE  a normal window that does not take WM_DELETE_WINDOW
//   netpid:TITLE   a normal window with _NET_WM_PID and WM_CLIENT_MACHINE of this host
//   farpid:TITLE   the same, but WM_CLIENT_MACHINE names another host
//   many:N         N normal windows titled w0, w1, ...
// Windows are made in order, each above the ones before it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* g_conn;

xcb_atom_t atom(const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        g_conn, xcb_intern_atom(g_conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

void setProperty(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, uint8_t format, uint32_t count,
                 const void* data)
{
    xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, w, property, type, format, count, data);
}

void setText(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, const std::string& text)
{
    setProperty(w, property, type, 8, static_cast<uint32_t>(text.size()), text.data());
}

} // namespace

int main(int argc, char** argv)
{
    int screenNumber = 0;
    g_conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(g_conn)) {
        std::fprintf(stderr, "xcbwindows: no X display\n");
        return 2;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(g_conn));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    xcb_screen_t* screen = it.data;

    const xcb_atom_t netWmName = atom("_NET_WM_NAME"), utf8 = atom("UTF8_STRING");
    const xcb_atom_t protocols = atom("WM_PROTOCOLS"), deleteWindow = atom("WM_DELETE_WINDOW");
    const xcb_atom_t type = atom("_NET_WM_WINDOW_TYPE"), typeDialog = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    const xcb_atom_t typeUtility = atom("_NET_WM_WINDOW_TYPE_UTILITY"), wmState = atom("WM_STATE");

    struct WindowRequest
    {
        std::string kind, title;
    };
    std::vector<WindowRequest> requests;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t colon = arg.find(':');
        WindowRequest s{arg.substr(0, colon),
                        colon == std::string::npos ? std::string() : arg.substr(colon + 1)};
        if (s.kind == "many") {
            const int n = std::atoi(s.title.c_str());
            for (int k = 0; k < n; ++k)
                requests.push_back({"normal", "w" + std::to_string(k)});
        } else {
            requests.push_back(s);
        }
    }

    std::vector<xcb_window_t> windows;
    for (const WindowRequest& s : requests) {
        const xcb_window_t w = xcb_generate_id(g_conn);
        const uint32_t values[] = {s.kind == "override" ? 1u : 0u, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(g_conn, XCB_COPY_FROM_PARENT, w, screen->root, 10, 10, 120, 80, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        if (s.kind == "legacy")
            setText(w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, s.title);
        else
            setText(w, netWmName, utf8, s.title.empty() ? s.kind : s.title);
        static const char wmClass[] = "xcbwindows\0XcbWindows";
        setProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
        if (s.kind != "noclose")
            setProperty(w, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
        if (s.kind == "dialog" && !windows.empty()) {
            setProperty(w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &windows.front());
            setProperty(w, type, XCB_ATOM_ATOM, 32, 1, &typeDialog);
        }
        if (s.kind == "utility")
            setProperty(w, type, XCB_ATOM_ATOM, 32, 1, &typeUtility);
        if (s.kind == "netpid" || s.kind == "farpid") {
            const uint32_t pid = static_cast<uint32_t>(getpid());
            setProperty(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            setText(w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING,
                    s.kind == "netpid" ? std::string(host) : std::string("elsewhere.example"));
        }
        if (s.kind == "iconic") {
            const uint32_t state[] = {3, 0};
            setProperty(w, wmState, wmState, 32, 2, state);
        }
        if (s.kind != "unmapped" && s.kind != "iconic")
            xcb_map_window(g_conn, w);
        windows.push_back(w);
    }
    // A round trip: every window exists on the server before the test looks.
    std::free(xcb_get_input_focus_reply(g_conn, xcb_get_input_focus(g_conn), nullptr));
    std::string ready = "ready";
    for (xcb_window_t w : windows)
        ready += " " + std::to_string(w);
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);

    pollfd fds[2] = {{xcb_get_file_descriptor(g_conn), POLLIN, 0}, {0, POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(g_conn)) {
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                if (m->type == protocols && m->data.data32[0] == deleteWindow) {
                    xcb_destroy_window(g_conn, m->window);
                    std::free(xcb_get_input_focus_reply(g_conn, xcb_get_input_focus(g_conn), nullptr));
                    std::printf("closed %u\n", m->window);
                    std::fflush(stdout);
                }
            }
            std::free(e);
        }
        if (xcb_connection_has_error(g_conn))
            return 3;
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[64];
            if (read(0, buffer, sizeof buffer) <= 0)
                break;
        }
    }
    xcb_disconnect(g_conn);
    return 0;
}
