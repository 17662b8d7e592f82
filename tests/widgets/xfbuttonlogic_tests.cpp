// The gradient push button's arithmetic without a window: shades, the face's colours and order,
// the rectangles behind the drawn face, the frame table, the layout and the shared glyph slots.
#include "widgets/xfbuttonlogic.h"
#include "widgets/xfglyphs.h"

#include <QImage>
#include <QPalette>
#include <gtest/gtest.h>

using namespace rimo::xfbutton;
using rimo::rgbColor;
using rimo::TColor;

namespace {

// The classic button colours, so that system colours resolve to known values.
QPalette classicPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(212, 208, 200));
    pal.setColor(QPalette::Dark, QColor(128, 128, 128));
    pal.setColor(QPalette::Light, QColor(255, 255, 255));
    pal.setColor(QPalette::Base, QColor(255, 255, 255));
    return pal;
}

} // namespace

TEST(ShadeColor, MovesLuminanceOnTheClassicScale)
{
    const QPalette pal = classicPalette();
    struct Case
    {
        const char* name;
        TColor base;
        int n;
        TColor expected;
    };
    const Case cases[] = {
        {"white darker", rgbColor(255, 255, 255), -25, rgbColor(228, 228, 228)},
        {"white lighter stays white", rgbColor(255, 255, 255), 25, rgbColor(255, 255, 255)},
        {"black darker stays black", rgbColor(0, 0, 0), -25, rgbColor(0, 0, 0)},
        {"black lighter", rgbColor(0, 0, 0), 25, rgbColor(26, 26, 26)},
        {"red", rgbColor(255, 0, 0), -25, rgbColor(202, 0, 0)},
        {"green", rgbColor(0, 255, 0), -25, rgbColor(0, 202, 0)},
        {"blue", rgbColor(0, 0, 255), -25, rgbColor(0, 0, 202)},
        {"button face through the palette", kBtnFace, -25, rgbColor(189, 183, 170)},
        {"button face -50 is the shadow colour itself", kBtnFace, -50, kBtnShadow},
        {"window (white) through the palette", kWindow, -25, rgbColor(228, 228, 228)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShadeColor(c.base, c.n, pal), c.expected) << c.name;
}

TEST(ShadeColor, ConvertsToAndFromHueLuminanceSaturation)
{
    EXPECT_EQ(rgbToHls(255, 0, 0), (Hls{0, 120, 240}));
    EXPECT_EQ(rgbToHls(0, 0, 255), (Hls{160, 120, 240}));
    EXPECT_EQ(rgbToHls(255, 255, 255), (Hls{160, 240, 0}));
    EXPECT_EQ(rgbToHls(212, 208, 200), (Hls{27, 194, 29}));
    // Round trips of pure colours, black and white are exact; mid greys lose a step (128 -> 127).
    for (QRgb c : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255), qRgb(0, 0, 0)}) {
        const Hls hls = rgbToHls(qRed(c), qGreen(c), qBlue(c));
        EXPECT_EQ(hlsToRgb(hls) | 0xFF000000u, c | 0xFF000000u) << std::hex << c;
    }
    EXPECT_EQ(hlsToRgb(rgbToHls(128, 128, 128)), qRgb(127, 127, 127));
}

TEST(FillRectPlan, OrdersTheGradientByOptionsSwapHotAndReadingOrder)
{
    const QPalette pal = classicPalette();
    const TColor face = kBtnFace;
    const TColor start = kWindow;
    const TColor endColor = 13041634;
    const TColor shadedEnd = ShadeColor(endColor, -25, pal);
    enum Order { StartToEnd, EndToStart };
    struct Case
    {
        const char* name;
        TXFGradientOptions options;
        bool swap;
        bool hot;
        bool rtl;
        TGradientDirection direction;
        Order order;
    };
    const Case cases[] = {
        {"plain, left to right", goGradient, false, false, false, gdHorizontal, StartToEnd},
        {"swapped", goGradient, true, false, false, gdHorizontal, EndToStart},
        {"right to left mirrors a horizontal gradient", goGradient, false, false, true, gdHorizontal,
         EndToStart},
        {"right to left leaves a vertical one", goGradient, false, false, true, gdVertical, StartToEnd},
        {"swapped and mirrored", goGradient, true, false, true, gdHorizontal, StartToEnd},
        {"hot button reverses", goGradient | goHotButton, false, true, false, gdHorizontal, EndToStart},
        {"hot button, not hot", goGradient | goHotButton, false, false, false, gdHorizontal, StartToEnd},
        {"hot button only, hot: no gradient option flips back", goHotButton, false, true, false, gdHorizontal,
         StartToEnd},
        {"hot colour does not reverse", goGradient | goHotColor, false, false, false, gdHorizontal,
         StartToEnd},
        {"hot colour swapped", goGradient | goHotColor, true, false, false, gdHorizontal, EndToStart},
        {"hot button, swapped, right to left", goGradient | goHotButton, true, true, true, gdHorizontal,
         EndToStart},
    };
    for (const Case& c : cases) {
        GradientSettings g;
        g.options = c.options;
        g.swapColors = c.swap;
        g.direction = c.direction;
        g.endColor = endColor;
        const FillPlan plan = fillRectPlan(g, face, c.hot, false, c.rtl, pal);
        ASSERT_EQ(plan.face, FillPlan::Gradient) << c.name;
        EXPECT_FALSE(plan.frame) << c.name;
        EXPECT_EQ(plan.from, c.order == StartToEnd ? start : shadedEnd) << c.name;
        EXPECT_EQ(plan.to, c.order == StartToEnd ? shadedEnd : start) << c.name;
    }
}

