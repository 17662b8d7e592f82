#include "tools/tds-server/session.h"

#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/servererror.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>

namespace rimo::tds {

namespace {

// The variable names declared in a parameter list such as "@a int, @b nvarchar(10)", in order.
std::vector<std::string> declaredNames(const std::string& decl)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < decl.size(); ++i) {
        if (decl[i] != '@')
            continue;
        size_t j = i + 1;
        while (j < decl.size() && (std::isalnum(static_cast<unsigned char>(decl[j])) || decl[j] == '_' ||
                                   static_cast<unsigned char>(decl[j]) >= 0x80))
            ++j;
        names.push_back(decl.substr(i, j - i));
        i = j;
    }
    return names;
}

// A procedure's name as called by RPC, without its brackets and, for the system procedures, without the
// database and schema in front.
std::string procedureName(const std::string& called)
{
    std::string name;
    std::vector<std::string> parts{""};
    for (char c : called) {
        if (c == '.')
            parts.emplace_back();
        else if (c != '[' && c != ']')
            parts.back() += c;
    }
    name = parts.back();
    const std::string lower = lowerAscii(name);
    if (lower == "sp_getapplock" || lower == "sp_releaseapplock")
        return lower;
    if (parts.size() == 2 && lowerAscii(parts[0]) == "dbo")
        return name;
    return parts.size() == 1 ? name : called;
}

constexpr size_t kMaxRpcParameters = 2100;

uint64_t nextSessionId()
{
    static std::atomic<uint64_t> next{0};
    return ++next;
}

bool isProc(const RpcRequest& r, uint16_t id, const std::string& name)
{
    const std::string proc = lowerAscii(r.procName);
    return r.procId == id || proc == name || proc == "sys." + name || proc == "dbo." + name;
}

// An RPC parameter by its name, or else by its position when it was sent without a name.
const RpcParam* findParam(const RpcRequest& r, const std::string& name, size_t position)
{
    for (const auto& p : r.params)
        if (lowerAscii(p.name) == name)
            return &p;
    if (position < r.params.size() && r.params[position].name.empty())
        return &r.params[position];
    return nullptr;
}

} // namespace

void DatabaseUsage::acquire(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    ++m_count[lowerAscii(name)];
}

void DatabaseUsage::release(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (--m_count[lowerAscii(name)] <= 0)
        m_count.erase(lowerAscii(name));
}

bool DatabaseUsage::inUse(const std::string& name)
{
    std::lock_guard lock(m_mutex);
    return m_count.count(lowerAscii(name)) > 0;
}

Session::Session(Transport transport, const ServerConfig& config, DatabaseUsage& usage, AppLocks& locks,
                 uint16_t spid)
    : m_transport(std::move(transport)), m_config(config), m_usage(usage), m_locks(locks), m_spid(spid),
      m_sessionId(nextSessionId()), m_writer(m_transport.write, spid)
{
    m_writer.setAttentionCheck([this] { return m_transport.pollAttention && m_transport.pollAttention(); });
}

Session::~Session()
{
    // A session's locks end with it, however it ended.
    m_locks.releaseAll(m_sessionId, false);
    m_cache.clear();
    if (m_db)
        m_usage.release(m_dbName);
}

void Session::run()
{
    MessageReader reader(m_transport.read);
    reader.limitTo(kMaxLoginMessageSize);
    Message m;
    bool loggedIn = false;
    while (reader.next(m)) {
        if (!loggedIn) {
            if (m.type == packet::Prelogin) {
                m_writer.buf() = preloginReply(m.payload);
                m_writer.finish();
                continue;
            }
            if (m.type == packet::Login7) {
                if (!login(m))
                    return;
                loggedIn = true;
                reader.limitTo(kMaxMessageSize);
                continue;
            }
            throw ProtocolError("expected PRELOGIN or LOGIN7");
        }
        if ((m.status & 0x02) && m.type != packet::Attention) {
            // The client abandoned this request part-way.
            m_writer.done(0xFD, kDoneError, 0, 0);
            m_writer.finish();
            continue;
        }
        switch (m.type) {
        case packet::SqlBatch:
            handleBatch(m);
            break;
        case packet::Rpc:
            handleRpc(m);
            break;
        case packet::Attention:
            acknowledgeAttention();
            break;
        case packet::TransactionManager:
            handleTransaction(m);
            break;
        default:
            throw ProtocolError("unexpected packet type");
        }
        // An attention that came while the last packets of the answer went out (the client had read what
        // it wanted from the first) has been taken off the connection but not answered yet: the client
        // waits for its DONE_ATTN.
        if (m_writer.attention())
            acknowledgeAttention();
    }
}

