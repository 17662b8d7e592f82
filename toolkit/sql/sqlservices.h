#pragma once
// SQL services of the toolkit object: single statements on its server connection with their
// logs in T4R, the schema probes, the script runner and the settings table. The toolkit object
// inherits them and supplies the connection, the program folder, the messages and the board.
//
// Every statement is sent as written: none of these queries reads ":name" as a parameter.

#include "toolkit/sql/adoquery.h"

#include <QString>
#include <QStringList>
#include <memory>

class TMSConnection;
class TMSQuery;
class TMSTable;
class TMessageBoardForm;

namespace rimo {
class Beeper;
}

class TSqlServices
{
public:
    virtual ~TSqlServices() = default;

    // --- Supplied by the toolkit object ---
    virtual void ShowMsg(const QString& St) = 0;
    virtual TMSConnection& serverConnection() = 0;
    // The program folder with a trailing separator; the logs go to its T4R folder.
    virtual QString programFolder() const = 0;
    virtual TMessageBoardForm* messageBoard() const = 0;
    virtual bool boardOnScreen() const = 0;
    virtual rimo::Beeper& beeper() = 0;

    // Process-wide; nothing in the program switches it on. The traced logs are written only
    // while it is on.
    static bool SqlTraceEnabled;

    // The values of the first row of the last DoSqlAndReturnParameters, never empty after a
    // call; ReturnedParameterCount is how many it delivered.
    QStringList ReturnedParameters;
    int ReturnedParameterCount = 0;
    // DropViewSafe drops views only while this is true.
    bool ViewCanBeDroped = false;

    // --- Single statements ---
    // A select comes back as its row count (rewritten into a count); any other statement gives
    // 0, or -100 when it fails. A blank statement gives -100 at once and sends nothing.
    int ExecSql(const QString& SqlSt);
    // 0, or -100 when the statement fails or is blank; never a dialog.
    int ExecSqlNoCount(const QString& SqlSt);
    // Fills ReturnedParameters with the first row's values; a result without rows gives one
    // empty text per column. False when the query fails.
    bool DoSqlAndReturnParameters(const QString& SqlSt);
    // The server's version year ("2019"), read on `InConct`; empty on failure.
    QString SQLVer(TMSConnection* InConct);
    // Sums over the table named by `InTable`, on the server connection; a sum over no rows is 0.
    // Failures reach the caller.
    double SumOfField(TMSTable* InTable, const QString& InFld, const QString& WhereCondition);
    double SumAndMulti(TMSTable* InTable, const QString& InFld1, const QString& InFld2,
                       const QString& Condition);
    std::unique_ptr<TADOQuery> MsQuery2AdoQuery(TMSQuery* InMsQ);
    // The Persian error dialog with the system's error text under it.
    void ShowExceptMsg(const QString& Msg, const QString& ErMsg);

    // --- Schema probes (through ExecSql) ---
    bool IsTableExist(const QString& TblName);
    bool IsViewExist(const QString& ViewName);
    bool IsFieldExist(const QString& TblName, const QString& FldName);
    bool IsSpExist(const QString& SpName);
    bool IsDataBaseExist(const QString& DBName);
    // True when the statement ran, also when there was no such view.
    bool DropViewSafe(const QString& ViewName);

    // --- Scripts ---
    // Runs the GO batches of the file, one board line each; false only when there is no file.
    bool DoScriptFromfile(const QString& Title, const QString& FName);
    // The first column of every row of a select, into `It`; the number of rows, 0 when nothing
    // was read (also for a statement that does not start with select, which is not run).
    int DoSqlForCreateList(const QString& SqlSt, QStringList& It);

    // --- Settings table Dbo.Info ---
    void WriteInformation(const QString& Section, const QString& KeyName, const QString& KeyValue,
                          const QString& Discription);
    void ReadInformation(const QString& Section, const QString& KeyName, QString& KeyValue);
    // The value, or "NOTANSWER" when the pair has no row.
    QString FReadInformation(const QString& Section, const QString& KeyName);
    // The rows of the group "Version" on the board.
    void VersionShow();

private:
    // A query on the server connection holding `sql` as its one line, sent as written.
    void prepareQuery(TMSQuery& query, const QString& sql);
    QString logPath(const QString& name) const;
    // Writes the query's statement to the log `name` when tracing is on.
    void traceTo(const TMSQuery& query, const QString& name) const;
    // The board line of a failed statement, while the board is on screen.
    void postFailure(const QString& statement);
    // The execute path shared by ExecSql and ExecSqlNoCount.
    int executeStatement(const QString& statement);
    int countRows(const QString& statement);
    double sumOf(TMSTable* table, const QString& expression, const QString& condition);
    QString readInformation(const QString& section, const QString& key);
};
