#include "toolkit/sql/sqlservices.h"
#include "toolkit/sql/statementtext.h"

// Each probe counts the catalogue rows that answer it.

bool TSqlServices::IsTableExist(const QString& TblName)
{
    return ExecSql(rimo::sql::tableProbeSql(TblName)) > 0;
}

bool TSqlServices::IsViewExist(const QString& ViewName)
{
    return ExecSql(rimo::sql::viewProbeSql(ViewName)) > 0;
}

bool TSqlServices::IsFieldExist(const QString& TblName, const QString& FldName)
{
    return ExecSql(rimo::sql::fieldProbeSql(TblName, FldName)) > 0;
}

bool TSqlServices::IsSpExist(const QString& SpName)
{
    return ExecSql(rimo::sql::procedureProbeSql(SpName)) > 0;
}

bool TSqlServices::IsDataBaseExist(const QString& DBName)
{
    return ExecSql(rimo::sql::databaseProbeSql(DBName)) > 0;
}

bool TSqlServices::DropViewSafe(const QString& ViewName)
{
    if (!ViewCanBeDroped)
        return false;
    return ExecSql(rimo::sql::dropViewSql(ViewName)) == 0;
}
