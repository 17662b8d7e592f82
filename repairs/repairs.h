#pragma once
// The two repairs of the herd database's recording numbers.

#include <QString>
#include <functional>
#include <optional>

class TMSTable;
class TMSQuery;

// Where a repair shows its progress and failures.
struct RepairDisplay
{
    std::function<void(const QString&)> setTitle;
    std::function<void(const QString&)> appendLine;
    std::function<void()> pumpEvents;
    std::function<bool()> stopRequested; // checked between rows
};

// What a run does around each write: the journal, a dry run, skipping rows already right.
struct RepairHooks
{
    // Record sequence: before the current row of `table` is written, with its RecSeq and StRecNo
    // as they are and as they will be (no value: NULL). False leaves the row unwritten; an error
    // stops the run before the write.
    std::function<bool(TMSTable& table, const std::optional<QString> (&before)[2],
                       const std::optional<QString> (&after)[2])>
        beforeRowWrite;
    // Lactation numbers: once, after the calvings are read and before the first statement.
    std::function<void()> beforeFirstStatement;
    // Before the statement of a calving. False skips the statement; an error stops the run.
    std::function<bool(const QString& serial, qint64 milkPeriod, const QString& calvingDate)> beforeStatement;
    // After the statement of a calving, whether it succeeded.
    std::function<void(bool ok)> afterStatement;
};

// Renumbers RecSeq (all recordings of an animal) and StRecNo (official recordings of one
// lactation) over FirstRec, one row written at a time. Errors pass to the caller; rows
// written before stay written.
void RebuildRecordSequence(TMSTable& table, const RepairDisplay& display, const RepairHooks& hooks = {});

// Sets MilkPeriod of the recordings after each marked calving of zayesh to the calving's
// number plus one. A failing statement adds a line to the failure list and the run goes on.
void RebuildLactationNumbers(TMSTable& zayesh, TMSQuery& ask, const RepairDisplay& display,
                             const RepairHooks& hooks = {});

// The update statement for one calving, in the exact form the herd databases are sent. Where
// FirstRec.Serial is a Unicode column the serial goes as N'...': a plain literal is read in the
// database's code page, which turns Persian digits and the Persian yeh and kaf into "?", and the
// statement would then match nothing.
QString lactationUpdateStatement(const QString& serial, qint64 milkPeriod, const QString& calvingDate,
                                 bool unicodeSerial = false);

// Whether FirstRec.Serial is a Unicode column (nchar, nvarchar, ntext), read from the catalogue
// with `ask`; false when the catalogue does not say.
bool firstRecSerialIsUnicode(TMSQuery& ask);
