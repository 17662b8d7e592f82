#pragma once
// The message board's rows and the plain rules around them: wrapping a long value over several
// rows, the proposed report name and the report text. No window is needed for any of it.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace rimo::board {

struct Row
{
    QString title;
    QString value;
    bool operator==(const Row&) const = default;
};

// Longest value that stays on one row; longer values continue on rows titled " .. ".
inline constexpr int kRowWidth = 70;

// The rows that one posted (title, value) becomes: the first 70 characters under `title`, cut
// even inside a word; then pieces that run up to and including the first blank at or after
// the 70th character (or to the end), titled " .. ". A cut never separates the two halves of
// a surrogate pair.
QList<Row> wrapMessage(const QString& title, const QString& value);

// A row as the board stores and saves it.
QString rowLine(const Row& row);

// The file name the save dialog proposes: board title, a blank and the first row's line, with
// its first "=" and then every "/" removed, trimmed at both ends.
QString proposedReportName(const QString& boardTitle, const Row& firstRow);

// The report file's content: one "title=value" line per row, CR LF after each, UTF-8 without a
// byte-order mark.
QByteArray reportText(const std::vector<Row>& rows);

// The rows in posting order, as a two-column table model. Appending tells the view only about
// the new rows, so a post costs the same with 10 rows as with 10,000.
class RowModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void append(const QList<Row>& rows);
    void clear();
    const std::vector<Row>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

private:
    std::vector<Row> m_rows;
};

} // namespace rimo::board
