#pragma once
// The tick bar's arithmetic without any painting: the colour ramp of the tick image and the
// motion of the tick along the strip. TtprProgressBar holds the state and draws what these say.

#include "widgets/tcolor.h"

#include <QRgb>
#include <vector>

enum TtprStyle { tprDefault, tprBouncer };

namespace rimo::tickbar {

// Colour of each column of a tick image `width` pixels wide: `color` at the edges, exactly
// `tickColor` in the middle column. Channels are the bytes of the stored values, so a system
// colour ramps from its number, not from its current colour. Empty for a width below 1.
std::vector<QRgb> rampColumns(TColor color, TColor tickColor, int width);

struct Motion
{
    int edgePos = 0; // x of the tick's left edge
    int step = 3;    // signed: its size is the jump, its sign the direction
};

// A strip of the full client height; nothing to do when width <= 0.
struct Span
{
    int x = 0;
    int width = 0;
};

// Moves the tick one step in `style` and returns the strip it leaves behind, which is to be
// filled with the background before the tick image is copied to the new `edgePos`.
Span advance(Motion& m, TtprStyle style, int tickWidth, int clientWidth);

} // namespace rimo::tickbar
