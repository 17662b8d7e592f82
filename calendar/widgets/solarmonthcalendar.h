#pragma once
// The solar month calendar control: one month of the solar (or, after a switch, the Gregorian)
// calendar as a grid of days, with year buttons, a year box, a month selector and a today
// label; the picked date is kept as text. What it shows and how its date moves are plain
// functions of calendar/ (monthgrid.h, dateoperations.h, datescripts.h); the control holds
// the state and the sub-controls. "Today" comes from the clock it is given.
//
// The sub-controls carry their field names as object names (FGrid, FCaption, FYear, FToDay,
// FPriorButton, FNextButton, FLayout, FYearEdit, FYearUpDown, FMonth, FMonthCombo, FMenu).

#include "calendar/datescripts.h"
#include "calendar/monthgrid.h"
#include "calendar/solarcalendar.h"
#include "calendar/widgets/cellstyle.h"
#include "core/clock.h"
#include "platform/services.h"
#include "widgets/tcolor.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

namespace rimo::calendarparts {
class TDayGrid;
class TYearUpDown;
class TCaptionBar;
class TDirectedLabel;
} // namespace rimo::calendarparts

class TCustomSolarCalendar : public QWidget
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    // Without a clock the system's is used; without a beeper the platform's.
    explicit TCustomSolarCalendar(QWidget* parent = nullptr, std::shared_ptr<const rimo::Clock> clock = {},
                                  std::shared_ptr<rimo::Beeper> beeper = {});
    ~TCustomSolarCalendar() override;

    // --- Published properties ---
    QString About() const { return m_about; }
    void setAbout(const QString& value); // any value stores the fixed line
    bool EnableYearButtons() const { return m_enabledYearButton; }
    void setEnableYearButtons(bool value);
    TMonthObject MonthObject() const { return m_monthObject; }
    void setMonthObject(TMonthObject value);
    QString MiladiDate() const { return m_miladi; }
    void setMiladiDate(const QString& value) { m_miladi = value; }
    QString HintText() const { return m_textHint; }
    void setHintText(const QString& value) { m_textHint = value; }
    QString SolarDate() const { return m_solar; }
    void setSolarDate(const QString& value) { m_solar = value; }
    rimo::TDateKind DateKind() const { return m_dateKind; }
    void setDateKind(rimo::TDateKind value);
    rimo::TColor DisableCellColor() const { return m_colors.disabled; }
    void setDisableCellColor(rimo::TColor value);
    rimo::TColor FirstRowColor() const { return m_colors.firstRow; }
    void setFirstRowColor(rimo::TColor value);
    rimo::TColor SecondRowColor() const { return m_colors.secondRow; }
    void setSecondRowColor(rimo::TColor value);
    TMonthPosition MonthPosition() const { return m_monthPosition; }
    void setMonthPosition(TMonthPosition value) { m_monthPosition = value; }
    TUserInterface UserInterface() const { return m_userInterface; }
    void setUserInterface(TUserInterface value);
    rimo::TColor CellFontColor() const { return m_colors.font; }
    void setCellFontColor(rimo::TColor value);
    rimo::TColor SelectedCellFontColor() const { return m_colors.selectedFont; }
    void setSelectedCellFontColor(rimo::TColor value) { m_colors.selectedFont = value; }
    rimo::TColor BackgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(rimo::TColor value);
    rimo::TColor CaptionColor() const { return m_captionColor; }
    void setCaptionColor(rimo::TColor value);
    bool ShowToDay() const { return m_showToDay; }
    void setShowToDay(bool value);
    bool ShowCellInColor() const { return m_showCellInColor; }
    void setShowCellInColor(bool value);
    bool VisibleLayoutSwitch() const { return m_visibleLayoutSwitch; }
    void setVisibleLayoutSwitch(bool value);
    TMonthCaptionSet EnabledDays() const { return m_enabledDays; }
    void setEnabledDays(TMonthCaptionSet value) { m_enabledDays = value; }
    // Raised after a click (or key move) on the grid whose selection was not refused.
    TNotifyEvent OnDayClick;

    // --- Public ---
    // The last accepted date text. Assigning shows the date; a text with a zero year, month or
    // day (or a year the calendar cannot show) is refused with a message and changes nothing.
    // A part that is no integer raises rimo::Error.
    QString InDate() const { return m_inDate; }
    void setInDate(const QString& value);
    // The current date in the shown calendar.
    QString OutDate;
    // Grid cell of the day last picked with the mouse.
    quint8 LastCol = 0;
    quint8 LastRow = 0;
    QString MonthName() const;
    QString DayName() const;

    // --- Date operations: move the date, look ahead, ask ---
    QString IncYear(int ANumberOfYear);
    QString IncMonth(int ANumberOfMonth);
    QString IncDay(int ANumberOfDay);
    QString DecYear(int ANumberOfYear);
    QString DecMonth(int ANumberOfMonth);
    QString DecDay(int ANumberOfDay);
    QString GotoYear(int AYear);
    QString GotoMonth(int AMonth);
    QString GotoDay(int ADay);
    QString LIncYear(int ANumberOfYear) const;
    QString LIncMonth(int ANumberOfMonth) const;
    QString LIncDay(int ANumberOfDay) const;
    QString LDecYear(int ANumberOfYear) const;
    QString LDecMonth(int ANumberOfMonth) const;
    QString LDecDay(int ANumberOfDay) const;
    int GetWeekRemainDays() const;
    int GetWeekRemainDays(const QString& Date, rimo::TDateKind DateKind) const;
    int GetYearRemainDays() const;
    int GetYearRemainDays(const QString& Date, rimo::TDateKind DateKind) const;
    int GetMonthRemainDay() const;
    int GetMonthRemainDay(const QString& Date, rimo::TDateKind DateKind) const;
    int DayOfWeek() const;
    int DayOfWeek(const QString& Date, rimo::TDateKind DateKind) const;
    int WeekOfTheYear() const;
    int WeekOfTheYear(const QString& ADate, rimo::TDateKind ADateKind) const;
    // A blank ANow stands for OutDate.
    int DaysBetween(const QString& ANow, const QString& AThen) const;
    QString GetRawDate() const;
    QString GetDateWithDiv(const QString& Divider) const;

    // --- Spelling of the current date ---
    QString YearScript(int Year, TFormat Format) const;
    QString MonthScript(int Month) const;
    QString DayScript(int Day) const;
    QString YMDScript(TMonthType MonthType, const QString& Divider) const;

    // --- Conversions ---
    // The solar date text InDate as a Gregorian one.
    QString ConvertDateEng(const QString& InDate) const;
    // OutDate converted to the other calendar, and that date's year and month.
    QString ConvertDate() const;
    int ConvertYear() const;
    quint8 ConvertMonth() const;

    // What the grid shows (for painting and tests).
    const rimo::monthgrid::MonthGrid& grid() const { return m_grid; }
    rimo::calendarcell::CellLook cellLookAt(int col, int row) const;
    // The year box is open.
    bool yearBoxOpen() const;

