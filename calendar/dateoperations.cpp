#include "calendar/dateoperations.h"

#include "core/error.h"
#include "core/textutil.h"

#include <QDate>
#include <algorithm>

namespace rimo::dateops {

namespace {

constexpr qint64 kLastYear = 65535;

struct Parts
{
    qint64 y = 0;
    qint64 m = 0;
    qint64 d = 0;
    bool complete() const { return y != 0 && m != 0 && d != 0; }
};

Parts split(const QString& Date)
{
    quint16 y = 0;
    quint16 m = 0;
    quint16 d = 0;
    SplitDate(Date, y, m, d);
    return {y, m, d};
}

// A year outside 1..65535 becomes 0, which no date has.
quint16 yearOrZero(qint64 y)
{
    return y >= 1 && y <= kLastYear ? static_cast<quint16>(y) : 0;
}

qint64 monthLength(TDateKind Kind, qint64 y, qint64 m)
{
    return y >= 1 && y <= kLastYear ? DaysOfMonth(Kind, static_cast<quint16>(y), static_cast<quint16>(m)) : 0;
}

QString join(qint64 y, qint64 m, qint64 d)
{
    return JoinDate(static_cast<quint16>(y), static_cast<quint16>(m), static_cast<quint16>(d));
}

// The day brought within the month; a month without length (year 0) leaves it.
qint64 fitDay(TDateKind Kind, qint64 y, qint64 m, qint64 d)
{
    const qint64 length = monthLength(Kind, y, m);
    return length > 0 ? std::min(d, length) : d;
}

QString withYear(const Parts& p, TDateKind Kind, qint64 y)
{
    const quint16 year = yearOrZero(y);
    return join(year, p.m, fitDay(Kind, year, p.m, p.d));
}

QString addMonths(const Parts& p, TDateKind Kind, qint64 n)
{
    if (!p.complete())
        return join(p.y, p.m, p.d);
    const qint64 months = p.y * 12 + (p.m - 1) + n;
    const qint64 y = months / 12;
    const qint64 m = months % 12 + 1;
    if (y > kLastYear)
        return join(0, m, p.d);
    return join(y, m, fitDay(Kind, y, m, p.d));
}

QString subtractMonths(const Parts& p, TDateKind Kind, qint64 n)
{
    if (!p.complete())
        return join(p.y, p.m, p.d);
    const qint64 months = p.y * 12 + (p.m - 1) - n;
    const qint64 y = months >= 0 ? months / 12 : -((11 - months) / 12);
    const qint64 m = months - 12 * y + 1;
    // Before year 1 the year becomes 0, as past 65535, whatever the day.
    if (y < 1)
        return join(0, m, p.d);
    // A target month shorter than the day leaves the date as it is.
    if (monthLength(Kind, y, m) < p.d)
        return join(p.y, p.m, p.d);
    return join(y, m, p.d);
}

qint64 yearLength(TDateKind Kind, qint64 y)
{
    qint64 days = 0;
    for (qint64 m = 1; m <= 12; ++m)
        days += monthLength(Kind, y, m);
    return days;
}

// Through the months and years day by day in effect, but a month or a year at a time.
QString addDays(const Parts& p, TDateKind Kind, qint64 n)
{
    if (!p.complete())
        return join(p.y, p.m, p.d);
    qint64 y = p.y;
    qint64 m = p.m;
    const qint64 d = fitDay(Kind, y, m, p.d);
    qint64 length = monthLength(Kind, y, m);
    if (d + n <= length)
        return join(y, m, d + n);
    // n counts the days still to go from the first day of month m.
    n -= length - d + 1;
    const auto nextMonth = [&] {
        if (++m > 12) {
            m = 1;
            ++y;
        }
    };
    nextMonth();
    while (m != 1 && y <= kLastYear) {
        length = monthLength(Kind, y, m);
        if (n < length)
            return join(y, m, n + 1);
        n -= length;
        nextMonth();
    }
    while (y <= kLastYear) {
        const qint64 days = yearLength(Kind, y);
        if (n < days)
            break;
        n -= days;
        ++y;
    }
    if (y > kLastYear)
        return join(0, 1, 1);
    for (length = monthLength(Kind, y, m); n >= length; length = monthLength(Kind, y, m)) {
        n -= length;
        ++m;
    }
    return join(y, m, n + 1);
}

QString subtractDays(const Parts& p, qint64 n)
{
    // Nothing changes when the step passes the first of the month.
    if (p.complete() && p.d - n >= 1)
        return join(p.y, p.m, p.d - n);
    return join(p.y, p.m, p.d);
}

// The parts of a date that exists in its calendar; anything else raises.
Parts existingDate(const QString& Date, TDateKind Kind)
{
    const Parts p = split(Date);
    if (!DateIsValid(Kind, static_cast<quint16>(p.y), static_cast<quint16>(p.m), static_cast<quint16>(p.d)))
        throw Error(QStringLiteral("\"%1\" is no date of the %2 calendar")
                        .arg(Date, Kind == dkSolar ? QStringLiteral("solar") : QStringLiteral("Gregorian")));
    return p;
}

QDate gregorianDate(const QString& Date, TDateKind Kind)
{
    const Parts p = existingDate(Date, Kind);
    quint16 y = static_cast<quint16>(p.y);
    quint16 m = static_cast<quint16>(p.m);
    quint16 d = static_cast<quint16>(p.d);
    if (Kind == dkSolar && !SolarToGregorian(y, m, d))
        throw Error(QStringLiteral("\"%1\" has no Gregorian date").arg(Date));
    return QDate(y, m, d);
}

QString withoutSlashes(const QString& Date, int count)
{
    QString out = Date;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = out.indexOf(u'/');
        if (at < 0)
            break;
        out.remove(at, 1);
    }
    return out;
}

bool blank(const QString& text)
{
    return text.trimmed().isEmpty();
}

} // namespace

