#include "calendar/widgets/calendarparts.h"

#include "calendar/widgets/solarmonthcalendar.h"
#include "platform/guard.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QTextOption>

namespace rimo::calendarparts {

TDayGrid::TDayGrid(TCustomSolarCalendar* owner)
    : QTableWidget(monthgrid::kRows, monthgrid::kColumns, owner), m_owner(owner)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(45);
    verticalHeader()->setDefaultSectionSize(19);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The owner decides which cell is the current one; Qt's own selection stays out of it.
    setSelectionMode(QAbstractItemView::NoSelection);
    setShowGrid(true);
    setMouseTracking(true);
    setItemDelegate(new TCellDelegate(owner, this));
    for (int r = 0; r < monthgrid::kRows; ++r)
        for (int c = 0; c < monthgrid::kColumns; ++c)
            setItem(r, c, new QTableWidgetItem);
}

QRect TDayGrid::cellRect(int col, int row) const
{
    return visualRect(model()->index(row, col));
}

void TDayGrid::pick(int col, int row)
{
    runGuarded([&] {
        if (col < 0 || row < 0 || !m_owner->SelectCell(col, row))
            return;
        m_owner->fire(m_owner->OnDayClick);
    });
}

void TDayGrid::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::RightButton && m_menu) {
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        pick(index.column(), index.row());
}

void TDayGrid::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void TDayGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is a click of its own.
    mousePressEvent(event);
}

void TDayGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        runGuarded([&] { m_owner->gridHint(index.column(), index.row()); });
}

void TDayGrid::keyPressEvent(QKeyEvent* event)
{
    const int focused = m_owner->grid().focusedCell;
    if (focused < 0) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    int col = focused % monthgrid::kColumns;
    int row = focused / monthgrid::kColumns;
    // Left and right follow the screen: in a right-to-left grid column 0 is at the right.
    const int forward = layoutDirection() == Qt::RightToLeft ? -1 : 1;
    switch (event->key()) {
    case Qt::Key_Left:
        col -= forward;
        break;
    case Qt::Key_Right:
        col += forward;
        break;
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    default:
        QTableWidget::keyPressEvent(event);
        return;
    }
    if (col >= 0 && col < monthgrid::kColumns && row >= 0 && row < monthgrid::kRows)
        pick(col, row);
}

void TDayGrid::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click has shown the menu already; this is the keyboard's menu key.
    if (m_menu && event->reason() != QContextMenuEvent::Mouse)
        m_menu->popup(event->globalPos());
}

TCellDelegate::TCellDelegate(TCustomSolarCalendar* owner, QObject* parent)
    : QStyledItemDelegate(parent), m_owner(owner)
{
}

void TCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    const int col = index.column();
    const int row = index.row();
    const calendarcell::CellLook look = m_owner->cellLookAt(col, row);
    const QPalette& palette = option.palette;
    const QRect r = option.rect;
    painter->save();
    painter->fillRect(r, toQColor(look.brush, palette));
    QFont font = option.font;
    font.setBold(look.bold);
    painter->setFont(font);
    painter->setPen(toQColor(look.font, palette));
    const QString text = m_owner->grid().texts[static_cast<size_t>(row * monthgrid::kColumns + col)];
    painter->drawText(r.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextForceLeftToRight, text);
    painter->setPen(palette.color(QPalette::Mid));
    painter->drawRect(r.adjusted(0, 0, -1, -1));
    painter->restore();
}

TYearUpDown::TYearUpDown(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::ArrowCursor);
}

void TYearUpDown::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOption opt;
    opt.initFrom(this);
    const int half = height() / 2;
    p.fillRect(rect(), palette().button());
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawLine(0, half, width(), half);
    opt.rect = QRect(0, 0, width(), half);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowUp, &opt, &p, this);
    opt.rect = QRect(0, half, width(), height() - half);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &opt, &p, this);
}

void TYearUpDown::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !onStep)
        return;
    const int delta = event->position().y() < height() / 2 ? 1 : -1;
    runGuarded([&] { onStep(delta); });
}

TCaptionBar::TCaptionBar(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

void TCaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onClick)
        runGuarded(onClick);
}

TDirectedLabel::TDirectedLabel(QWidget* parent, Qt::LayoutDirection direction)
    : QLabel(parent), m_direction(direction)
{
}

void TDirectedLabel::setTextDirection(Qt::LayoutDirection direction)
{
    m_direction = direction;
    update();
}

void TDirectedLabel::setTextColor(const QColor& color)
{
    m_color = color;
    update();
}

QColor TDirectedLabel::textColor() const
{
    if (m_hovered && m_hoverColor.isValid())
        return m_hoverColor;
    return m_color.isValid() ? m_color : palette().color(QPalette::WindowText);
}

void TDirectedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(textColor());
    QTextOption option(alignment());
    option.setTextDirection(m_direction);
    p.drawText(QRectF(contentsRect()), text(), option);
}

void TDirectedLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onClick)
        runGuarded(onClick);
}

void TDirectedLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    m_hovered = true;
    update();
}

void TDirectedLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    m_hovered = false;
    update();
}

} // namespace rimo::calendarparts
