// The gradient push button on screen: its settings object, and what a shown button paints as the
// mouse, the keyboard and its settings drive it (read back with QWidget::grab).
#include "widgets/xfbitbtn.h"

#include <QEnterEvent>
#include <QPainter>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace rimo::xfbutton;
using rimo::rgbColor;
using rimo::TColor;

namespace {

QPalette classicPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Button, QColor(212, 208, 200));
    pal.setColor(QPalette::Dark, QColor(128, 128, 128));
    pal.setColor(QPalette::Light, QColor(250, 250, 250));
    pal.setColor(QPalette::Midlight, QColor(223, 223, 223));
    pal.setColor(QPalette::Shadow, QColor(64, 64, 64));
    pal.setColor(QPalette::ButtonText, QColor(0, 0, 0));
    pal.setColor(QPalette::Base, QColor(255, 255, 255));
    pal.setColor(QPalette::Window, QColor(255, 255, 255));
    return pal;
}

QColor rgbOf(TColor c)
{
    return rimo::toQColor(c, classicPalette());
}

bool near(QRgb a, const QColor& b, int tolerance = 3)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

std::string describe(QRgb c)
{
    return std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c));
}

// A 8x8 strip image: a red 4x4 square on olive (the transparent colour).
QImage redSquareGlyph()
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 0));
    QPainter(&img).fillRect(2, 2, 4, 4, Qt::red);
    return img;
}

QRect boundsOf(const QImage& img, QRgb color)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) | 0xFF000000u) == (color | 0xFF000000u))
                r |= QRect(x, y, 1, 1);
    return r;
}

class XFBitBtnTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = std::make_unique<QWidget>();
        host->setPalette(classicPalette());
        host->resize(300, 120);
        btn = new TXFBitBtn(host.get());
        btn->setFocusPolicy(Qt::NoFocus);
        btn->setGeometry(10, 10, 120, 30);
        btn->setText(QStringLiteral("OK"));
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }

    // The date picker's settings.
    void pickerSettings()
    {
        btn->setFine(true);
        btn->setFlat(true);
        TXFGradient* g = btn->Gradient();
        g->setDirection(gdHorizontal);
        g->setEndColor(13041634);
        g->setHotColor(8454143);
        g->setOptions(goGradient | goHotColor);
    }

    QImage shot() const { return btn->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The face's left- and rightmost gradient columns (Fine and not framed: one pixel in).
    QRgb left() const { return shot().pixel(1, 3); }
    QRgb right() const { return shot().pixel(btn->width() - 2, 3); }

    void enter()
    {
        QEnterEvent e(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(btn, &e);
    }
    void leave()
    {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(btn, &e);
    }

    std::unique_ptr<QWidget> host;
    TXFBitBtn* btn = nullptr;
};

} // namespace

TEST(XFGradient, DefaultsAndTheButtonOptions)
{
    TXFGradient g(nullptr);
    EXPECT_TRUE(g.Active());
    EXPECT_EQ(g.Direction(), gdVertical);
    EXPECT_EQ(g.Options(), goGradient);
    EXPECT_FALSE(g.SwapColors());
    EXPECT_EQ(g.StartColor(), 0xFF000005u);
    EXPECT_EQ(g.EndColor(), kDefaultColor);
    EXPECT_EQ(g.HotColor(), kDefaultColor);
    EXPECT_EQ(g.StepColor(), kDefaultColor);
    EXPECT_EQ(g.DefaultHotColor(), 15717318u);
    EXPECT_TRUE(g.IsAvailable());
    EXPECT_TRUE(g.IsActive(false));
    EXPECT_FALSE(g.IsHotActive());

    TXFGradientButton b(nullptr);
    EXPECT_EQ(b.Options(), goGradient | goHotButton);
    EXPECT_TRUE(b.IsHotActive());
    b.setActive(false);
    EXPECT_FALSE(b.IsActive(true));
    EXPECT_FALSE(b.IsHotActive());
}

