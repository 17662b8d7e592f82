// The session's statement running: translation (cached by batch text), compiling to SQLite statements,
// binding RPC parameters, and stepping them while their answer is written.
#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/cachedstatement.h"
#include "tools/tds-server/resulttokens.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/session.h"
#include "tools/tds-server/sqliteerrors.h"
#include "tools/tds-server/values.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace rimo::tds {

namespace {

constexpr size_t kCacheLimit = 512;

// The statement size (in bytes of SQLite text) beyond which constants are not factored out, and SQLite's
// bit for that optimisation (SQLITE_FactorOutConst, the same in every SQLite 3 since 3.8, for
// sqlite3_test_control's SQLITE_TESTCTRL_OPTIMIZATIONS).
constexpr size_t kHugeStatement = 64 * 1024;
constexpr int kSqliteFactorOutConst = 0x0008;

// The type a value of the row stands for, when nothing else tells the column's type.
ColumnType typeOfValue(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: {
        const int64_t v = sqlite3_column_int64(stmt, i);
        return ColumnType{(v >= INT32_MIN && v <= INT32_MAX) ? SqlType::Int : SqlType::BigInt, 0, 0, 0};
    }
    case SQLITE_FLOAT:
        return ColumnType{SqlType::Float, 0, 0, 0};
    case SQLITE_TEXT:
        return ColumnType{SqlType::NVarChar, 4000, 0, 0};
    case SQLITE_BLOB:
        return ColumnType{SqlType::VarBinary, 8000, 0, 0};
    default:
        return ColumnType{SqlType::Int, 0, 0, 0};
    }
}

// A result column's type: that of the table column it comes from, else the select item's known type, else
// its declared type, else the type of the first row's value. Returns true when only a NULL (or no row) was
// there to tell, so that the type is still to be found.
bool typeColumn(ColumnMeta& m, Database& db, sqlite3_stmt* stmt, int i, const SelectItem* item, bool hasRow)
{
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    const char* dbName = sqlite3_column_database_name(stmt, i);
    if (table && origin && dbName && std::strcmp(dbName, "main") == 0) {
        if (const ColumnInfo* info = db.column(table, origin)) {
            m.type = info->type;
            m.nullable = info->nullable;
            m.identity = info->identity;
            return false;
        }
    }
    if (item && item->type) {
        m.type = *item->type;
        return false;
    }
    if (const char* decl = sqlite3_column_decltype(stmt, i)) {
        if (auto t = parseTypeText(decl)) {
            m.type = *t;
            return false;
        }
    }
    // An arithmetic result says its type, where SQL Server's differs from what the value would tell
    // (1 + CAST(1 AS bigint) is a bigint).
    if (hasRow && sqlite3_column_type(stmt, i) != SQLITE_NULL) {
        if (const auto t = resultTypeOf(arithSubtype(sqlite3_column_value(stmt, i)))) {
            m.type = *t;
            return false;
        }
    }
    m.type = hasRow ? typeOfValue(stmt, i) : ColumnType{SqlType::Int, 0, 0, 0};
    return !hasRow || sqlite3_column_type(stmt, i) == SQLITE_NULL;
}

// How many rows a query is read ahead for the type of a column whose first values are NULL.
constexpr int kTypeLookahead = 10000;

} // namespace

namespace {

template <typename Cached> std::unique_ptr<Cached> makeCached(Statement&& st)
{
    auto cs = std::make_unique<Cached>();
    cs->st = std::move(st);
    for (auto& child : cs->st.body)
        cs->children.push_back(makeCached<Cached>(std::move(child)));
    cs->st.body.clear();
    return cs;
}

} // namespace

std::shared_ptr<Session::CachedBatch> Session::translate(const std::string& text)
{
    auto it = m_cache.find(text);
    if (it != m_cache.end())
        return it->second;
    auto batch = std::make_shared<CachedBatch>();
    for (auto& st : translateBatch(text))
        batch->statements.push_back(makeCached<CachedStatement>(std::move(st)));
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.emplace(text, batch);
    return batch;
}

bool Session::compileBatch(const std::string& text, const std::vector<std::string>& declared)
{
    m_batchFailed = false;
    m_done.drop();
    if (m_db->checkSchema())
        m_cache.clear();
    try {
        const std::shared_ptr<CachedBatch> batch = translate(text);
        for (auto& cs : batch->statements)
            compileStatement(*cs, declared);
    } catch (const ServerError& e) {
        sendError(e);
        m_done.hold(kDoneError, 0, 0, true);
        return false;
    }
    return true;
}

