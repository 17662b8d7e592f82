// The control's date operations, spelling and conversions: each applies the plain function of
// calendar/ to the current date; the moving forms hand the result to InDate.
#include "calendar/dateoperations.h"
#include "calendar/widgets/solarmonthcalendar.h"

using namespace rimo;

namespace {

// The parts of a date text, 0 for all when it is blank or has a zero part.
struct Parts
{
    quint16 y = 0, m = 0, d = 0;
};

Parts partsOf(const QString& date)
{
    Parts p;
    SplitDate(date, p.y, p.m, p.d);
    if (p.y == 0 || p.m == 0 || p.d == 0)
        return {};
    return p;
}

} // namespace

int TCustomSolarCalendar::Month() const
{
    return partsOf(OutDate).m;
}

int TCustomSolarCalendar::Day() const
{
    return partsOf(OutDate).d;
}

QString TCustomSolarCalendar::IncYear(int ANumberOfYear)
{
    setInDate(dateops::IncYear(OutDate, m_dateKind, ANumberOfYear));
    return OutDate;
}

QString TCustomSolarCalendar::IncMonth(int ANumberOfMonth)
{
    setInDate(dateops::IncMonth(OutDate, m_dateKind, ANumberOfMonth));
    return OutDate;
}

QString TCustomSolarCalendar::IncDay(int ANumberOfDay)
{
    setInDate(dateops::IncDay(OutDate, m_dateKind, ANumberOfDay));
    return OutDate;
}

QString TCustomSolarCalendar::DecYear(int ANumberOfYear)
{
    setInDate(dateops::DecYear(OutDate, m_dateKind, ANumberOfYear));
    return OutDate;
}

QString TCustomSolarCalendar::DecMonth(int ANumberOfMonth)
{
    setInDate(dateops::DecMonth(OutDate, m_dateKind, ANumberOfMonth));
    return OutDate;
}

QString TCustomSolarCalendar::DecDay(int ANumberOfDay)
{
    setInDate(dateops::DecDay(OutDate, m_dateKind, ANumberOfDay));
    return OutDate;
}

QString TCustomSolarCalendar::GotoYear(int AYear)
{
    setInDate(dateops::GotoYear(OutDate, m_dateKind, AYear));
    return OutDate;
}

QString TCustomSolarCalendar::GotoMonth(int AMonth)
{
    setInDate(dateops::GotoMonth(OutDate, m_dateKind, AMonth));
    return OutDate;
}

QString TCustomSolarCalendar::GotoDay(int ADay)
{
    setInDate(dateops::GotoDay(OutDate, m_dateKind, ADay));
    return OutDate;
}

QString TCustomSolarCalendar::LIncYear(int ANumberOfYear) const
{
    return dateops::IncYear(OutDate, m_dateKind, ANumberOfYear);
}

QString TCustomSolarCalendar::LIncMonth(int ANumberOfMonth) const
{
    return dateops::IncMonth(OutDate, m_dateKind, ANumberOfMonth);
}

QString TCustomSolarCalendar::LIncDay(int ANumberOfDay) const
{
    return dateops::IncDay(OutDate, m_dateKind, ANumberOfDay);
}

QString TCustomSolarCalendar::LDecYear(int ANumberOfYear) const
{
    return dateops::DecYear(OutDate, m_dateKind, ANumberOfYear);
}

QString TCustomSolarCalendar::LDecMonth(int ANumberOfMonth) const
{
    return dateops::DecMonth(OutDate, m_dateKind, ANumberOfMonth);
}

QString TCustomSolarCalendar::LDecDay(int ANumberOfDay) const
{
    return dateops::DecDay(OutDate, m_dateKind, ANumberOfDay);
}

int TCustomSolarCalendar::GetWeekRemainDays() const
{
    return dateops::GetWeekRemainDays(OutDate, m_dateKind);
}

int TCustomSolarCalendar::GetWeekRemainDays(const QString& Date, TDateKind DateKind) const
{
    return dateops::GetWeekRemainDays(Date, DateKind);
}

int TCustomSolarCalendar::GetYearRemainDays() const
{
    return dateops::GetYearRemainDays(OutDate, m_dateKind);
}

int TCustomSolarCalendar::GetYearRemainDays(const QString& Date, TDateKind DateKind) const
{
    return dateops::GetYearRemainDays(Date, DateKind);
}

int TCustomSolarCalendar::GetMonthRemainDay() const
{
    return dateops::GetMonthRemainDay(OutDate, m_dateKind);
}

int TCustomSolarCalendar::GetMonthRemainDay(const QString& Date, TDateKind DateKind) const
{
    return dateops::GetMonthRemainDay(Date, DateKind);
}

int TCustomSolarCalendar::DayOfWeek() const
{
    return dateops::DayOfWeek(OutDate, m_dateKind);
}

int TCustomSolarCalendar::DayOfWeek(const QString& Date, TDateKind DateKind) const
{
    return dateops::DayOfWeek(Date, DateKind);
}

int TCustomSolarCalendar::WeekOfTheYear() const
{
    return dateops::WeekOfTheYear(OutDate, m_dateKind);
}

int TCustomSolarCalendar::WeekOfTheYear(const QString& ADate, TDateKind ADateKind) const
{
    return dateops::WeekOfTheYear(ADate, ADateKind);
}

int TCustomSolarCalendar::DaysBetween(const QString& ANow, const QString& AThen) const
{
    return dateops::DaysBetween(ANow.trimmed().isEmpty() ? OutDate : ANow, AThen, m_dateKind);
}

QString TCustomSolarCalendar::GetRawDate() const
{
    return dateops::GetRawDate(OutDate);
}

QString TCustomSolarCalendar::GetDateWithDiv(const QString& Divider) const
{
    return dateops::GetDateWithDiv(OutDate, Divider);
}

QString TCustomSolarCalendar::YearScript(int Year, TFormat Format) const
{
    return datescripts::YearScript(Year, Format, m_currYear);
}

QString TCustomSolarCalendar::MonthScript(int Month) const
{
    return datescripts::MonthScript(Month, m_currMonth);
}

QString TCustomSolarCalendar::DayScript(int Day) const
{
    return datescripts::DayScript(Day, m_currDay);
}

QString TCustomSolarCalendar::YMDScript(TMonthType MonthType, const QString& Divider) const
{
    return datescripts::YMDScript(MonthType, Divider, m_dateKind, m_currYear, m_currMonth, m_currDay);
}

QString TCustomSolarCalendar::ConvertDateEng(const QString& InDate) const
{
    return ConvertDateText(InDate, dkSolar);
}

QString TCustomSolarCalendar::ConvertDate() const
{
    return ConvertDateText(OutDate, m_dateKind);
}

int TCustomSolarCalendar::ConvertYear() const
{
    quint16 y = 0, m = 0, d = 0;
    SplitDate(ConvertDate(), y, m, d);
    return y;
}

quint8 TCustomSolarCalendar::ConvertMonth() const
{
    quint16 y = 0, m = 0, d = 0;
    SplitDate(ConvertDate(), y, m, d);
    return static_cast<quint8>(m);
}
