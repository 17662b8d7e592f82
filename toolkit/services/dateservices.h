#pragma once
// Date and time services of the toolkit object: the toolkit's face of the date rules of
// calendar/ (daterules.h, dateentry.h), with the Persian messages of the entry checks, the edit
// boxes and the data field. The toolkit object inherits them and supplies the message box.
//
// Two engines meet here: ToFarsiDate keeps the toolkit's own day stepping for
// 1922-01-01..2021-03-20 and uses the calendar library outside it; ToEnglishDate always uses
// the library. Everything that counts days counts on the library's calendar, the one the
// conversions and the month control show. IsKabise is the toolkit's older leap-year rule, kept
// for its callers; it differs from the library's in some years (1387, 1388, 1403, 1404) and no
// count uses it.

#include "calendar/dateentry.h"
#include "core/clock.h"

#include <QDate>
#include <QString>
#include <optional>

class QWidget;
class TMSTable;

class TDateServices
{
public:
    virtual ~TDateServices() = default;

    // The toolkit's modal Persian information message.
    virtual void ShowMsg(const QString& St) = 0;
    // The clock today's date and the time of day are read from.
    virtual const rimo::Clock& clock() const = 0;

    // --- Conversions ---
    // Gregorian "dd/mm/yyyy" to solar yyyy/mm/dd; the empty text for a text it cannot read, a
    // date that does not exist outside the day arithmetic's span, or a date before 622-03-21.
    // What the day arithmetic assembles from odd days or months goes through CompleateDate.
    QString ToFarsiDate(const QString& eng_date);
    // Solar date text to Gregorian "dd/mm/yyyy" through the library. A text that names no solar
    // day raises rimo::Error and shows nothing: the error's text is the one Persian message for
    // it, the entry check's own (blank, letters, month 13) or the date message with "the year is
    // not right" (fewer than four digits: 89/11/4) or "the day is not right" (1389/07/31,
    // 1404/12/30). So no caller can build SQL from a day that does not exist.
    QString ToEnglishDate(const QString& FarDate);
    // The same as ToEnglishDate.
    QString ToEnglishDateForSQLServer(const QString& FarDate);
    // Today's solar date as filled at the toolkit's creation (empty before).
    QString FarsiToday() const { return m_today; }
    // From the clock's date, or from `today`.
    void fillTodaySlot();
    void fillTodaySlot(const QDate& today);
    // The toolkit's own leap-year test (1388 and 1404 leap, 1387 and 1403 not), for callers that
    // ask it; the day counting no longer uses it and follows the library's calendar.
    static bool IsKabise(int Sal);
    // "D/M/Y" <-> "Y/M/D" (names in any case) by fixed character positions; otherwise "".
    static QString ConvertDateFormat(const QString& St, const QString& OldFormat, const QString& NewFormat);

    // --- Entry checks (a failed check shows exactly one message) ---
    bool IsValidDate(const QString& St);
    // yyyy/mm/dd with the century from "1300"; St unchanged when it fails the check.
    QString CompleateDate(const QString& StToComp);
    bool IsValidTime(const QString& St);
    // hh:mm; the empty text when St fails the check.
    QString CompleateTime(const QString& St);
    // The clock's time of day as hh:mm; also resets the program's date and time formats.
    QString NowTime();
    // For the exit of an edit box (a widget with a "text" property). A rejected text stays and
    // gets the focus back. An accepted date is completed and shown in the box; for a data-aware
    // box (a TDBEdit with a DataField, or a box with the dynamic property "dataField") it is
    // also stored as text into that field of InTable, whose row must be in editing.
    bool CheckTheDate(QWidget* Sender, TMSTable* InTable);
    bool CheckTheTime(QWidget* Sender);

    // The message for a date or time text, empty when it is acceptable (no message shown).
    // Raise rimo::Error for a month, day, hour or minute beyond 32 bits.
    static QString dateEntryProblem(const QString& St);
    static QString timeEntryProblem(const QString& St);

    // --- Arithmetic ---
    // Days from Date1 to Date2 on the library's calendar (Esfand 30 in its leap years); never
    // negative unless ReturnMinuse asks for the sign. 0 after a failed check.
    int DaySubDate(const QString& Date1, const QString& Date2, bool ReturnMinuse);
    // The same on canonical texts read at fixed positions, with no check and no message.
    int DaySubDateWithOutCheckDate(const QString& Date1, const QString& Date2, bool ReturnMinuse);
    // The difference as "MM/DD" in 30-day months and 360-day years; "" after a failed check.
    QString SubDate(const QString& Date1, const QString& Date2);
    // yyyymmdd as an integer, -1 after a failed check. It orders dates and counts nothing.
    int DateToInt(const QString& St);
    // The solar date N days after FarDate (N may be negative), counted on the library's calendar.
    // Raises rimo::Error for a text that names no day: after the entry check's message for one
    // the check refuses, with the Persian message as its text for one it lets through
    // (1388/12/30, 89/11/04). Raises too when the result lies outside years 1..65535.
    QString NDayFromDate(const QString& FarDate, int N);
    // InTime advanced by the span N, as hh:mm, wrapping at midnight.
    QString NMinFromTime(const QString& InTime, const QString& N);
    // Hours from Time2 to Time1 (wrapping over midnight), rounded to two decimals.
    double SubTime(const QString& Time1, const QString& Time2);
    // The next three turn a bare count into units, with no date to place a leap day at: they
    // keep fixed units (30-day months, 365-day years), like SubDate's model, not the calendar.
    // A day count as "months.days" in 30-day months.
    static QString ConvertDayToMonthDay(const QString& St);
    // A "months/days" text or a day count as a comparable "MM/DD" (whole 30-day months carried).
    static QString ConvetToDateCompare(const QString& St);
    // A day count as years (365 days), months (30 days) and days, numbers in digits followed by
    // the Persian unit words; "" for 0, negatives and non-numbers.
    static QString DaysToDateSpell(const QString& Days);

protected:
    // Stores a completed date into field `field` of `InTable` as text.
    virtual void writeDateField(TMSTable* InTable, const QString& field, const QString& value);

private:
    // The completed text, or nothing after the check's message.
    std::optional<QString> completeChecked(const QString& St);
    // The solar day a text names; raises rimo::Error with the Persian message when it names none.
    static rimo::SolarDayCheck solarDayOrError(const QString& FarDate);

    QString m_today;
};
