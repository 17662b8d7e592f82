#include "calendar/dateentry.h"

#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "core/integertext.h"
#include "core/textutil.h"

#include <QStringList>
#include <algorithm>

namespace rimo {

namespace {

QString trimmedText(QStringView s)
{
    return trimmedView(s, TrimSet::Controls).toString();
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool onlyDigitsAnd(const QString& text, QChar separator)
{
    return std::all_of(text.begin(), text.end(),
                       [separator](QChar c) { return c == separator || isDigit(c); });
}

struct TimeParts
{
    QString hours, minutes;
};

// Hours and minutes of a time text with a ":" added when it has none; the minute is read from at
// most ten characters.
TimeParts timeParts(QString text)
{
    if (!text.contains(u':'))
        text += QStringLiteral(":00");
    const qsizetype colon = text.indexOf(u':');
    return {trimmedText(QStringView(text).left(colon)), trimmedText(QStringView(text).mid(colon + 1, 10))};
}

} // namespace

DateEntryCheck checkDateEntry(const QString& text)
{
    DateEntryCheck check{DateEntryFault::None, trimmedText(text)};
    const QString& t = check.text;
    if (t.count(u'/') != 2) {
        check.fault = DateEntryFault::SlashCount;
    } else if (!onlyDigitsAnd(t, u'/')) {
        check.fault = DateEntryFault::Characters;
    } else {
        const qsizetype first = t.indexOf(u'/');
        const qsizetype second = t.indexOf(u'/', first + 1);
        const QStringView month = QStringView(t).mid(first + 1, second - first - 1);
        const QStringView day = QStringView(t).mid(second + 1);
        if (first == 0 || month.isEmpty() || day.isEmpty()) {
            check.fault = DateEntryFault::MissingPart;
        } else if (const int m = integerOrError(month); m < 1 || m > 12) {
            check.fault = DateEntryFault::Month;
        } else if (const int d = integerOrError(day); d < 1 || d > 31) {
            check.fault = DateEntryFault::Day;
        }
    }
    return check;
}

QString completedDate(const QString& accepted)
{
    const QString t = trimmedText(accepted);
    const qsizetype first = t.indexOf(u'/');
    const qsizetype second = t.indexOf(u'/', first + 1);
    return completedFrom(QStringView(t).left(first), u"1300") + u'/' +
           completedFrom(QStringView(t).mid(first + 1, second - first - 1), u"00") + u'/' +
           completedFrom(QStringView(t).mid(second + 1), u"00");
}

int dateNumber(const QString& accepted)
{
    return integerOrError(completedDate(accepted).remove(u'/'));
}

SolarDayCheck checkSolarDay(const QString& accepted)
{
    const QString t = trimmedText(accepted);
    const qsizetype first = t.indexOf(u'/');
    const qsizetype second = t.indexOf(u'/', first + 1);
    // The year as the library's texts read it: four digits at least, within 16 bits.
    bool yearRead = false;
    const qlonglong year = QStringView(t).left(first).toLongLong(&yearRead);
    if (first < 0 || second < 0 || !yearRead || year < 1000 || year > 65535)
        return {SolarDayFault::Year};
    const int month = readInteger(QStringView(t).mid(first + 1, second - first - 1)).value_or(0);
    const int day = readInteger(QStringView(t).mid(second + 1)).value_or(0);
    const auto y = static_cast<quint16>(year);
    if (month < 1 || month > 12 || day < 1 || day > 31 ||
        !DateIsValid(dkSolar, y, static_cast<quint16>(month), static_cast<quint16>(day)))
        return {SolarDayFault::Day};
    return {SolarDayFault::None, y, static_cast<quint16>(month), static_cast<quint16>(day)};
}

TimeEntryCheck checkTimeEntry(const QString& text)
{
    TimeEntryCheck check{TimeEntryFault::None, trimmedText(text)};
    if (!check.text.contains(u':'))
        check.text += QStringLiteral(":00");
    const QString& t = check.text;
    if (t.count(u':') != 1) {
        check.fault = TimeEntryFault::ColonCount;
    } else if (!onlyDigitsAnd(t, u':')) {
        check.fault = TimeEntryFault::Characters;
    } else {
        const TimeParts p = timeParts(t);
        if (p.hours.isEmpty() || p.minutes.isEmpty()) {
            check.fault = TimeEntryFault::MissingPart;
        } else if (const int h = integerOrError(p.hours); h < 0 || h > 23) {
            check.fault = TimeEntryFault::Hour;
        } else if (const int m = integerOrError(p.minutes); m < 0 || m > 59) {
            check.fault = TimeEntryFault::Minute;
        }
    }
    return check;
}

QString completedTime(const QString& accepted)
{
    const TimeParts p = timeParts(accepted);
    return completedFrom(p.hours, u"00") + u':' + completedFrom(p.minutes, u"00");
}

int clockSeconds(const QString& text)
{
    const QStringList parts = text.split(u':');
    const int limits[3] = {23, 59, 59};
    int values[3] = {0, 0, 0};
    bool ok = parts.size() <= 3;
    for (qsizetype i = 0; ok && i < parts.size(); ++i) {
        const auto v = readInteger(parts[i]);
        ok = v && *v >= 0 && *v <= limits[i];
        if (ok)
            values[i] = *v;
    }
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid time").arg(text.left(40)));
    return values[0] * 3600 + values[1] * 60 + values[2];
}

} // namespace rimo
