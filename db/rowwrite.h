#pragma once
// The statements a table's Post sends, built from what the table holds and nothing else: the
// columns (names quoted once per open), the row as read, the values written while editing and
// the key. Values always go as parameters, never inside the text.

#include "db/rowstore.h"
#include "db/session.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

namespace rimo::db {

// Text, parameter declarations ("@P1 bigint,@P2 int") and values of one sp_executesql call.
struct RowWrite
{
    QString text;
    QString declarations;
    std::vector<RpcParam> params;
};

// Values written while editing, one entry per column; an unset entry keeps the row's value.
using RowEdits = std::vector<std::optional<QVariant>>;

// What changes from one Post to the next: the values, and the statement's shape (which
// columns, and for each whether it is NULL, N'' or a parameter of which type). Rows of one shape
// share one statement text, so a table builds it once and sends only the values after that.
struct RowValues
{
    std::vector<std::uint32_t> shape;
    std::vector<RpcParam> params;
    void clear(); // keeps the capacity: Post runs once per row
};

// Whether an original value of the client library's type goes back as a parameter of that type
// with its value as delivered (exact numbers, besides the fixed-width types and binary): the
// server then compares the very value it sent. Dates and times, which db-lib cannot send, go as
// ISO text converted in the statement with an explicit style.
bool isSentAsItsOwnType(int type);

// Whether a Post writes the column: it was set while editing, and its value is not one the
// server owns (identity, computed and row-version values).
bool isWrittenColumn(const ColumnInfo& column, const std::optional<QVariant>& edit);

// UPDATE of the row read as `original`, setting the written columns. The row is identified by
// its key columns (indexes into `columns`); with no key, by every original value that can be
// compared, and then at most one row changes (UPDATE TOP (1)); raises when there is none, since
// any row could be changed. Empty text when nothing is written.
RowWrite rowUpdate(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                   const std::vector<Cell>& original, const RowEdits& edits,
                   const std::vector<int>& keyColumns);

// INSERT of a new row with the written columns; DEFAULT VALUES when none was set.
RowWrite rowInsert(const QString& quotedTable, const std::vector<ColumnInfo>& columns, const RowEdits& edits);

// The values and shape of rowUpdate; false when nothing is written. Raises as rowUpdate does.
bool rowUpdateValues(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                     const std::vector<Cell>& original, const RowEdits& edits,
                     const std::vector<int>& keyColumns, RowValues& out);
// The values and shape of rowInsert.
void rowInsertValues(const std::vector<ColumnInfo>& columns, const RowEdits& edits, RowValues& out);
// The text and declarations of a statement of that shape (its params are left empty).
RowWrite rowStatement(const QString& quotedTable, const std::vector<ColumnInfo>& columns,
                      const std::vector<std::uint32_t>& shape);

} // namespace rimo::db
