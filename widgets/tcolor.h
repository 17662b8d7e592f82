#pragma once
// Colour values as the components store them: 0x00BBGGRR for a literal colour (low byte red),
// 0xFF0000nn for the platform's system colour number nn.

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace rimo {

using TColor = quint32;

constexpr TColor rgbColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

constexpr bool isSystemColor(TColor c)
{
    return (c & 0xFF000000u) == 0xFF000000u;
}

// The colour to draw with: a literal colour as it is, a system colour (Windows numbering:
// 5 window, 15 button face, 13 highlight, ...) from the matching role of `palette`.
QColor toQColor(TColor c, const QPalette& palette);

} // namespace rimo
