#include "calendar/daterules.h"

#include "calendar/dateentry.h"
#include "calendar/solarcalendar.h"
#include "calendar/texts.h"
#include "core/error.h"
#include "core/integertext.h"
#include "core/textutil.h"

#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace rimo {

namespace {

// The solar date of a Gregorian date by the calendar library, with a four-digit year;
// the empty text when the date does not exist or lies before the solar calendar.
QString librarySolarText(int y, int m, int d)
{
    if (y < 1 || y > 65535 || m < 1 || m > 12 || d < 1 || d > 31)
        return {};
    auto year = static_cast<quint16>(y);
    auto month = static_cast<quint16>(m);
    auto day = static_cast<quint16>(d);
    if (!GregorianToSolar(year, month, day))
        return {};
    return QStringLiteral("%1/%2/%3").arg(year, 4, 10, QChar(u'0')).arg(twoDigits(month), twoDigits(day));
}

// The toolkit's own day stepping, exact (quirks included) from 1922-01-01 to 2021-03-20 and for
// two-digit years: the unpadded solar text S/T/E.
QString stepSolarText(qint64 y, qint64 m, qint64 d)
{
    static constexpr int kStartOffset[13] = {0, 10, 11, 9, 11, 10, 10, 9, 9, 9, 8, 9, 9};
    qint64 e = m >= 1 && m <= 12 ? kStartOffset[m] : 0;
    const qint64 y2 = y % 100; // only the last two digits count
    if (y2 % 4 == 0 && m > 2)
        ++e;
    qint64 k = 29; // length of the closing month
    if ((y2 - 1) % 4 == 0) {
        k = 30;
        if (m <= 3)
            ++e;
    }
    qint64 s = y2 - 22;
    if (s < 0)
        s += 100;
    qint64 t = m + 9;
    if (t > 12) {
        t -= 12;
        ++s;
    }
    e += d;
    if (t <= 6)
        k = 31;
    else if (t <= 11)
        k = 30;
    if (e > k) {
        e -= k;
        ++t;
        if (t > 12) {
            t -= 12;
            ++s;
        }
    }
    return QStringLiteral("%1/%2/%3").arg(s).arg(t).arg(e);
}

bool inStepSpan(int y, int m, int d)
{
    // Month and day are not range-checked by the steps; comparing (y, m, d) in order keeps a
    // text such as 31/02/2020 on the steps' side and 32/03/2021 on the library's.
    const auto date = std::tuple(y, m, d);
    return date >= std::tuple(1922, 1, 1) && date <= std::tuple(2021, 3, 20);
}

} // namespace

bool isKabiseYear(int year)
{
    const qint64 sal = year;
    const qint64 y = sal < 100 ? sal : (sal / 100 - 13) * 100 + sal % 100;
    qint64 r = (y - 55) % 33;
    if (r < 0)
        r += 33;
    return r != 32 && r % 4 == 0;
}

qint64 kabiseYearsBetween(qint64 from, qint64 to)
{
    // Years below 100 and from 100 on are each periodic with 8 leap years in 33.
    const auto periodic = [](qint64 a, qint64 b) -> qint64 {
        if (a >= b)
            return 0;
        const qint64 n = b - a;
        qint64 count = (n / 33) * 8;
        for (qint64 y = a; y < a + n % 33; ++y)
            count += isKabiseYear(static_cast<int>(y)) ? 1 : 0;
        return count;
    };
    return periodic(from, std::min<qint64>(to, 100)) + periodic(std::max<qint64>(from, 100), to);
}

int toolkitDayDifference(const DateParts& from, const DateParts& to, bool signedResult)
{
    const auto [y1, m1, d1] = from;
    const auto [y2, m2, d2] = to;
    if (m1 < 1 || m1 > 12 || m2 < 1 || m2 > 12)
        throw Error(
            QStringLiteral("A month of %1 cannot be counted in days").arg(m1 < 1 || m1 > 12 ? m1 : m2));
    // Counted on the calendar the program shows, so that two days in a row are one day apart.
    const qint64 forward = solarDayNumber(y2, m2, d2) - solarDayNumber(y1, m1, d1);
    // The sign follows the dates' order as written; only a day beyond its month can make the
    // count run the other way (1389/01/40 lies after 1389/02/01).
    const bool later = std::tuple(y1, m1, d1) > std::tuple(y2, m2, d2);
    const qint64 result = later && !signedResult ? -forward : forward;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        throw Error(QStringLiteral("The number of days between the dates is too large"));
    return static_cast<int>(result);
}