TEST(XFGradient, SettersNotifyOnlyOnChangeAndAssignNever)
{
    TXFGradient g(nullptr);
    int notices = 0;
    g.OnChange = [&](TXFGradient* sender) {
        EXPECT_EQ(sender, &g);
        ++notices;
    };
    g.setActive(true);
    g.setDirection(gdVertical);
    g.setOptions(goGradient);
    g.setStartColor(0xFF000005u);
    EXPECT_EQ(notices, 0);
    g.setSwapColors(true);
    g.setEndColor(1);
    g.setHotColor(2);
    g.setStepColor(3);
    g.setDirection(gdHorizontal);
    EXPECT_EQ(notices, 5);

    TXFGradientButton other(nullptr);
    other.Assign(g);
    EXPECT_EQ(other.settings(), g.settings());
    g.Assign(TXFGradient(nullptr));
    EXPECT_EQ(notices, 5);

    EXPECT_FALSE(g.Change(nullptr));
    EXPECT_TRUE(g.Change(&other));
    EXPECT_EQ(notices, 6);
    EXPECT_EQ(g.settings(), other.settings());
    EXPECT_FALSE(g.Change(&other));
    EXPECT_EQ(notices, 6);
}

TEST(XFGradient, FillStepUsesTheStepColourAndRestoresTheEndColour)
{
    TXFGradient g(nullptr);
    g.setDirection(gdHorizontal);
    g.setStartColor(rgbColor(255, 255, 255));
    g.setEndColor(rgbColor(0, 0, 255));
    g.setStepColor(rgbColor(255, 0, 0));
    QImage canvas(200, 10, QImage::Format_ARGB32);
    canvas.fill(QColor(212, 208, 200));
    g.FillStep(canvas, false, canvas.rect(), rgbColor(212, 208, 200), 0, 1, false, false, false);
    EXPECT_TRUE(near(canvas.pixel(199, 5), QColor(202, 0, 0))) << describe(canvas.pixel(199, 5));
    EXPECT_EQ(g.EndColor(), rgbColor(0, 0, 255));
}

TEST_F(XFBitBtnTest, GradientRunsFromStartToTheDarkenedEndAndReverses)
{
    TXFGradient* g = btn->Gradient();
    btn->setFine(true);
    g->setOptions(goGradient);
    g->setDirection(gdHorizontal);
    g->setStartColor(rgbColor(255, 255, 255));
    g->setEndColor(rgbColor(0, 0, 255));
    const QColor start(255, 255, 255);
    const QColor end(0, 0, 202);
    struct Case
    {
        const char* name;
        bool swap;
        Qt::LayoutDirection direction;
        QColor left, right;
    };
    const Case cases[] = {
        {"left to right", false, Qt::LeftToRight, start, end},
        {"swapped", true, Qt::LeftToRight, end, start},
        {"right to left", false, Qt::RightToLeft, end, start},
        {"swapped, right to left", true, Qt::RightToLeft, start, end},
    };
    for (const Case& c : cases) {
        g->setSwapColors(c.swap);
        btn->setLayoutDirection(c.direction);
        EXPECT_TRUE(near(left(), c.left)) << c.name << ": " << describe(left());
        EXPECT_TRUE(near(right(), c.right)) << c.name << ": " << describe(right());
    }
}

TEST_F(XFBitBtnTest, PickerButtonTakesTheHotColourWhileTheMouseIsOver)
{
    pickerSettings();
    const QColor end = rgbOf(ShadeColor(13041634, -25, classicPalette()));
    const QColor hot = rgbOf(ShadeColor(8454143, -25, classicPalette()));
    EXPECT_TRUE(near(left(), QColor(255, 255, 255))) << describe(left());
    EXPECT_TRUE(near(right(), end)) << describe(right());
    int enters = 0;
    int leaves = 0;
    btn->OnMouseEnter = [&](QObject*) { ++enters; };
    btn->OnMouseLeave = [&](QObject*) { ++leaves; };
    enter();
    EXPECT_TRUE(btn->mouseInControl());
    EXPECT_TRUE(near(right(), hot)) << describe(right());
    leave();
    EXPECT_FALSE(btn->mouseInControl());
    EXPECT_TRUE(near(right(), end)) << describe(right());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
    // The cancel button of the picker: the same, reversed.
    btn->Gradient()->setSwapColors(true);
    EXPECT_TRUE(near(left(), end)) << describe(left());
    // Left at default, the hot colour is 15717318.
    btn->Gradient()->setSwapColors(false);
    btn->Gradient()->setHotColor(kDefaultColor);
    enter();
    EXPECT_TRUE(near(right(), rgbOf(ShadeColor(15717318, -25, classicPalette())))) << describe(right());
}

