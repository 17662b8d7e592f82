#include "widgets/xfbitbtn.h"

#include <QDialog>
#include <QEnterEvent>
#include <QPainter>
#include <qdrawutil.h>

using namespace rimo::xfbutton;
using rimo::TColor;
using rimo::toQColor;

TXFBitBtn::TXFBitBtn(QWidget* parent) : QPushButton(parent)
{
    // The parent's background shows wherever the button draws nothing.
    setAutoFillBackground(false);
    connect(this, &QPushButton::clicked, this, &TXFBitBtn::pressed_);
}

TXFBitBtn::~TXFBitBtn()
{
    freeGlyphSlots();
}

TXFGradient* TXFBitBtn::CreateGradient()
{
    return new TXFGradientButton(this);
}

TXFGradient* TXFBitBtn::Gradient()
{
    if (!m_gradient) {
        m_gradient.reset(CreateGradient());
        m_gradient->OnChange = [this](TXFGradient*) { update(); };
    }
    return m_gradient.get();
}

void TXFBitBtn::setGradient(const TXFGradient& value)
{
    Gradient()->Assign(value);
    update();
}

void TXFBitBtn::setFine(bool value)
{
    if (value == m_fine)
        return;
    m_fine = value;
    update();
}

void TXFBitBtn::setFlat(bool value)
{
    if (value == m_flat)
        return;
    m_flat = value;
    update();
}

void TXFBitBtn::setGlyph(const QImage& value)
{
    freeGlyphSlots();
    m_glyph = value;
    update();
}

void TXFBitBtn::setNumGlyphs(int value)
{
    value = qBound(1, value, 4);
    if (value == m_numGlyphs)
        return;
    freeGlyphSlots();
    m_numGlyphs = value;
    update();
}

void TXFBitBtn::setLayout(TButtonLayout value)
{
    m_layout = value;
    update();
}

void TXFBitBtn::setMargin(int value)
{
    m_margin = value;
    update();
}

void TXFBitBtn::setSpacing(int value)
{
    m_spacing = value;
    update();
}

void TXFBitBtn::setWordWrap(bool value)
{
    m_wordWrap = value;
    update();
}

void TXFBitBtn::pressed_()
{
    if (m_modalResult == mrNone)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->done(m_modalResult);
}

void TXFBitBtn::repaintIfHot()
{
    if (Gradient()->IsHotActive())
        update();
}

void TXFBitBtn::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    if (OnMouseEnter)
        OnMouseEnter(this);
    if (m_mouseInControl)
        return;
    m_mouseInControl = true;
    repaintIfHot();
}

void TXFBitBtn::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    if (OnMouseLeave)
        OnMouseLeave(this);
    if (!m_mouseInControl)
        return;
    m_mouseInControl = false;
    repaintIfHot();
}

void TXFBitBtn::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        freeGlyphSlots();
    QPushButton::changeEvent(event);
}

void TXFBitBtn::freeGlyphSlots()
{
    if (m_list) {
        for (int& slot : m_slots) {
            m_list->Delete(slot);
            slot = -1;
        }
    }
    m_slots.fill(-1);
    m_list = nullptr;
}

QImage TXFBitBtn::glyphFor(TButtonState state)
{
    if (m_glyph.isNull())
        return {};
    const int w = m_glyph.width() / m_numGlyphs;
    if (!m_list)
        m_list = glyphCache().GetList(w, m_glyph.height());
    int& slot = m_slots[size_t(state)];
    if (slot < 0) {
        const QImage made = stateImage(m_glyph, m_numGlyphs, state, palette());
        slot = m_list->AddMasked(made, toQColor(kBtnFace, palette()));
    }
    return m_list->image(slot);
}

