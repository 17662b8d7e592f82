#include "tools/tds-server/session.h"

#include "tools/tds-server/datetime.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/servererror.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace rimo::tds {

namespace {

constexpr uint16_t kDoneMore = 0x01;
constexpr uint16_t kDoneError = 0x02;
constexpr uint16_t kDoneCount = 0x10;
constexpr uint16_t kDoneAttn = 0x20;
constexpr uint16_t kCmdSelect = 0xC1;
constexpr uint16_t kCmdInsert = 0xC3;
constexpr uint16_t kCmdDelete = 0xC4;
constexpr uint16_t kCmdUpdate = 0xC5;
constexpr size_t kCacheLimit = 512;

enum class Enc { Int, Bit, Float, Decimal, Money, DateTime, Date, UText, AText, Binary };

// How each result value is written: TDS type byte, declared byte length and encoding.
struct Wire
{
    uint8_t tds = 0x26;
    uint32_t byteLen = 4;
    Enc enc = Enc::Int;
    bool plp = false;
    int padChars = 0;
};

Wire wireFor(const ColumnType& t, uint32_t version)
{
    Wire w;
    const bool maxOk = version >= kTds72;
    switch (t.type) {
    case SqlType::Int:
        w = {0x26, 4, Enc::Int};
        break;
    case SqlType::BigInt:
        w = {0x26, 8, Enc::Int};
        break;
    case SqlType::SmallInt:
        w = {0x26, 2, Enc::Int};
        break;
    case SqlType::TinyInt:
        w = {0x26, 1, Enc::Int};
        break;
    case SqlType::Bit:
        w = {0x68, 1, Enc::Bit};
        break;
    case SqlType::Float:
        w = {0x6D, 8, Enc::Float};
        break;
    case SqlType::Real:
        w = {0x6D, 4, Enc::Float};
        break;
    case SqlType::Decimal:
    case SqlType::Numeric: {
        const int p = t.precision;
        w = {static_cast<uint8_t>(t.type == SqlType::Decimal ? 0x6A : 0x6C),
             static_cast<uint32_t>(p <= 9    ? 5
                                   : p <= 19 ? 9
                                   : p <= 28 ? 13
                                             : 17),
             Enc::Decimal};
        break;
    }
    case SqlType::Money:
        w = {0x6E, 8, Enc::Money};
        break;
    case SqlType::SmallMoney:
        w = {0x6E, 4, Enc::Money};
        break;
    case SqlType::DateTime:
        w = {0x6F, 8, Enc::DateTime};
        break;
    case SqlType::SmallDateTime:
        w = {0x6F, 4, Enc::DateTime};
        break;
    case SqlType::Date:
        w = version >= kTds73A ? Wire{0x28, 3, Enc::Date} : Wire{0x6F, 8, Enc::DateTime};
        break;
    case SqlType::NVarChar:
    case SqlType::NText:
        if (t.length < 0)
            w = maxOk ? Wire{0xE7, 0xFFFF, Enc::UText, true} : Wire{0xE7, 8000, Enc::UText};
        else
            w = {0xE7, static_cast<uint32_t>(2 * t.length), Enc::UText};
        break;
    case SqlType::NChar:
        w = {0xEF, static_cast<uint32_t>(2 * t.length), Enc::UText, false, t.length};
        break;
    case SqlType::VarChar:
    case SqlType::Text:
        if (t.length < 0)
            w = maxOk ? Wire{0xA7, 0xFFFF, Enc::AText, true} : Wire{0xA7, 8000, Enc::AText};
        else
            w = {0xA7, static_cast<uint32_t>(t.length), Enc::AText};
        break;
    case SqlType::Char:
        w = {0xAF, static_cast<uint32_t>(t.length), Enc::AText, false, t.length};
        break;
    case SqlType::VarBinary:
    case SqlType::Binary:
    case SqlType::Image:
        if (t.length < 0)
            w = maxOk ? Wire{0xA5, 0xFFFF, Enc::Binary, true} : Wire{0xA5, 8000, Enc::Binary};
        else
            w = {0xA5, static_cast<uint32_t>(t.length), Enc::Binary};
        break;
    }
    return w;
}

void put16(std::string& out, uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void putLe(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string sqliteText(sqlite3_stmt* st, int i)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return p ? std::string(p, sqlite3_column_bytes(st, i)) : std::string();
}

std::string verbText(Statement::Verb v)
{
    return v == Statement::Insert ? "INSERT" : v == Statement::Update ? "UPDATE" : "DELETE";
}

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

struct ColumnMeta
{
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    Wire wire;
};

struct Session::CachedStatement
{
    Statement st;
    sqlite3_stmt* stmt = nullptr;
    bool resolved = false;
    std::string identityColumn;
    std::string finalSql;
    ~CachedStatement() { sqlite3_finalize(stmt); }
};

struct Session::CachedBatch
{
    std::vector<std::unique_ptr<CachedStatement>> statements;
};

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

Session::Session(Transport transport, const ServerConfig& config, DatabaseUsage& usage, uint16_t spid)
    : m_transport(std::move(transport)), m_config(config), m_usage(usage), m_spid(spid),
      m_writer(m_transport.write, spid)
{
    m_writer.setAttentionCheck([this] { return m_transport.pollAttention && m_transport.pollAttention(); });
}

Session::~Session()
{
    m_cache.clear();
    if (m_db)
        m_usage.release(m_dbName);
}

void Session::run()
{
    MessageReader reader(m_transport.read);
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
    if (r.userName.empty() || r.password != m_config.password)
        return refuse(std::nullopt);
    const std::string db = r.database.empty() ? "master" : r.database;
    if (!databaseExists(m_config.dataDir, db))
        return refuse(ServerError(
            4060, 11, "Cannot open database \"" + db + "\" requested by the login. The login failed."));
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
    sqlite3_progress_handler(
        h, 20000,
        [](void* self) -> int {
            auto* s = static_cast<Session*>(self);
            if (!s->m_transport.pollAttention || !s->m_transport.pollAttention())
                return 0;
            s->m_writer.setAttention();
            return 1;
        },
        this);
    m_cache.clear();
    if (m_db)
        m_usage.release(m_dbName);
    m_db = std::move(db);
    m_dbName = name;
    m_usage.acquire(m_dbName);
}

void Session::acknowledgeAttention()
{
    m_writer.discard();
    m_writer.done(0xFD, kDoneAttn, 0, 0);
    m_writer.finish();
}

std::shared_ptr<Session::CachedBatch> Session::translate(const std::string& text)
{
    auto it = m_cache.find(text);
    if (it != m_cache.end())
        return it->second;
    auto batch = std::make_shared<CachedBatch>();
    for (auto& st : translateBatch(text)) {
        auto cs = std::make_unique<CachedStatement>();
        cs->st = std::move(st);
        batch->statements.push_back(std::move(cs));
    }
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.emplace(text, batch);
    return batch;
}

void Session::pendingDone(uint16_t status, uint16_t curCmd, uint64_t count, bool inRpc)
{
    flushDone(true);
    m_pending = Done{static_cast<uint8_t>(inRpc ? 0xFF : 0xFD), status, curCmd, count};
}

void Session::flushDone(bool more)
{
    if (!m_pending)
        return;
    m_writer.done(m_pending->token, static_cast<uint16_t>(m_pending->status | (more ? kDoneMore : 0)),
                  m_pending->curCmd, m_pending->count);
    m_pending.reset();
}

void Session::sendError(const ServerError& e)
{
    flushDone(true);
    m_writer.message(true, e.number(), static_cast<uint8_t>(e.state()), static_cast<uint8_t>(e.severity()),
                     e.what());
    m_batchFailed = true;
}

void Session::handleBatch(const Message& m)
{
    const std::string text = parseSqlBatch(m.payload, m_version >= kTds72);
    runBatch(text, nullptr, false);
    if (m_writer.attention()) {
        flushDone(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
    } else if (m_pending) {
        flushDone(false);
    } else {
        m_writer.done(0xFD, m_batchFailed ? kDoneError : 0, 0, 0);
    }
    m_writer.finish();
}

void Session::handleRpc(const Message& m)
{
    const RpcRequest r = parseRpc(m.payload, m_version >= kTds72);
    bool ok = false;
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
            pendingDone(kDoneError, 0, 0, true);
        } else {
            // Parameters sent without names take the names declared in @params, in order.
            std::vector<std::string> declared;
            if (r.params.size() > 1 && r.params[1].value.kind == Value::Text)
                declared = declaredNames(r.params[1].value.s);
            std::map<std::string, Value> params;
            for (size_t i = 2; i < r.params.size(); ++i) {
                std::string name = r.params[i].name;
                if (name.empty() && i - 2 < declared.size())
                    name = declared[i - 2];
                if (name.empty())
                    name = "@P" + std::to_string(i - 1);
                params[lowerAscii(name)] = r.params[i].value;
            }
            ok = runBatch(r.params[0].value.s, &params, true);
        }
    } else {
        const std::string shown = r.procName.empty() ? "procedure #" + std::to_string(r.procId) : r.procName;
        sendError(ServerError(2812, 16, "Could not find stored procedure '" + shown + "'."));
        pendingDone(kDoneError, 0, 0, true);
    }
    if (m_writer.attention()) {
        flushDone(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
        m_writer.finish();
        return;
    }
    flushDone(true);
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
        pendingDone(kDoneError, 0, 0, true);
    } else {
        ok = compileBatch(stmt->value.s, declarations && declarations->value.kind == Value::Text
                                             ? declarations->value.s
                                             : std::string());
    }
    if (m_writer.attention()) {
        flushDone(true);
        m_writer.done(0xFD, kDoneAttn, 0, 0);
        m_writer.clearAttention();
        m_writer.finish();
        return;
    }
    flushDone(true);
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
        pendingDone(kDoneError, 0, 0, true);
    flushDone(true);
    m_writer.returnStatus(ok ? 0 : -6);
    m_writer.done(0xFE, ok ? 0 : kDoneError, 0, 0);
    m_writer.finish();
}

bool Session::compileBatch(const std::string& text, const std::string& declarations)
{
    m_batchFailed = false;
    m_pending.reset();
    if (m_db->checkSchema())
        m_cache.clear();
    std::vector<std::string> declared = declaredNames(declarations);
    for (auto& d : declared)
        d = lowerAscii(d);
    try {
        const std::shared_ptr<CachedBatch> batch = translate(text);
        for (auto& cs : batch->statements) {
            const Statement::Kind kind = cs->st.kind;
            if (kind != Statement::Query && kind != Statement::Modify && kind != Statement::Ddl)
                continue;
            // Compiling names every table and column; nothing is stepped, so nothing changes.
            sqlite3_stmt* stmt = prepare(*cs);
            for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i) {
                const char* name = sqlite3_bind_parameter_name(stmt, i);
                if (!name || std::find(declared.begin(), declared.end(), lowerAscii(name)) == declared.end())
                    throw ServerError(137, 15,
                                      std::string("Must declare the scalar variable \"") +
                                          (name ? name : "?") + "\".");
            }
        }
    } catch (const ServerError& e) {
        sendError(e);
        pendingDone(kDoneError, 0, 0, true);
        return false;
    }
    return true;
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

bool Session::runBatch(const std::string& text, const std::map<std::string, Value>* params, bool inRpc)
{
    m_batchFailed = false;
    m_pending.reset();
    if (m_db->checkSchema())
        m_cache.clear();
    std::shared_ptr<CachedBatch> batch;
    try {
        batch = translate(text);
    } catch (const ServerError& e) {
        sendError(e);
        pendingDone(kDoneError, 0, 0, inRpc);
        return false;
    }
    for (auto& cs : batch->statements) {
        try {
            runStatement(*cs, params, inRpc);
        } catch (const ServerError& e) {
            if (cs->stmt)
                sqlite3_reset(cs->stmt);
            if (e.number() == 3621) // cancelled by attention
                break;
            sendError(e);
            pendingDone(kDoneError, 0, 0, inRpc);
            if (e.abortsBatch())
                break;
        }
        if (m_writer.attention())
            break;
    }
    if (m_schemaChanged) {
        m_schemaChanged = false;
        // Statements of this batch may still be referenced by `batch`; it finalizes them itself.
        m_cache.clear();
    }
    return !m_batchFailed;
}

sqlite3_stmt* Session::prepare(CachedStatement& cs)
{
    if (cs.stmt)
        return cs.stmt;
    const Statement& st = cs.st;
    if (!cs.resolved) {
        for (const auto& db : st.databases)
            if (lowerAscii(db) != lowerAscii(m_dbName))
                throw notSupported("A reference to another database ('" + db + "')");
        cs.finalSql = st.sql;
        if (st.kind == Statement::Modify) {
            auto info = m_db->table(st.table);
            if (!info)
                throw ServerError(208, 16, "Invalid object name '" + st.table + "'.");
            for (const auto& c : info->columns)
                if (c.identity)
                    cs.identityColumn = c.name;
            if (st.insertNeedsColumns) {
                std::string cols;
                for (const auto& c : info->columns) {
                    if (c.identity && lowerAscii(m_identityInsert) != lowerAscii(info->name))
                        continue;
                    cols += (cols.empty() ? "" : ", ") + sqliteIdent(c.name);
                }
                cs.finalSql.insert(st.insertPos, " (" + cols + ")");
            }
        }
        cs.resolved = true;
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc =
        sqlite3_prepare_v3(m_db->handle(), cs.finalSql.c_str(), static_cast<int>(cs.finalSql.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        std::string msg = sqlite3_errmsg(m_db->handle());
        auto after = [&](const char* prefix) -> std::optional<std::string> {
            if (msg.rfind(prefix, 0) != 0)
                return std::nullopt;
            std::string rest = msg.substr(std::strlen(prefix));
            const size_t dot = rest.rfind('.');
            if (dot != std::string::npos)
                rest = rest.substr(dot + 1);
            return rest;
        };
        if (auto t = after("no such table: "))
            throw ServerError(208, 16, "Invalid object name '" + *t + "'.");
        if (auto c = after("no such column: "))
            throw ServerError(207, 16, "Invalid column name '" + *c + "'.");
        if (auto c = after("ambiguous column name: "))
            throw ServerError(209, 16, "Ambiguous column name '" + *c + "'.");
        if (msg.find("values were supplied") != std::string::npos ||
            msg.find("values for") != std::string::npos)
            throw ServerError(213, 16,
                              "Column name or number of supplied values does not match table definition.");
        if (msg.find("misuse of aggregate") != std::string::npos)
            throw ServerError(8120, 16,
                              "Column is invalid in the select list because it is not contained in "
                              "either an aggregate function or the GROUP BY clause.");
        throw ServerError(8180, 16, "Statement(s) could not be prepared by the test server: " + msg);
    }
    cs.stmt = stmt;
    return stmt;
}

void Session::bind(sqlite3_stmt* stmt, const std::map<std::string, Value>* params)
{
    const int n = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= n; ++i) {
        const char* name = sqlite3_bind_parameter_name(stmt, i);
        const Value* v = nullptr;
        if (name && params) {
            auto it = params->find(lowerAscii(name));
            if (it != params->end())
                v = &it->second;
        }
        if (!v)
            throw ServerError(
                137, 15, std::string("Must declare the scalar variable \"") + (name ? name : "?") + "\".");
        switch (v->kind) {
        case Value::Null:
            sqlite3_bind_null(stmt, i);
            break;
        case Value::Int:
            sqlite3_bind_int64(stmt, i, v->i);
            break;
        case Value::Float:
            sqlite3_bind_double(stmt, i, v->d);
            break;
        case Value::Text:
            sqlite3_bind_text(stmt, i, v->s.data(), static_cast<int>(v->s.size()), SQLITE_STATIC);
            break;
        case Value::Blob:
            sqlite3_bind_blob(stmt, i, v->s.data(), static_cast<int>(v->s.size()), SQLITE_STATIC);
            break;
        }
    }
}

ServerError Session::mapStepError(int rc, const CachedStatement& cs)
{
    const std::string msg = sqlite3_errmsg(m_db->handle());
    const Statement& st = cs.st;
    const std::string verb = verbText(st.verb);
    const std::string table = st.table;
    auto tail = [&](const std::string& prefix) {
        return msg.rfind(prefix, 0) == 0 ? msg.substr(prefix.size()) : std::string();
    };
    switch (rc) {
    case SQLITE_INTERRUPT:
        return ServerError(3621, 0, "The statement has been terminated.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_BUSY_SNAPSHOT:
        return ServerError(1222, 16, "Lock request time out period exceeded.");
    case SQLITE_CONSTRAINT_NOTNULL: {
        std::string col = tail("NOT NULL constraint failed: ");
        const size_t dot = col.find('.');
        if (dot != std::string::npos)
            col = col.substr(dot + 1);
        return ServerError(515, 16,
                           "Cannot insert the value NULL into column '" + col + "', table '" + m_dbName +
                               ".dbo." + table + "'; column does not allow nulls. " + verb + " fails.",
                           2);
    }
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        std::vector<std::string> cols;
        std::string rest = tail("UNIQUE constraint failed: ");
        size_t pos = 0;
        while (pos < rest.size()) {
            size_t comma = rest.find(", ", pos);
            if (comma == std::string::npos)
                comma = rest.size();
            std::string part = rest.substr(pos, comma - pos);
            const size_t dot = part.find('.');
            cols.push_back(lowerAscii(dot == std::string::npos ? part : part.substr(dot + 1)));
            pos = comma + 2;
        }
        std::string name = "PK__" + table;
        bool primary = true;
        if (auto info = m_db->table(table)) {
            for (const auto& k : info->constraints) {
                if (k.kind == ConstraintDef::Check)
                    continue;
                std::vector<std::string> kc;
                for (const auto& c : k.columns)
                    kc.push_back(lowerAscii(c));
                if (kc == cols ||
                    (cols.size() == 1 && cols[0] == lowerAscii(cs.identityColumn) &&
                     k.kind == ConstraintDef::PrimaryKey && kc.size() == 1 && kc[0] == cols[0])) {
                    name = k.name;
                    primary = k.kind == ConstraintDef::PrimaryKey;
                }
            }
        }
        return ServerError(2627, 14,
                           std::string("Violation of ") + (primary ? "PRIMARY KEY" : "UNIQUE KEY") +
                               " constraint '" + name + "'. Cannot insert duplicate key in object 'dbo." +
                               table + "'.");
    }
    case SQLITE_CONSTRAINT_CHECK: {
        const std::string name = tail("CHECK constraint failed: ");
        if (name.rfind("rimo_len_", 0) == 0)
            return ServerError(8152, 16, "String or binary data would be truncated.", 14);
        std::string column;
        if (auto info = m_db->table(table))
            for (const auto& k : info->constraints)
                if (k.kind == ConstraintDef::Check && lowerAscii(k.name) == lowerAscii(name) &&
                    !k.columns.empty())
                    column = k.columns[0];
        std::string text = "The " + verb + " statement conflicted with the CHECK constraint \"" + name +
                           "\". The conflict occurred in database \"" + m_dbName + "\", table \"dbo." +
                           table + "\"";
        text += column.empty() ? "." : ", column '" + column + "'.";
        return ServerError(547, 16, text, 0);
    }
    case SQLITE_MISMATCH:
        return ServerError(245, 16, "Conversion failed when converting a value to the column's data type.");
    default:
        return ServerError(50000, 16, "The test server could not run the statement: " + msg);
    }
}

void Session::runStatement(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc)
{
    const Statement& st = cs.st;
    switch (st.kind) {
    case Statement::Query:
    case Statement::Modify:
    case Statement::Ddl: {
        if (st.kind == Statement::Modify && st.verb == Statement::Insert && !st.insertNeedsColumns) {
            // Checked before preparing so that the identity rules win over SQLite's own errors.
            prepare(cs);
            if (!cs.identityColumn.empty() && lowerAscii(m_identityInsert) != lowerAscii(st.table))
                for (const auto& c : st.columns)
                    if (lowerAscii(c) == lowerAscii(cs.identityColumn))
                        throw ServerError(544, 16,
                                          "Cannot insert explicit value for identity column in table '" +
                                              st.table + "' when IDENTITY_INSERT is set to OFF.");
        }
        if (st.kind == Statement::Modify && st.verb == Statement::Insert && st.insertNeedsColumns &&
            lowerAscii(m_identityInsert) == lowerAscii(st.table))
            throw ServerError(
                8101, 16,
                "An explicit value for the identity column in table '" + st.table +
                    "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
        sqlite3_stmt* stmt = prepare(cs);
        if (st.kind == Statement::Modify && st.verb == Statement::Update && !cs.identityColumn.empty())
            for (const auto& c : st.columns)
                if (lowerAscii(c) == lowerAscii(cs.identityColumn))
                    throw ServerError(8102, 16, "Cannot update identity column '" + cs.identityColumn + "'.");
        if (st.usesSysDatabases)
            refreshSysDatabases();
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        bind(stmt, params);
        if (st.kind == Statement::Query) {
            runQuery(cs, stmt, inRpc);
        } else if (st.kind == Statement::Modify) {
            runModify(cs, stmt);
            const uint16_t cmd = st.verb == Statement::Insert   ? kCmdInsert
                                 : st.verb == Statement::Update ? kCmdUpdate
                                                                : kCmdDelete;
            const bool count = !m_noCount && st.reportsCount;
            pendingDone(count ? kDoneCount : 0, cmd, count ? static_cast<uint64_t>(m_lastRowCount) : 0,
                        inRpc);
        } else {
            const int rc = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            if (rc != SQLITE_DONE)
                throw ServerError(50000, 16,
                                  std::string("The test server could not run the statement: ") +
                                      sqlite3_errmsg(m_db->handle()));
            m_schemaChanged = true;
            pendingDone(0, 0, 0, inRpc);
        }
        return;
    }
    case Statement::CreateTable:
        m_db->createTable(st.tableDef);
        m_schemaChanged = true;
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::DropTable:
        for (const auto& n : st.names) {
            if (st.ifExists && !m_db->table(n))
                continue;
            m_db->dropTable(n);
        }
        m_schemaChanged = true;
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::CreateDatabase:
        createDatabase(st.name);
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::DropDatabase:
        dropDatabase(st.name);
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::Use:
        useDatabase(st.name);
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::Begin:
    case Statement::Commit:
    case Statement::Rollback: {
        const bool open = !sqlite3_get_autocommit(m_db->handle());
        if (st.kind == Statement::Commit && !open)
            throw ServerError(3902, 16,
                              "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
        if (st.kind == Statement::Rollback && !open)
            throw ServerError(3903, 16,
                              "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
        if (st.kind == Statement::Begin && open)
            throw notSupported("A nested BEGIN TRANSACTION");
        // Prepared statements of this connection must not hold the transaction open.
        for (auto& [text, batch] : m_cache)
            for (auto& s : batch->statements)
                if (s->stmt)
                    sqlite3_reset(s->stmt);
        const char* sql = st.kind == Statement::Begin    ? "BEGIN"
                          : st.kind == Statement::Commit ? "COMMIT"
                                                         : "ROLLBACK";
        if (sqlite3_exec(m_db->handle(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        pendingDone(0, 0, 0, inRpc);
        return;
    }
    case Statement::IdentityInsert:
        if (!m_db->table(st.table))
            throw ServerError(208, 16, "Invalid object name '" + st.table + "'.");
        m_identityInsert = st.on ? st.table : std::string();
        m_cache.clear();
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::NoCount:
        m_noCount = st.on;
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::Print:
        flushDone(true);
        m_writer.message(false, 0, 1, 0, st.name);
        pendingDone(0, 0, 0, inRpc);
        return;
    case Statement::Ignored:
        pendingDone(0, 0, 0, inRpc);
        return;
    }
}

void Session::runModify(CachedStatement& cs, sqlite3_stmt* stmt)
{
    sqlite3* h = m_db->handle();
    const int64_t before = sqlite3_total_changes64(h);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(h), cs);
        sqlite3_reset(stmt);
        throw e;
    }
    m_lastRowCount = sqlite3_total_changes64(h) - before;
    if (cs.st.verb == Statement::Insert && !cs.identityColumn.empty() && m_lastRowCount > 0) {
        m_lastIdentity = sqlite3_last_insert_rowid(h);
        m_hasIdentity = true;
    }
    sqlite3_reset(stmt);
}

std::vector<ColumnMeta> Session::describe(sqlite3_stmt* stmt, const Statement& st, bool hasRow)
{
    const int n = sqlite3_column_count(stmt);
    std::vector<ColumnMeta> cols(n);
    // Map result columns to select-list items when a single * (or none) makes that possible.
    std::vector<const SelectItem*> items(n, nullptr);
    const int stars = static_cast<int>(
        std::count_if(st.items.begin(), st.items.end(), [](const SelectItem& i) { return i.star; }));
    if (stars <= 1) {
        const int starWidth = n - (static_cast<int>(st.items.size()) - stars);
        int col = 0;
        for (const auto& item : st.items) {
            if (item.star) {
                col += std::max(starWidth, 0);
                continue;
            }
            if (col < n)
                items[col] = &item;
            ++col;
        }
    }
    for (int i = 0; i < n; ++i) {
        ColumnMeta& m = cols[i];
        const char* name = sqlite3_column_name(stmt, i);
        m.name = name ? name : "";
        bool known = false;
        const char* table = sqlite3_column_table_name(stmt, i);
        const char* origin = sqlite3_column_origin_name(stmt, i);
        const char* dbName = sqlite3_column_database_name(stmt, i);
        if (table && origin && dbName && std::strcmp(dbName, "main") == 0) {
            if (const ColumnInfo* info = m_db->column(table, origin)) {
                m.type = info->type;
                m.nullable = info->nullable;
                m.identity = info->identity;
                known = true;
            }
        }
        if (!known && items[i] && items[i]->type) {
            m.type = *items[i]->type;
            known = true;
        }
        if (!known) {
            if (const char* decl = sqlite3_column_decltype(stmt, i)) {
                if (auto t = parseTypeText(decl)) {
                    m.type = *t;
                    known = true;
                }
            }
        }
        if (!known) {
            const int t = hasRow ? sqlite3_column_type(stmt, i) : SQLITE_NULL;
            if (t == SQLITE_INTEGER) {
                const int64_t v = sqlite3_column_int64(stmt, i);
                m.type.type = (v >= INT32_MIN && v <= INT32_MAX) ? SqlType::Int : SqlType::BigInt;
            } else if (t == SQLITE_FLOAT) {
                m.type.type = SqlType::Float;
            } else if (t == SQLITE_TEXT) {
                m.type = ColumnType{SqlType::NVarChar, 4000, 0, 0};
            } else if (t == SQLITE_BLOB) {
                m.type = ColumnType{SqlType::VarBinary, 8000, 0, 0};
            } else {
                m.type.type = SqlType::Int;
            }
        }
        m.wire = wireFor(m.type, m_version);
    }
    return cols;
}

namespace {

void writeColMetadata(ReplyWriter& w, const std::vector<ColumnMeta>& cols, uint32_t version)
{
    w.u8(0x81);
    w.u16(static_cast<uint16_t>(cols.size()));
    for (const auto& c : cols) {
        if (version >= kTds72)
            w.u32(0);
        else
            w.u16(0);
        w.u16(static_cast<uint16_t>((c.nullable ? 0x01 : 0) | 0x08 | (c.identity ? 0x10 : 0)));
        const Wire& wi = c.wire;
        w.u8(wi.tds);
        switch (wi.tds) {
        case 0x26:
        case 0x68:
        case 0x6D:
        case 0x6E:
        case 0x6F:
            w.u8(static_cast<uint8_t>(wi.byteLen));
            break;
        case 0x6A:
        case 0x6C:
            w.u8(static_cast<uint8_t>(wi.byteLen));
            w.u8(static_cast<uint8_t>(c.type.precision));
            w.u8(static_cast<uint8_t>(c.type.scale));
            break;
        case 0x28:
            break;
        case 0xA5:
            w.u16(static_cast<uint16_t>(wi.byteLen));
            break;
        default: // character types carry the collation
            w.u16(static_cast<uint16_t>(wi.byteLen));
            w.buf().append(reinterpret_cast<const char*>(kCollation), 5);
            break;
        }
        w.bVarchar(c.name);
    }
}

void writeNull(std::string& out, const Wire& w)
{
    if (w.plp) {
        putLe(out, UINT64_MAX, 8);
        return;
    }
    switch (w.tds) {
    case 0xE7:
    case 0xEF:
    case 0xA7:
    case 0xAF:
    case 0xA5:
        put16(out, 0xFFFF);
        break;
    default:
        out.push_back('\0');
    }
}

void writeBytes(std::string& out, const Wire& w, std::string_view data)
{
    if (w.plp) {
        putLe(out, data.size(), 8);
        if (!data.empty()) {
            putLe(out, data.size(), 4);
            out.append(data);
        }
        putLe(out, 0, 4);
        return;
    }
    if (data.size() > w.byteLen)
        data = data.substr(0, w.byteLen);
    put16(out, static_cast<uint16_t>(data.size()));
    out.append(data);
}

unsigned __int128 scaledMagnitude(sqlite3_stmt* st, int i, int scale, bool& negative)
{
    long double v;
    if (sqlite3_column_type(st, i) == SQLITE_INTEGER)
        v = static_cast<long double>(sqlite3_column_int64(st, i));
    else if (sqlite3_column_type(st, i) == SQLITE_FLOAT)
        v = sqlite3_column_double(st, i);
    else
        v = std::strtold(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), nullptr);
    negative = v < 0;
    if (negative)
        v = -v;
    for (int k = 0; k < scale; ++k)
        v *= 10;
    v = std::floor(v + 0.5L);
    if (v >= 1e38L)
        throw ServerError(8115, 16, "Arithmetic overflow error converting to data type numeric.");
    return static_cast<unsigned __int128>(v);
}

void encodeValue(std::string& out, const ColumnMeta& m, sqlite3_stmt* st, int i)
{
    const Wire& w = m.wire;
    if (sqlite3_column_type(st, i) == SQLITE_NULL) {
        writeNull(out, w);
        return;
    }
    switch (w.enc) {
    case Enc::Int: {
        const int64_t v = sqlite3_column_int64(st, i);
        const bool fits = w.byteLen == 8 || (w.byteLen == 4 && v >= INT32_MIN && v <= INT32_MAX) ||
                          (w.byteLen == 2 && v >= INT16_MIN && v <= INT16_MAX) ||
                          (w.byteLen == 1 && v >= 0 && v <= 255);
        if (!fits)
            throw ServerError(8115, 16,
                              "Arithmetic overflow error converting expression to data type " +
                                  m.type.sqlName() + ".");
        out.push_back(static_cast<char>(w.byteLen));
        putLe(out, static_cast<uint64_t>(v), static_cast<int>(w.byteLen));
        break;
    }
    case Enc::Bit:
        out.push_back(1);
        out.push_back(sqlite3_column_int64(st, i) != 0 ? 1 : 0);
        break;
    case Enc::Float: {
        const double d = sqlite3_column_double(st, i);
        out.push_back(static_cast<char>(w.byteLen));
        if (w.byteLen == 4) {
            const float f = static_cast<float>(d);
            uint32_t raw;
            std::memcpy(&raw, &f, 4);
            putLe(out, raw, 4);
        } else {
            uint64_t raw;
            std::memcpy(&raw, &d, 8);
            putLe(out, raw, 8);
        }
        break;
    }
    case Enc::Decimal: {
        bool negative = false;
        unsigned __int128 mag = scaledMagnitude(st, i, m.type.scale, negative);
        out.push_back(static_cast<char>(w.byteLen));
        out.push_back(negative ? 0 : 1);
        for (uint32_t k = 0; k + 1 < w.byteLen; ++k) {
            out.push_back(static_cast<char>(static_cast<uint8_t>(mag & 0xFF)));
            mag >>= 8;
        }
        break;
    }
    case Enc::Money: {
        const int64_t units = std::llround(sqlite3_column_double(st, i) * 10000.0);
        out.push_back(static_cast<char>(w.byteLen));
        if (w.byteLen == 4) {
            putLe(out, static_cast<uint64_t>(units), 4);
        } else {
            putLe(out, static_cast<uint64_t>(units) >> 32, 4);
            putLe(out, static_cast<uint64_t>(units) & 0xFFFFFFFFu, 4);
        }
        break;
    }
    case Enc::DateTime:
    case Enc::Date: {
        int64_t days = 0;
        int64_t ms = 0;
        const int t = sqlite3_column_type(st, i);
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
            const double v = sqlite3_column_double(st, i);
            days = daysFromCivil(1900, 1, 1) + static_cast<int64_t>(std::floor(v));
            ms = std::llround((v - std::floor(v)) * 86400000.0);
        } else {
            const std::string text = sqliteText(st, i);
            if (!parseDateTime(text, days, ms))
                throw ServerError(
                    241, 16, "Conversion failed when converting date and/or time from character string.");
        }
        if (w.enc == Enc::Date) {
            out.push_back(3);
            putLe(out, static_cast<uint64_t>(days - daysFromCivil(1, 1, 1)), 3);
        } else if (w.byteLen == 4) {
            out.push_back(4);
            putLe(out, static_cast<uint64_t>(days - daysFromCivil(1900, 1, 1)), 2);
            putLe(out, static_cast<uint64_t>((ms + 30000) / 60000), 2);
        } else {
            out.push_back(8);
            putLe(out, static_cast<uint64_t>(days - daysFromCivil(1900, 1, 1)), 4);
            putLe(out, static_cast<uint64_t>((ms * 3 + 5) / 10), 4);
        }
        break;
    }
    case Enc::UText: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        const std::string_view text(p, sqlite3_column_bytes(st, i));
        if (w.plp) {
            std::string tmp;
            appendUtf16le(tmp, text);
            writeBytes(out, w, tmp);
            break;
        }
        const size_t lenPos = out.size();
        put16(out, 0);
        size_t units = appendUtf16le(out, text);
        size_t bytes = out.size() - lenPos - 2;
        if (bytes > w.byteLen) {
            out.resize(lenPos + 2 + w.byteLen);
            bytes = w.byteLen;
            units = bytes / 2;
        }
        for (; static_cast<int>(units) < w.padChars; ++units) {
            out.push_back(' ');
            out.push_back('\0');
            bytes += 2;
        }
        out[lenPos] = static_cast<char>(bytes & 0xFF);
        out[lenPos + 1] = static_cast<char>(bytes >> 8);
        break;
    }
    case Enc::AText: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        std::string narrow = utf8ToCp1256(std::string_view(p, sqlite3_column_bytes(st, i)));
        if (w.padChars > 0 && static_cast<int>(narrow.size()) < w.padChars)
            narrow.append(w.padChars - narrow.size(), ' ');
        writeBytes(out, w, narrow);
        break;
    }
    case Enc::Binary: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
        writeBytes(out, w, std::string_view(p ? p : "", sqlite3_column_bytes(st, i)));
        break;
    }
    }
}

} // namespace

void Session::runQuery(CachedStatement& cs, sqlite3_stmt* stmt, bool inRpc)
{
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        sqlite3_reset(stmt);
        throw e;
    }
    const std::vector<ColumnMeta> cols = describe(stmt, cs.st, rc == SQLITE_ROW);
    flushDone(true);
    writeColMetadata(m_writer, cols, m_version);
    uint64_t rows = 0;
    std::string& out = m_writer.buf();
    const int n = static_cast<int>(cols.size());
    while (rc == SQLITE_ROW) {
        const size_t rowStart = out.size();
        out.push_back(static_cast<char>(0xD1));
        try {
            for (int i = 0; i < n; ++i)
                encodeValue(out, cols[i], stmt, i);
        } catch (const ServerError&) {
            out.resize(rowStart);
            sqlite3_reset(stmt);
            throw;
        }
        ++rows;
        m_writer.maybeFlush();
        if (m_writer.attention())
            break;
        rc = sqlite3_step(stmt);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        sqlite3_reset(stmt);
        if (e.number() == 3621)
            return;
        throw e;
    }
    sqlite3_reset(stmt);
    m_lastRowCount = static_cast<int64_t>(rows);
    pendingDone(m_noCount ? 0 : kDoneCount, kCmdSelect, m_noCount ? 0 : rows, inRpc);
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
    flushDone(true);
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