TEST_F(XFBitBtnTest, TooSmallForAGradientStillPaintsFrameAndCaption)
{
    btn->setText(QStringLiteral("WWWW"));
    QFont f = btn->font();
    f.setStyleStrategy(QFont::NoAntialias);
    btn->setFont(f);
    btn->setGeometry(10, 10, 60, 4); // no inner rectangle with the bevel of 2 on each side
    btn->Gradient()->setEndColor(rgbColor(0, 0, 255));
    const QImage withGradient = shot();
    btn->Gradient()->setActive(false);
    const QImage classic = shot();
    EXPECT_EQ(withGradient, classic);
    EXPECT_EQ(classic.pixel(0, 0), qRgb(250, 250, 250));     // the bevel's highlight
    EXPECT_TRUE(boundsOf(classic, qRgb(0, 0, 0)).isValid()); // caption pixels
}

TEST_F(XFBitBtnTest, CaptionPixelsOfTheFaceColourLetTheGradientThrough)
{
    QFont f = btn->font();
    f.setStyleStrategy(QFont::NoAntialias);
    btn->setFont(f);
    QPalette pal = classicPalette();
    pal.setColor(QPalette::ButtonText, pal.color(QPalette::Button));
    btn->setPalette(pal);
    btn->Gradient()->setDirection(gdHorizontal);
    btn->Gradient()->setEndColor(rgbColor(0, 0, 255));
    btn->setText(QStringLiteral("Caption"));
    const QImage captioned = shot();
    btn->setText(QString());
    EXPECT_EQ(captioned, shot());
    // Painted in black, the caption stays.
    btn->setPalette(classicPalette());
    btn->setText(QStringLiteral("Caption"));
    EXPECT_TRUE(boundsOf(shot(), qRgb(0, 0, 0)).isValid());
}

TEST_F(XFBitBtnTest, SettingsToTheirCurrentValuesDoNotRepaint)
{
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    btn->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;
    btn->setFine(false);
    btn->setFlat(false);
    btn->Gradient()->setOptions(btn->Gradient()->Options());
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    btn->setFine(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 1000));
    counter.paints = 0;
    btn->Gradient()->setEndColor(rgbColor(1, 2, 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 1000));
    // Without a hot option, entering does not repaint.
    btn->Gradient()->setOptions(goGradient);
    QCoreApplication::processEvents();
    counter.paints = 0;
    enter();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    btn->removeEventFilter(&counter);
}

