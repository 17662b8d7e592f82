#include "toolkit/services/dateservices.h"

#include "calendar/dateentry.h"
#include "calendar/daterules.h"
#include "calendar/solarcalendar.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "core/integertext.h"
#include "core/textutil.h"
#include "db/msdataset.h"
#include "dbcontrols/dbwidgets.h"
#include "toolkit/services/texts.h"

#include <QVariant>
#include <QWidget>

namespace {

namespace texts = rimo::datetexts;

QString trimmedText(QStringView s)
{
    return rimo::trimmedView(s, rimo::TrimSet::Controls).toString();
}

QString dateMessage(const QString& t, const QString& reason)
{
    return texts::DatePrefix + t + texts::NotValid + texts::LineBreak + reason;
}

QString timeMessage(const QString& t, const QString& reason)
{
    return texts::TimePrefix + t + texts::NotValid + texts::LineBreak + reason;
}

// The column a data-aware edit box is bound to: the one the project's TDBEdit names, or for any
// other box its dynamic property "dataField"; "" for a box without one.
QString dataFieldOf(const QWidget* sender)
{
    if (const auto* edit = qobject_cast<const TDBEdit*>(sender))
        return edit->DataField();
    return sender->property("dataField").toString();
}

QString widgetText(QWidget* sender)
{
    const QVariant text = sender ? sender->property("text") : QVariant();
    if (!text.isValid())
        throw rimo::Error(QStringLiteral("The date and time checks need an edit box with a text"));
    return text.toString();
}

} // namespace

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
    const rimo::ToolkitSolarText solar = rimo::toolkitSolarText(*y, *m, *d);
    // What the day stepping assembles from odd days or months goes through the date check.
    return solar.stepped ? CompleateDate(solar.text) : solar.text;
}

rimo::SolarDayCheck TDateServices::solarDayOrError(const QString& FarDate)
{
    const QString problem = dateEntryProblem(FarDate);
    if (!problem.isEmpty())
        throw rimo::Error(problem);
    const rimo::SolarDayCheck day = rimo::checkSolarDay(FarDate);
    switch (day.fault) {
    case rimo::SolarDayFault::None:
        return day;
    case rimo::SolarDayFault::Year:
        throw rimo::Error(dateMessage(trimmedText(FarDate), texts::BadYear));
    case rimo::SolarDayFault::Day:
        break;
    }
    throw rimo::Error(dateMessage(trimmedText(FarDate), texts::BadDay));
}

QString TDateServices::ToEnglishDate(const QString& FarDate)
{
    const rimo::SolarDayCheck day = solarDayOrError(FarDate);
    quint16 y = day.year, m = day.month, d = day.day;
    // Solar years near 65535 lie past the Gregorian years the library holds.
    if (!rimo::SolarToGregorian(y, m, d))
        throw rimo::Error(dateMessage(trimmedText(FarDate), texts::BadYear));
    return rimo::twoDigits(d) + u'/' + rimo::twoDigits(m) + u'/' + QString::number(y);
}

QString TDateServices::ToEnglishDateForSQLServer(const QString& FarDate)
{
    return ToEnglishDate(FarDate);
}

void TDateServices::fillTodaySlot()
{
    fillTodaySlot(clock().today());
}

void TDateServices::fillTodaySlot(const QDate& today)
{
    // The text is built with a fixed day-first pattern, independent of the user's locale.
    m_today = ToFarsiDate(today.toString(QStringLiteral("dd/MM/yyyy"))).left(10);
}

bool TDateServices::IsKabise(int Sal)
{
    return rimo::isKabiseYear(Sal);
}

QString TDateServices::ConvertDateFormat(const QString& St, const QString& OldFormat,
                                         const QString& NewFormat)
{
    return rimo::reorderedDateText(St, OldFormat, NewFormat);
}

// ---------------------------------------------------------------------------------------------
// Entry checks

QString TDateServices::dateEntryProblem(const QString& St)
{
    const rimo::DateEntryCheck check = rimo::checkDateEntry(St);
    switch (check.fault) {
    case rimo::DateEntryFault::None:
        return {};
    case rimo::DateEntryFault::SlashCount:
        return dateMessage(check.text, texts::SlashCount);
    case rimo::DateEntryFault::Characters:
        return dateMessage(check.text, texts::DateDigits);
    case rimo::DateEntryFault::MissingPart:
        return texts::DateEntry;
    case rimo::DateEntryFault::Month:
        return dateMessage(check.text, texts::BadMonth);
    case rimo::DateEntryFault::Day:
        return dateMessage(check.text, texts::BadDay);
    }
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
    return rimo::completedDate(St);
}

