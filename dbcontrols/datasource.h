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

    TMSDataSet* DataSet = nullptr;
};

namespace rimo::dbcontrols {

// The column `dataField` of the source's data set, nullptr when the source, its data set or the
// column is missing or the data set is closed.
TField* boundField(const TDataSource* source, const QString& dataField);
// Whether the source's data set has a row in editing (edit or insert), so a control may write.
bool editing(const TDataSource* source);

// Text of a multi-line column: the lines joined by CR LF; reading splits at any line break
// (CR LF, LF or CR). The empty text is no lines.
QString joinLines(const QStringList& lines);
QStringList splitLines(const QString& text);

} // namespace rimo::dbcontrols