TEST(FillRectPlan, ChoosesTheEndColourFromFaceEndAndHotColours)
{
    const QPalette pal = classicPalette();
    GradientSettings g;
    g.options = goGradient | goHotColor;
    // End colour default: the face colour passed in.
    EXPECT_EQ(fillRectPlan(g, kBtnFace, false, false, false, pal).to, ShadeColor(kBtnFace, -25, pal));
    g.endColor = 13041634;
    EXPECT_EQ(fillRectPlan(g, kBtnFace, false, false, false, pal).to, ShadeColor(13041634, -25, pal));
    // Hot with the default hot colour, then with a set one.
    EXPECT_EQ(fillRectPlan(g, kBtnFace, true, false, false, pal).to, ShadeColor(15717318, -25, pal));
    g.hotColor = 8454143;
    EXPECT_EQ(fillRectPlan(g, kBtnFace, true, false, false, pal).to, ShadeColor(8454143, -25, pal));
    // Without a hot option the hot state means nothing.
    g.options = goGradient;
    EXPECT_EQ(fillRectPlan(g, kBtnFace, true, false, false, pal).to, ShadeColor(13041634, -25, pal));
}

TEST(FillRectPlan, HotTrackFramesAndFillsOrGradsTheInside)
{
    const QPalette pal = classicPalette();
    GradientSettings g;
    g.endColor = rgbColor(0, 0, 255);

    // Hot tracking alone: a frame and a plain inside, darker while pressed; no gradient.
    g.options = goGradient | goHotTrack;
    FillPlan plan = fillRectPlan(g, kBtnFace, true, false, false, pal);
    EXPECT_TRUE(plan.frame);
    EXPECT_EQ(plan.frameColor, ShadeColor(g.endColor, -50, pal));
    EXPECT_TRUE(plan.innerFill);
    EXPECT_EQ(plan.innerColor, g.endColor);
    EXPECT_EQ(plan.face, FillPlan::None);
    plan = fillRectPlan(g, kBtnFace, true, true, false, pal);
    EXPECT_EQ(plan.innerColor, ShadeColor(g.endColor, -25, pal));

    // With the hot button too: a frame and then the gradient (hot button and hot track cancel out).
    g.options = goGradient | goHotTrack | goHotButton;
    plan = fillRectPlan(g, kBtnFace, true, false, false, pal);
    EXPECT_TRUE(plan.frame);
    EXPECT_FALSE(plan.innerFill);
    EXPECT_EQ(plan.face, FillPlan::Gradient);
    EXPECT_EQ(plan.from, g.startColor);

    // Not hot: no frame.
    EXPECT_FALSE(fillRectPlan(g, kBtnFace, false, false, false, pal).frame);

    // No gradient option and not hot: the plain end colour.
    g.options = goHotButton;
    plan = fillRectPlan(g, kBtnFace, false, false, false, pal);
    EXPECT_EQ(plan.face, FillPlan::Solid);
    EXPECT_EQ(plan.from, g.endColor);
}

