#pragma once
// The month calendar's own sub-controls: the day grid (selection, hints and painting through
// its owner), the year up-down, the caption bar and labels that keep their reading order.

#include <QLabel>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <functional>

class TCustomSolarCalendar;
class QMenu;

namespace rimo::calendarparts {

// The 7 x 6 day grid. A left click or an arrow key asks the owner whether the cell may be
// selected; the owner moves the date and the grid only draws what the owner says.
class TDayGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit TDayGrid(TCustomSolarCalendar* owner);
    // The month menu shown on a right click; nullptr for none.
    void setMonthMenu(QMenu* menu) { m_menu = menu; }
    QMenu* monthMenu() const { return m_menu; }
    // The cell's rectangle in the grid's viewport, by grid column and row.
    QRect cellRect(int col, int row) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void pick(int col, int row);

    TCustomSolarCalendar* m_owner;
    QMenu* m_menu = nullptr;
};

class TCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    TCellDelegate(TCustomSolarCalendar* owner, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TCustomSolarCalendar* m_owner;
};

// An up-down of two arrows: the upper half steps +1, the lower half -1.
class TYearUpDown : public QWidget
{
    Q_OBJECT
public:
    explicit TYearUpDown(QWidget* parent);
    std::function<void(int delta)> onStep;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

// The top band; a click on it is reported.
class TCaptionBar : public QWidget
{
    Q_OBJECT
public:
    explicit TCaptionBar(QWidget* parent);
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A label that draws its text in a fixed reading order. Qt would pick right to left from the
// first Persian letter and put "1389 سال" as "سال" left of the year; the control's texts are
// made for left-to-right display. Optionally clickable, with a colour while hovered.
class TDirectedLabel : public QLabel
{
    Q_OBJECT
public:
    TDirectedLabel(QWidget* parent, Qt::LayoutDirection direction);
    void setTextDirection(Qt::LayoutDirection direction);
    void setTextColor(const QColor& color);
    void setHoverColor(const QColor& color) { m_hoverColor = color; }
    // The colour the text is drawn in now.
    QColor textColor() const;
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Qt::LayoutDirection m_direction;
    QColor m_color;
    QColor m_hoverColor;
    bool m_hovered = false;
};

} // namespace rimo::calendarparts
