#pragma once
// The list fillers of the toolkit object: one column of a table, read on the server connection
// into a caller's list. The toolkit object inherits them and supplies the connection.

#include <QString>
#include <QStringList>

class TMSConnection;

class TListFillers
{
public:
    virtual ~TListFillers() = default;

    virtual TMSConnection& serverConnection() = 0;

    // The distinct values of `FieldName` in `TableName`, in the server's order, "-" for a blank
    // one. A failing query raises the access layer's error before `CItems` is touched.
    void FillListWithData(QStringList& CItems, const QString& TableName, const QString& FieldName,
                          const QString& WhereCondition);
    // As FillListWithData, every row kept.
    void FillListWithDataBDistinct(QStringList& CItems, const QString& TableName, const QString& FieldName,
                                   const QString& WhereCondition);
    // Replaces what the list holds with 51 empty texts.
    static void SetStringList(QStringList& StLName);

private:
    void fillList(QStringList& items, const QString& statement);
};

namespace rimo {

// `name` in square brackets, a "]" inside doubled so that the name cannot end them early.
QString bracketName(const QString& name);

// The statement of a list filler. With a blank condition the table is bracketed; with one, the
// table name and the condition are the caller's SQL, written as given.
QString listFillStatement(bool distinct, const QString& table, const QString& field,
                          const QString& condition);

} // namespace rimo