TEST_F(XFBitBtnTest, PressingShiftsGlyphAndCaptionByOnePixel)
{
    btn->setText(QString());
    btn->setGlyph(redSquareGlyph());
    const QRect up = boundsOf(shot(), qRgb(255, 0, 0));
    ASSERT_EQ(up.size(), QSize(4, 4));
    QTest::mousePress(btn, Qt::LeftButton, {}, QPoint(20, 15));
    ASSERT_TRUE(btn->isDown());
    const QImage pressed = shot();
    EXPECT_EQ(boundsOf(pressed, qRgb(255, 0, 0)), up.translated(1, 1));
    // The pressed frame: one pixel of the button shadow colour around the face.
    EXPECT_EQ(pressed.pixel(0, 15), qRgb(128, 128, 128));
    QTest::mouseRelease(btn, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_EQ(boundsOf(shot(), qRgb(255, 0, 0)), up);
}

TEST_F(XFBitBtnTest, DisabledGlyphIsEmbossedAndTheCaptionDrawnTwice)
{
    btn->Gradient()->setStartColor(rgbColor(0, 160, 0));
    btn->Gradient()->setEndColor(rgbColor(0, 0, 160));
    btn->setGlyph(redSquareGlyph());
    btn->setText(QStringLiteral("II"));
    QFont f = btn->font();
    f.setStyleStrategy(QFont::NoAntialias);
    btn->setFont(f);
    const QRect glyph = boundsOf(shot(), qRgb(255, 0, 0));
    ASSERT_EQ(glyph.size(), QSize(4, 4));
    btn->setEnabled(false);
    const QImage img = shot();
    EXPECT_FALSE(boundsOf(img, qRgb(255, 0, 0)).isValid());
    EXPECT_FALSE(boundsOf(img, qRgb(0, 0, 0)).isValid()); // no caption in the text colour
    // The glyph's shape in the shadow colour at its place, the highlight one pixel right and down.
    EXPECT_EQ(img.pixel(glyph.topLeft()), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(glyph.bottomRight() + QPoint(1, 1)), qRgb(250, 250, 250));
    // The caption: shadow and highlight, right of the glyph.
    const QImage captionArea =
        img.copy(glyph.right() + 2, 3, img.width() - glyph.right() - 5, img.height() - 6);
    const QRect shadow = boundsOf(captionArea, qRgb(128, 128, 128));
    const QRect light = boundsOf(captionArea, qRgb(250, 250, 250));
    ASSERT_TRUE(shadow.isValid());
    EXPECT_EQ(light.bottomRight(), shadow.bottomRight() + QPoint(1, 1));
}

TEST_F(XFBitBtnTest, GlyphSlotsAreFreedWithTheButton)
{
    const QImage glyph = redSquareGlyph();
    btn->setGlyph(glyph);
    (void)shot();
    TXFGlyphList* list = glyphCache().GetList(8, 8);
    const int before = list->Count();
    {
        TXFBitBtn other(host.get());
        other.setGeometry(150, 10, 60, 30);
        other.setGlyph(glyph);
        other.show();
        (void)other.grab();
        EXPECT_EQ(list->Count(), before + 1);
        other.setEnabled(false);
        (void)other.grab();
        EXPECT_EQ(list->Count(), before + 2);
    }
    EXPECT_EQ(list->Count(), before);
    btn->setGlyph(QImage());
    EXPECT_EQ(list->Count(), before - 1);
}

// Glyph buttons in every layout, enabled and disabled, with the picker's gradient: a picture for a
// reviewer, written only when RIMO_BUTTON_SHOTS names a folder.
TEST(XFBitBtnShots, EveryLayoutEnabledAndDisabled)
{
    const QString folder = qEnvironmentVariable("RIMO_BUTTON_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "RIMO_BUTTON_SHOTS not set";
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(qRgb(128, 128, 0));
    {
        QPainter p(&glyph);
        p.setBrush(QColor(0, 120, 200));
        p.setPen(Qt::black);
        p.drawEllipse(2, 2, 11, 11);
    }
    QWidget host;
    host.resize(4 * 110 + 10, 2 * 60 + 10);
    const TButtonLayout layouts[] = {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom};
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 4; ++col) {
            auto* b = new TXFBitBtn(&host);
            b->setGeometry(10 + col * 110, 10 + row * 60, 100, 50);
            b->setGlyph(glyph);
            b->setLayout(layouts[col]);
            b->setText(row == 0 ? QStringLiteral("\u0642\u0628\u0648\u0644") : QStringLiteral("Cancel"));
            b->setFine(true);
            b->setFlat(true);
            b->Gradient()->setDirection(gdHorizontal);
            b->Gradient()->setEndColor(13041634);
            b->Gradient()->setOptions(goGradient | goHotColor);
            if (row == 1)
                b->setEnabled(false);
        }
    }
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_TRUE(host.grab().save(folder + QStringLiteral("/button-layouts.png")));
}
