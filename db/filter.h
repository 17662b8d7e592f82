#pragma once
// Client-side filter expressions over the rows already read, in the form users of such data
// sets write them: Serial = '1024' and (MilkPeriod > 1 or RecKind <> 'x'), Fat is null.

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace rimo::db {

// Looks up a column's value on the row being tested: text, or a number for numeric columns;
// an invalid QVariant for null. Raises for an unknown column.
using FieldLookup = std::function<QVariant(const QString& column)>;

class FilterExpression
{
public:
    // Raises rimo::Error for a malformed expression.
    explicit FilterExpression(const QString& text);
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;
    bool matches(const FieldLookup& lookup) const;
    bool isEmpty() const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
};

} // namespace rimo::db
