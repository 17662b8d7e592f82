#include "toolkit/sql/sqlservices.h"

#include "board/messageboardform.h"
#include "core/lifecycle.h"
#include "db/msdataset.h"
#include "platform/dialogs.h"
#include "platform/services.h"
#include "toolkit/services/valueservices.h"
#include "toolkit/sql/statementtext.h"
#include "toolkit/sql/texts.h"

#include <exception>

using namespace rimo::sqltexts;

bool TSqlServices::SqlTraceEnabled = false;

namespace {
const QString kTryDoingExecSql = QStringLiteral("Try Doing ExecSql.Txt");
const QString kErrorLog = QStringLiteral("SqlExecuteErrorLog.Txt");
const QString kTryDoSql = QStringLiteral("Try Do Sql.Txt");
} // namespace

void TSqlServices::prepareQuery(TMSQuery& query, const QString& sql)
{
    query.ParamCheck = false;
    query.Connection = &serverConnection();
    query.Close();
    query.SQL = QStringList{sql};
}

QString TSqlServices::logPath(const QString& name) const
{
    return programFolder() + QStringLiteral("T4R/") + name;
}

void TSqlServices::traceTo(const TMSQuery& query, const QString& name) const
{
    if (SqlTraceEnabled)
        query.saveSqlToFile(logPath(name));
}

void TSqlServices::postFailure(const QString& statement)
{
    if (boardOnScreen())
        messageBoard()->PostThisMessage(Error, statement);
}

int TSqlServices::ExecSql(const QString& SqlSt)
{
    QString statement = rimo::sql::withoutLeadingSpaces(SqlSt);
    // Nothing to send: the caller's mistake, answered like a failed statement.
    if (TValueServices::IsBlank(statement))
        return -100;
    if (!rimo::sql::startsWithSelect(statement))
        return executeStatement(statement);
    if (rimo::sql::selectHoldsCount(statement)) {
        // Counting a count is a programming fault; the statement still runs as written.
        ShowMsg(ProgrammingFault);
        rimo::requestTerminate();
    } else {
        statement = rimo::sql::countStatement(statement);
    }
    return countRows(statement);
}

int TSqlServices::countRows(const QString& statement)
{
    TMSQuery query;
    prepareQuery(query, statement);
    try {
        query.Prepare();
        query.Open();
        return static_cast<int>(query.FieldByName(QStringLiteral("Res")).AsInteger());
    } catch (const std::exception&) {
    }
    query.saveSqlToFile(logPath(kErrorLog));
    postFailure(statement);
    ShowMsg(CountFailed + Cr + statement);
    rimo::requestTerminate();
    return 0;
}

int TSqlServices::ExecSqlNoCount(const QString& SqlSt)
{
    const QString statement = rimo::sql::withoutLeadingSpaces(SqlSt);
    if (TValueServices::IsBlank(statement))
        return -100;
    return executeStatement(statement);
}

int TSqlServices::executeStatement(const QString& statement)
{
    TMSQuery query;
    prepareQuery(query, statement);
    traceTo(query, kTryDoingExecSql);
    try {
        query.Execute();
        return 0;
    } catch (const std::exception&) {
    }
    traceTo(query, kErrorLog);
    postFailure(statement);
    return -100;
}

bool TSqlServices::DoSqlAndReturnParameters(const QString& SqlSt)
{
    ReturnedParameters.clear();
    TMSQuery query;
    prepareQuery(query, SqlSt);
    traceTo(query, kTryDoSql);
    bool ok = false;
    try {
        query.Prepare();
        query.Open();
        // Without rows every column reads as the empty text.
        for (int i = 0; i < query.FieldCount(); ++i)
            ReturnedParameters << query.Fields(i).AsString();
        ok = true;
    } catch (const std::exception&) {
    }
    if (!ok)
        traceTo(query, kErrorLog);
    ReturnedParameterCount = static_cast<int>(ReturnedParameters.size());
    if (ReturnedParameters.isEmpty())
        ReturnedParameters << QString();
    return ok;
}

QString TSqlServices::SQLVer(TMSConnection* InConct)
{
    const QString statement = QStringLiteral("SELECT SUBSTRING(@@VERSION, 22, 5) As V");
    TMSQuery query;
    query.ParamCheck = false;
    query.Connection = InConct;
    query.SQL = QStringList{statement};
    try {
        query.Prepare();
        query.Open();
        return TValueServices::RemoveRLBLank(query.FieldByName(QStringLiteral("V")).AsString());
    } catch (const std::exception&) {
    }
    postFailure(statement);
    ShowMsg(VersionFailed);
    return {};
}

double TSqlServices::sumOf(TMSTable* table, const QString& expression, const QString& condition)
{
    QString sql =
        QStringLiteral("Select Sum(") + expression + QStringLiteral(")As Answer From ") + table->TableName;
    if (!TValueServices::IsBlank(condition))
        sql += QStringLiteral(" Where ") + condition;
    TMSQuery query;
    prepareQuery(query, sql);
    query.Prepare();
    query.Open();
    return query.FieldByName(QStringLiteral("Answer")).AsFloat(); // null reads as 0
}

double TSqlServices::SumOfField(TMSTable* InTable, const QString& InFld, const QString& WhereCondition)
{
    return sumOf(InTable, InFld, WhereCondition);
}

double TSqlServices::SumAndMulti(TMSTable* InTable, const QString& InFld1, const QString& InFld2,
                                 const QString& Condition)
{
    return sumOf(InTable, InFld1 + QStringLiteral(" * ") + InFld2, Condition);
}

std::unique_ptr<TADOQuery> TSqlServices::MsQuery2AdoQuery(TMSQuery* InMsQ)
{
    auto ado = std::make_unique<TADOQuery>();
    ado->setSql(InMsQ->SQL);
    ado->ConnectionString = QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=True;") +
                            (InMsQ->Connection ? InMsQ->Connection->ConnectString() : QString());
    for (int i = 0; i < InMsQ->ParamCount(); ++i)
        ado->Parameters(i).Value = InMsQ->Params(i).value();
    return ado;
}

void TSqlServices::ShowExceptMsg(const QString& Msg, const QString& ErMsg)
{
    beeper().defaultBeep();
    rimo::MessageBoxRequest r;
    r.icon = rimo::MessageIcon::Critical;
    r.caption = Error;
    r.text = rimo::sql::exceptMessageText(Msg, ErMsg);
    r.buttons = {QStringLiteral("بازگشت")};
    r.escapeButton = 0;
    r.rightToLeft = true;
    r.arabicCharset = true;
    rimo::dialogs().messageBox(r);
}