protected:
    int Year() const { return m_currYear; }
    int Month() const;
    int Day() const;
    TNotifyEvent OnNextClick;
    TNotifyEvent OnPrevClick;
    TNotifyEvent OnLayoutClick;

    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class rimo::calendarparts::TDayGrid;

    void createParts();
    void BuildLayout();
    void FillGrid();
    void buildMonthSelector();
    void placeLabels();
    void applyYearLabel();
    void applyCaptionColor();
    void applyBackgroundColor();
    // Algorithm of a grid cell selection; false when refused.
    bool SelectCell(int col, int row);
    void gridHint(int col, int row);
    void selectMonth(int month);
    void changeYear(int year);
    // From a year button (closes the year box) or the up-down (keeps it open).
    void priorYear(bool fromButton);
    void nextYear(bool fromButton);
    void openYearBox();
    void closeYearBox();
    bool yearBoxKey(int key, const QString& text);
    void upDownStep(int delta);
    void goToday();
    void switchCalendar();
    QString todayText() const;
    void readPartsFrom(const QString& date);
    void refuseDate();
    void fire(const TNotifyEvent& event);

    std::shared_ptr<const rimo::Clock> m_clock;
    std::shared_ptr<rimo::Beeper> m_beeper;

    QToolButton* FPriorButton = nullptr;
    QToolButton* FNextButton = nullptr;
    rimo::calendarparts::TDirectedLabel* FYear = nullptr;
    rimo::calendarparts::TDirectedLabel* FToDay = nullptr;
    QLabel* FWeekday[7] = {};
    rimo::calendarparts::TCaptionBar* FCaption = nullptr;
    rimo::calendarparts::TDayGrid* FGrid = nullptr;
    QMenu* FMenu = nullptr;
    QActionGroup* m_menuGroup = nullptr;
    rimo::calendarparts::TDirectedLabel* FMonth = nullptr;
    rimo::calendarparts::TYearUpDown* FYearUpDown = nullptr;
    QLineEdit* FYearEdit = nullptr;
    QPointer<QComboBox> FMonthCombo;
    QToolButton* FLayout = nullptr;

    QString m_miladi;
    QString m_solar;
    TMonthObject m_monthObject = moPopupMenu;
    bool m_enabledYearButton = true;
    QString m_textHint;
    rimo::TDateKind m_dateKind = rimo::dkSolar;
    int m_prevMenuItem = 1;
    quint16 m_currYear = 0;
    quint16 m_currMonth = 0;
    quint16 m_currDay = 0;
    rimo::calendarcell::CellColors m_colors;
    TMonthPosition m_monthPosition = mpBottomRight;
    TUserInterface m_userInterface = uiDefault;
    rimo::TColor m_backgroundColor = 12566463;
    rimo::TColor m_captionColor = rimo::calendarcell::kNavy;
    QString m_inDate;
    QString m_about;
    rimo::monthgrid::MonthGrid m_grid;
    bool m_showToDay = true;
    bool m_showCellInColor = true;
    bool m_visibleLayoutSwitch = true;
    int m_tempYear = 0;
    TMonthCaptionSet m_enabledDays = kAllMonthCaptions;
    bool m_fixingSize = false;
};

class TSolarMonthCalendar : public TCustomSolarCalendar
{
    Q_OBJECT
public:
    using TCustomSolarCalendar::Day;
    using TCustomSolarCalendar::Month;
    using TCustomSolarCalendar::OnLayoutClick;
    using TCustomSolarCalendar::OnNextClick;
    using TCustomSolarCalendar::OnPrevClick;
    using TCustomSolarCalendar::TCustomSolarCalendar;
    using TCustomSolarCalendar::Year;
};