TEST(FillBackRects, ShrinksByBevelAndSpaceAndWidensSoftButtons)
{
    const QRect rect(0, 0, 100, 30);
    struct Case
    {
        const char* name;
        TXFGradientOptions options;
        int bevel, space;
        bool hot, down, soft;
        QRect outer, inner;
    };
    const Case cases[] = {
        {"hard", goGradient, 2, 1, false, false, false, QRect(2, 2, 96, 26), QRect(3, 3, 94, 24)},
        {"soft, up: left and top out", goGradient, 2, 0, false, false, true, QRect(1, 1, 97, 27),
         QRect(2, 2, 96, 26)},
        {"soft, down: right and bottom out", goGradient, 2, 0, false, true, true, QRect(2, 2, 97, 27),
         QRect(2, 2, 96, 26)},
        {"soft, hot tracked: both", goHotTrack, 2, 0, true, false, true, QRect(1, 1, 98, 28),
         QRect(2, 2, 96, 26)},
        {"soft, hot without tracking", goHotColor, 2, 0, true, true, true, QRect(2, 2, 97, 27),
         QRect(2, 2, 96, 26)},
    };
    for (const Case& c : cases) {
        const BackRects r = fillBackRects(rect, c.options, c.bevel, c.space, c.hot, c.down, c.soft);
        EXPECT_EQ(r.outer, c.outer) << c.name;
        EXPECT_EQ(r.inner, c.inner) << c.name;
        EXPECT_FALSE(r.innerEmpty()) << c.name;
    }
    EXPECT_TRUE(fillBackRects(QRect(0, 0, 6, 20), goGradient, 2, 1, false, false, false).innerEmpty());
    EXPECT_TRUE(fillBackRects(QRect(0, 0, 20, 4), goGradient, 2, 0, false, false, false).innerEmpty());
}

