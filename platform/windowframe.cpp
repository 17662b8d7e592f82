#include "platform/windowframe.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace rimo {

namespace {

// From the Motif window-manager protocol.
constexpr unsigned kHintsFunctions = 1u << 0;
constexpr unsigned kHintsDecorations = 1u << 1;
constexpr unsigned kFuncMove = 1u << 2;
constexpr unsigned kDecorBorder = 1u << 1;
constexpr unsigned kDecorTitle = 1u << 3;

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void writeMotifHints(QWidget* window)
{
    xcb_connection_t* c = x11Connection();
    if (!c)
        return;
    const xcb_atom_t atom = internAtom(c, "_MOTIF_WM_HINTS");
    if (atom == XCB_ATOM_NONE)
        return;
    const MotifHints h = titleOnlyMotifHints();
    const uint32_t data[5] = {h.flags, h.functions, h.decorations, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), atom, atom, 32,
                        5, data);
    xcb_flush(c);
}

void writeEmptyName(QWidget* window)
{
    xcb_connection_t* c = x11Connection();
    if (!c || !window->windowTitle().isEmpty())
        return;
    const auto w = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t utf8 = internAtom(c, "UTF8_STRING");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, internAtom(c, "_NET_WM_NAME"), utf8, 8, 0, "");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_flush(c);
}

class EmptyTitleKeeper : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Both arrive after Qt has written its name for the window.
        if (event->type() == QEvent::Show || event->type() == QEvent::WindowTitleChange)
            writeEmptyName(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

class TitleOnlyKeeper : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Show reaches the widget before its window is mapped, which is when the manager reads
        // the hints.
        if (event->type() == QEvent::Show)
            writeMotifHints(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

MotifHints titleOnlyMotifHints()
{
    return {kHintsFunctions | kHintsDecorations, kFuncMove, kDecorBorder | kDecorTitle};
}

void keepWithoutTitleButtons(QWidget* window)
{
    if (!window || !window->isWindow())
        return;
    window->installEventFilter(new TitleOnlyKeeper(window));
    if (window->isVisible())
        writeMotifHints(window);
}

void keepEmptyTitleEmpty(QWidget* window)
{
    if (!window || !window->isWindow())
        return;
    window->installEventFilter(new EmptyTitleKeeper(window));
    if (window->isVisible())
        writeEmptyName(window);
}

} // namespace rimo
