#pragma once
// TXFBitBtn: a push button with a glyph and a caption that draws itself completely: the classic
// frame, glyph and caption first, then its gradient slid in behind them. Visual styles never
// apply here, so the classic drawing with the gradient is what is always drawn.
//
// The button draws into an image of its size and shows that: where nothing is drawn (outside
// the frame) the parent's background shows through.

#include "widgets/xfbuttonlogic.h"
#include "widgets/xfglyphs.h"
#include "widgets/xfgradient.h"

#include <QImage>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>

// The result a button gives its modal window when pressed (0: none).
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TXFBitBtn : public QPushButton
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    explicit TXFBitBtn(QWidget* parent = nullptr);
    ~TXFBitBtn() override;

    bool Fine() const { return m_fine; }
    void setFine(bool value);
    bool Flat() const { return m_flat; }
    void setFlat(bool value);
    // The owned settings, made by CreateGradient at first use (so an override in a descendant
    // takes part); assigning copies the settings into them.
    TXFGradient* Gradient();
    void setGradient(const TXFGradient& value);

    int ModalResult() const { return m_modalResult; }
    void setModalResult(int value) { m_modalResult = value; }
    QImage Glyph() const { return m_glyph; }
    void setGlyph(const QImage& value);
    int NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int value); // 1 to 4
    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout value);
    int Margin() const { return m_margin; }
    void setMargin(int value);
    int Spacing() const { return m_spacing; }
    void setSpacing(int value);
    bool WordWrap() const { return m_wordWrap; }
    void setWordWrap(bool value);

    // The button is drawn as the default button (Qt's default-button state).
    bool IsFocused() const { return isDefault(); }
    bool mouseInControl() const { return m_mouseInControl; }
    // The image the last paint showed.
    const QImage& lastPaint() const { return m_canvas; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    virtual TXFGradient* CreateGradient();

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void pressed_();
    void drawFace(QImage& canvas);
    void drawGlyphAndCaption(QPainter& p, const QRect& r, bool down, TButtonState state);
    QImage glyphFor(TButtonState state);
    void freeGlyphSlots();
    void repaintIfHot();

    std::unique_ptr<TXFGradient> m_gradient;
    QImage m_canvas;
    bool m_mouseInControl = false;
    bool m_fine = false;
    bool m_flat = false;
    int m_modalResult = mrNone;
    QImage m_glyph;
    int m_numGlyphs = 1;
    TButtonLayout m_layout = blGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    bool m_wordWrap = false;
    // Slot of each state's image in the shared list of the glyph's size, -1 until made.
    std::array<int, 4> m_slots{-1, -1, -1, -1};
    TXFGlyphList* m_list = nullptr;
};