void Session::compileStatement(CachedStatement& cs, const std::vector<std::string>& declared)
{
    for (auto& child : cs.children)
        compileStatement(*child, declared);
    const Statement::Kind kind = cs.st.kind;
    if (kind != Statement::Query && kind != Statement::Modify && kind != Statement::Ddl &&
        kind != Statement::If)
        return;
    // Compiling names every table and column; nothing is stepped, so nothing changes.
    sqlite3_stmt* stmt = prepare(cs);
    for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i) {
        const char* name = sqlite3_bind_parameter_name(stmt, i);
        if (!name || std::find(declared.begin(), declared.end(), lowerAscii(name)) == declared.end())
            throw ServerError(
                137, 15, std::string("Must declare the scalar variable \"") + (name ? name : "?") + "\".");
    }
}

void Session::resetStatements(CachedStatement& cs)
{
    if (cs.stmt)
        sqlite3_reset(cs.stmt);
    for (auto& child : cs.children)
        resetStatements(*child);
}

bool Session::runList(std::vector<std::unique_ptr<CachedStatement>>& list,
                      const std::map<std::string, Value>* params, bool inRpc)
{
    for (auto& cs : list) {
        try {
            if (!runStatement(*cs, params, inRpc))
                return false;
        } catch (const ServerError& e) {
            resetStatements(*cs);
            if (e.number() == 3621) // cancelled by attention
                return false;
            sendError(e);
            m_done.hold(kDoneError, 0, 0, inRpc);
            if (e.abortsBatch())
                return false;
        }
        releaseTransactionLocks();
        if (m_writer.attention())
            return false;
    }
    return true;
}

bool Session::runBatch(const std::string& text, const std::map<std::string, Value>* params, bool inRpc)
{
    m_batchFailed = false;
    m_done.drop();
    if (m_db->checkSchema())
        m_cache.clear();
    std::shared_ptr<CachedBatch> batch;
    try {
        batch = translate(text);
    } catch (const ServerError& e) {
        sendError(e);
        m_done.hold(kDoneError, 0, 0, inRpc);
        return false;
    }
    runList(batch->statements, params, inRpc);
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
        std::vector<std::string> insertColumns = st.columns;
        if (st.kind == Statement::Modify) {
            auto info = m_db->table(st.table);
            if (!info && m_db->objectType(st.table) == 'V')
                throw notSupported("Changing data through a view");
            if (!info)
                throw ServerError(208, 16, "Invalid object name '" + st.table + "'.");
            for (const auto& c : info->columns)
                if (c.identity)
                    cs.identityColumn = c.name;
            std::string cols;
            if (st.insertNeedsColumns) {
                // INSERT without a column list: the table's columns, less the identity unless
                // IDENTITY_INSERT is on for it.
                for (const auto& c : info->columns) {
                    if (c.identity && lowerAscii(m_identityInsert) != lowerAscii(info->name))
                        continue;
                    cols += (cols.empty() ? "" : ", ") + sqliteIdent(c.name);
                    insertColumns.push_back(c.name);
                }
            }
            if (st.insertSelectPos != std::string::npos)
                convertSelectedValues(cs.finalSql, st, insertColumns);
            if (st.insertNeedsColumns)
                cs.finalSql.insert(st.insertPos, " (" + cols + ")");
        }
        resolveTypeSlots(cs.finalSql, [&](TypeSlot kind, const std::string& a, const std::string& b) {
            return typeSlotCode(st, insertColumns, kind, a, b);
        });
        cs.resolved = true;
    }
    sqlite3_stmt* stmt = nullptr;
    m_db->refusedTable().clear();
    // SQLite compiles each constant of a statement once, looking for an equal one among all before it:
    // a statement of a great many constants (a CASE of 200,000 WHENs) would take minutes to compile.
    // Past a size where that matters, it is compiled with its constants where they stand.
    const bool huge = cs.finalSql.size() > kHugeStatement;
    if (huge)
        sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, m_db->handle(), kSqliteFactorOutConst);
    const int rc =
        sqlite3_prepare_v3(m_db->handle(), cs.finalSql.c_str(), static_cast<int>(cs.finalSql.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (huge)
        sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, m_db->handle(), 0);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        if (!m_db->refusedTable().empty())
            throw ServerError(208, 16, "Invalid object name '" + m_db->refusedTable() + "'.");
        ServerError e = prepareError(sqlite3_errmsg(m_db->handle()));
        // Without a column list SQL Server counts the select's values against the table's columns.
        if (st.insertNeedsColumns && (e.number() == 120 || e.number() == 121))
            throw ServerError(213, 16,
                              "Column name or number of supplied values does not match table definition.");
        throw e;
    }
    cs.stmt = stmt;
    return stmt;
}

