#include "widgets/xfbuttonlogic.h"

#include <algorithm>

namespace rimo::xfbutton {

namespace {

constexpr int HLSMAX = 240;
constexpr int RGBMAX = 255;
constexpr int UNDEFINED_HUE = HLSMAX * 2 / 3;

int hueToRgb(int n1, int n2, int hue)
{
    if (hue < 0)
        hue += HLSMAX;
    if (hue > HLSMAX)
        hue -= HLSMAX;
    if (hue < HLSMAX / 6)
        return n1 + (((n2 - n1) * hue + (HLSMAX / 12)) / (HLSMAX / 6));
    if (hue < HLSMAX / 2)
        return n2;
    if (hue < (HLSMAX * 2) / 3)
        return n1 + (((n2 - n1) * (((HLSMAX * 2) / 3) - hue) + (HLSMAX / 12)) / (HLSMAX / 6));
    return n1;
}

int channel(int v)
{
    return std::clamp(v, 0, RGBMAX);
}

} // namespace

Hls rgbToHls(int r, int g, int b)
{
    const int cMax = std::max({r, g, b});
    const int cMin = std::min({r, g, b});
    Hls out;
    out.l = (((cMax + cMin) * HLSMAX) + RGBMAX) / (2 * RGBMAX);
    if (cMax == cMin) {
        out.s = 0;
        out.h = UNDEFINED_HUE;
        return out;
    }
    const int span = cMax - cMin;
    if (out.l <= HLSMAX / 2)
        out.s = ((span * HLSMAX) + ((cMax + cMin) / 2)) / (cMax + cMin);
    else
        out.s = ((span * HLSMAX) + ((2 * RGBMAX - cMax - cMin) / 2)) / (2 * RGBMAX - cMax - cMin);
    const int rDelta = (((cMax - r) * (HLSMAX / 6)) + (span / 2)) / span;
    const int gDelta = (((cMax - g) * (HLSMAX / 6)) + (span / 2)) / span;
    const int bDelta = (((cMax - b) * (HLSMAX / 6)) + (span / 2)) / span;
    if (r == cMax)
        out.h = bDelta - gDelta;
    else if (g == cMax)
        out.h = (HLSMAX / 3) + rDelta - bDelta;
    else
        out.h = ((2 * HLSMAX) / 3) + gDelta - rDelta;
    if (out.h < 0)
        out.h += HLSMAX;
    if (out.h > HLSMAX)
        out.h -= HLSMAX;
    return out;
}

QRgb hlsToRgb(const Hls& hls)
{
    const int l = hls.l;
    const int s = hls.s;
    if (s == 0) {
        const int v = channel((l * RGBMAX) / HLSMAX);
        return qRgb(v, v, v);
    }
    const int magic2 = l <= HLSMAX / 2 ? (l * (HLSMAX + s) + (HLSMAX / 2)) / HLSMAX
                                       : l + s - ((l * s) + (HLSMAX / 2)) / HLSMAX;
    const int magic1 = 2 * l - magic2;
    const int r = (hueToRgb(magic1, magic2, hls.h + (HLSMAX / 3)) * RGBMAX + (HLSMAX / 2)) / HLSMAX;
    const int g = (hueToRgb(magic1, magic2, hls.h) * RGBMAX + (HLSMAX / 2)) / HLSMAX;
    const int b = (hueToRgb(magic1, magic2, hls.h - (HLSMAX / 3)) * RGBMAX + (HLSMAX / 2)) / HLSMAX;
    return qRgb(channel(r), channel(g), channel(b));
}

TColor ShadeColor(TColor base, int n, const QPalette& palette)
{
    if (base == kBtnFace && n == -50)
        return kBtnShadow;
    const QColor c = toQColor(base, palette);
    Hls hls = rgbToHls(c.red(), c.green(), c.blue());
    hls.l = std::clamp(hls.l + n, 0, HLSMAX);
    const QRgb out = hlsToRgb(hls);
    return rgbColor(qRed(out), qGreen(out), qBlue(out));
}

FillPlan fillRectPlan(const GradientSettings& g, TColor color, bool hotButton, bool downButton,
                      bool rightToLeft, const QPalette& palette)
{
    FillPlan plan;
    const bool hot = hotButton && (g.options & kHotMask) != 0;
    TColor base = g.endColor != kDefaultColor ? g.endColor : color;
    if (hot && (g.options & goHotColor))
        base = g.hotColor != kDefaultColor ? g.hotColor : kDefaultHotColor;

    const bool hotTrack = hot && (g.options & goHotTrack);
    const bool hotButtonOn = hot && (g.options & goHotButton);
    if (hotTrack) {
        plan.frame = true;
        plan.frameColor = ShadeColor(base, -50, palette);
        if (downButton)
            base = ShadeColor(base, -25, palette);
        if (!(g.options & goHotButton)) {
            plan.innerFill = true;
            plan.innerColor = base;
            return plan;
        }
    }
    if ((g.options & goGradient) || hotButtonOn) {
        const TColor end = ShadeColor(base, -25, palette);
        const bool mirror = rightToLeft && g.direction == gdHorizontal;
        const bool flip = hotButtonOn ^ g.swapColors ^ (!(g.options & goGradient) || hotTrack);
        plan.face = FillPlan::Gradient;
        plan.from = flip == mirror ? g.startColor : end;
        plan.to = flip == mirror ? end : g.startColor;
        return plan;
    }
    plan.face = FillPlan::Solid;
    plan.from = base;
    return plan;
}

BackRects fillBackRects(const QRect& rect, TXFGradientOptions options, int bevelWidth, int spaceWidth,
                        bool hotButton, bool downButton, bool softButton)
{
    BackRects out;
    out.outer = rect.adjusted(bevelWidth, bevelWidth, -bevelWidth, -bevelWidth);
    out.inner = out.outer;
    if (softButton) {
        const bool tracking = hotButton && (options & goHotTrack);
        if (downButton || tracking)
            out.outer.adjust(0, 0, 1, 1);
        if (!downButton || tracking)
            out.outer.adjust(-1, -1, 0, 0);
    }
    out.inner.adjust(spaceWidth, spaceWidth, -spaceWidth, -spaceWidth);
    return out;
}

BackParams backParams(bool fine, bool flat, bool framed, bool down)
{
    if (fine)
        return {1 + (framed ? 1 : 0), 1, false};
    if (flat)
        return {framed ? 1 : 0, 2, false};
    return {2 + (framed && !down ? 1 : 0), framed && down ? 1 : 0, !down};
}

LayoutResult calcButtonLayout(const LayoutInput& in)
{
    TButtonLayout layout = in.layout;
    if (in.rightToLeft) {
        if (layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (layout == blGlyphRight)
            layout = blGlyphLeft;
    }
    const QSize client = in.client.size();
    const QSize glyph = in.glyph.isValid() ? in.glyph : QSize(0, 0);
    const QSize text = in.text.isValid() ? in.text : QSize(0, 0);
    const bool across = layout == blGlyphLeft || layout == blGlyphRight;
    QPoint glyphPos;
    QPoint textPos;
    if (across) {
        glyphPos.setY((client.height() - glyph.height() + 1) / 2);
        textPos.setY((client.height() - text.height() + 1) / 2);
    } else {
        glyphPos.setX((client.width() - glyph.width() + 1) / 2);
        textPos.setX((client.width() - text.width() + 1) / 2);
    }
    // Along the layout axis.
    const int clientLen = across ? client.width() : client.height();
    const int glyphLen = across ? glyph.width() : glyph.height();
    const int textLen = across ? text.width() : text.height();
    int margin = in.margin;
    int spacing = in.spacing;
    if (text.width() == 0 || glyph.width() == 0)
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (clientLen - (glyphLen + textLen)) / 3;
            spacing = margin;
        } else {
            margin = (clientLen - (glyphLen + spacing + textLen) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = ((clientLen - (margin + glyphLen)) - textLen) / 2;
    }
    int glyphAt = 0;
    int textAt = 0;
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphAt = margin;
        textAt = glyphAt + glyphLen + spacing;
    } else {
        glyphAt = clientLen - margin - glyphLen;
        textAt = glyphAt - spacing - textLen;
    }
    if (across) {
        glyphPos.setX(glyphAt);
        textPos.setX(textAt);
    } else {
        glyphPos.setY(glyphAt);
        textPos.setY(textAt);
    }
    LayoutResult out;
    out.glyphPos = glyphPos + in.client.topLeft() + in.offset;
    QPoint textOrigin = textPos + in.client.topLeft();
    if (!in.stylesOn)
        textOrigin += in.offset;
    out.textRect = QRect(textOrigin, text);
    return out;
}

int captionWidth(int clientWidth, int glyphWidth, int spacing, TButtonLayout layout, bool wordWrap)
{
    if (wordWrap && (layout == blGlyphLeft || layout == blGlyphRight))
        return clientWidth - (glyphWidth + spacing);
    return clientWidth;
}

} // namespace rimo::xfbutton
