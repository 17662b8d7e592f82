#pragma once
// A multi-line text control bound to a column: it shows the current row's value when bound or
// told to refresh, and writes its lines into the row whenever they change while the data set
// has a row in editing, so the next Post sends them.

#include "dbcontrols/datasource.h"

#include <QPlainTextEdit>
#include <QStringList>

class TDBMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

    TDataSource* dataSource() const { return m_dataSource; }
    QString DataField() const { return m_dataField; }
    // Binding (or unbinding) shows the bound column's value; unbound, the memo keeps its lines.
    void setDataSource(TDataSource* source);
    void setDataField(const QString& field);

    QStringList Lines() const { return m_lines; }
    void setLines(const QStringList& lines);
    void clearLines() { setLines({}); }
    // The lines joined by CR LF, as the column holds them.
    QString Text() const;
    // Reads the bound column of the current row again.
    void refresh();

private:
    void show(const QStringList& lines);
    void writeBack();

    TDataSource* m_dataSource = nullptr;
    QString m_dataField;
    QStringList m_lines;
};
