#pragma once
// The gradient push button's arithmetic without any painting: the shade of a colour, the
// colours and order of a gradient face, the rectangles behind glyph and caption, the frame
// table of the owner drawing and the glyph-and-caption layout. TXFGradient and TXFBitBtn hold
// the state and draw what these say.

#include "widgets/tcolor.h"

#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QSize>

enum TGradientDirection { gdHorizontal, gdVertical };

// Bits of TXFGradientOptions.
enum TXFGradientOption { goGradient = 1, goHotButton = 2, goHotTrack = 4, goHotColor = 8 };
using TXFGradientOptions = int;
constexpr TXFGradientOptions kHotMask = goHotButton | goHotTrack | goHotColor;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

namespace rimo::xfbutton {

constexpr TColor kDefaultColor = 0x20000000u;
constexpr TColor kWindow = 0xFF000005u;
constexpr TColor kWindowFrame = 0xFF000006u;
constexpr TColor kBtnFace = 0xFF00000Fu;
constexpr TColor kBtnShadow = 0xFF000010u;
constexpr TColor kBtnHighlight = 0xFF000014u;
constexpr TColor kDefaultHotColor = 15717318u; // red 198, green 211, blue 239

struct Hls
{
    int h = 0;
    int l = 0;
    int s = 0;
    bool operator==(const Hls&) const = default;
};

// The classic integer conversion on the 0..240 scale (HLSMAX 240, RGBMAX 255); an achromatic
// colour has hue 160.
Hls rgbToHls(int r, int g, int b);
QRgb hlsToRgb(const Hls& hls);

// `base` (system colours through `palette`) with its luminance moved by `n`, kept within 0..240.
// The button face darkened by 50 is the button-shadow system colour itself.
TColor ShadeColor(TColor base, int n, const QPalette& palette);

// The eight settings of a gradient.
struct GradientSettings
{
    bool active = true;
    TGradientDirection direction = gdVertical;
    TXFGradientOptions options = goGradient;
    bool swapColors = false;
    TColor startColor = kWindow;
    TColor endColor = kDefaultColor;
    TColor hotColor = kDefaultColor;
    TColor stepColor = kDefaultColor;
    bool operator==(const GradientSettings&) const = default;
};

// What FillRect paints into its rectangle R, in this order.
struct FillPlan
{
    bool frame = false; // R filled with frameColor, the rest of the plan on R shrunk by one
    TColor frameColor = 0;
    bool innerFill = false; // the shrunk R filled with innerColor
    TColor innerColor = 0;
    enum Face { None, Gradient, Solid } face = None;
    TColor from = 0; // gradient: at the left (top); solid: the colour
    TColor to = 0;   // gradient: at the right (bottom)
};

// FillRect's choice for a face whose colour is `color`; `rightToLeft` is the canvas's reading
// order.
FillPlan fillRectPlan(const GradientSettings& g, TColor color, bool hotButton, bool downButton,
                      bool rightToLeft, const QPalette& palette);

// FillBack's rectangles: `outer` gets the gradient, `inner` is what is kept of the drawn face.
struct BackRects
{
    QRect outer;
    QRect inner;
    bool innerEmpty() const { return inner.width() <= 0 || inner.height() <= 0; }
};
BackRects fillBackRects(const QRect& rect, TXFGradientOptions options, int bevelWidth, int spaceWidth,
                        bool hotButton, bool downButton, bool softButton);

// The owner drawing's FillBack parameters for the Fine, Flat or neither drawing.
struct BackParams
{
    int bevelWidth = 0;
    int spaceWidth = 0;
    bool softButton = false;
    bool operator==(const BackParams&) const = default;
};
BackParams backParams(bool fine, bool flat, bool framed, bool down);

// Glyph and caption placed in `client`.
struct LayoutInput
{
    QRect client;
    QSize glyph; // one image of the strip; empty without a glyph
    QSize text;  // measured caption; empty without a caption
    TButtonLayout layout = blGlyphLeft;
    int margin = -1;
    int spacing = 4;
    bool rightToLeft = false;
    QPoint offset;         // the pressed shift
    bool stylesOn = false; // visual styles: the text is not shifted
};
struct LayoutResult
{
    QPoint glyphPos;
    QRect textRect;
};
LayoutResult calcButtonLayout(const LayoutInput& in);

// The width the caption may wrap in: the client width, less the glyph and the spacing beside
// it when word wrap is on and the glyph is left or right.
int captionWidth(int clientWidth, int glyphWidth, int spacing, TButtonLayout layout, bool wordWrap);

} // namespace rimo::xfbutton
