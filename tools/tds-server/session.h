// One client connection of the test server: login, then SQL batches, RPCs and attentions, each run on
// the connection's own SQLite handle with translated statements cached by their text. Its members live
// in one unit per job: login, dispatch and databases (session.cpp) and running statements
// (execution.cpp); the answer's tokens are written by resulttokens.h.
#pragma once

#include "tools/tds-server/applocks.h"
#include "tools/tds-server/protocol.h"
#include "tools/tds-server/replywriter.h"
#include "tools/tds-server/resulttokens.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>

struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

namespace rimo::tds {

struct ServerConfig
{
    std::string dataDir;
    std::string password;
    // Sessions (logged-in connections) served at once; a login beyond them is refused (error 17809).
    int maxConnections = 200;
    // Connections that have not logged in yet; one more closes the one that has waited longest.
    int maxPendingLogins = 64;
    // Seconds a connection may take from accept to a completed login.
    int loginTimeoutSeconds = 30;
};

// Which databases sessions have open, so that DROP DATABASE refuses one in use.
class DatabaseUsage
{
public:
    void acquire(const std::string& name);
    void release(const std::string& name);
    bool inUse(const std::string& name);

private:
    std::mutex m_mutex;
    std::map<std::string, int> m_count;
};

class Session
{
public:
    // The transport: read exactly n bytes (false at end), write all bytes (throws on failure), and a
    // non-blocking check whether an attention packet is waiting (consuming it when it is).
    struct Transport
    {
        std::function<bool(char*, size_t)> read;
        std::function<void(const char*, size_t)> write;
        std::function<bool()> pollAttention;
        // Whether the last pollAttention found the client gone (the connection closed or broken).
        std::function<bool()> clientGone;
        // Asked once the login is accepted, before it is acknowledged: false refuses it (the server
        // serves as many sessions as it may); true lifts the login time-out.
        std::function<bool()> loggedIn;
    };

    Session(Transport transport, const ServerConfig& config, DatabaseUsage& usage, AppLocks& locks,
            uint16_t spid);
    ~Session();
    // Serves the connection until the client leaves; throws ProtocolError on malformed input.
    void run();

    // An argument of a procedure call: named (with its @) or, with an empty name, by position.
    struct CallArgument
    {
        std::string name;
        Value value;
    };

private:
    struct CachedStatement;
    struct CachedBatch;

    // Login and dispatch (session.cpp).
    bool login(const Message& m);
    void handleBatch(const Message& m);
    void handleRpc(const Message& m);
    void handlePrepare(const RpcRequest& r);
    void handleUnprepare(const RpcRequest& r);
    void handleTransaction(const Message& m);
    void acknowledgeAttention();
    // Whether the work under way must stop: the client sent an attention (the writer then knows of it)
    // or has gone.
    bool interrupted();
    void sendError(const ServerError& e);

    // Databases (session.cpp).
    void openDatabase(const std::string& name);
    void useDatabase(const std::string& name);
    void createDatabase(const std::string& name);
    void dropDatabase(const std::string& name);
    void refreshSysDatabases();

    // Running statements (execution.cpp).
    std::shared_ptr<CachedBatch> translate(const std::string& text);
    // Runs a batch; returns false when a statement failed.
    bool runBatch(const std::string& text, const std::map<std::string, Value>* params, bool inRpc);
    // Translates and compiles a batch without running it (sp_prepare); every parameter it uses must be
    // among the `declared` names (lowercased). Returns false when it fails.
    bool compileBatch(const std::string& text, const std::vector<std::string>& declared);
    // Runs one statement; returns false when the rest of the batch must not run (an error that ends
    // the batch, or an attention, inside a block or procedure).
    bool runStatement(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc);
    // Runs statements in order as a batch does: each error is reported and the next statement runs,
    // unless the error ends the batch. Returns false when the batch ends.
    bool runList(std::vector<std::unique_ptr<CachedStatement>>& list,
                 const std::map<std::string, Value>* params, bool inRpc);
    void compileStatement(CachedStatement& cs, const std::vector<std::string>& declared);
    static void resetStatements(CachedStatement& cs);

