#include "calendar/monthgrid.h"

#include "core/error.h"

#include <QDate>

namespace rimo::monthgrid {

namespace {

const char16_t* const kSolarMonths[12] = {
    u"فروردين ماه", u"ارديبهشت ماه", u"خرداد ماه", u"تير ماه", u"مرداد ماه", u"شهريور ماه",
    u"مهر ماه",     u"آبان ماه",     u"آذر ماه",   u"دي ماه",  u"بهمن ماه",  u"اسفند ماه",
};
const char16_t* const kGregorianMonths[12] = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December",
};
// Friday first, as the solar day numbering of the date operations.
const char16_t* const kSolarDays[7] = {u"جمعه",    u"شنبه",     u"يکشنبه",  u"دوشنبه",
                                       u"سه شنبه", u"چهارشنبه", u"پنج شنبه"};
const char16_t* const kEnglishDays[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};

// Column of day 1 of the month.
int firstColumn(TDateKind Kind, quint16 Year, quint16 Month)
{
    quint16 y = Year;
    quint16 m = Month;
    quint16 d = 1;
    const bool placed = Kind == dkSolar ? SolarToGregorian(y, m, d) : DateIsValid(dkGregorian, y, m, d);
    if (!placed)
        throw Error(QStringLiteral("The month %1/%2 has no place in the calendar").arg(Year).arg(Month));
    const int sundayFirst = QDate(y, m, d).dayOfWeek() % 7; // Sunday 0 .. Saturday 6
    // The solar grid starts on Saturday.
    return Kind == dkSolar ? (sundayFirst + 1) % 7 : sundayFirst;
}

} // namespace

MonthGrid FillGrid(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day, bool HasSelector)
{
    MonthGrid g;
    g.firstCell = firstColumn(Kind, Year, Month);
    const int length = DaysOfMonth(Kind, Year, Month);
    for (int day = 1; day <= length; ++day)
        g.texts[g.firstCell + day - 1] = QString::number(day);
    const int last = g.firstCell + length - 1;
    g.lastCol = last % kColumns;
    g.lastRow = last / kColumns;
    if (Day >= 1 && Day <= length)
        g.focusedCell = g.firstCell + Day - 1;
    for (int i = 0; i < kCells; ++i)
        g.outside[i] = i < g.firstCell || i > last;
    if (!HasSelector)
        return g;
    // The real length of the month before, so a leap Esfand ends with its 30th day.
    const quint16 prevYear = Month == 1 ? Year - 1 : Year;
    const quint16 prevMonth = Month == 1 ? 12 : Month - 1;
    const int prevLength =
        prevYear == 0 ? calendarrules::kMonthLength[Kind][prevMonth] : DaysOfMonth(Kind, prevYear, prevMonth);
    for (int i = 0; i < g.firstCell; ++i)
        g.texts[i] = QString::number(prevLength - (g.firstCell - 1 - i));
    for (int i = last + 1; i < kCells; ++i)
        g.texts[i] = QString::number(i - last);
    return g;
}

QString MonthName(TDateKind Kind, int Month)
{
    if (Month < 1 || Month > 12)
        return {};
    return QString::fromUtf16(Kind == dkSolar ? kSolarMonths[Month - 1] : kGregorianMonths[Month - 1]);
}

QStringList MonthNames(TDateKind Kind)
{
    QStringList names;
    for (int m = 1; m <= 12; ++m)
        names << MonthName(Kind, m);
    return names;
}

QString DayName(TDateKind Kind, int Column)
{
    if (Column < 0 || Column >= kColumns)
        return {};
    // Solar column 0 is Saturday, the second entry of the Friday-first table.
    return QString::fromUtf16(Kind == dkSolar ? kSolarDays[(Column + 1) % 7] : kEnglishDays[Column]);
}

QStringList WeekdayCaptions(TDateKind Kind)
{
    if (Kind == dkSolar)
        return {DayName(dkSolar, 0), DayName(dkSolar, 1), DayName(dkSolar, 2), DayName(dkSolar, 3),
                DayName(dkSolar, 4), DayName(dkSolar, 5), DayName(dkSolar, 6)};
    return {QStringLiteral("Sat"), QStringLiteral("Fri"), QStringLiteral("Thu"), QStringLiteral("Wed"),
            QStringLiteral("Tue"), QStringLiteral("Mon"), QStringLiteral("Sun")};
}

} // namespace rimo::monthgrid