TEST(BackParams, FineFlatOrNeither)
{
    struct Case
    {
        bool fine, flat, framed, down;
        BackParams expected;
    };
    const Case cases[] = {
        {true, false, false, false, {1, 1, false}}, {true, false, true, true, {2, 1, false}},
        {true, true, true, false, {2, 1, false}},   {false, true, false, false, {0, 2, false}},
        {false, true, true, true, {1, 2, false}},   {false, false, false, false, {2, 0, true}},
        {false, false, true, false, {3, 0, true}},  {false, false, true, true, {2, 1, false}},
        {false, false, false, true, {2, 0, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(backParams(c.fine, c.flat, c.framed, c.down), c.expected)
            << c.fine << c.flat << c.framed << c.down;
}

TEST(ButtonLayout, PlacesGlyphAndCaption)
{
    struct Case
    {
        const char* name;
        QSize client;
        QSize glyph, text;
        TButtonLayout layout;
        int margin, spacing;
        bool rtl;
        QPoint glyphPos;
        QPoint textPos;
    };
    const QSize g(16, 16);
    const QSize t(40, 13);
    const QSize none(0, 0);
    const Case cases[] = {
        {"group centred", {100, 30}, g, t, blGlyphLeft, -1, 4, false, {20, 7}, {40, 9}},
        {"thirds", {100, 30}, g, t, blGlyphLeft, -1, -1, false, {14, 7}, {44, 9}},
        {"given margin, spacing spread", {100, 30}, g, t, blGlyphLeft, 5, -1, false, {5, 7}, {40, 9}},
        {"given margin and spacing", {100, 30}, g, t, blGlyphLeft, 5, 4, false, {5, 7}, {25, 9}},
        {"glyph right", {100, 30}, g, t, blGlyphRight, -1, 4, false, {64, 7}, {20, 9}},
        {"right to left swaps left", {100, 30}, g, t, blGlyphLeft, -1, 4, true, {64, 7}, {20, 9}},
        {"right to left swaps right", {100, 30}, g, t, blGlyphRight, -1, 4, true, {20, 7}, {40, 9}},
        {"glyph top", {60, 60}, g, t, blGlyphTop, -1, 4, false, {22, 14}, {10, 34}},
        {"glyph bottom", {60, 60}, g, t, blGlyphBottom, -1, 4, false, {22, 30}, {10, 13}},
        {"right to left leaves top", {60, 60}, g, t, blGlyphTop, -1, 4, true, {22, 14}, {10, 34}},
        {"no caption: no spacing", {100, 30}, g, none, blGlyphLeft, -1, 4, false, {42, 7}, {58, 15}},
        {"no glyph: no spacing", {100, 30}, none, t, blGlyphLeft, -1, 4, false, {30, 15}, {30, 9}},
    };
    for (const Case& c : cases) {
        LayoutInput in;
        in.client = QRect(QPoint(0, 0), c.client);
        in.glyph = c.glyph;
        in.text = c.text;
        in.layout = c.layout;
        in.margin = c.margin;
        in.spacing = c.spacing;
        in.rightToLeft = c.rtl;
        const LayoutResult r = calcButtonLayout(in);
        EXPECT_EQ(r.glyphPos, c.glyphPos) << c.name;
        EXPECT_EQ(r.textRect.topLeft(), c.textPos) << c.name;
        EXPECT_EQ(r.textRect.size(), c.text) << c.name;
    }
}

TEST(ButtonLayout, MovesByTheClientOriginAndThePressedShift)
{
    LayoutInput in;
    in.client = QRect(2, 3, 100, 30);
    in.glyph = QSize(16, 16);
    in.text = QSize(40, 13);
    in.offset = QPoint(1, 1);
    LayoutResult r = calcButtonLayout(in);
    EXPECT_EQ(r.glyphPos, QPoint(23, 11));
    EXPECT_EQ(r.textRect.topLeft(), QPoint(43, 13));
    // With visual styles only the glyph takes the shift.
    in.stylesOn = true;
    r = calcButtonLayout(in);
    EXPECT_EQ(r.glyphPos, QPoint(23, 11));
    EXPECT_EQ(r.textRect.topLeft(), QPoint(42, 12));
    // Word wrap beside the glyph narrows the caption.
    EXPECT_EQ(captionWidth(100, 16, 4, blGlyphRight, true), 80);
    EXPECT_EQ(captionWidth(100, 16, 4, blGlyphTop, true), 100);
    EXPECT_EQ(captionWidth(100, 16, 4, blGlyphLeft, false), 100);
}

TEST(GlyphList, TakesTheLowestFreeSlotAgain)
{
    auto list = TXFGlyphList::CreateSize(4, 4);
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(Qt::red);
    EXPECT_EQ(list->AddMasked(img, Qt::white), 0);
    EXPECT_EQ(list->AddMasked(img, Qt::white), 1);
    EXPECT_EQ(list->AddMasked(img, Qt::white), 2);
    list->Delete(1);
    list->Delete(0);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_TRUE(list->image(1).isNull());
    EXPECT_EQ(list->AddMasked(img, Qt::white), 0);
    EXPECT_EQ(list->AddMasked(img, Qt::white), 1);
    EXPECT_EQ(list->AddMasked(img, Qt::white), 3); // none free: the list grows
    EXPECT_EQ(list->Count(), 4);
    EXPECT_EQ(list->Used(), (std::vector<bool>{true, true, true, true}));
}

TEST(GlyphList, MasksTheTransparentColour)
{
    auto list = TXFGlyphList::CreateSize(2, 1);
    QImage img(2, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(212, 208, 200));
    img.setPixel(1, 0, qRgb(0, 0, 0));
    const QImage stored = list->image(list->AddMasked(img, QColor(212, 208, 200)));
    EXPECT_EQ(qAlpha(stored.pixel(0, 0)), 0);
    EXPECT_EQ(stored.pixel(1, 0), qRgb(0, 0, 0));
}

TEST(GlyphCache, SharesOneListPerSize)
{
    TXFGlyphCache cache;
    TXFGlyphList* a = cache.GetList(16, 16);
    EXPECT_EQ(cache.GetList(16, 16), a);
    TXFGlyphList* b = cache.GetList(16, 15);
    EXPECT_NE(b, a);
    EXPECT_EQ(cache.GetList(16, 15), b);
    EXPECT_EQ(cache.listCount(), 2);
}

TEST(GlyphStates, DownFallsBackAndDisabledIsEmbossedOrRecoloured)
{
    const QPalette pal = classicPalette();
    const QRgb face = qRgb(212, 208, 200);
    const QRgb olive = qRgb(128, 128, 0); // the strip's transparent colour (bottom-left)
    // A strip of two 3x3 images: up (a black dot in the middle), disabled (white and grey).
    QImage strip(6, 3, QImage::Format_RGB32);
    strip.fill(olive);
    strip.setPixel(1, 1, qRgb(0, 0, 0));
    strip.setPixel(3, 0, qRgb(255, 255, 255));
    strip.setPixel(4, 1, qRgb(128, 128, 128));

    const QImage up = stateImage(strip, 2, bsUp, pal);
    EXPECT_EQ(up.pixel(0, 0), face);
    EXPECT_EQ(up.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(stateImage(strip, 2, bsDown, pal), up);

    const QImage disabled = stateImage(strip, 2, bsDisabled, pal);
    EXPECT_EQ(disabled.pixel(0, 0), qRgb(255, 255, 255)); // white: the highlight colour
    EXPECT_EQ(disabled.pixel(1, 1), qRgb(128, 128, 128)); // grey: the shadow colour
    EXPECT_EQ(disabled.pixel(2, 2), face);

    // One image: the shape in the highlight colour one pixel right and down, the shadow at its place.
    const QImage embossed = stateImage(strip.copy(0, 0, 3, 3), 1, bsDisabled, pal);
    EXPECT_EQ(embossed.pixel(1, 1), qRgb(128, 128, 128));
    EXPECT_EQ(embossed.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(embossed.pixel(0, 0), face);
}
