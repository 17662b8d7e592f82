#include "db/msdataset.h"

#include "core/error.h"

using rimo::Error;
using namespace rimo::db;

QString TField::FieldName() const
{
    return m_owner->m_columns[static_cast<std::size_t>(m_index)].name;
}

namespace {
const QVariant* editedValue(const std::vector<std::optional<QVariant>>& edit, int index)
{
    if (edit.empty())
        return nullptr;
    const auto& v = edit[static_cast<std::size_t>(index)];
    return v ? &*v : nullptr;
}
} // namespace

QString TField::AsString() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index))
        return v->isNull() ? QString() : v->toString();
    return cellAsString(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

qint64 TField::AsInteger() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index)) {
        if (v->isNull() || v->toString().isEmpty())
            return 0;
        bool ok = false;
        const qint64 n = v->toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid integer value").arg(v->toString()));
        return n;
    }
    return cellAsInteger(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

double TField::AsFloat() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index)) {
        if (v->isNull() || v->toString().isEmpty())
            return 0;
        bool ok = false;
        const double d = v->toDouble(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(v->toString()));
        return d;
    }
    return cellAsFloat(m_owner->m_columns[static_cast<std::size_t>(m_index)], m_owner->cell(m_index));
}

bool TField::IsNull() const
{
    if (const QVariant* v = editedValue(m_owner->m_edit, m_index))
        return v->isNull();
    return m_owner->cell(m_index).tag == CellTag::Null;
}

void TField::setAsString(const QString& value)
{
    m_owner->setEditValue(m_index, QVariant(value));
}

void TField::setAsInteger(qint64 value)
{
    m_owner->setEditValue(m_index, QVariant(value));
}