DateParts fixedPositionDateParts(const QString& text)
{
    return {integerOrError(QStringView(text).mid(0, 4)), integerOrError(QStringView(text).mid(5, 2)),
            integerOrError(QStringView(text).mid(8, 2))};
}

DateParts completedDateParts(const QString& completed)
{
    const qsizetype first = completed.indexOf(u'/');
    const qsizetype second = completed.indexOf(u'/', first + 1);
    return {integerOrError(QStringView(completed).left(first)),
            integerOrError(QStringView(completed).mid(first + 1, second - first - 1)),
            integerOrError(QStringView(completed).mid(second + 1))};
}

ToolkitSolarText toolkitSolarText(int year, int month, int day)
{
    if (year < 0)
        return {};
    // Two-digit years are read as the 1300s by the steps, whatever the span.
    if (year >= 100 && !inStepSpan(year, month, day))
        return {librarySolarText(year, month, day), false};
    return {stepSolarText(year, month, day), true};
}

QString reorderedDateText(const QString& text, const QString& oldFormat, const QString& newFormat)
{
    const auto is = [](const QString& a, QLatin1String b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    const QLatin1String dayFirst("D/M/Y"), yearFirst("Y/M/D");
    if (is(oldFormat, dayFirst) && is(newFormat, yearFirst))
        return text.mid(6, 4) + u'/' + text.mid(3, 2) + u'/' + text.mid(0, 2);
    if (is(oldFormat, yearFirst) && is(newFormat, dayFirst))
        return text.mid(8, 2) + u'/' + text.mid(5, 2) + u'/' + text.mid(0, 4);
    return {};
}

QString monthsAndDaysBetween(const DateParts& a, const DateParts& b)
{
    qint64 t = (qint64(a.year) * 360 + a.month * 30 + a.day) - (qint64(b.year) * 360 + b.month * 30 + b.day);
    if (t < 0)
        t = -t; // the later date first, whichever order the dates came in
    // Strict tests: exactly 30 days stay days, exactly 360 days become 12 months.
    qint64 months = 0;
    if (t > 360) {
        months = 12 * (t / 360);
        t %= 360;
    }
    if (t > 30) {
        months += t / 30;
        t %= 30;
    }
    return twoDigits(months) + u'/' + twoDigits(t);
}

QString monthDayText(const QString& days)
{
    const int n = readInteger(days).value_or(0);
    return QString::number(n / 30) + u'.' + QString::number(n % 30);
}

QString comparableDateText(const QString& text)
{
    QString months = QStringLiteral("00");
    QString days = text;
    const qsizetype slash = text.indexOf(u'/');
    if (slash >= 0) {
        months = text.left(slash);
        days = text.mid(slash + 1, 100);
    }
    // Whole months in the day part are carried into the month part, as the 30-day months of
    // monthsAndDaysBetween count them (45 days are 1 month 15 days; exactly 30 days stay days).
    const auto m = readInteger(months);
    const auto d = readInteger(days);
    if (m && d && *d > 30) {
        months = QString::number(qint64(*m) + *d / 30);
        days = QString::number(*d % 30);
    }
    if (months.size() == 1)
        months.prepend(u'0');
    if (days.size() == 1)
        days.prepend(u'0');
    return months + u'/' + days;
}

QString dayCountText(const QString& days)
{
    int n = readInteger(days).value_or(0);
    const int years = n / 365;
    n %= 365;
    const int months = n / 30;
    const int rest = n % 30;
    QString result;
    if (years > 0)
        result += QString::number(years) + calendartexts::Years;
    if (months > 0)
        result += QString::number(months) + calendartexts::Months;
    if (rest > 0)
        result += QString::number(rest) + calendartexts::Days;
    return result;
}

QString clockTimeAfter(const QString& time, const QString& span)
{
    const int sum = (clockSeconds(time) + clockSeconds(span)) % 86400;
    return QTime(0, 0).addSecs(sum).toString(QStringLiteral("HH:mm:ss")).left(5);
}

double hoursSince(int laterSeconds, int earlierSeconds)
{
    const int span = ((laterSeconds - earlierSeconds) % 86400 + 86400) % 86400;
    const int hours = span / 3600;
    const int minutes = span % 3600 / 60;
    return std::nearbyint((hours + minutes / 60.0) * 100) / 100;
}

} // namespace rimo
