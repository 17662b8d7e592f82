#include "toolkit/services/dateservices.h"

#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "core/integertext.h"
#include "core/textutil.h"
#include "db/msdataset.h"
#include "toolkit/services/texts.h"

#include <QVariant>
#include <QWidget>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

namespace texts = rimo::datetexts;

// Without every leading and trailing character of code 32 or less.
QString trimmedText(QStringView s)
{
    return rimo::trimmedView(s, rimo::TrimSet::Controls).toString();
}

// The first (width - length) characters of `filler` put in front of `part`.
QString completed(const QString& part, const QString& filler)
{
    return filler.left(std::max<qsizetype>(0, filler.size() - part.size())) + part;
}

struct DateParts
{
    QString year, month, day;
};

// Year, month and day of an accepted date text, completed like CompleateDate.
DateParts completedParts(const QString& accepted)
{
    const QString t = trimmedText(accepted);
    const qsizetype first = t.indexOf(u'/');
    const qsizetype second = t.indexOf(u'/', first + 1);
    return {completed(t.left(first), QStringLiteral("1300")),
            completed(t.mid(first + 1, second - first - 1), QStringLiteral("00")),
            completed(t.mid(second + 1), QStringLiteral("00"))};
}

QString dateMessage(const QString& t, const QString& reason)
{
    return texts::DatePrefix + t + texts::NotValid + texts::LineBreak + reason;
}

QString timeMessage(const QString& t, const QString& reason)
{
    return texts::TimePrefix + t + texts::NotValid + texts::LineBreak + reason;
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The solar date of a Gregorian date by the calendar library, with a four-digit year;
// the empty text when the date does not exist or lies before the solar calendar.
QString librarySolarText(int y, int m, int d)
{
    if (y < 1 || y > 65535 || m < 1 || m > 12 || d < 1 || d > 31)
        return {};
    auto year = static_cast<quint16>(y);
    auto month = static_cast<quint16>(m);
    auto day = static_cast<quint16>(d);
    if (!rimo::GregorianToSolar(year, month, day))
        return {};
    return QStringLiteral("%1/%2/%3")
        .arg(year, 4, 10, QChar(u'0'))
        .arg(month, 2, 10, QChar(u'0'))
        .arg(day, 2, 10, QChar(u'0'));
}

// The day-first text's own day arithmetic, exact (quirks included) from 1922-01-01 to
// 2021-03-20 and for two-digit years: the unpadded solar text S/T/E.
QString stepSolarText(qint64 d, qint64 m, qint64 y)
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

// Toolkit month lengths for day counting.
constexpr int kToolkitMonth[13] = {0, 31, 31, 31, 31, 31, 31, 30, 30, 30, 30, 30, 29};

// Number of IsKabise years in [from, to). Years below 100 and from 100 on are each periodic
// with 8 leap years in 33, so long spans are counted without visiting every year.
qint64 kabiseYearsBetween(qint64 from, qint64 to)
{
    const auto periodic = [](qint64 a, qint64 b) -> qint64 {
        if (a >= b)
            return 0;
        const qint64 n = b - a;
        qint64 count = (n / 33) * 8;
        for (qint64 y = a; y < a + n % 33; ++y)
            count += TDateServices::IsKabise(static_cast<int>(y)) ? 1 : 0;
        return count;
    };
    return periodic(from, std::min<qint64>(to, 100)) + periodic(std::max<qint64>(from, 100), to);
}

// Year, month and day of a canonical text by the fixed positions 1-4, 6-7 and 9-10.
void fixedPositionParts(const QString& text, int& y, int& m, int& d)
{
    y = rimo::integerOrError(QStringView(text).mid(0, 4));
    m = rimo::integerOrError(QStringView(text).mid(5, 2));
    d = rimo::integerOrError(QStringView(text).mid(8, 2));
}

// Year, month and day of a completed text, split at its two "/".
void splitParts(const QString& text, int& y, int& m, int& d)
{
    const qsizetype first = text.indexOf(u'/');
    const qsizetype second = text.indexOf(u'/', first + 1);
    y = rimo::integerOrError(QStringView(text).left(first));
    m = rimo::integerOrError(QStringView(text).mid(first + 1, second - first - 1));
    d = rimo::integerOrError(QStringView(text).mid(second + 1));
}

QString widgetText(QWidget* sender)
{
    const QVariant text = sender ? sender->property("text") : QVariant();
    if (!text.isValid())
        throw rimo::Error(QStringLiteral("The date and time checks need an edit box with a text"));
    return text.toString();
}

} // namespace

