#pragma once
// One run of a repair as the window and the command-line runner start it: the repair function
// itself, with its undo journal, or as a dry run that reads and computes but writes nothing, or
// writing only the rows whose numbers are not right yet.

#include "repairs/journal.h"
#include "repairs/repairs.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class TMSConnection;
class TMSTable;
class TMSQuery;
class QIODevice;

namespace rimo::repairs {

enum class Repair { Sequence, Lactation };
QString repairName(Repair repair); // "sequence", "lactation"

struct RunOptions
{
    // Where the journal goes; it is made before the first write. Unused in a dry run.
    QString journalFolder;
    bool dryRun = false;
    bool changedOnly = false;
    // A dry run's changed rows as CSV (key columns..., column, old, new), when set.
    QIODevice* csv = nullptr;
    // Called after each row (sequence) or calving (lactation) with rows done and the total.
    std::function<void(qint64 done, qint64 total)> progress;
};

struct RunSummary
{
    QString repair;
    QString database;
    QString journalPath; // empty in a dry run
    qint64 rowsRead = 0;
    qint64 rowsWritten = 0; // rows posted, or recordings the executed statements rewrote
    qint64 rowsChanged = 0; // rows whose numbers differ afterwards (a dry run: would differ)
    QMap<QString, qint64> changedByColumn;
    QStringList failedCalvings;
    bool stopped = false; // a stop request ended the run at a row boundary
    double seconds = 0;
};

// The data module's objects a repair works on, all on one connection.
struct RepairObjects
{
    TMSConnection& connection;
    TMSTable& table;  // FirstRec for the record sequence
    TMSTable& zayesh; // the calvings
    TMSQuery& ask;    // the statements
};

// Runs `repair`. Errors of the repair pass to the caller, with the summary so far in `summary`
// and every row written before them in the journal. A journal that cannot be made stops the run
// before it reads the table.
void runRepair(Repair repair, const RepairObjects& objects, const RunOptions& options,
               const RepairDisplay& display, RunSummary& summary);

// The identity of FirstRec's rows: its key columns, or with no key every column but `written`.
struct TableIdentity
{
    bool keyed = true;
    QStringList columns;
};
TableIdentity describeIdentity(TMSConnection& connection, const QString& table, const QStringList& written);

} // namespace rimo::repairs
