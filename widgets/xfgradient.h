#pragma once
// The gradient settings of a push button: colours and options, and the painting of a gradient
// face behind content that is already drawn. Painting works on an image the button draws into,
// so that the drawn glyph and caption can be read back and laid over the gradient.
//
// Visual styles never apply to a button here and a gradient can always be drawn, so IsAvailable
// is true and IsActive depends on Active alone.

#include "widgets/xfbuttonlogic.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

class TXFGradient
{
public:
    using TNotifyEvent = std::function<void(TXFGradient* Sender)>;

    explicit TXFGradient(QWidget* Control);
    virtual ~TXFGradient() = default;
    TXFGradient(const TXFGradient&) = delete;
    TXFGradient& operator=(const TXFGradient&) = delete;

    // Copies the eight settings without notice.
    virtual void Assign(const TXFGradient& Source);
    // Takes the settings of `Gradient` when any differs (with a notice); false for none or no change.
    virtual bool Change(const TXFGradient* Gradient);
    virtual rimo::TColor DefaultHotColor() const { return rimo::xfbutton::kDefaultHotColor; }

    // `Canvas` holds what the button drew; `RightToLeft` is its reading order.
    virtual void FillBack(QImage& Canvas, bool RightToLeft, const QRect& Rect, rimo::TColor Color,
                          int BevelWidth, int SpaceWidth, bool HotButton, bool DownButton, bool SoftButton);
    virtual void FillRect(QImage& Canvas, bool RightToLeft, const QRect& R, rimo::TColor Color,
                          bool HotButton, bool DownButton);
    // FillBack with StepColor standing in for EndColor.
    virtual void FillStep(QImage& Canvas, bool RightToLeft, const QRect& Rect, rimo::TColor Color,
                          int BevelWidth, int SpaceWidth, bool HotButton, bool DownButton, bool SoftButton);

    bool IsAvailable() const { return true; }
    bool IsActive(bool AllowForThemes) const;
    bool IsHotActive() const;

    bool Active() const { return m_settings.active; }
    void setActive(bool value);
    TGradientDirection Direction() const { return m_settings.direction; }
    void setDirection(TGradientDirection value);
    TXFGradientOptions Options() const { return m_settings.options; }
    void setOptions(TXFGradientOptions value);
    bool SwapColors() const { return m_settings.swapColors; }
    void setSwapColors(bool value);
    rimo::TColor StartColor() const { return m_settings.startColor; }
    void setStartColor(rimo::TColor value);
    rimo::TColor EndColor() const { return m_settings.endColor; }
    void setEndColor(rimo::TColor value);
    rimo::TColor HotColor() const { return m_settings.hotColor; }
    void setHotColor(rimo::TColor value);
    rimo::TColor StepColor() const { return m_settings.stepColor; }
    void setStepColor(rimo::TColor value);

    const rimo::xfbutton::GradientSettings& settings() const { return m_settings; }
    QWidget* control() const { return m_control; }

    TNotifyEvent OnChange;

protected:
    virtual void NotifyChange();
    QPalette palette() const;

    rimo::xfbutton::GradientSettings m_settings;

private:
    template <typename T> void store(T& field, T value);

    QPointer<QWidget> m_control;
};

class TXFGradientButton : public TXFGradient
{
public:
    explicit TXFGradientButton(QWidget* Control);
};

namespace rimo::xfbutton {
// Fills R with a gradient from C1 at its left (top) edge to C2 at its right (bottom) edge,
// interpolated on 16-bit channels as the platform's gradient fill does.
void GradientFillRect(QImage& canvas, const QColor& c1, const QColor& c2, TGradientDirection direction,
                      const QRect& r);
} // namespace rimo::xfbutton
