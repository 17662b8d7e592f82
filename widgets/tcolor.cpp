#include "widgets/tcolor.h"

namespace rimo {

namespace {

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Windows system colour numbers 0..30 and the palette role that plays the same part here.
SystemRole systemRole(int index)
{
    constexpr auto A = QPalette::Active;
    switch (index) {
    case 0:  // scroll bar
    case 15: // button face
        return {A, QPalette::Button};
    case 1:  // desktop
    case 16: // button shadow
        return {A, QPalette::Dark};
    case 2:  // active caption
    case 13: // highlight
    case 27: // gradient of the active caption
    case 29: // menu highlight
        return {A, QPalette::Highlight};
    case 3:  // inactive caption
    case 12: // application workspace
    case 28: // gradient of the inactive caption
        return {A, QPalette::Mid};
    case 5: // window background
        return {A, QPalette::Base};
    case 6:  // window frame
    case 21: // 3-D dark shadow
        return {A, QPalette::Shadow};
    case 7:  // menu text
    case 19: // inactive caption text
        return {A, QPalette::WindowText};
    case 8: // window text
        return {A, QPalette::Text};
    case 9:  // caption text
    case 14: // highlighted text
        return {A, QPalette::HighlightedText};
    case 17: // grey (disabled) text
        return {QPalette::Disabled, QPalette::Text};
    case 18: // button text
        return {A, QPalette::ButtonText};
    case 20: // button highlight
        return {A, QPalette::Light};
    case 22: // 3-D light
        return {A, QPalette::Midlight};
    case 23: // tooltip text
        return {A, QPalette::ToolTipText};
    case 24: // tooltip background
        return {A, QPalette::ToolTipBase};
    case 26: // hot-tracked item
        return {A, QPalette::Link};
    default: // menu, borders, menu bar and unknown numbers
        return {A, QPalette::Window};
    }
}

} // namespace

QColor toQColor(TColor c, const QPalette& palette)
{
    if (isSystemColor(c)) {
        const SystemRole r = systemRole(int(c & 0xFF));
        return palette.color(r.group, r.role);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace rimo