namespace rimo {

int toolkitDayDifference(int y1, int m1, int d1, int y2, int m2, int d2, bool returnMinuse)
{
    if (m1 < 1 || m1 > 12 || m2 < 1 || m2 > 12)
        throw Error(
            QStringLiteral("A month of %1 cannot be counted in days").arg(m1 < 1 || m1 > 12 ? m1 : m2));
    const bool later = y1 > y2 || (y1 == y2 && (m1 > m2 || (m1 == m2 && d1 > d2)));
    const qint64 lowYear = std::min(y1, y2);
    const qint64 highYear = std::max(y1, y2);
    const qint64 yearDays = 365 * (highYear - lowYear) + kabiseYearsBetween(lowYear, highYear);
    qint64 monthDays = 0;
    for (int m = std::min(m1, m2); m < std::max(m1, m2); ++m)
        monthDays += kToolkitMonth[m];
    const qint64 dayPart = later ? qint64(d1) - d2 : qint64(d2) - d1;
    if ((!later && m1 > m2) || (later && m1 < m2))
        monthDays = -monthDays;
    qint64 result = yearDays + monthDays + dayPart;
    if (returnMinuse && later)
        result = -result;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        throw Error(QStringLiteral("The number of days between the dates is too large"));
    return static_cast<int>(result);
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
    if (!ok) {
        QString shown = text.left(40);
        throw Error(QStringLiteral("'%1' is not a valid time").arg(shown));
    }
    return values[0] * 3600 + values[1] * 60 + values[2];
}

} // namespace rimo

// ---------------------------------------------------------------------------------------------
// Conversions

QString TDateServices::ToFarsiDate(const QString& eng_date)
{
    const qsizetype first = eng_date.indexOf(u'/');
    if (first < 0)
        return {};
    const qsizetype second = eng_date.indexOf(u'/', first + 1);
    if (second < 0)
        return {};
    const auto d = rimo::readInteger(QStringView(eng_date).left(first));
    const auto m = rimo::readInteger(QStringView(eng_date).mid(first + 1, second - first - 1));
    const auto y = rimo::readInteger(QStringView(eng_date).mid(second + 1));
    if (!d || !m || !y)
        return {};
    if (*y < 0)
        return {};
    // Two-digit years are read as the 1300s by the steps, whatever the span.
    if (*y >= 100 && !inStepSpan(*y, *m, *d))
        return librarySolarText(*y, *m, *d);
    return CompleateDate(stepSolarText(*d, *m, *y));
}

QString TDateServices::ToEnglishDate(const QString& FarDate)
{
    QString result;
    if (IsValidDate(FarDate))
        result = rimo::ConvertDateText(trimmedText(FarDate), rimo::dkSolar);
    if (!result.left(4).contains(u'/'))
        result = ConvertDateFormat(result, QStringLiteral("Y/M/D"), QStringLiteral("D/M/Y"));
    return result;
}

QString TDateServices::ToEnglishDateForSQLServer(const QString& FarDate)
{
    return ToEnglishDate(FarDate);
}

void TDateServices::fillTodaySlot()
{
    fillTodaySlot(QDate::currentDate());
}

void TDateServices::fillTodaySlot(const QDate& today)
{
    // The text is built with a fixed day-first pattern, independent of the user's locale.
    m_today = ToFarsiDate(today.toString(QStringLiteral("dd/MM/yyyy"))).left(10);
}

bool TDateServices::IsKabise(int Sal)
{
    const qint64 sal = Sal;
    const qint64 y = sal < 100 ? sal : (sal / 100 - 13) * 100 + sal % 100;
    qint64 r = (y - 55) % 33;
    if (r < 0)
        r += 33;
    return r != 32 && r % 4 == 0;
}

QString TDateServices::ConvertDateFormat(const QString& St, const QString& OldFormat,
                                         const QString& NewFormat)
{
    const auto is = [](const QString& a, const char* b) {
        return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
    };
    if (is(OldFormat, "D/M/Y") && is(NewFormat, "Y/M/D"))
        return St.mid(6, 4) + u'/' + St.mid(3, 2) + u'/' + St.mid(0, 2);
    if (is(OldFormat, "Y/M/D") && is(NewFormat, "D/M/Y"))
        return St.mid(8, 2) + u'/' + St.mid(5, 2) + u'/' + St.mid(0, 4);
    return {};
}

// ---------------------------------------------------------------------------------------------
// Entry checks

