// The session's side of views, procedures and IF: making and dropping them, and running a procedure's
// body with its arguments.
#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/cachedstatement.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/sqliteerrors.h"
#include "tools/tds-server/values.h"

#include <memory>
#include <utility>

namespace rimo::tds {

namespace {

// SQL Server's own limit on procedures calling procedures.
constexpr int kMaxProcedureNesting = 32;

const char* typeWord(char type)
{
    return type == 'V' ? "view" : type == 'P' ? "procedure" : "table";
}

std::string dropWord(char type)
{
    return type == 'V' ? "VIEW" : type == 'P' ? "PROCEDURE" : "TABLE";
}

// Drop a name of the wrong kind of object: SQL Server's 3705.
ServerError wrongDrop(char wanted, char found, const std::string& shown)
{
    return ServerError(3705, 16,
                       "Cannot use DROP " + dropWord(wanted) + " with '" + shown + "' because '" + shown +
                           "' is a " + typeWord(found) + ". Use DROP " + dropWord(found) + ".");
}

struct StatementDeleter
{
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

class DepthGuard
{
public:
    explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

bool Session::runIf(CachedStatement& cs, const std::map<std::string, Value>* params, bool inRpc)
{
    sqlite3_stmt* stmt = prepare(cs);
    if (cs.st.usesSysDatabases)
        refreshSysDatabases();
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    bind(stmt, params);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) {
        const ServerError e = mapStepError(sqlite3_extended_errcode(m_db->handle()), cs);
        sqlite3_reset(stmt);
        throw e;
    }
    const bool holds = sqlite3_column_int(stmt, 0) != 0;
    sqlite3_reset(stmt);
    if (holds)
        return runStatement(*cs.children.at(0), params, inRpc);
    if (cs.children.size() > 1)
        return runStatement(*cs.children[1], params, inRpc);
    return true;
}

void Session::createView(CachedStatement& cs)
{
    const Statement& st = cs.st;
    if (st.usesSysDatabases)
        throw notSupported("A view over sysdatabases");
    // Compiling the select names every table and column the view uses.
    sqlite3_stmt* stmt = prepare(cs);
    if (sqlite3_bind_parameter_count(stmt) > 0) {
        const char* name = sqlite3_bind_parameter_name(stmt, 1);
        throw ServerError(137, 15,
                          std::string("Must declare the scalar variable \"") + (name ? name : "?") + "\".");
    }
    const std::vector<ColumnMeta> meta = describe(stmt, st, false);
    if (!st.columns.empty() && st.columns.size() < meta.size())
        throw ServerError(8158, 16,
                          "'" + st.name + "' has more columns than were specified in the column list.");
    if (!st.columns.empty() && st.columns.size() > meta.size())
        throw ServerError(8159, 16,
                          "'" + st.name + "' has fewer columns than were specified in the column list.");
    std::vector<ColumnInfo> columns;
    for (size_t i = 0; i < meta.size(); ++i) {
        ColumnInfo c;
        c.table = st.name;
        c.name = st.columns.empty() ? meta[i].name : st.columns[i];
        c.type = meta[i].type;
        c.nullable = meta[i].nullable;
        if (c.name.empty())
            throw ServerError(
                4511, 16,
                "Create View or Function failed because no column name was specified for column " +
                    std::to_string(i + 1) + ".");
        for (const auto& earlier : columns)
            if (compareCi(earlier.name, c.name) == 0)
                throw ServerError(4506, 16,
                                  "Column names in each view or function must be unique. Column name '" +
                                      c.name + "' in view or function '" + st.name +
                                      "' is specified more than once.");
        columns.push_back(std::move(c));
    }
    m_db->createView(st.name, cs.finalSql, st.columns, columns);
    m_schemaChanged = true;
}

void Session::createTable(TableDef def)
{
    auto code = [&](TypeSlot kind, const std::string& a, const std::string& b) -> std::string {
        const std::string& name =
            kind == TypeSlot::Compared || kind == TypeSlot::DeclaredType || kind == TypeSlot::Arithmetic ? b
                                                                                                         : a;
        for (const auto& c : def.columns)
            if (compareCi(c.name, name) == 0)
                return kind == TypeSlot::DeclaredType ? c.type.sqlName()
                       : kind == TypeSlot::Arithmetic ? std::to_string(static_cast<int>(arithTypeOf(c.type)))
                       : kind == TypeSlot::Compared   ? comparedStoreCode(c.type)
                                                      : storeCode(c.type);
        return {};
    };
    for (auto& k : def.constraints)
        resolveTypeSlots(k.checkSql, code);
    for (auto& c : def.columns) {
        if (c.defaultSql.empty())
            continue;
        resolveTypeSlots(c.defaultSql, code);
        // A default goes into its column as any value does.
        if (const std::string store = storeCode(c.type); !store.empty())
            c.defaultSql = "rimo_store(" + c.defaultSql + ", " + sqliteLiteral(store) + ")";
    }
    m_db->createTable(def);
    m_schemaChanged = true;
}

void Session::dropObjects(const Statement& st)
{
    for (size_t i = 0; i < st.names.size(); ++i) {
        const std::string& shown = st.shownNames[i];
        const auto type = m_db->objectType(st.names[i]);
        if (!type) {
            if (st.ifExists)
                continue;
            throw ServerError(3701, 11,
                              std::string("Cannot drop the ") + typeWord(st.objectType) + " '" + shown +
                                  "', because it does not exist or you do not have permission.");
        }
        if (*type != st.objectType)
            throw wrongDrop(st.objectType, *type, shown);
        m_db->dropObject(st.names[i]);
        m_schemaChanged = true;
    }
}

void Session::dropTables(const Statement& st)
{
    for (const auto& n : st.names) {
        const auto type = m_db->objectType(n);
        if (type && *type != 'U')
            throw wrongDrop('U', *type, n);
        if (st.ifExists && !m_db->table(n))
            continue;
        m_db->dropTable(n);
        m_schemaChanged = true;
    }
}

Value Session::evaluate(const std::string& sql, const std::map<std::string, Value>* params)
{
    const std::string text = "SELECT " + sql;
    sqlite3_stmt* raw = nullptr;
    m_db->refusedTable().clear();
    if (sqlite3_prepare_v2(m_db->handle(), text.c_str(), static_cast<int>(text.size()), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        if (!m_db->refusedTable().empty())
            throw ServerError(208, 16, "Invalid object name '" + m_db->refusedTable() + "'.");
        throw prepareError(sqlite3_errmsg(m_db->handle()));
    }
    const std::unique_ptr<sqlite3_stmt, StatementDeleter> stmt(raw);
    bind(raw, params);
    if (sqlite3_step(raw) != SQLITE_ROW)
        throw ServerError(50000, 16,
                          std::string("The test server could not evaluate an argument: ") +
                              sqlite3_errmsg(m_db->handle()));
    Value v;
    switch (sqlite3_column_type(raw, 0)) {
    case SQLITE_INTEGER:
        v.kind = Value::Int;
        v.i = sqlite3_column_int64(raw, 0);
        break;
    case SQLITE_FLOAT:
        v.kind = Value::Float;
        v.d = sqlite3_column_double(raw, 0);
        break;
    case SQLITE_TEXT:
        v.kind = Value::Text;
        v.s.assign(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)),
                   static_cast<size_t>(sqlite3_column_bytes(raw, 0)));
        break;
    case SQLITE_BLOB:
        v.kind = Value::Blob;
        v.s.assign(static_cast<const char*>(sqlite3_column_blob(raw, 0)),
                   static_cast<size_t>(sqlite3_column_bytes(raw, 0)));
        break;
    default:
        break;
    }
    return v;
}

bool Session::runProcedure(const Statement& st, const std::map<std::string, Value>* params, bool inRpc)
{
    std::vector<CallArgument> args;
    for (const ExecArgument& a : st.arguments)
        args.push_back(CallArgument{a.name, evaluate(a.sql, params)});
    int status = 0;
    bool failed = false;
    const bool goOn = callProcedure(st.name, args, status, failed);
    if (m_writer.attention())
        return false;
    // As SQL Server answers EXEC: the procedure's return status, then its DONEPROC.
    m_done.flush(true);
    m_writer.returnStatus(status);
    m_done.holdToken(kDoneProc, failed ? kDoneError : 0, kCmdExecute, 0);
    (void)inRpc;
    return goOn;
}

bool Session::callProcedure(const std::string& name, const std::vector<CallArgument>& args, int& status,
                            bool& failed)
{
    status = 0;
    failed = false;
    if (const std::string lower = lowerAscii(name);
        lower == "sp_getapplock" || lower == "sp_releaseapplock") {
        status = lower == "sp_getapplock" ? getAppLock(args, failed) : releaseAppLock(args, failed);
        return true;
    }
    const auto definition = m_db->procedureDefinition(name);
    if (!definition)
        throw ServerError(2812, 16, "Could not find stored procedure '" + name + "'.");
    if (m_procedureDepth >= kMaxProcedureNesting)
        throw ServerError(
            217, 16,
            "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit " +
                std::to_string(kMaxProcedureNesting) + ").");
    const std::shared_ptr<CachedBatch> header = translate(*definition);
    const Statement& proc = header->statements.at(0)->st;
    std::map<std::string, Value> bound;
    for (size_t i = 0; i < args.size(); ++i) {
        const CallArgument& a = args[i];
        const ProcedureParameter* p = nullptr;
        if (a.name.empty()) {
            if (i >= proc.parameters.size())
                throw ServerError(8144, 16,
                                  "Procedure or function " + name + " has too many arguments specified.");
            p = &proc.parameters[i];
        } else {
            for (const auto& q : proc.parameters)
                if (lowerAscii(q.name) == lowerAscii(a.name))
                    p = &q;
            if (!p)
                throw ServerError(8145, 16, a.name + " is not a parameter for procedure " + name + ".");
        }
        Value& v = bound[lowerAscii(p->name)] = a.value;
        v.arithType = static_cast<uint8_t>(arithTypeOf(p->type));
    }
    for (const auto& p : proc.parameters) {
        if (bound.count(lowerAscii(p.name)))
            continue;
        if (p.defaultSql.empty())
            throw ServerError(201, 16,
                              "Procedure or function '" + name + "' expects parameter '" + p.name +
                                  "', which was not supplied.");
        Value& v = bound[lowerAscii(p.name)] = evaluate(p.defaultSql, nullptr);
        v.arithType = static_cast<uint8_t>(arithTypeOf(p.type));
    }
    const std::shared_ptr<CachedBatch> body = translate(proc.definition);
    const DepthGuard guard(m_procedureDepth);
    // The body's statements are answered as inside a procedure (DONEINPROC); an error in any of them
    // marks the procedure's own DONEPROC.
    const bool failedBefore = std::exchange(m_batchFailed, false);
    const bool goOn = runList(body->statements, &bound, true);
    failed = m_batchFailed;
    m_batchFailed = failedBefore || failed;
    return goOn;
}

} // namespace rimo::tds