QString TDateServices::CompleateDate(const QString& StToComp)
{
    return completeChecked(StToComp).value_or(StToComp);
}

QString TDateServices::timeEntryProblem(const QString& St)
{
    const rimo::TimeEntryCheck check = rimo::checkTimeEntry(St);
    switch (check.fault) {
    case rimo::TimeEntryFault::None:
        return {};
    case rimo::TimeEntryFault::ColonCount:
        return timeMessage(check.text, texts::ColonCount);
    case rimo::TimeEntryFault::Characters:
        return timeMessage(check.text, texts::TimeCharacters);
    case rimo::TimeEntryFault::MissingPart:
        return timeMessage(check.text, texts::TimeEntry);
    case rimo::TimeEntryFault::Hour:
        return timeMessage(check.text, texts::BadHour);
    case rimo::TimeEntryFault::Minute:
        return timeMessage(check.text, texts::BadMinute);
    }
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
    return IsValidTime(St) ? rimo::completedTime(St) : QString();
}

QString TDateServices::NowTime()
{
    rimo::imposeProgramFormats();
    const QString now = clock().time().toString(QStringLiteral("HH:mm:ss"));
    const qsizetype colon = now.indexOf(u':');
    QString result = colon < 0 ? rimo::completedFrom(now, u"00")
                               : rimo::completedFrom(now.left(colon), u"00") + now.mid(colon, 3);
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
    const QString field = dataFieldOf(Sender);
    if (!field.isEmpty()) {
        if (!InTable)
            throw rimo::Error(QStringLiteral("No table for the date field %1").arg(field));
        writeDateField(InTable, field, *done);
    }
    // Writing the field tells no control, so the box is given the completed text too (a TDBEdit
    // bound to that field writes the same text into the row once more).
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
    return rimo::toolkitDayDifference(rimo::completedDateParts(*a), rimo::completedDateParts(*b),
                                      ReturnMinuse);
}

int TDateServices::DaySubDateWithOutCheckDate(const QString& Date1, const QString& Date2, bool ReturnMinuse)
{
    return rimo::toolkitDayDifference(rimo::fixedPositionDateParts(Date1),
                                      rimo::fixedPositionDateParts(Date2), ReturnMinuse);
}

QString TDateServices::SubDate(const QString& Date1, const QString& Date2)
{
    const std::optional<QString> a = completeChecked(Date1);
    const std::optional<QString> b = completeChecked(Date2);
    if (!a || !b)
        return {};
    return rimo::monthsAndDaysBetween(rimo::completedDateParts(*a), rimo::completedDateParts(*b));
}

int TDateServices::DateToInt(const QString& St)
{
    return IsValidDate(St) ? rimo::dateNumber(St) : -1;
}

QString TDateServices::NDayFromDate(const QString& FarDate, int N)
{
    // A text the entry check refuses is reported as everywhere else; one that passes it but names
    // no day (1388/12/30, year 89) is refused rather than counted from a day of its own making.
    if (!IsValidDate(FarDate))
        throw rimo::Error(QStringLiteral("'%1' is not a valid date").arg(FarDate.left(40)));
    const rimo::SolarDayCheck from = solarDayOrError(FarDate);
    // Counted on the calendar the conversions and the month control show, as DaySubDate counts.
    quint16 y = 0, m = 0, d = 0;
    if (!rimo::solarDateOfDayNumber(rimo::solarDayNumber(from.year, from.month, from.day) + N, y, m, d))
        throw rimo::Error(QStringLiteral("No solar date lies %1 days from %2").arg(N).arg(FarDate.left(40)));
    return QStringLiteral("%1/%2/%3").arg(y, 4, 10, QChar(u'0')).arg(rimo::twoDigits(m), rimo::twoDigits(d));
}

QString TDateServices::NMinFromTime(const QString& InTime, const QString& N)
{
    return rimo::clockTimeAfter(InTime, N);
}

double TDateServices::SubTime(const QString& Time1, const QString& Time2)
{
    return rimo::hoursSince(rimo::clockSeconds(CompleateTime(Time1)),
                            rimo::clockSeconds(CompleateTime(Time2)));
}

QString TDateServices::ConvertDayToMonthDay(const QString& St)
{
    return rimo::monthDayText(St);
}

QString TDateServices::ConvetToDateCompare(const QString& St)
{
    return rimo::comparableDateText(St);
}

QString TDateServices::DaysToDateSpell(const QString& Days)
{
    return rimo::dayCountText(Days);
}