QString TDateServices::dateEntryProblem(const QString& St)
{
    const QString t = trimmedText(St);
    if (t.count(u'/') != 2)
        return dateMessage(t, texts::SlashCount);
    for (const QChar c : t) {
        if (c != u'/' && !isDigit(c))
            return dateMessage(t, texts::DateDigits);
    }
    const qsizetype first = t.indexOf(u'/');
    const qsizetype second = t.indexOf(u'/', first + 1);
    const QStringView month = QStringView(t).mid(first + 1, second - first - 1);
    const QStringView day = QStringView(t).mid(second + 1);
    if (first == 0 || month.isEmpty() || day.isEmpty())
        return texts::DateEntry;
    const int m = rimo::integerOrError(month);
    if (m < 1 || m > 12)
        return dateMessage(t, texts::BadMonth);
    const int d = rimo::integerOrError(day);
    if (d < 1 || d > 31)
        return dateMessage(t, texts::BadDay);
    return {};
}

bool TDateServices::IsValidDate(const QString& St)
{
    const QString problem = dateEntryProblem(St);
    if (problem.isEmpty())
        return true;
    ShowMsg(problem);
    return false;
}

std::optional<QString> TDateServices::completeChecked(const QString& St)
{
    if (!IsValidDate(St))
        return std::nullopt;
    const DateParts p = completedParts(St);
    return p.year + u'/' + p.month + u'/' + p.day;
}

QString TDateServices::CompleateDate(const QString& StToComp)
{
    return completeChecked(StToComp).value_or(StToComp);
}

QString TDateServices::timeEntryProblem(const QString& St)
{
    QString t = trimmedText(St);
    if (!t.contains(u':'))
        t += QStringLiteral(":00");
    if (t.count(u':') != 1)
        return timeMessage(t, texts::ColonCount);
    for (const QChar c : t) {
        if (c != u':' && !isDigit(c))
            return timeMessage(t, texts::TimeCharacters);
    }
    const qsizetype colon = t.indexOf(u':');
    const QString hours = trimmedText(QStringView(t).left(colon));
    const QString minutes = trimmedText(QStringView(t).mid(colon + 1, 10));
    if (hours.isEmpty() || minutes.isEmpty())
        return timeMessage(t, texts::TimeEntry);
    const int h = rimo::integerOrError(hours);
    if (h < 0 || h > 23)
        return timeMessage(t, texts::BadHour);
    const int m = rimo::integerOrError(minutes);
    if (m < 0 || m > 59)
        return timeMessage(t, texts::BadMinute);
    return {};
}

bool TDateServices::IsValidTime(const QString& St)
{
    const QString problem = timeEntryProblem(St);
    if (problem.isEmpty())
        return true;
    ShowMsg(problem);
    return false;
}

QString TDateServices::CompleateTime(const QString& St)
{
    if (!IsValidTime(St))
        return {};
    QString s = St;
    if (!s.contains(u':'))
        s += QStringLiteral(":00");
    const qsizetype colon = s.indexOf(u':');
    const QString hours = trimmedText(QStringView(s).left(colon));
    const QString minutes = trimmedText(QStringView(s).mid(colon + 1, 10));
    return completed(hours, QStringLiteral("00")) + u':' + completed(minutes, QStringLiteral("00"));
}

QString TDateServices::NowTime()
{
    rimo::imposeProgramFormats();

    const QString now = currentTime().toString(QStringLiteral("HH:mm:ss"));
    const qsizetype colon = now.indexOf(u':');
    QString result = colon < 0 ? completed(now, QStringLiteral("00"))
                               : completed(now.left(colon), QStringLiteral("00")) + now.mid(colon, 3);
    if (result.size() != 5) {
        ShowMsg(texts::NowPrefix + result + texts::NowReset);
        return QStringLiteral("00:00");
    }
    return result;
}

bool TDateServices::CheckTheDate(QWidget* Sender, TMSTable* InTable)
{
    const QString text = widgetText(Sender);
    const std::optional<QString> done = completeChecked(text);
    if (!done) {
        Sender->setFocus();
        return false;
    }
    const QString field = Sender->property("dataField").toString();
    if (!field.isEmpty()) {
        if (!InTable)
            throw rimo::Error(QStringLiteral("No table for the date field %1").arg(field));
        writeDateField(InTable, field, *done);
    }
    // A data-aware box shows its field's value; without a data link it is set here as well.
    Sender->setProperty("text", *done);
    return true;
}

void TDateServices::writeDateField(TMSTable* InTable, const QString& field, const QString& value)
{
    InTable->FieldByName(field).setAsString(value);
}

