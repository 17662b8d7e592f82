#pragma once
// One open connection to SQL Server through FreeTDS db-lib. Collects the server's and the
// library's messages so that every failure becomes a rimo::Error carrying the server's own text.

#include "db/rowstore.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct tds_dblib_dbprocess;

namespace rimo::db {

// How long a login may take before it fails, and how long a statement may wait for the server
// (0: without limit) before it is abandoned with a time-out error and its connection closed.
inline constexpr int kDefaultLoginTimeoutSeconds = 5;
inline constexpr int kDefaultStatementTimeoutSeconds = 60;

struct LoginSettings
{
    QString server; // host, host:port, host,port or host\instance
    QString database;
    QString user;
    QString password;
    int loginTimeoutSeconds = kDefaultLoginTimeoutSeconds;
    int statementTimeoutSeconds = kDefaultStatementTimeoutSeconds;
    quint16 browserPort = 1434; // where "host\instance" is asked for its port (tests use another)
};

// What a call does while it waits for the server. `whileWaiting` runs about ten times a second
// (the program lets its windows repaint and take the exit button); the call is abandoned, its
// connection closed and the call failing, as soon as `abandon` says so. Without hooks a waiting
// call is still abandoned when its statement time-out passes.
struct WaitHooks
{
    std::function<void()> whileWaiting;
    std::function<bool()> abandon;
};
void setWaitHooks(WaitHooks hooks);

// For its lifetime the wait ticks that give `whileWaiting` its ten calls a second run from one call
// to the next instead of being started and stopped around each: a run of many short statements
// saves two system calls a statement. Between the calls a tick only restarts the system call it
// lands in. Held by the thread that makes the calls, around code that shows no dialog.
class KeepWaitTicks
{
public:
    KeepWaitTicks();
    ~KeepWaitTicks();
    KeepWaitTicks(const KeepWaitTicks&) = delete;
    KeepWaitTicks& operator=(const KeepWaitTicks&) = delete;
};

// "host,port" and "host:port" -> "host:port"; "(local)" and "." -> the loopback host.
QString freetdsServerName(const QString& server);

// A parameter of an RPC call: a typed value (QString, qint64, double, bool, raw bytes of a column).
struct RpcParam
{
    enum class Kind { Null, Text, Int, Float, Raw } kind = Kind::Null;
    QString text;
    qint64 integer = 0;
    double real = 0;
    int rawType = 0;
    QByteArray raw;
};

// Receives one result set: columns first, then the rows.
class ResultSink
{
public:
    virtual ~ResultSink() = default;
    virtual void columns(const std::vector<ColumnInfo>& columns) = 0;
    // Called per row; `dbproc` is positioned on the row (use dbdata/dbdatlen).
    virtual void row(tds_dblib_dbprocess* dbproc, int columnCount) = 0;
};

// Text already converted for the wire, with its length in characters (which decides whether it
// goes as nvarchar or as nvarchar(max)).
struct Utf8Text
{
    QByteArray bytes;
    qsizetype characters = 0;
};

class Session
{
public:
    // Opens the connection; raises rimo::Error with the server's or library's message.
    static std::unique_ptr<Session> open(const LoginSettings& settings);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool dead() const;

    // Runs a batch. Every result set goes to `sink` (may be null: rows are skipped).
    // Returns the affected-row count of the last statement that reported one (-1 when none).
    qint64 execBatch(const QString& sql, ResultSink* sink);
    // Runs sp_executesql with the statement, its parameter declarations and values. The values go
    // by the names in `names` ("@name"), or as @P1, @P2, ... when `names` is empty.
    qint64 execSql(const QString& statement, const QString& declarations, const std::vector<RpcParam>& params,
                   ResultSink* sink, const QStringList& names = {});
    // The same with the texts converted once by the caller and the values named @P1, @P2, ...
    qint64 execSql(const Utf8Text& statement, const Utf8Text& declarations,
                   const std::vector<RpcParam>& params, ResultSink* sink);
    // Has the server compile the statement with its parameter declarations without running it
    // (sp_prepare, then sp_unprepare of the handle); raises the server's error when it does not.
    void prepareSql(const QString& statement, const QString& declarations);

    tds_dblib_dbprocess* handle() const { return m_proc; }

private:
    Session() = default;
    qint64 drainResults(ResultSink* sink);
    qint64 finishRpc(bool paramsOk, ResultSink* sink);
    qint64 runSql(const Utf8Text& statement, const Utf8Text& declarations,
                  const std::vector<RpcParam>& params, ResultSink* sink,
                  const std::vector<QByteArray>& names);
    [[noreturn]] void fail(const QString& fallback);
    tds_dblib_dbprocess* m_proc = nullptr;
    int m_statementTimeoutSeconds = kDefaultStatementTimeoutSeconds;
    // Values of the call being built, which db-lib reads only when it is sent.
    struct Number
    {
        alignas(8) unsigned char bytes[8];
    };
    std::vector<QByteArray> m_keep;
    std::vector<Number> m_numbers;
};

// Column descriptions of the current result of `dbproc`.
std::vector<ColumnInfo> describeColumns(tds_dblib_dbprocess* dbproc);

} // namespace rimo::db