bool Session::login(const Message& m)
{
    const LoginRequest r = parseLogin7(m.payload);
    uint32_t v = r.tdsVersion;
    if (v >= kTds74)
        v = kTds74;
    else if (v >= kTds73B)
        v = kTds73B;
    else if (v >= kTds73A)
        v = kTds73A;
    else if (v >= kTds72)
        v = kTds72;
    else
        v = kTds71;
    m_version = v;
    m_writer.setVersion(v);
    const uint32_t packetSize = r.packetSize == 0 ? 4096 : std::clamp<uint32_t>(r.packetSize, 512, 32767);
    auto refuse = [&](std::optional<ServerError> first) {
        if (first)
            m_writer.message(true, first->number(), static_cast<uint8_t>(first->state()),
                             static_cast<uint8_t>(first->severity()), first->what());
        m_writer.message(true, 18456, 1, 14, "Login failed for user '" + r.userName + "'.");
        m_writer.done(0xFD, kDoneError, 0, 0);
        m_writer.finish();
        return false;
    };
    if (r.userName.empty() || !loginAccepted(m_config.dataDir, r.userName, r.password, m_config.password))
        return refuse(std::nullopt);
    const std::string db = r.database.empty() ? "master" : r.database;
    if (!databaseExists(m_config.dataDir, db))
        return refuse(ServerError(
            4060, 11, "Cannot open database \"" + db + "\" requested by the login. The login failed."));
    if (m_transport.loggedIn && !m_transport.loggedIn()) {
        m_writer.message(true, 17809, 1, 20,
                         "Could not connect because the maximum number of '" +
                             std::to_string(m_config.maxConnections) +
                             "' user connections has already been reached. The system administrator can use "
                             "sp_configure to increase the maximum value. The connection has been closed.");
        m_writer.done(0xFD, kDoneError, 0, 0);
        m_writer.finish();
        return false;
    }
    try {
        openDatabase(db);
    } catch (const ServerError& e) {
        return refuse(e);
    }
    m_writer.envChangeString(1, db, "master");
    m_writer.message(false, 5701, 2, 0, "Changed database context to '" + db + "'.");
    m_writer.envChangeCollation();
    m_writer.envChangeString(2, "us_english", "");
    m_writer.message(false, 5703, 1, 0, "Changed language setting to us_english.");
    m_writer.loginAck(v);
    m_writer.envChangeString(4, std::to_string(packetSize), "4096");
    m_writer.done(0xFD, 0, 0, 0);
    m_writer.finish();
    m_writer.setPacketSize(packetSize);
    return true;
}

void Session::openDatabase(const std::string& name)
{
    auto db = Database::open(databasePath(m_config.dataDir, name), name, false);
    sqlite3* h = db->handle();
    sqlite3_create_function(
        h, "rimo_spid", 0, SQLITE_UTF8, this,
        [](sqlite3_context* c, int, sqlite3_value**) {
            sqlite3_result_int(c, static_cast<Session*>(sqlite3_user_data(c))->m_spid);
        },
        nullptr, nullptr);
    sqlite3_create_function(
        h, "rimo_identity", 0, SQLITE_UTF8, this,
        [](sqlite3_context* c, int, sqlite3_value**) {
            auto* s = static_cast<Session*>(sqlite3_user_data(c));
            if (s->m_hasIdentity)
                sqlite3_result_int64(c, s->m_lastIdentity);
            else
                sqlite3_result_null(c);
        },
        nullptr, nullptr);
    sqlite3_create_function(
        h, "rimo_rowcount", 0, SQLITE_UTF8, this,
        [](sqlite3_context* c, int, sqlite3_value**) {
            sqlite3_result_int64(c, static_cast<Session*>(sqlite3_user_data(c))->m_lastRowCount);
        },
        nullptr, nullptr);
    sqlite3_create_function(
        h, "rimo_trancount", 0, SQLITE_UTF8, this,
        [](sqlite3_context* c, int, sqlite3_value**) {
            sqlite3_result_int(c, sqlite3_get_autocommit(sqlite3_context_db_handle(c)) ? 0 : 1);
        },
        nullptr, nullptr);
    db->exec("CREATE TEMP TABLE IF NOT EXISTS rimo_sysdatabases(name nvarchar(128) COLLATE RIMO_CI, dbid "
             "smallint, "
             "database_id int, crdate datetime, cmptlevel tinyint, filename nvarchar(260))");
    // Attention is also noticed while SQLite works on a long statement. It is taken off the connection
    // here, so the writer must know of it too: the batch then ends with the DONE_ATTN the client waits for.
    // A client that has gone ends the statement the same way: nobody is left to read its answer.
    sqlite3_progress_handler(
        h, 20000, [](void* self) -> int { return static_cast<Session*>(self)->interrupted() ? 1 : 0; }, this);
    // Waiting for another connection's write lock is cut short the same way, and otherwise gives up
    // after ten seconds (SQLite's busy time-out, which this handler replaces).
    sqlite3_busy_handler(
        h,
        [](void* self, int tries) -> int {
            if (tries >= 1000 || static_cast<Session*>(self)->interrupted())
                return 0;
            sqlite3_sleep(10);
            return 1;
        },
        this);
    m_cache.clear();
    if (m_db)
        m_usage.release(m_dbName);
    m_db = std::move(db);
    m_dbName = name;
    m_usage.acquire(m_dbName);
    registerAppLockFunctions();
}

