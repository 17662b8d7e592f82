#include "dbcontrols/fieldbinding.h"

#include "db/msdataset.h"
#include "platform/guard.h"

namespace rimo::dbcontrols {

FieldBinding::FieldBinding(QObject* control, std::function<void(const TField*)> show)
    : m_control(control), m_show(std::move(show))
{
}

void FieldBinding::setDataSource(TDataSource* source)
{
    QObject::disconnect(m_watch);
    m_source = source;
    if (source)
        m_watch = QObject::connect(source, &TDataSource::DataChange, m_control, [this] { refresh(); });
    refresh();
}

void FieldBinding::setDataField(const QString& field)
{
    m_field = field;
    refresh();
}

TField* FieldBinding::field() const
{
    return boundField(m_source, m_field);
}

void FieldBinding::refresh()
{
    TField* f = field();
    if (!f)
        return; // unbound or closed: the control keeps what it shows
    m_showing = true;
    m_show(f);
    m_showing = false;
}

void FieldBinding::write(const QString& text)
{
    if (m_showing || !editing(m_source))
        return;
    if (TField* f = field())
        rimo::runGuarded([&] { f->setAsString(text); });
}

} // namespace rimo::dbcontrols
