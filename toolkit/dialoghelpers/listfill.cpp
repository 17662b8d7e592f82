#include "listfill.h"

#include "db/msdataset.h"
#include "toolkit/services/valueservices.h"

QString rimo::bracketName(const QString& name)
{
    QString inner = name;
    inner.replace(u']', QStringLiteral("]]"));
    return u'[' + inner + u']';
}

QString rimo::listFillStatement(bool distinct, const QString& table, const QString& field,
                                const QString& condition)
{
    QString statement = distinct ? QStringLiteral("Select Distinct ") : QStringLiteral("Select ");
    statement += bracketName(field) + QStringLiteral(" From ");
    if (TValueServices::IsBlank(condition))
        return statement + bracketName(table);
    return statement + table + QStringLiteral(" Where ") + condition;
}

void TListFillers::FillListWithData(QStringList& CItems, const QString& TableName, const QString& FieldName,
                                    const QString& WhereCondition)
{
    fillList(CItems, rimo::listFillStatement(true, TableName, FieldName, WhereCondition));
}

void TListFillers::FillListWithDataBDistinct(QStringList& CItems, const QString& TableName,
                                             const QString& FieldName, const QString& WhereCondition)
{
    fillList(CItems, rimo::listFillStatement(false, TableName, FieldName, WhereCondition));
}

void TListFillers::fillList(QStringList& items, const QString& statement)
{
    TMSQuery query;
    query.Connection = &serverConnection();
    query.SQL = QStringList{statement};
    // Errors are the caller's: the list stays as it was until the query is open.
    query.Prepare();
    query.Open();
    items.clear();
    const QString blankMark = QStringLiteral("-");
    items.reserve(query.RecordCount());
    TField& field = query.Fields(0);
    for (query.First(); !query.Eof(); query.Next()) {
        const QString value = field.AsString();
        items << (TValueServices::IsBlank(value) ? blankMark : value);
    }
}

void TListFillers::SetStringList(QStringList& StLName)
{
    StLName = QStringList(51, QString());
}