bool Session::interrupted()
{
    if (m_writer.attention())
        return true;
    if (m_transport.pollAttention && m_transport.pollAttention()) {
        m_writer.setAttention();
        return true;
    }
    return m_transport.clientGone && m_transport.clientGone();
}

void Session::acknowledgeAttention()
{
    m_writer.discard();
    m_writer.clearAttention();
    m_writer.done(0xFD, kDoneAttn, 0, 0);
    m_writer.finish();
    // The acknowledgement itself may have crossed another attention.
    if (m_writer.attention()) {
        m_writer.clearAttention();
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.finish();
    }
}

void Session::sendError(const ServerError& e)
{
    m_done.flush(true);
    m_writer.message(true, e.number(), static_cast<uint8_t>(e.state()), static_cast<uint8_t>(e.severity()),
                     e.what());
    m_batchFailed = true;
}

void Session::handleBatch(const Message& m)
{
    const std::string text = parseSqlBatch(m.payload, m_version >= kTds72);
    runBatch(text, nullptr, false);
    if (m_writer.attention()) {
        m_done.flush(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
    } else if (m_done.held()) {
        m_done.flush(false);
    } else {
        m_writer.done(0xFD, m_batchFailed ? kDoneError : 0, 0, 0);
    }
    m_writer.finish();
}

void Session::handleRpc(const Message& m)
{
    const RpcRequest r = parseRpc(m.payload, m_version >= kTds72);
    bool ok = false;
    // SQL Server's limit on a request's parameters, sp_executesql's @stmt and @params among them.
    if (r.params.size() > kMaxRpcParameters) {
        m_writer.message(true, 8003, 1, 16,
                         "The incoming request has too many parameters. The server supports a maximum of " +
                             std::to_string(kMaxRpcParameters) +
                             " parameters. Reduce the number of parameters and resend the request.");
        m_writer.done(0xFD, kDoneError, 0, 0);
        m_writer.finish();
        return;
    }
    m_batchFailed = false;
    if (isProc(r, 11, "sp_prepare")) {
        handlePrepare(r);
        return;
    }
    if (isProc(r, 15, "sp_unprepare")) {
        handleUnprepare(r);
        return;
    }
    if (isProc(r, 10, "sp_executesql")) {
        if (r.params.empty() || r.params[0].value.kind != Value::Text) {
            sendError(ServerError(
                214, 16, "Procedure expects parameter '@statement' of type 'ntext/nchar/nvarchar'."));
            m_done.hold(kDoneError, 0, 0, true);
        } else {
            // Parameters sent without names take the names declared in @params, in order; a parameter
            // has the type @params declares for it (in arithmetic), else the one it was sent as.
            std::vector<std::string> declared;
            std::map<std::string, uint8_t> declaredTypes;
            if (r.params.size() > 1 && r.params[1].value.kind == Value::Text) {
                try {
                    for (const auto& p : parameterDeclarations(r.params[1].value.s)) {
                        declared.push_back(p.name);
                        declaredTypes[lowerAscii(p.name)] = static_cast<uint8_t>(arithTypeOf(p.type));
                    }
                } catch (const ServerError&) {
                    declared = declaredNames(r.params[1].value.s);
                }
            }
            std::map<std::string, Value> params;
            for (size_t i = 2; i < r.params.size(); ++i) {
                std::string name = r.params[i].name;
                if (name.empty() && i - 2 < declared.size())
                    name = declared[i - 2];
                if (name.empty())
                    name = "@P" + std::to_string(i - 1);
                Value& v = params[lowerAscii(name)] = r.params[i].value;
                if (const auto t = declaredTypes.find(lowerAscii(name)); t != declaredTypes.end())
                    v.arithType = t->second;
            }
            ok = runBatch(r.params[0].value.s, &params, true);
        }
    } else if (!r.procName.empty()) {
        // A procedure called by name: a system procedure the server knows, or one of the database. Its
        // return status is the call's.
        std::vector<CallArgument> args;
        for (const auto& p : r.params)
            args.push_back(CallArgument{p.name, p.value});
        int status = 0;
        bool started = false;
        try {
            bool failed = false;
            started = true;
            callProcedure(procedureName(r.procName), args, status, failed);
            ok = !failed && !m_batchFailed;
        } catch (const ServerError& e) {
            sendError(e);
            m_done.hold(kDoneError, 0, 0, true);
            started = e.number() != 2812 && e.number() != 201 && e.number() != 8144 && e.number() != 8145 &&
                      e.number() != 8143 && e.number() != 119 && e.number() != 217;
        }
        releaseTransactionLocks();
        if (m_writer.attention()) {
            m_done.flush(true);
            m_writer.done(0xFD, kDoneAttn, 0, 0);
            m_writer.clearAttention();
            m_writer.finish();
            return;
        }
        // A call that could not start (an unknown procedure or argument) has no return status.
        m_done.flush(true);
        if (started)
            m_writer.returnStatus(status);
        m_writer.done(0xFE, ok ? 0 : kDoneError, 0, 0);
        m_writer.finish();
        return;
    } else {
        sendError(ServerError(
            2812, 16, "Could not find stored procedure 'procedure #" + std::to_string(r.procId) + "'."));
        m_done.hold(kDoneError, 0, 0, true);
    }
    releaseTransactionLocks();
    if (m_writer.attention()) {
        m_done.flush(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
        m_writer.finish();
        return;
    }
    m_done.flush(true);
    m_writer.returnStatus(ok ? 0 : -6);
    m_writer.done(0xFE, ok ? 0 : kDoneError, 0, 0);
    m_writer.finish();
}

void Session::handlePrepare(const RpcRequest& r)
{
    // sp_prepare @handle OUTPUT, @params, @stmt [, @options]
    const RpcParam* handle = findParam(r, "@handle", 0);
    const RpcParam* declarations = findParam(r, "@params", 1);
    const RpcParam* stmt = findParam(r, "@stmt", 2);
    bool ok = false;
    if (!stmt || stmt->value.kind != Value::Text) {
        sendError(
            ServerError(214, 16, "Procedure expects parameter '@stmt' of type 'ntext/nchar/nvarchar'."));
        m_done.hold(kDoneError, 0, 0, true);
    } else {
        std::vector<std::string> declared;
        if (declarations && declarations->value.kind == Value::Text)
            declared = declaredNames(declarations->value.s);
        for (auto& d : declared)
            d = lowerAscii(d);
        ok = compileBatch(stmt->value.s, declared);
    }
    if (m_writer.attention()) {
        m_done.flush(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
        m_writer.finish();
        return;
    }
    m_done.flush(true);
    // RETURNSTATUS comes before RETURNVALUE: FreeTDS expects that order.
    m_writer.returnStatus(ok ? 0 : -6);
    if (ok) {
        if (m_nextHandle == INT32_MAX)
            m_nextHandle = 0;
        m_prepared.insert(++m_nextHandle);
        const auto ordinal = handle ? static_cast<uint16_t>(handle - r.params.data()) : uint16_t{0};
        m_writer.returnValueInt(ordinal, m_nextHandle);
    }
    m_writer.done(0xFE, ok ? 0 : kDoneError, 0, 0);
    m_writer.finish();
}

void Session::handleUnprepare(const RpcRequest& r)
{
    const RpcParam* handle = findParam(r, "@handle", 0);
    bool ok = false;
    if (!handle || handle->value.kind != Value::Int) {
        sendError(ServerError(214, 16, "Procedure expects parameter '@handle' of type 'int'."));
    } else if (m_prepared.erase(static_cast<int32_t>(handle->value.i)) == 0) {
        sendError(ServerError(8179, 16,
                              "Could not find prepared statement with handle " +
                                  std::to_string(handle->value.i) + "."));
    } else {
        ok = true;
    }
    if (!ok)
        m_done.hold(kDoneError, 0, 0, true);
    m_done.flush(true);
    m_writer.returnStatus(ok ? 0 : -6);
    m_writer.done(0xFE, ok ? 0 : kDoneError, 0, 0);
    m_writer.finish();
}

void Session::handleTransaction(const Message& m)
{
    std::string_view p(m.payload);
    if (p.size() < 4)
        throw ProtocolError("short transaction request");
    const uint32_t headers = static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8) |
                             (static_cast<uint8_t>(p[2]) << 16) |
                             (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
    if (headers < 4 || headers + 2 > p.size())
        throw ProtocolError("bad transaction request");
    const uint16_t type = static_cast<uint8_t>(p[headers]) | (static_cast<uint8_t>(p[headers + 1]) << 8);
    static std::atomic<uint64_t> counter{0};
    const std::string descriptor(8, static_cast<char>(++counter & 0xFF));
    auto exec = [&](const char* sql) { sqlite3_exec(m_db->handle(), sql, nullptr, nullptr, nullptr); };
    if (type == 5) {
        exec("BEGIN");
        m_writer.envChangeBinary(8, descriptor, {});
    } else if (type == 7 || type == 8) {
        exec(type == 7 ? "COMMIT" : "ROLLBACK");
        releaseTransactionLocks();
        m_writer.envChangeBinary(type == 7 ? 9 : 10, {}, descriptor);
        // Flags follow the (usually empty) transaction name.
        size_t pos = headers + 2;
        if (pos < p.size()) {
            pos += 1 + 2 * static_cast<uint8_t>(p[pos]);
            if (pos < p.size() && (p[pos] & 1)) {
                exec("BEGIN");
                m_writer.envChangeBinary(8, descriptor, {});
            }
        }
    } else {
        m_writer.message(true, 40000, 1, 16, "This transaction request is not supported by the test server.");
        m_writer.done(0xFD, kDoneError, 0, 0);
        m_writer.finish();
        return;
    }
    m_writer.done(0xFD, 0, 0, 0);
    m_writer.finish();
}

void Session::refreshSysDatabases()
{
    sqlite3* h = m_db->handle();
    sqlite3_exec(h, "DELETE FROM temp.rimo_sysdatabases", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(
        h, "INSERT INTO temp.rimo_sysdatabases VALUES(?1, ?2, ?2, '2024-01-01 00:00:00.000', 150, ?3)", -1,
        &ins, nullptr);
    for (const auto& d : listDatabases(m_config.dataDir)) {
        const std::string path = databasePath(m_config.dataDir, d.name);
        sqlite3_bind_text(ins, 1, d.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 2, d.dbid);
        sqlite3_bind_text(ins, 3, path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
}

void Session::useDatabase(const std::string& name)
{
    if (!databaseExists(m_config.dataDir, name))
        throw ServerError(
            911, 16, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    if (!sqlite3_get_autocommit(m_db->handle()))
        throw notSupported("Changing the database inside a transaction");
    const std::string old = m_dbName;
    openDatabase(name);
    m_done.flush(true);
    m_writer.envChangeString(1, name, old);
    m_writer.message(false, 5701, 1, 0, "Changed database context to '" + name + "'.");
}

void Session::createDatabase(const std::string& name)
{
    if (!validDatabaseName(name))
        throw ServerError(102, 15, "Incorrect syntax near '" + name + "'.");
    if (databaseExists(m_config.dataDir, name))
        throw ServerError(1801, 16,
                          "Database '" + name + "' already exists. Choose a different database name.");
    Database::open(databasePath(m_config.dataDir, name), name, true);
    registerDatabase(m_config.dataDir, name);
}

void Session::dropDatabase(const std::string& name)
{
    if (lowerAscii(name) == "master")
        throw ServerError(3708, 16, "Cannot drop the database 'master' because it is a system database.");
    if (!databaseExists(m_config.dataDir, name))
        throw ServerError(3701, 11,
                          "Cannot drop the database '" + name +
                              "', because it does not exist or you do not have "
                              "permission.");
    if (m_usage.inUse(name))
        throw ServerError(3702, 16, "Cannot drop database \"" + name + "\" because it is currently in use.");
    const std::string path = databasePath(m_config.dataDir, name);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::remove(path + "-wal", ec);
    std::filesystem::remove(path + "-shm", ec);
    unregisterDatabase(m_config.dataDir, name);
}

} // namespace rimo::tds