void Session::bind(sqlite3_stmt* stmt, const std::map<std::string, Value>* params)
{
    // Functions such as rimo_arith read the parameters' declared types while the statement steps.
    m_db->scope().params = params;
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

std::string Session::typeSlotCode(const Statement& st, const std::vector<std::string>& insertColumns,
                                  TypeSlot kind, const std::string& a, const std::string& b)
{
    const ColumnInfo* c = nullptr;
    if (kind == TypeSlot::InsertColumn) {
        const size_t k =
            a.find_first_not_of("0123456789") == std::string::npos && a.size() < 6 ? std::stoul(a) : SIZE_MAX;
        if (k < insertColumns.size())
            c = m_db->column(st.table, insertColumns[k]);
    } else if (kind == TypeSlot::UpdateColumn) {
        c = m_db->column(st.table, a);
    } else {
        for (const auto& [alias, table] : st.tables)
            if ((a.empty() || compareCi(alias, a) == 0) && (c = m_db->column(table, b)) != nullptr)
                break;
    }
    if (!c)
        return {};
    if (kind == TypeSlot::DeclaredType)
        return c->type.sqlName();
    if (kind == TypeSlot::Arithmetic)
        return std::to_string(static_cast<int>(arithTypeOf(c->type)));
    if (kind == TypeSlot::Compared)
        return comparedStoreCode(c->type);
    return storeCode(c->type);
}

// INSERT ... SELECT: each selected value goes into its column through rimo_store, as a value of
// INSERT ... VALUES does, so it is converted, or refused, by the column's type.
void Session::convertSelectedValues(std::string& sql, const Statement& st,
                                    const std::vector<std::string>& insertColumns)
{
    std::string names;
    std::string values;
    for (size_t k = 0; k < insertColumns.size(); ++k) {
        const std::string c = "c" + std::to_string(k);
        const std::string code =
            typeSlotCode(st, insertColumns, TypeSlot::InsertColumn, std::to_string(k), {});
        names += (k ? ", " : "") + c;
        values += (k ? ", " : "") + (code.empty() ? c : "rimo_store(" + c + ", " + sqliteLiteral(code) + ")");
    }
    const std::string select = sql.substr(st.insertSelectPos);
    sql.replace(st.insertSelectPos, std::string::npos,
                "WITH rimo_src(" + names + ") AS (" + select + ") SELECT " + values + " FROM rimo_src");
}

ServerError Session::mapStepError(int rc, const CachedStatement& cs)
{
    // A statement compiled again while it runs (the schema changed) meets the same refusal.
    if ((rc & 0xFF) == SQLITE_AUTH && !m_db->refusedTable().empty())
        return ServerError(208, 16, "Invalid object name '" + m_db->refusedTable() + "'.");
    return stepError(rc, sqlite3_errmsg(m_db->handle()), *m_db, cs.st, cs.identityColumn);
}

bool Session::runStatement(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc)
{
    const Statement& st = cs.st;
    switch (st.kind) {
    case Statement::Query:
    case Statement::Modify:
    case Statement::Ddl:
        runCompiled(cs, params, inRpc);
        return true;
    case Statement::If:
        return runIf(cs, params, inRpc);
    case Statement::Block:
        return runList(cs.children, params, inRpc);
    case Statement::Exec:
        return runProcedure(st, params, inRpc);
    case Statement::CreateView:
        createView(cs);
        break;
    case Statement::CreateProcedure:
        m_db->createProcedure(st.name, st.text);
        break;
    case Statement::DropObjects:
        dropObjects(st);
        break;
    case Statement::CreateTable:
        createTable(st.tableDef);
        break;
    case Statement::DropTable:
        dropTables(st);
        break;
    case Statement::CreateDatabase:
        createDatabase(st.name);
        break;
    case Statement::CreateLogin:
        createLogin(m_config.dataDir, st.name, st.password);
        break;
    case Statement::DropDatabase:
        dropDatabase(st.name);
        break;
    case Statement::Use:
        useDatabase(st.name);
        break;
    case Statement::Begin:
    case Statement::Commit:
    case Statement::Rollback:
        runTransaction(cs);
        break;
    case Statement::IdentityInsert:
        if (!m_db->table(st.table))
            throw ServerError(208, 16, "Invalid object name '" + st.table + "'.");
        m_identityInsert = st.on ? st.table : std::string();
        m_cache.clear();
        break;
    case Statement::NoCount:
        m_noCount = st.on;
        break;
    case Statement::Print:
        m_done.flush(true);
        m_writer.message(false, 0, 1, 0, st.name);
        break;
    case Statement::Ignored:
        break;
    }
    m_done.hold(0, 0, 0, inRpc);
    return true;
}

// The identity column's rules, checked before the statement runs so that they win over SQLite's own
// constraint errors.
void Session::checkIdentityRules(CachedStatement& cs)
{
    const Statement& st = cs.st;
    if (st.kind != Statement::Modify)
        return;
    const bool insertOn = lowerAscii(m_identityInsert) == lowerAscii(st.table);
    if (st.verb == Statement::Insert && !st.insertNeedsColumns) {
        prepare(cs);
        if (!cs.identityColumn.empty() && !insertOn)
            for (const auto& c : st.columns)
                if (lowerAscii(c) == lowerAscii(cs.identityColumn))
                    throw ServerError(544, 16,
                                      "Cannot insert explicit value for identity column in table '" +
                                          st.table + "' when IDENTITY_INSERT is set to OFF.");
    }
    if (st.verb == Statement::Insert && st.insertNeedsColumns && insertOn)
        throw ServerError(
            8101, 16,
            "An explicit value for the identity column in table '" + st.table +
                "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
    if (st.verb == Statement::Update) {
        prepare(cs);
        if (!cs.identityColumn.empty())
            for (const auto& c : st.columns)
                if (lowerAscii(c) == lowerAscii(cs.identityColumn))
                    throw ServerError(8102, 16, "Cannot update identity column '" + cs.identityColumn + "'.");
    }
}

// A statement that runs as SQLite text: a query, an INSERT/UPDATE/DELETE or an index change.
void Session::runCompiled(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc)
{
    const Statement& st = cs.st;
    checkIdentityRules(cs);
    sqlite3_stmt* stmt = prepare(cs);
    if (st.usesSysDatabases)
        refreshSysDatabases();
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    bind(stmt, params);
    if (st.kind == Statement::Query) {
        runQuery(cs, stmt, params, inRpc);
    } else if (st.kind == Statement::Modify) {
        runModify(cs, stmt);
        const uint16_t cmd = st.verb == Statement::Insert   ? kCmdInsert
                             : st.verb == Statement::Update ? kCmdUpdate
                                                            : kCmdDelete;
        const bool count = !m_noCount && st.reportsCount;
        m_done.hold(count ? kDoneCount : 0, cmd, count ? static_cast<uint64_t>(m_lastRowCount) : 0, inRpc);
    } else {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE)
            throw ServerError(50000, 16,
                              std::string("The test server could not run the statement: ") +
                                  sqlite3_errmsg(m_db->handle()));
        m_schemaChanged = true;
        m_done.hold(0, 0, 0, inRpc);
    }
}

void Session::runTransaction(CachedStatement& cs)
{
    const Statement& st = cs.st;
    const bool open = !sqlite3_get_autocommit(m_db->handle());
    if (st.kind == Statement::Commit && !open)
        throw ServerError(3902, 16, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    if (st.kind == Statement::Rollback && !open)
        throw ServerError(3903, 16,
                          "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
    if (st.kind == Statement::Begin && open)
        throw notSupported("A nested BEGIN TRANSACTION");
    // Prepared statements of this connection must not hold the transaction open.
    for (auto& [text, batch] : m_cache)
        for (auto& s : batch->statements)
            resetStatements(*s);
    const char* sql = st.kind == Statement::Begin    ? "BEGIN"
                      : st.kind == Statement::Commit ? "COMMIT"
                                                     : "ROLLBACK";
    if (sqlite3_exec(m_db->handle(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
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

std::vector<ColumnMeta> Session::describe(sqlite3_stmt* stmt, const Statement& st, bool hasRow,
                                          std::vector<int>* untyped)
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
        if (typeColumn(m, *m_db, stmt, i, items[i], hasRow) && untyped)
            untyped->push_back(i);
        m.wire = wireFor(m.type, m_version);
    }
    return cols;
}

// An expression column whose first value is NULL takes its type from the first later row that has a
// value, read through a second run of the query, so that a NULL first row does not make it an int.
void Session::typeFromLaterRows(CachedStatement& cs, const std::map<std::string, Value>* params,
                                std::vector<ColumnMeta>& cols, std::vector<int> untyped)
{
    sqlite3_stmt* probe = nullptr;
    if (sqlite3_prepare_v2(m_db->handle(), cs.finalSql.c_str(), static_cast<int>(cs.finalSql.size()), &probe,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(probe);
        return;
    }
    try {
        bind(probe, params);
    } catch (const ServerError&) {
        sqlite3_finalize(probe);
        return;
    }
    for (int row = 0; row < kTypeLookahead && !untyped.empty() && sqlite3_step(probe) == SQLITE_ROW; ++row) {
        for (size_t k = 0; k < untyped.size();) {
            const int i = untyped[k];
            if (sqlite3_column_type(probe, i) == SQLITE_NULL) {
                ++k;
                continue;
            }
            cols[i].type = typeOfValue(probe, i);
            cols[i].wire = wireFor(cols[i].type, m_version);
            untyped.erase(untyped.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    sqlite3_finalize(probe);
}

void Session::runQuery(CachedStatement& cs, sqlite3_stmt* stmt, const std::map<std::string, Value>* params,
                       bool inRpc)
{
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        sqlite3_reset(stmt);
        throw e;
    }
    std::vector<int> untyped;
    std::vector<ColumnMeta> cols = describe(stmt, cs.st, rc == SQLITE_ROW, &untyped);
    if (rc == SQLITE_ROW && !untyped.empty())
        typeFromLaterRows(cs, params, cols, untyped);
    if (!cs.st.intoTable.empty()) {
        fillNewTable(cs, stmt, cols, rc, inRpc);
        return;
    }
    m_done.flush(true);
    writeColMetadata(m_writer, cols, m_version);
    uint64_t rows = 0;
    std::string& out = m_writer.buf();
    while (rc == SQLITE_ROW) {
        const size_t rowStart = out.size();
        try {
            writeRow(out, cols, stmt);
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
    m_done.hold(m_noCount ? 0 : kDoneCount, kCmdSelect, m_noCount ? 0 : rows, inRpc);
}

void Session::fillNewTable(CachedStatement& cs, sqlite3_stmt* stmt, const std::vector<ColumnMeta>& cols,
                           int rc, bool inRpc)
{
    const Statement& st = cs.st;
    // The rows are read whole first: the new table is made once the read is over.
    struct Values
    {
        std::vector<sqlite3_value*> all;
        ~Values()
        {
            for (sqlite3_value* v : all)
                sqlite3_value_free(v);
        }
    } values;
    const int n = static_cast<int>(cols.size());
    uint64_t rows = 0;
    while (rc == SQLITE_ROW) {
        for (int i = 0; i < n; ++i)
            values.all.push_back(sqlite3_value_dup(sqlite3_column_value(stmt, i)));
        ++rows;
        rc = sqlite3_step(stmt);
    }
    if (rc != SQLITE_DONE) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        sqlite3_reset(stmt);
        throw e;
    }
    sqlite3_reset(stmt);

    TableDef def;
    def.name = st.intoTable;
    for (const ColumnMeta& c : cols) {
        if (c.name.empty())
            throw ServerError(
                1038, 16,
                "An object or column name is missing or empty. For SELECT INTO statements, verify "
                "each column has a name. For other statements, look for empty alias names. "
                "Aliases defined as \"\" or [] are not allowed. Change the alias to a valid name.");
        for (const ColumnDef& d : def.columns)
            if (compareCi(d.name, c.name) == 0)
                throw ServerError(2705, 16,
                                  "Column names in each table must be unique. Column name '" + c.name +
                                      "' in table '" + def.name + "' is specified more than once.");
        ColumnDef d;
        d.name = c.name;
        d.type = c.type;
        d.nullable = true;
        def.columns.push_back(std::move(d));
    }
    createTable(def);

    std::string sql = "INSERT INTO " + sqliteIdent(def.name) + " VALUES(";
    for (int i = 0; i < n; ++i)
        sql += i ? ",?" : "?";
    sql += ")";
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(m_db->handle(), sql.c_str(), -1, &insert, nullptr) != SQLITE_OK)
        throw ServerError(50000, 16,
                          std::string("The test server could not fill the new table: ") +
                              sqlite3_errmsg(m_db->handle()));
    for (uint64_t r = 0; r < rows; ++r) {
        for (int i = 0; i < n; ++i)
            sqlite3_bind_value(
                insert, i + 1,
                values.all[static_cast<size_t>(r) * static_cast<size_t>(n) + static_cast<size_t>(i)]);
        const int step = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (step != SQLITE_DONE) {
            const std::string why = sqlite3_errmsg(m_db->handle());
            sqlite3_finalize(insert);
            throw ServerError(50000, 16, "The test server could not fill the new table: " + why);
        }
    }
    sqlite3_finalize(insert);
    m_lastRowCount = static_cast<int64_t>(rows);
    m_done.hold(m_noCount ? 0 : kDoneCount, kCmdSelect, m_noCount ? 0 : rows, inRpc);
}

} // namespace rimo::tds
