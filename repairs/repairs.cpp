#include "repairs/repairs.h"

#include "db/msdataset.h"
#include "db/sqltext.h"

#include <utility>

using rimo::db::quotedSqlText;

namespace {
// "رسمي" with the Arabic yeh (U+064A): the herd databases' mark of an official recording.
const QString kOfficial = QStringLiteral("\u0631\u0633\u0645\u064A");
const QString kDash = QStringLiteral("-");
} // namespace

QString lactationUpdateStatement(const QString& serial, qint64 milkPeriod, const QString& calvingDate,
                                 bool unicodeSerial)
{
    return QStringLiteral("Update Firstrec Set MilkPeriod=") + QString::number(milkPeriod + 1) +
           QStringLiteral("Where Serial =") + (unicodeSerial ? QStringLiteral("N") : QString()) +
           quotedSqlText(serial) + QStringLiteral(" and Rdate>") + quotedSqlText(calvingDate);
}

bool firstRecSerialIsUnicode(TMSQuery& ask)
{
    return rimo::db::columnIsUnicode(ask, QStringLiteral("FirstRec"), QStringLiteral("Serial"));
}

namespace {
std::optional<QString> valueOf(const TField& f)
{
    return f.IsNull() ? std::nullopt : std::optional<QString>(f.AsString());
}
} // namespace

void RebuildRecordSequence(TMSTable& table, const RepairDisplay& display, const RepairHooks& hooks)
{
    table.Close();
    table.TableName = QStringLiteral("FirstRec");
    table.OrderFields = QStringLiteral("Serial,MilkPeriod,RDate");
    table.Open();
    table.First();

    TField& serial = table.FieldByName(QStringLiteral("Serial"));
    TField& milkPeriod = table.FieldByName(QStringLiteral("MilkPeriod"));
    TField& rDate = table.FieldByName(QStringLiteral("RDate"));
    TField& recSeq = table.FieldByName(QStringLiteral("RecSeq"));
    TField& recKind = table.FieldByName(QStringLiteral("RecKind"));
    TField& stRecNo = table.FieldByName(QStringLiteral("StRecNo"));

    QString animal = serial.AsString();
    qint64 lactation = milkPeriod.AsInteger();
    qint64 allCounter = 1;
    qint64 officialCounter = 1;
    qint64 step = 0;
    QString title;
    // Read into strings kept from row to row: a row costs no allocation for them.
    QString rowSerial, kind;

    while (!table.Eof()) {
        if (display.stopRequested && display.stopRequested())
            return;
        rowSerial.resize(0);
        serial.appendAsString(rowSerial);
        const qint64 rowLactation = milkPeriod.AsInteger();
        if (rowSerial != animal) { // exact, letter case included
            lactation = rowLactation;
            std::swap(animal, rowSerial);
            allCounter = 1;
            officialCounter = 1;
        }
        if (rowLactation != lactation) {
            lactation = rowLactation;
            officialCounter = 1;
        }
        kind.resize(0);
        recKind.appendAsString(kind);
        const bool official = kind == kOfficial;
        bool write = true;
        if (hooks.beforeRowWrite) {
            const std::optional<QString> before[2] = {valueOf(recSeq), valueOf(stRecNo)};
            const std::optional<QString> after[2] = {QString::number(allCounter),
                                                     official ? QString::number(officialCounter) : before[1]};
            write = hooks.beforeRowWrite(table, before, after);
        }
        if (write) {
            table.Edit();
            recSeq.setAsInteger(allCounter);
            if (official)
                stRecNo.setAsInteger(officialCounter);
            table.Post();
        }
        ++allCounter;
        if (official)
            ++officialCounter;
        table.Next();
        title.resize(0);
        serial.appendAsString(title);
        title += kDash;
        milkPeriod.appendAsString(title);
        title += kDash;
        rDate.appendAsString(title);
        title += kDash;
        recSeq.appendAsString(title);
        title += kDash;
        stRecNo.appendAsString(title);
        display.setTitle(title);
        if (step % 10 == 0 && display.pumpEvents)
            display.pumpEvents();
        ++step;
    }
}

void RebuildLactationNumbers(TMSTable& zayesh, TMSQuery& ask, const RepairDisplay& display,
                             const RepairHooks& hooks)
{
    // Read once per run: the column's type does not change between calvings.
    const bool unicodeSerial = firstRecSerialIsUnicode(ask);
    zayesh.Close();
    zayesh.OrderFields = QStringLiteral("Serial,ZDate");
    zayesh.FilterSQL = QStringLiteral("MilkPeriodchange=1");
    zayesh.Open();
    zayesh.First();

    TField& serial = zayesh.FieldByName(QStringLiteral("Serial"));
    TField& milkPeriod = zayesh.FieldByName(QStringLiteral("MilkPeriod"));
    TField& zDate = zayesh.FieldByName(QStringLiteral("ZDate"));
    qint64 step = 0;
    if (hooks.beforeFirstStatement)
        hooks.beforeFirstStatement();

    while (!zayesh.Eof()) {
        if (display.stopRequested && display.stopRequested())
            return;
        if (!hooks.beforeStatement ||
            hooks.beforeStatement(serial.AsString(), milkPeriod.AsInteger(), zDate.AsString())) {
            const QString statement = lactationUpdateStatement(serial.AsString(), milkPeriod.AsInteger(),
                                                               zDate.AsString(), unicodeSerial);
            ask.setSqlText(statement);
            bool ok = true;
            try {
                ask.Execute();
            } catch (const std::exception&) {
                ok = false;
                // The calving is listed and the run goes on; the error itself is not shown.
                display.appendLine(serial.AsString() + kDash + milkPeriod.AsString() + kDash +
                                   zDate.AsString() + kDash);
            }
            if (hooks.afterStatement)
                hooks.afterStatement(ok);
        }
        display.setTitle(serial.AsString() + kDash + milkPeriod.AsString() + kDash + zDate.AsString() +
                         kDash);
        if (step % 10 == 0 && display.pumpEvents)
            display.pumpEvents();
        ++step;
        zayesh.Next();
    }
}
