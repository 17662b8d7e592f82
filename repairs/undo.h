#pragma once
// Putting back what a repair run overwrote, from its journal.

#include "repairs/journal.h"

#include <QStringList>

class TMSConnection;

namespace rimo::repairs {

struct UndoReport
{
    qint64 restored = 0;        // rows given back their journalled values
    qint64 alreadyRestored = 0; // rows that held them already (an earlier undo, a failed statement)
    qint64 notFound = 0;        // journalled rows no longer in the table
    qint64 forced = 0;          // changed since the run and restored all the same (--force)
    QStringList changedSince;   // changed since the run and left as they are: one line each
};

// Restores the journal's rows on the herd of `connection`, whose database must be the journal's.
// A row is restored when it still holds what the run wrote; one that holds something else is
// listed and left, unless `force`. Undoing twice changes nothing the second time. Raises
// rimo::Error for a journal of another database and for errors of the table.
UndoReport undoJournal(TMSConnection& connection, const Journal& journal, bool force);

} // namespace rimo::repairs