bool TDateServices::CheckTheTime(QWidget* Sender)
{
    const QString text = widgetText(Sender);
    if (!IsValidTime(text)) {
        Sender->setFocus();
        return false;
    }
    Sender->setProperty("text", CompleateTime(text));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Arithmetic

int TDateServices::DaySubDate(const QString& Date1, const QString& Date2, bool ReturnMinuse)
{
    const std::optional<QString> a = completeChecked(Date1);
    const std::optional<QString> b = completeChecked(Date2);
    if (!a || !b)
        return 0; // the check has spoken; there is nothing to count
    int y1, m1, d1, y2, m2, d2;
    splitParts(*a, y1, m1, d1);
    splitParts(*b, y2, m2, d2);
    return rimo::toolkitDayDifference(y1, m1, d1, y2, m2, d2, ReturnMinuse);
}

int TDateServices::DaySubDateWithOutCheckDate(const QString& Date1, const QString& Date2, bool ReturnMinuse)
{
    int y1, m1, d1, y2, m2, d2;
    fixedPositionParts(Date1, y1, m1, d1);
    fixedPositionParts(Date2, y2, m2, d2);
    return rimo::toolkitDayDifference(y1, m1, d1, y2, m2, d2, ReturnMinuse);
}

QString TDateServices::SubDate(const QString& Date1, const QString& Date2)
{
    const std::optional<QString> a = completeChecked(Date1);
    const std::optional<QString> b = completeChecked(Date2);
    if (!a || !b)
        return {};
    int y1, m1, d1, y2, m2, d2;
    splitParts(*a, y1, m1, d1);
    splitParts(*b, y2, m2, d2);
    qint64 t = (qint64(y1) * 360 + m1 * 30 + d1) - (qint64(y2) * 360 + m2 * 30 + d2);
    if (t < 0)
        t = -t; // the later date first, whichever order the texts came in
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
    return rimo::twoDigits(months) + u'/' + rimo::twoDigits(t);
}

int TDateServices::DateToInt(const QString& St)
{
    if (!IsValidDate(St))
        return -1;
    const DateParts p = completedParts(St);
    return rimo::integerOrError(QString(p.year + p.month + p.day));
}

QString TDateServices::NDayFromDate(const QString& FarDate, int N)
{
    // The Gregorian side as ToEnglishDate finds it, but a text that names no real solar day
    // (1388/12/30, year 89) is refused rather than read back as a Gregorian date of its own.
    QDate date;
    if (IsValidDate(FarDate)) {
        quint16 y = 0, m = 0, d = 0;
        rimo::SplitDate(trimmedText(FarDate), y, m, d);
        if (rimo::SolarToGregorian(y, m, d))
            date = QDate(y, m, d);
    }
    if (!date.isValid())
        throw rimo::Error(QStringLiteral("'%1' is not a valid date").arg(FarDate.left(40)));
    return ToFarsiDate(date.addDays(N).toString(QStringLiteral("dd/MM/yyyy")));
}

QString TDateServices::NMinFromTime(const QString& InTime, const QString& N)
{
    const int sum = (rimo::clockSeconds(InTime) + rimo::clockSeconds(N)) % 86400;
    return QTime(0, 0).addSecs(sum).toString(QStringLiteral("HH:mm:ss")).left(5);
}

double TDateServices::SubTime(const QString& Time1, const QString& Time2)
{
    const int t1 = rimo::clockSeconds(CompleateTime(Time1));
    const int t2 = rimo::clockSeconds(CompleateTime(Time2));
    const int span = ((t1 - t2) % 86400 + 86400) % 86400;
    const int hours = span / 3600;
    const int minutes = span % 3600 / 60;
    return std::nearbyint((hours + minutes / 60.0) * 100) / 100;
}

QString TDateServices::ConvertDayToMonthDay(const QString& St)
{
    const int n = rimo::readInteger(St).value_or(0);
    return QString::number(n / 30) + u'.' + QString::number(n % 30);
}

QString TDateServices::ConvetToDateCompare(const QString& St)
{
    QString months = QStringLiteral("00");
    QString days = St;
    const qsizetype slash = St.indexOf(u'/');
    if (slash >= 0) {
        months = St.left(slash);
        days = St.mid(slash + 1, 100);
    }
    // Whole months in the day part are carried into the month part, as the 30-day months of
    // SubDate count them (45 days are 1 month 15 days; exactly 30 days stay days).
    const auto m = rimo::readInteger(months);
    const auto d = rimo::readInteger(days);
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

QString TDateServices::DaysToDateSpell(const QString& Days)
{
    int n = rimo::readInteger(Days).value_or(0);
    const int years = n / 365;
    n %= 365;
    const int months = n / 30;
    const int rest = n % 30;
    QString result;
    if (years > 0)
        result += QString::number(years) + texts::Years;
    if (months > 0)
        result += QString::number(months) + texts::Months;
    if (rest > 0)
        result += QString::number(rest) + texts::Days;
    return result;
}
