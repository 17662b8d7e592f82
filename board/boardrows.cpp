#include "board/boardrows.h"

#include "board/texts.h"
#include "core/textutil.h"

namespace rimo::board {

namespace {

// Moves a cut that would fall between a high and a low surrogate one character on, so that
// no row carries half a character (it would be lost when the report is written).
qsizetype keepPairTogether(const QString& text, qsizetype cut)
{
    if (cut > 0 && cut < text.size() && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate())
        return cut + 1;
    return cut;
}

} // namespace

QList<Row> wrapMessage(const QString& title, const QString& value)
{
    if (value.size() <= kRowWidth)
        return {{title, value}};

    QList<Row> rows;
    qsizetype cut = keepPairTogether(value, kRowWidth);
    rows.append({title, value.left(cut)});
    QString rest = value.mid(cut);
    while (!rest.isEmpty()) {
        qsizetype len = rest.size();
        if (rest.size() > kRowWidth) {
            const qsizetype blank = rest.indexOf(u' ', kRowWidth - 1);
            if (blank >= 0)
                len = blank + 1;
        }
        rows.append({boardtexts::ContinuationTitle, rest.left(len)});
        rest.remove(0, len);
    }
    return rows;
}

QString rowLine(const Row& row)
{
    return row.title + u'=' + row.value;
}

QString proposedReportName(const QString& boardTitle, const Row& firstRow)
{
    QString name = boardTitle + u' ' + rowLine(firstRow);
    name.remove(name.indexOf(u'='), 1);
    name.remove(u'/');
    return rimo::trimmedView(name, TrimSet::Controls).toString();
}

QByteArray reportText(const std::vector<Row>& rows)
{
    QByteArray out;
    for (const Row& row : rows) {
        out += rowLine(row).toUtf8();
        out += "\r\n";
    }
    return out;
}

void RowModel::append(const QList<Row>& rows)
{
    if (rows.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    endInsertRows();
}

void RowModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int RowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant RowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const Row& row = m_rows[size_t(index.row())];
        return index.column() == 0 ? row.title : row.value;
    }
    return {};
}

QVariant RowModel::headerData(int, Qt::Orientation orientation, int role) const
{
    // The title row holds a single blank over each column.
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral(" ");
    return {};
}

bool RowModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > int(m_rows.size()))
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
    return true;
}

} // namespace rimo::board
