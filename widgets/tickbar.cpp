#include "widgets/tickbar.h"

#include <cmath>
#include <cstdlib>

namespace rimo::tickbar {

namespace {

// Nearest whole number with halves to the even neighbour (the default floating-point rounding
// mode), reduced to its lowest byte.
int roundToByte(double v)
{
    return int(static_cast<long long>(std::nearbyint(v)) & 0xFF);
}

} // namespace

std::vector<QRgb> rampColumns(TColor color, TColor tickColor, int width)
{
    if (width < 1)
        return {};
    const int r0 = int(color & 0xFF), g0 = int((color >> 8) & 0xFF), b0 = int((color >> 16) & 0xFF);
    const int r1 = int(tickColor & 0xFF), g1 = int((tickColor >> 8) & 0xFF),
              b1 = int((tickColor >> 16) & 0xFF);
    // Written as (delta / W) * 2 on purpose: the halves that the rounding sees depend on it.
    const double dr = double(r1 - r0) / width * 2;
    const double dg = double(g1 - g0) / width * 2;
    const double db = double(b1 - b0) / width * 2;
    const int half = width / 2;

    std::vector<QRgb> columns(size_t(width), qRgb(0, 0, 0));
    for (int i = 0; i <= half && i < width; ++i)
        columns[size_t(i)] =
            qRgb(roundToByte(r0 + i * dr), roundToByte(g0 + i * dg), roundToByte(b0 + i * db));
    // The right half starts on the middle column, so that column ends up exactly tickColor.
    for (int i = 0; i <= half && half + i < width; ++i)
        columns[size_t(half + i)] =
            qRgb(roundToByte(r1 - i * dr), roundToByte(g1 - i * dg), roundToByte(b1 - i * db));
    return columns;
}

Span advance(Motion& m, TtprStyle style, int tickWidth, int clientWidth)
{
    Span left;
    if (style == tprBouncer) {
        if (m.step > 0)
            left = {m.edgePos, m.step};
        else // the trailing edge of a tick moving left
            left = {m.edgePos + tickWidth + m.step, -m.step};
        m.edgePos += m.step;
        const int size = std::abs(m.step);
        if (m.edgePos >= clientWidth - tickWidth)
            m.step = -size;
        if (m.edgePos <= 0)
            m.step = size;
    } else {
        left = {m.edgePos, m.step};
        m.edgePos += m.step;
        if (m.edgePos >= clientWidth)
            m.edgePos = m.step - tickWidth; // re-enters at the left, partly hidden
    }
    return left;
}

} // namespace rimo::tickbar
