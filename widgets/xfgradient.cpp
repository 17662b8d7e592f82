#include "widgets/xfgradient.h"

#include <QGuiApplication>
#include <QPainter>

using namespace rimo::xfbutton;
using rimo::TColor;
using rimo::toQColor;

TXFGradient::TXFGradient(QWidget* Control) : m_control(Control) {}

QPalette TXFGradient::palette() const
{
    return m_control ? m_control->palette() : QGuiApplication::palette();
}

template <typename T> void TXFGradient::store(T& field, T value)
{
    if (field == value)
        return;
    field = value;
    NotifyChange();
}

void TXFGradient::setActive(bool value)
{
    store(m_settings.active, value);
}
void TXFGradient::setDirection(TGradientDirection value)
{
    store(m_settings.direction, value);
}
void TXFGradient::setOptions(TXFGradientOptions value)
{
    store(m_settings.options, value);
}
void TXFGradient::setSwapColors(bool value)
{
    store(m_settings.swapColors, value);
}
void TXFGradient::setStartColor(TColor value)
{
    store(m_settings.startColor, value);
}
void TXFGradient::setEndColor(TColor value)
{
    store(m_settings.endColor, value);
}
void TXFGradient::setHotColor(TColor value)
{
    store(m_settings.hotColor, value);
}
void TXFGradient::setStepColor(TColor value)
{
    store(m_settings.stepColor, value);
}

void TXFGradient::NotifyChange()
{
    if (OnChange)
        OnChange(this);
}

void TXFGradient::Assign(const TXFGradient& Source)
{
    if (&Source != this)
        m_settings = Source.m_settings;
}

bool TXFGradient::Change(const TXFGradient* Gradient)
{
    if (!Gradient || Gradient->m_settings == m_settings)
        return false;
    Assign(*Gradient);
    NotifyChange();
    return true;
}

bool TXFGradient::IsActive(bool /*AllowForThemes*/) const
{
    // Visual styles never apply, so the themes condition always holds.
    return IsAvailable() && m_settings.active;
}

bool TXFGradient::IsHotActive() const
{
    return IsActive(false) && (m_settings.options & kHotMask) != 0;
}

void TXFGradient::FillRect(QImage& Canvas, bool RightToLeft, const QRect& R, TColor Color, bool HotButton,
                           bool DownButton)
{
    const QPalette pal = palette();
    const FillPlan plan = fillRectPlan(m_settings, Color, HotButton, DownButton, RightToLeft, pal);
    QRect r = R;
    QPainter p(&Canvas);
    if (plan.frame) {
        p.fillRect(r, toQColor(plan.frameColor, pal));
        r.adjust(1, 1, -1, -1);
        if (plan.innerFill)
            p.fillRect(r, toQColor(plan.innerColor, pal));
    }
    if (plan.face == FillPlan::Solid)
        p.fillRect(r, toQColor(plan.from, pal));
    p.end();
    if (plan.face == FillPlan::Gradient)
        GradientFillRect(Canvas, toQColor(plan.from, pal), toQColor(plan.to, pal), m_settings.direction, r);
}

void TXFGradient::FillBack(QImage& Canvas, bool RightToLeft, const QRect& Rect, TColor Color, int BevelWidth,
                           int SpaceWidth, bool HotButton, bool DownButton, bool SoftButton)
{
    const BackRects rects =
        fillBackRects(Rect, m_settings.options, BevelWidth, SpaceWidth, HotButton, DownButton, SoftButton);
    if (rects.innerEmpty())
        return;
    // What is already drawn inside: glyph and caption on the face colour.
    const QImage kept = Canvas.copy(rects.inner).convertToFormat(QImage::Format_ARGB32);
    FillRect(Canvas, RightToLeft, rects.outer, Color, HotButton, DownButton);
    const QRgb face = toQColor(Color, palette()).rgb();
    const QRect target = rects.inner.intersected(Canvas.rect());
    for (int y = 0; y < target.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(kept.constScanLine(y));
        for (int x = 0; x < target.width(); ++x) {
            const QRgb px = src[x];
            if (qAlpha(px) == 0 || (px | 0xFF000000u) == (face | 0xFF000000u))
                continue;
            Canvas.setPixel(target.x() + x, target.y() + y, px);
        }
    }
}

void TXFGradient::FillStep(QImage& Canvas, bool RightToLeft, const QRect& Rect, TColor Color, int BevelWidth,
                           int SpaceWidth, bool HotButton, bool DownButton, bool SoftButton)
{
    const TColor saved = m_settings.endColor;
    m_settings.endColor = m_settings.stepColor;
    FillBack(Canvas, RightToLeft, Rect, Color, BevelWidth, SpaceWidth, HotButton, DownButton, SoftButton);
    m_settings.endColor = saved;
}

TXFGradientButton::TXFGradientButton(QWidget* Control) : TXFGradient(Control)
{
    m_settings.options = goGradient | goHotButton;
}

namespace rimo::xfbutton {

void GradientFillRect(QImage& canvas, const QColor& c1, const QColor& c2, TGradientDirection direction,
                      const QRect& r)
{
    const QRect area = r.intersected(canvas.rect());
    if (area.isEmpty())
        return;
    const bool horizontal = direction == gdHorizontal;
    const int length = horizontal ? r.width() : r.height();
    QPainter p(&canvas);
    for (int i = 0; i < length; ++i) {
        // Channels scaled to 16 bits, as the vertices of the platform's gradient fill carry them.
        auto mix = [&](int a, int b) { return ((a * 256) + ((b - a) * 256) * i / length) >> 8; };
        const QColor c(mix(c1.red(), c2.red()), mix(c1.green(), c2.green()), mix(c1.blue(), c2.blue()));
        if (horizontal)
            p.fillRect(QRect(r.x() + i, r.y(), 1, r.height()).intersected(area), c);
        else
            p.fillRect(QRect(r.x(), r.y() + i, r.width(), 1).intersected(area), c);
    }
}

} // namespace rimo::xfbutton
