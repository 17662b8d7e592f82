// The control's property setters and the names and cell looks it reports.
#include "calendar/widgets/calendarparts.h"
#include "calendar/widgets/calendartexts.h"
#include "calendar/widgets/solarmonthcalendar.h"

#include <QToolButton>

using namespace rimo;
namespace cell = rimo::calendarcell;

void TCustomSolarCalendar::setAbout(const QString&)
{
    m_about = calendarwidgettexts::kAbout;
}

void TCustomSolarCalendar::setEnableYearButtons(bool value)
{
    m_enabledYearButton = value;
    FPriorButton->setEnabled(value);
    FNextButton->setEnabled(value);
}

void TCustomSolarCalendar::setMonthObject(TMonthObject value)
{
    if (value == m_monthObject)
        return;
    m_monthObject = value;
    FMonth->setVisible(value != moComboBox);
    buildMonthSelector();
    FillGrid();
}

void TCustomSolarCalendar::setDisableCellColor(TColor value)
{
    m_colors.disabled = value;
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setFirstRowColor(TColor value)
{
    m_colors.firstRow = value;
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setSecondRowColor(TColor value)
{
    m_colors.secondRow = value;
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setCellFontColor(TColor value)
{
    m_colors.font = value;
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setUserInterface(TUserInterface value)
{
    if (value == m_userInterface)
        return;
    m_userInterface = value;
    update();
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setBackgroundColor(TColor value)
{
    if (value == m_backgroundColor)
        return;
    m_backgroundColor = value;
    if (m_userInterface == uiCustom)
        applyBackgroundColor();
}

void TCustomSolarCalendar::setCaptionColor(TColor value)
{
    if (value == m_captionColor)
        return;
    m_captionColor = value;
    if (m_userInterface == uiCustom)
        applyCaptionColor();
}

void TCustomSolarCalendar::setShowToDay(bool value)
{
    if (value == m_showToDay)
        return;
    m_showToDay = value;
    FToDay->setVisible(value);
}

void TCustomSolarCalendar::setShowCellInColor(bool value)
{
    if (value == m_showCellInColor)
        return;
    m_showCellInColor = value;
    FGrid->viewport()->update();
}

void TCustomSolarCalendar::setVisibleLayoutSwitch(bool value)
{
    if (value == m_visibleLayoutSwitch)
        return;
    m_visibleLayoutSwitch = value;
    FLayout->setVisible(value);
}

QString TCustomSolarCalendar::MonthName() const
{
    return monthgrid::MonthName(m_dateKind, m_currMonth);
}

QString TCustomSolarCalendar::DayName() const
{
    const int focused = m_grid.focusedCell;
    return focused < 0 ? QString() : monthgrid::DayName(m_dateKind, focused % monthgrid::kColumns);
}

cell::CellLook TCustomSolarCalendar::cellLookAt(int col, int row) const
{
    const int index = row * monthgrid::kColumns + col;
    return cell::cellLook(m_userInterface, m_showCellInColor, m_colors, m_dateKind, col, row,
                          index == m_grid.focusedCell, m_grid.outside[static_cast<size_t>(index)]);
}
