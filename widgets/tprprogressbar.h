#pragma once
// TtprProgressBar: shows activity without a known amount of work. Each Tick() moves a coloured
// block (the tick) along the strip: left to right and re-entering at the left (tprDefault), or
// back and forth between the ends (tprBouncer). Each step pauses 1 ms, which paces the motion.

#include "widgets/tcolor.h"
#include "widgets/tickbar.h"

#include <QImage>
#include <QWidget>

// Placement in the parent's client area, as the makers' controls have it.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TtprProgressBar : public QWidget
{
    Q_OBJECT
public:
    explicit TtprProgressBar(QWidget* parent = nullptr);

    // Moves the tick TickCount() steps and draws it into the strip.
    void Tick();

    rimo::TColor Color() const { return m_color; }
    rimo::TColor TickColor() const { return m_tickColor; }
    int TickWidth() const { return m_tickWidth; }
    int TickJump() const { return m_tickJump; }
    int TickCount() const { return m_tickCount; }
    TtprStyle Style() const { return m_style; }
    TAlign Align() const { return m_align; }

    // Setters follow the control's rules: refused values leave everything unchanged, and every
    // change of a colour or of the tick width rebuilds the tick image (restarting the tick at
    // the left) and clears the strip.
    void setColor(rimo::TColor value);
    void setTickColor(rimo::TColor value);
    void setTickWidth(int value); // refused below 1 or above the control's width
    void setTickJump(int value);  // refused below 1 or above the control's width; keeps the direction
    void setTickCount(int value); // refused below 1
    void setStyle(TtprStyle value);
    // Keeps the bar on an edge (or the whole client area) of its parent as the parent resizes.
    // Several aligned siblings are not stacked: use a layout for that.
    void setAlign(TAlign value);

    // Internal state, for the owner's diagnostics and for tests.
    int EdgePos() const { return m_motion.edgePos; }
    int internTickJump() const { return m_motion.step; }
    // The prepared tick image (null until the first Tick or rebuilding change).
    const QImage& tickImage() const { return m_tickBmp; }
    // What the control shows: the strip that Tick draws into and painting copies to the screen.
    const QImage& stripImage() const { return m_strip; }

    QSize sizeHint() const override { return {150, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildTickImage();
    // The strip filled with Color: what the control shows after a repaint.
    void clearStrip();
    void followSize();
    void placeInParent();
    QColor background() const;

    rimo::TColor m_color;
    rimo::TColor m_tickColor;
    int m_tickWidth = 20;
    int m_tickJump = 3;
    int m_tickCount = 1;
    TtprStyle m_style = tprDefault;
    TAlign m_align = alNone;
    rimo::tickbar::Motion m_motion;
    QImage m_tickBmp;
    QImage m_strip;
    QSize m_stripSize; // the size the strip was made for (the strip is null while it is empty)
};