    // Views, procedures and IF (routines in sessionroutines.cpp).
    bool runIf(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc);
    void createView(CachedStatement& cs);
    void dropObjects(const Statement& st);
    void dropTables(const Statement& st);
    bool runProcedure(const Statement& st, const std::map<std::string, Value>* params, bool inRpc);
    // Runs a procedure, one of the system procedures the server knows or one of the database, with its
    // arguments; the statements of its body are answered as inside a procedure. `status` gets its return
    // status, `failed` whether it reported an error. Returns false when the rest of the batch must not
    // run. Throws ServerError for a call that cannot start (an unknown procedure or argument).
    bool callProcedure(const std::string& name, const std::vector<CallArgument>& args, int& status,
                       bool& failed);

    // Application locks (systemprocedures.cpp).
    int getAppLock(const std::vector<CallArgument>& args, bool& failed);
    int releaseAppLock(const std::vector<CallArgument>& args, bool& failed);
    // Gives back the transaction's application locks once it has ended (committed, rolled back, or
    // rolled back by SQLite after an error).
    void releaseTransactionLocks();
    bool inTransaction() const;
    // APPLOCK_MODE and APPLOCK_TEST, as SQLite functions of the session's connection.
    void registerAppLockFunctions();
    static void appLockModeFunction(sqlite3_context* c, int n, sqlite3_value** argv);
    static void appLockTestFunction(sqlite3_context* c, int n, sqlite3_value** argv);
    // The lock those functions name by their principal, resource and owner (argument `ownerArg`); false,
    // with the SQL Server error set as the function's result, when the arguments name none.
    bool appLockOf(sqlite3_context* c, sqlite3_value** argv, int ownerArg, const char* function,
                   AppLocks::Key& key, bool& transaction) const;
    // The value of one SQLite expression, with the statement's parameters bound.
    Value evaluate(const std::string& sql, const std::map<std::string, Value>* params);
    void runCompiled(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc);
    void checkIdentityRules(CachedStatement& cs);
    void runTransaction(CachedStatement& cs);
    void runQuery(CachedStatement& cs, sqlite3_stmt* stmt, const std::map<std::string, Value>* params,
                  bool inRpc);
    // SELECT ... INTO: a new table of the select list's columns takes the rows instead of the client.
    void fillNewTable(CachedStatement& cs, sqlite3_stmt* stmt, const std::vector<ColumnMeta>& cols, int rc,
                      bool inRpc);
    void typeFromLaterRows(CachedStatement& cs, const std::map<std::string, Value>* params,
                           std::vector<ColumnMeta>& cols, std::vector<int> untyped);
    void runModify(CachedStatement& cs, sqlite3_stmt* stmt);
    sqlite3_stmt* prepare(CachedStatement& cs);
    void bind(sqlite3_stmt* stmt, const std::map<std::string, Value>* params);
    ServerError mapStepError(int rc, const CachedStatement& cs);
    // What a type slot of `st` stands for (see resolveTypeSlots).
    void convertSelectedValues(std::string& sql, const Statement& st,
                               const std::vector<std::string>& insertColumns);
    std::string typeSlotCode(const Statement& st, const std::vector<std::string>& insertColumns,
                             TypeSlot kind, const std::string& a, const std::string& b);
    // CREATE TABLE, with its defaults and checks comparing by the columns' types.
    void createTable(TableDef def);
    // The result columns' names and types; `untyped` receives those only a NULL first value typed.
    std::vector<ColumnMeta> describe(sqlite3_stmt* stmt, const Statement& st, bool hasRow,
                                     std::vector<int>* untyped = nullptr);

    Transport m_transport;
    ServerConfig m_config;
    DatabaseUsage& m_usage;
    AppLocks& m_locks;
    uint16_t m_spid;
    // Told apart from the SPID, which the server hands out again.
    uint64_t m_sessionId;
    bool m_transactionLocks = false; // the transaction holds application locks
    ReplyWriter m_writer;
    std::unique_ptr<Database> m_db;
    std::string m_dbName;
    uint32_t m_version = kTds74;
    bool m_noCount = false;
    std::string m_identityInsert; // table with IDENTITY_INSERT on
    bool m_batchFailed = false;
    bool m_schemaChanged = false;
    int m_procedureDepth = 0;
    HeldDone m_done{m_writer};

    std::unordered_map<std::string, std::shared_ptr<CachedBatch>> m_cache;

    // Handles given out by sp_prepare and not yet released by sp_unprepare.
    std::set<int32_t> m_prepared;
    int32_t m_nextHandle = 0;

public:
    // Values behind @@SPID, SCOPE_IDENTITY() and @@ROWCOUNT.
    int64_t m_lastIdentity = 0;
    bool m_hasIdentity = false;
    int64_t m_lastRowCount = 0;
};

} // namespace rimo::tds