void TXFBitBtn::drawGlyphAndCaption(QPainter& p, const QRect& r, bool down, TButtonState state)
{
    Q_UNUSED(down);
    const QImage glyph = glyphFor(state);
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int flags = Qt::AlignCenter | Qt::TextShowMnemonic | (m_wordWrap ? Qt::TextWordWrap : 0);
    LayoutInput in;
    in.client = r;
    in.glyph = glyph.isNull() ? QSize(0, 0) : glyph.size();
    in.layout = m_layout;
    in.margin = m_margin;
    in.spacing = m_spacing;
    in.rightToLeft = rtl;
    in.text = QSize(0, 0);
    if (!text().isEmpty()) {
        const int width = captionWidth(r.width(), in.glyph.width(), m_spacing, m_layout, m_wordWrap);
        in.text = p.fontMetrics().boundingRect(QRect(0, 0, width, 0), flags, text()).size();
    }
    const LayoutResult at = calcButtonLayout(in);
    if (!glyph.isNull())
        p.drawImage(at.glyphPos, glyph);
    if (text().isEmpty())
        return;
    const QPalette pal = palette();
    if (state == bsDisabled) {
        p.setPen(toQColor(kBtnHighlight, pal));
        p.drawText(at.textRect.translated(1, 1), flags, text());
        p.setPen(toQColor(kBtnShadow, pal));
    } else {
        p.setPen(pal.color(QPalette::ButtonText));
    }
    p.drawText(at.textRect, flags, text());
}

void TXFBitBtn::drawFace(QImage& canvas)
{
    const QPalette pal = palette();
    const bool hot = m_mouseInControl && isEnabled();
    const bool down = isDown();
    const bool isDefaultState = hasFocus();
    const bool framed = IsFocused() || isDefaultState;
    const TButtonState state = !isEnabled() ? bsDisabled : down ? bsDown : bsUp;
    const QRect client = canvas.rect();
    const QColor face = toQColor(kBtnFace, pal);

    QPainter p(&canvas);
    p.setLayoutDirection(layoutDirection());
    p.setFont(font());
    QRect r = client;
    if (framed) {
        p.setPen(toQColor(kWindowFrame, pal));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (down) {
        p.fillRect(r, face);
        p.setPen(toQColor(kBtnShadow, pal));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    } else {
        // The classic raised bevel of a push button, its inside in the face colour.
        const QBrush faceBrush(face);
        qDrawWinButton(&p, r, pal, false, &faceBrush);
        r.adjust(2, 2, -2, -2);
    }
    if (IsFocused())
        r = client.adjusted(1, 1, -1, -1);
    if (down)
        r.translate(1, 1);
    drawGlyphAndCaption(p, r, down, state);

    TXFGradient* gradient = Gradient();
    if (gradient->IsActive(false)) {
        if (m_fine && m_flat) {
            const QRect edge = framed ? client.adjusted(1, 1, -1, -1) : client;
            const QColor topLeft = toQColor(down ? kBtnShadow : kBtnHighlight, pal);
            const QColor bottomRight = toQColor(down ? kBtnHighlight : kBtnShadow, pal);
            p.setPen(topLeft);
            p.drawLine(edge.topLeft(), edge.topRight());
            p.drawLine(edge.topLeft(), edge.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(edge.bottomLeft(), edge.bottomRight());
            p.drawLine(edge.topRight(), edge.bottomRight());
        }
        p.end();
        const BackParams b = backParams(m_fine, m_flat, framed, down);
        gradient->FillBack(canvas, layoutDirection() == Qt::RightToLeft, client, kBtnFace, b.bevelWidth,
                           b.spaceWidth, hot, down, b.softButton);
        p.begin(&canvas);
    }
    if (IsFocused() && isDefaultState) {
        QPen dotted(toQColor(kWindowFrame, pal), 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(client.adjusted(4, 4, -5, -5));
    }
}

void TXFBitBtn::paintEvent(QPaintEvent* /*event*/)
{
    m_canvas = QImage(size(), QImage::Format_ARGB32);
    m_canvas.fill(Qt::transparent);
    drawFace(m_canvas);
    QPainter p(this);
    p.drawImage(0, 0, m_canvas);
}
