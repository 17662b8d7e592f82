#pragma once
// The link between a data set and the controls that show and edit its current row: a control
// names a data source and a column (DataField); the source names the data set.

#include <QObject>
#include <QString>

class TMSDataSet;
class TField;

class TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr) : QObject(parent) {}

    // Names the data set and tells the bound controls to show its current row. Assigning
    // `DataSet` directly links it too, but then the controls hear of nothing until the data set
    // next changes rows through a source set with setDataSet.
    void setDataSet(TMSDataSet* dataSet);
    TMSDataSet* DataSet = nullptr;

Q_SIGNALS:
    // The data set was named, or its current row changed: bound controls show it again.
    void DataChange();

private:
    QMetaObject::Connection m_watch;
};

namespace rimo::dbcontrols {

// The column `dataField` of the source's data set, nullptr when the source, its data set or the
// column is missing or the data set is closed.
TField* boundField(const TDataSource* source, const QString& dataField);
// Whether the source's data set has a row in editing (edit or insert), so a control may write.
bool editing(const TDataSource* source);

// What the data-entry controls show of a column's text and write back into it.
// A check box is checked for a number other than zero or the word true (any letter case).
bool checkedFromText(const QString& text);
// Number columns (bit included) take 1 and 0; text columns the words True and False.
QString textFromChecked(bool checked, bool numberColumn);
// A radio group's item for a column's text: the index of the equal entry of `values` (exact),
// -1 for none.
int indexFromText(const QString& text, const QStringList& values);
// The entry of `values` for an item, the empty text for none.
QString textFromIndex(int index, const QStringList& values);

// Text of a multi-line column: the lines joined by CR LF; reading splits at any line break
// (CR LF, LF or CR). The empty text is no lines.
QString joinLines(const QStringList& lines);
QStringList splitLines(const QString& text);

} // namespace rimo::dbcontrols
