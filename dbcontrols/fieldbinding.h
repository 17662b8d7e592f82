#pragma once
// What every data-entry control keeps of its binding: the data source, the column, and a guard
// so that showing a row never writes it back. The control shows the column's text whenever the
// source says its row changed, and writes its own value into the row while it is in editing.

#include "dbcontrols/datasource.h"

#include <QMetaObject>
#include <functional>

class QObject;

namespace rimo::dbcontrols {

// Inherited by each control beside its Qt widget class.
class FieldBinding
{
public:
    FieldBinding(const FieldBinding&) = delete;
    FieldBinding& operator=(const FieldBinding&) = delete;

    TDataSource* dataSource() const { return m_source; }
    void setDataSource(TDataSource* source);
    QString DataField() const { return m_field; }
    void setDataField(const QString& field);
    // Shows the bound column of the current row again.
    void refresh();

protected:
    // `show` is called with the current row's field whenever there is one to show.
    FieldBinding(QObject* control, std::function<void(const TField*)> show);
    ~FieldBinding() = default;
    // The bound field of the current row, nullptr when unbound or closed.
    TField* field() const;
    // Into the row in editing; ignored while a row is being shown or when nothing is in editing.
    // An error (a text that is no number for a number column) reaches the standard error box.
    void write(const QString& text);

private:
    QObject* m_control;
    std::function<void(const TField*)> m_show;
    TDataSource* m_source = nullptr;
    QString m_field;
    QMetaObject::Connection m_watch;
    bool m_showing = false;
};

} // namespace rimo::dbcontrols
