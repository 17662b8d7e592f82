#pragma once
// The desktop's top-level application windows as the window monitor sees them. Linux asks the
// X server through xcb (xcbwindowsource.h); tests pass a double (testing/monitordoubles.h).
// Nothing here fails: without a window system the list is empty.

#include <QString>
#include <QtGlobal>
#include <vector>

namespace rimo {

struct WindowEntry
{
    QString caption;     // at most 259 UTF-16 units
    QString windowClass; // at most 259 UTF-16 units
    quint32 handle = 0;
    quint32 processID = 0; // 0 when the owner cannot be told
};

class WindowSource
{
public:
    virtual ~WindowSource() = default;
    // The listed windows, topmost first.
    virtual std::vector<WindowEntry> windows() = 0;
    // Asks the window's owner to close it and returns at once. False when the window does not
    // take the request (it is then left alone) or cannot be reached.
    virtual bool postClose(quint32 handle) = 0;
};

} // namespace rimo
