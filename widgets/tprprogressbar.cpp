#include "widgets/tprprogressbar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <chrono>
#include <thread>

TtprProgressBar::TtprProgressBar(QWidget* parent)
    : QWidget(parent), m_color(rimo::rgbColor(140, 198, 198)), m_tickColor(rimo::rgbColor(64, 128, 128))
{
    m_motion.edgePos = -m_tickWidth;
    m_motion.step = 3;
    setAttribute(Qt::WA_OpaquePaintEvent);
    clearStrip();
}

QColor TtprProgressBar::background() const
{
    return rimo::toQColor(m_color, palette());
}

void TtprProgressBar::clearStrip()
{
    if (m_stripSize != size()) {
        m_stripSize = size();
        m_strip = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
    }
    if (!m_strip.isNull())
        m_strip.fill(background());
    update();
}

void TtprProgressBar::rebuildTickImage()
{
    const int h = height();
    const std::vector<QRgb> columns = rimo::tickbar::rampColumns(m_color, m_tickColor, m_tickWidth);
    m_tickBmp = QImage();
    if (!columns.empty() && h > 0) {
        m_tickBmp = QImage(int(columns.size()), h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_tickBmp.scanLine(y));
            std::copy(columns.begin(), columns.end(), line);
        }
    }
    m_motion.edgePos = -m_tickWidth;
}

void TtprProgressBar::Tick()
{
    if (m_tickBmp.isNull())
        rebuildTickImage();
    followSize(); // a resize that Qt holds back while the control is hidden
    const QColor fill = background();
    for (int n = 0; n < m_tickCount; ++n) {
        const auto left = rimo::tickbar::advance(m_motion, m_style, m_tickWidth, width());
        if (!m_strip.isNull()) {
            QPainter p(&m_strip);
            if (left.width > 0)
                p.fillRect(QRect(left.x, 0, left.width, m_strip.height()), fill);
            if (!m_tickBmp.isNull()) {
                p.setCompositionMode(QPainter::CompositionMode_Source);
                p.drawImage(m_motion.edgePos, 0, m_tickBmp);
            }
        }
        // Painting happens in the next paint event; the board runs the event loop after each post.
        update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TtprProgressBar::setColor(rimo::TColor value)
{
    m_color = value;
    rebuildTickImage();
    clearStrip();
}

void TtprProgressBar::setTickColor(rimo::TColor value)
{
    m_tickColor = value;
    rebuildTickImage();
    clearStrip();
}

void TtprProgressBar::setTickWidth(int value)
{
    // A width of 0 or less would make an image without columns and a ramp divided by zero.
    if (value < 1 || value > width())
        return;
    m_tickWidth = value;
    rebuildTickImage();
    clearStrip();
}

void TtprProgressBar::setTickJump(int value)
{
    if (value <= 0 || value > width())
        return;
    m_tickJump = value;
    m_motion.step = m_motion.step <= 0 ? -value : value;
}

void TtprProgressBar::setTickCount(int value)
{
    if (value <= 0)
        return;
    m_tickCount = value;
}

void TtprProgressBar::setStyle(TtprStyle value)
{
    m_style = value;
    m_motion.edgePos = value == tprBouncer ? 1 : -m_tickWidth;
    m_motion.step = std::abs(m_motion.step);
}

void TtprProgressBar::setAlign(TAlign value)
{
    if (QWidget* p = parentWidget()) {
        p->removeEventFilter(this);
        if (value != alNone)
            p->installEventFilter(this);
    }
    m_align = value;
    placeInParent();
}

void TtprProgressBar::placeInParent()
{
    QWidget* p = parentWidget();
    if (!p || m_align == alNone)
        return;
    const QRect r = p->contentsRect();
    switch (m_align) {
    case alTop:
        setGeometry(r.left(), r.top(), r.width(), height());
        break;
    case alBottom:
        setGeometry(r.left(), r.bottom() + 1 - height(), r.width(), height());
        break;
    case alLeft:
        setGeometry(r.left(), r.top(), width(), r.height());
        break;
    case alRight:
        setGeometry(r.right() + 1 - width(), r.top(), width(), r.height());
        break;
    case alClient:
        setGeometry(r);
        break;
    case alNone:
        break;
    }
}

bool TtprProgressBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeInParent();
    return QWidget::eventFilter(watched, event);
}

void TtprProgressBar::followSize()
{
    // Qt delivers a resize held back while hidden at the next showing: only a size that the
    // strip was not made for counts as a resize, so that showing the bar does not restart it.
    if (m_stripSize == size())
        return;
    rebuildTickImage();
    clearStrip();
}

void TtprProgressBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    followSize();
}

void TtprProgressBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // A system colour follows the palette.
    if (event->type() == QEvent::PaletteChange && rimo::isSystemColor(m_color))
        clearStrip();
}

void TtprProgressBar::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    if (!m_strip.isNull() && m_strip.size() == size())
        p.drawImage(event->rect(), m_strip, event->rect());
    else
        p.fillRect(event->rect(), background());
}