QString IncYear(const QString& Date, TDateKind Kind, int ANumberOfYear)
{
    const Parts p = split(Date);
    return p.complete() ? withYear(p, Kind, p.y + ANumberOfYear) : join(p.y, p.m, p.d);
}

QString DecYear(const QString& Date, TDateKind Kind, int ANumberOfYear)
{
    const Parts p = split(Date);
    return p.complete() ? withYear(p, Kind, p.y - qint64(ANumberOfYear)) : join(p.y, p.m, p.d);
}

QString IncMonth(const QString& Date, TDateKind Kind, int ANumberOfMonth)
{
    const Parts p = split(Date);
    return ANumberOfMonth >= 0 ? addMonths(p, Kind, ANumberOfMonth)
                               : subtractMonths(p, Kind, -qint64(ANumberOfMonth));
}

QString DecMonth(const QString& Date, TDateKind Kind, int ANumberOfMonth)
{
    const Parts p = split(Date);
    return ANumberOfMonth >= 0 ? subtractMonths(p, Kind, ANumberOfMonth)
                               : addMonths(p, Kind, -qint64(ANumberOfMonth));
}

QString IncDay(const QString& Date, TDateKind Kind, int ANumberOfDay)
{
    const Parts p = split(Date);
    return ANumberOfDay >= 0 ? addDays(p, Kind, ANumberOfDay) : subtractDays(p, -qint64(ANumberOfDay));
}

QString DecDay(const QString& Date, TDateKind Kind, int ANumberOfDay)
{
    const Parts p = split(Date);
    return ANumberOfDay >= 0 ? subtractDays(p, ANumberOfDay) : addDays(p, Kind, -qint64(ANumberOfDay));
}

QString GotoYear(const QString& Date, TDateKind Kind, int AYear)
{
    return withYear(split(Date), Kind, AYear);
}

QString GotoMonth(const QString& Date, TDateKind Kind, int AMonth)
{
    const Parts p = split(Date);
    if (AMonth < 1 || AMonth > 12)
        return join(p.y, p.m, p.d);
    return join(p.y, AMonth, fitDay(Kind, p.y, AMonth, p.d));
}

QString GotoDay(const QString& Date, TDateKind Kind, int ADay)
{
    const Parts p = split(Date);
    const bool fits = ADay >= 1 && ADay <= monthLength(Kind, p.y, p.m);
    return join(p.y, p.m, fits ? ADay : p.d);
}

int GetMonthRemainDay(const QString& Date, TDateKind Kind)
{
    const Parts p = existingDate(Date, Kind);
    return static_cast<int>(monthLength(Kind, p.y, p.m) - p.d);
}

int GetYearRemainDays(const QString& Date, TDateKind Kind)
{
    const Parts p = existingDate(Date, Kind);
    qint64 days = monthLength(Kind, p.y, p.m) - p.d;
    for (qint64 m = p.m + 1; m <= 12; ++m)
        days += monthLength(Kind, p.y, m);
    return static_cast<int>(days);
}

int DayOfWeek(const QString& Date, TDateKind Kind)
{
    // Qt counts Monday 1 .. Sunday 7; Sunday first gives 1 .. 7 from Sunday.
    const int sundayFirst = gregorianDate(Date, Kind).dayOfWeek() % 7 + 1;
    if (Kind == dkGregorian)
        return sundayFirst;
    // Friday first: Sunday .. Thursday are 3 .. 7, Friday 1, Saturday 2.
    return sundayFirst <= 5 ? sundayFirst + 2 : sundayFirst - 5;
}

int GetWeekRemainDays(const QString& Date, TDateKind Kind)
{
    return 7 - DayOfWeek(Date, Kind);
}

int WeekOfTheYear(const QString& ADate, TDateKind ADateKind)
{
    if (ADateKind == dkGregorian)
        return gregorianDate(ADate, ADateKind).weekNumber();
    const Parts p = existingDate(ADate, ADateKind);
    qint64 k = p.d;
    for (qint64 m = 1; m < p.m; ++m)
        k += monthLength(ADateKind, p.y, m);
    return static_cast<int>(k / 7 + (k % 7 > 0 ? 1 : 0));
}

int DaysBetween(const QString& ANow, const QString& AThen, TDateKind Kind)
{
    if (blank(ANow) || blank(AThen))
        return -1;
    const qint64 days = gregorianDate(ANow, Kind).daysTo(gregorianDate(AThen, Kind));
    return static_cast<int>(days < 0 ? -days : days);
}

QString GetRawDate(const QString& Date)
{
    return blank(Date) ? QString() : withoutSlashes(Date, 3);
}

QString GetDateWithDiv(const QString& Date, const QString& Divider)
{
    return blank(Date) ? QString() : QString(Date).replace(u'/', Divider);
}

bool YearConverts(TDateKind Kind, int Year)
{
    if (Year < 1 || Year > kLastYear)
        return false;
    const auto y = static_cast<quint16>(Year);
    // Conversions fail only at the ends of the range, so the first and last day tell.
    quint16 fy = y, fm = 1, fd = 1;
    quint16 ly = y, lm = 12, ld = DaysOfMonth(Kind, y, 12);
    if (Kind == dkSolar)
        return SolarToGregorian(fy, fm, fd) && SolarToGregorian(ly, lm, ld);
    return GregorianToSolar(fy, fm, fd) && GregorianToSolar(ly, lm, ld);
}

} // namespace rimo::dateops
