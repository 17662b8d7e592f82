#include "db/msdataset.h"

#include "core/error.h"

#include <sybdb.h>

using rimo::Error;
using namespace rimo::db;

QString TField::FieldName() const
{
    return m_owner->m_columns[static_cast<std::size_t>(m_index)].name;
}

Cell TField::rawCell() const
{
    return m_owner->cell(m_index);
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

namespace {
void appendInteger(QString& out, qint64 v)
{
    char16_t digits[24];
    std::size_t at = sizeof digits / sizeof digits[0];
    // Through the unsigned value, so the lowest number has its digits too.
    quint64 rest = v < 0 ? 0 - static_cast<quint64>(v) : static_cast<quint64>(v);
    do {
        digits[--at] = static_cast<char16_t>(u'0' + rest % 10);
        rest /= 10;
    } while (rest);
    if (v < 0)
        digits[--at] = u'-';
    out.append(QStringView(digits + at, static_cast<qsizetype>(sizeof digits / sizeof digits[0] - at)));
}
} // namespace

bool TField::wholeNumber(qint64& out) const
{
    if (editedValue(m_owner->m_edit, m_index))
        return false;
    const ColumnInfo& c = m_owner->m_columns[static_cast<std::size_t>(m_index)];
    const Cell& cell = m_owner->cell(m_index);
    const bool whole = cell.tag == CellTag::Int ||
                       (cell.tag == CellTag::Raw &&
                        (c.type == SYBINT1 || c.type == SYBINT2 || c.type == SYBINT4 || c.type == SYBINT8));
    if (whole)
        out = cellAsInteger(c, cell);
    return whole;
}

void TField::appendAsString(QString& out) const
{
    qint64 v = 0;
    if (editedValue(m_owner->m_edit, m_index))
        out += AsString();
    else if (wholeNumber(v))
        appendInteger(out, v);
    else
        appendCellAsString(out, m_owner->m_columns[static_cast<std::size_t>(m_index)],
                           m_owner->cell(m_index));
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

namespace {
bool isMoneyOrDecimal(const ColumnInfo& c)
{
    return c.type == SYBMONEY || c.type == SYBMONEY4 || c.type == SYBMONEYN || c.type == SYBDECIMAL ||
           c.type == SYBNUMERIC;
}

// A text set into a number column must read as a number of that kind, as the field types of the
// data-entry forms always checked; the error comes before the row is touched. An empty text is
// left to the server, as before.
void checkNumberText(const ColumnInfo& c, const QString& value)
{
    const QString text = value.trimmed();
    if (text.isEmpty())
        return;
    bool ok = true;
    if (c.type == SYBBIT || c.type == SYBBITN) {
        const bool word = text.compare(u"true", Qt::CaseInsensitive) == 0 ||
                          text.compare(u"false", Qt::CaseInsensitive) == 0;
        if (!word)
            text.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid boolean value").arg(value));
    } else if (c.isInteger()) {
        text.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid integer value").arg(value));
    } else if (c.isFloat() || isMoneyOrDecimal(c)) {
        text.toDouble(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(value));
    }
}
} // namespace

bool TField::isNumber() const
{
    const ColumnInfo& c = m_owner->m_columns[static_cast<std::size_t>(m_index)];
    return c.isInteger() || c.isFloat() || isMoneyOrDecimal(c);
}

void TField::setAsString(const QString& value)
{
    const auto state = m_owner->state();
    if (state == TMSDataSet::State::Edit || state == TMSDataSet::State::Insert)
        checkNumberText(m_owner->m_columns[static_cast<std::size_t>(m_index)], value);
    m_owner->setEditValue(m_index, QVariant(value)); // outside editing: the data set's own error
}

void TField::setAsInteger(qint64 value)
{
    m_owner->setEditValue(m_index, QVariant(value));
}
