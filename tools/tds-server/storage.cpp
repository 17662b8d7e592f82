#include "tools/tds-server/storage.h"

#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/precisetime.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/values.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace rimo::tds {

namespace {

char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if (c >= 0x100 && c <= 0x17F && (c % 2) == 0)
        return c + 1;
    return c;
}

size_t trimmedLength(const char* s, size_t n)
{
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return n;
}

int collateCi(void*, int la, const void* pa, int lb, const void* pb)
{
    return compareCi(std::string_view(static_cast<const char*>(pa), la),
                     std::string_view(static_cast<const char*>(pb), lb));
}

void dbNameFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    const auto* name = static_cast<const std::string*>(sqlite3_user_data(ctx));
    sqlite3_result_text(ctx, name->c_str(), static_cast<int>(name->size()), SQLITE_TRANSIENT);
}

void objectNameFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* database = static_cast<const std::string*>(sqlite3_user_data(ctx));
    const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    const auto name = objectNameIn(text, *database);
    if (!name)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, name->data(), static_cast<int>(name->size()), SQLITE_TRANSIENT);
}

bool isNumericValue(sqlite3_value* v)
{
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// T-SQL '+': concatenation when both sides are text, arithmetic otherwise. Statements are now
// translated to rimo_arith; views, defaults and checks stored before still name this one.
void addFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* a = argv[0];
    sqlite3_value* b = argv[1];
    if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (!isNumericValue(a) && !isNumericValue(b)) {
        std::string s(reinterpret_cast<const char*>(sqlite3_value_text(a)), sqlite3_value_bytes(a));
        s.append(reinterpret_cast<const char*>(sqlite3_value_text(b)), sqlite3_value_bytes(b));
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return;
    }
    int64_t sum = 0;
    if (sqlite3_value_numeric_type(a) == SQLITE_INTEGER && sqlite3_value_numeric_type(b) == SQLITE_INTEGER &&
        !__builtin_add_overflow(sqlite3_value_int64(a), sqlite3_value_int64(b), &sum)) {
        sqlite3_result_int64(ctx, sum);
        return;
    }
    sqlite3_result_double(ctx, sqlite3_value_double(a) + sqlite3_value_double(b));
}

struct TypeName
{
    const char* name;
    SqlType type;
};

constexpr TypeName kTypeNames[] = {
    {"int", SqlType::Int},
    {"integer", SqlType::Int},
    {"bigint", SqlType::BigInt},
    {"smallint", SqlType::SmallInt},
    {"tinyint", SqlType::TinyInt},
    {"bit", SqlType::Bit},
    {"float", SqlType::Float},
    {"real", SqlType::Real},
    {"decimal", SqlType::Decimal},
    {"numeric", SqlType::Numeric},
    {"money", SqlType::Money},
    {"smallmoney", SqlType::SmallMoney},
    {"nvarchar", SqlType::NVarChar},
    {"varchar", SqlType::VarChar},
    {"nchar", SqlType::NChar},
    {"char", SqlType::Char},
    {"ntext", SqlType::NText},
    {"text", SqlType::Text},
    {"datetime", SqlType::DateTime},
    {"smalldatetime", SqlType::SmallDateTime},
    {"date", SqlType::Date},
    {"time", SqlType::Time},
    {"datetime2", SqlType::DateTime2},
    {"datetimeoffset", SqlType::DateTimeOffset},
    {"varbinary", SqlType::VarBinary},
    {"binary", SqlType::Binary},
    {"image", SqlType::Image},
    {"sysname", SqlType::NVarChar},
};

} // namespace

int compareCi(std::string_view a, std::string_view b)
{
    const size_t la = trimmedLength(a.data(), a.size());
    const size_t lb = trimmedLength(b.data(), b.size());
    size_t i = 0;
    size_t j = 0;
    while (i < la && j < lb) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            const int fa = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
            const int fb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
            if (fa != fb)
                return fa < fb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const char32_t pa = foldCase(decodeUtf8(a.substr(0, la), i));
        const char32_t pb = foldCase(decodeUtf8(b.substr(0, lb), j));
        if (pa != pb)
            return pa < pb ? -1 : 1;
    }
    if (i < la)
        return 1;
    if (j < lb)
        return -1;
    return 0;
}

bool ColumnType::isText() const
{
    switch (type) {
    case SqlType::NVarChar:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::Char:
    case SqlType::NText:
    case SqlType::Text:
        return true;
    default:
        return false;
    }
}

bool ColumnType::isUnicode() const
{
    return type == SqlType::NVarChar || type == SqlType::NChar || type == SqlType::NText;
}

std::string ColumnType::sqlName() const
{
    std::string base;
    for (const auto& t : kTypeNames)
        if (t.type == type) {
            base = t.name;
            break;
        }
    switch (type) {
    case SqlType::NVarChar:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::Char:
    case SqlType::VarBinary:
    case SqlType::Binary:
        return base + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
    case SqlType::Decimal:
    case SqlType::Numeric:
        return base + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
        return base + "(" + std::to_string(scale) + ")";
    default:
        return base;
    }
}

std::optional<ColumnType> makeColumnType(std::string_view name, const std::vector<int>& args)
{
    const std::string lower = lowerAscii(name);
    std::optional<SqlType> type;
    for (const auto& t : kTypeNames)
        if (lower == t.name)
            type = t.type;
    if (!type)
        return std::nullopt;
    ColumnType ct;
    ct.type = *type;
    switch (ct.type) {
    case SqlType::NVarChar:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::Char:
    case SqlType::VarBinary:
    case SqlType::Binary: {
        ct.length = args.empty() ? (lower == "sysname" ? 128 : 1) : args[0];
        const int limit = ct.isUnicode() ? 4000 : 8000;
        if (args.size() > 1 || ct.length == 0 || ct.length > limit ||
            (ct.length < 0 &&
             (ct.type == SqlType::NChar || ct.type == SqlType::Char || ct.type == SqlType::Binary)))
            return std::nullopt;
        break;
    }
    case SqlType::Decimal:
    case SqlType::Numeric:
        ct.precision = args.empty() ? 18 : args[0];
        ct.scale = args.size() > 1 ? args[1] : 0;
        if (args.size() > 2 || ct.precision < 1 || ct.precision > 38 || ct.scale < 0 ||
            ct.scale > ct.precision)
            return std::nullopt;
        break;
    case SqlType::Float:
        if (args.size() > 1)
            return std::nullopt;
        if (!args.empty() && args[0] >= 1 && args[0] <= 24)
            ct.type = SqlType::Real;
        break;
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
        ct.scale = args.empty() ? 7 : args[0];
        if (args.size() > 1 || ct.scale < 0 || ct.scale > 7)
            return std::nullopt;
        break;
    case SqlType::NText:
    case SqlType::Text:
    case SqlType::Image:
        if (!args.empty())
            return std::nullopt;
        ct.length = -1;
        break;
    default:
        if (!args.empty())
            return std::nullopt;
    }
    return ct;
}

std::optional<ColumnType> parseTypeText(std::string_view text)
{
    const size_t open = text.find('(');
    std::string_view name = text.substr(0, open);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    std::vector<int> args;
    if (open != std::string_view::npos) {
        const size_t close = text.find(')', open);
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string inner(text.substr(open + 1, close - open - 1));
        size_t pos = 0;
        while (pos <= inner.size()) {
            size_t comma = inner.find(',', pos);
            if (comma == std::string::npos)
                comma = inner.size();
            std::string part = inner.substr(pos, comma - pos);
            part.erase(std::remove(part.begin(), part.end(), ' '), part.end());
            if (lowerAscii(part) == "max")
                args.push_back(-1);
            else if (!part.empty() && std::all_of(part.begin(), part.end(), ::isdigit) && part.size() < 9)
                args.push_back(std::stoi(part));
            else
                return std::nullopt;
            pos = comma + 1;
        }
    }
    return makeColumnType(name, args);
}

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

std::string sqliteIdent(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string sqliteLiteral(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

std::unique_ptr<Database> Database::open(const std::string& path, const std::string& name, bool create)
{
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw ServerError(
            911, 16, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    }
    std::unique_ptr<Database> self(new Database(db, name));
    sqlite3_extended_result_codes(db, 1);
    // Double-quoted names must never fall back to string literals: an unknown column is an error.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_create_collation(db, "RIMO_CI", SQLITE_UTF8, nullptr, collateCi);
    registerPreciseTimeCollation(db);
    sqlite3_create_function(db, "rimo_db_name", 0, SQLITE_UTF8, &self->m_name, dbNameFunction, nullptr,
                            nullptr);
    sqlite3_create_function(db, "rimo_add", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, addFunction,
                            nullptr, nullptr);
    registerValueFunctions(db);
    registerArithmetic(db, &self->m_scope);
    sqlite3_create_function(db, "rimo_object_name", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &self->m_name,
                            objectNameFunction, nullptr, nullptr);
    self->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;");
    self->ensureLayout();
    self->refuseSqliteTables();
    return self;
}

// SQLite answers names SQL Server does not have: its table-valued functions and pragmas
// (pragma_database_list shows the data folder's path). A statement that reads one is refused when it is
// compiled, unless a table of the database has that name.
void Database::refuseSqliteTables()
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT name FROM pragma_module_list", -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            m_sqliteTables.insert(lowerAscii(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
    sqlite3_finalize(st);
    sqlite3_set_authorizer(
        m_db,
        [](void* self, int action, const char* table, const char*, const char*, const char*) -> int {
            auto* db = static_cast<Database*>(self);
            if (action != SQLITE_READ || !table)
                return SQLITE_OK;
            const std::string lower = lowerAscii(table);
            if ((lower.rfind("pragma_", 0) != 0 && db->m_sqliteTables.count(lower) == 0) ||
                db->hasTable(lower))
                return SQLITE_OK;
            db->m_refusedTable = table;
            return SQLITE_DENY;
        },
        this);
}

bool Database::hasTable(std::string_view name) const
{
    const std::string prefix = lowerAscii(name) + '\0';
    const auto it = m_columns.lower_bound(prefix);
    return it != m_columns.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

Database::~Database()
{
    sqlite3_finalize(m_versionStmt);
    sqlite3_close_v2(m_db);
}

void Database::exec(const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string text = err ? err : "unknown error";
        sqlite3_free(err);
        if (!sqlite3_get_autocommit(m_db) && sql.rfind("BEGIN", 0) == 0)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw ServerError(50000, 16, "Storage error: " + text);
    }
}

void Database::createTable(const TableDef& def)
{
    if (objectType(def.name))
        throw ServerError(2714, 16, "There is already an object named '" + def.name + "' in the database.");
    std::string ddl = "CREATE TABLE " + sqliteIdent(def.name) + " (";
    std::string side = "INSERT INTO rimo_tables VALUES(" + sqliteLiteral(def.name) +
                       ");INSERT INTO rimo_objects(name, xtype) VALUES(" + sqliteLiteral(def.name) +
                       ", 'U');";
    int ordinal = 0;
    std::string identityColumn;
    int64_t identitySeed = 1;
    for (const auto& c : def.columns) {
        if (ordinal > 0)
            ddl += ", ";
        ++ordinal;
        ddl += sqliteIdent(c.name) + " ";
        if (c.identity) {
            if (!identityColumn.empty())
                throw ServerError(2744, 16,
                                  "Multiple identity columns specified for table '" + def.name +
                                      "'. Only one identity column per table is allowed.");
            identityColumn = c.name;
            identitySeed = c.seed;
            ddl += "INTEGER PRIMARY KEY AUTOINCREMENT";
        } else {
            // SQLite reads no (max) in a type name; the type itself is kept in rimo_columns.
            std::string declared = c.type.sqlName();
            if (c.type.length < 0 && declared.size() > 5 &&
                declared.compare(declared.size() - 5, 5, "(max)") == 0)
                declared.resize(declared.size() - 5);
            ddl += declared;
            if (c.type.isText())
                ddl += " COLLATE RIMO_CI";
            else if (c.type.type == SqlType::DateTimeOffset)
                ddl += " COLLATE RIMO_DTO"; // equal when the UTC instants are
        }
        if (!c.nullable)
            ddl += " NOT NULL";
        if (!c.defaultSql.empty())
            ddl += " DEFAULT (" + c.defaultSql + ")";
        if (c.type.isText() && c.type.length > 0)
            ddl += " CONSTRAINT " + sqliteIdent("rimo_len_" + c.name) + " CHECK (length(" +
                   sqliteIdent(c.name) + ") <= " + std::to_string(c.type.length) + ")";
        side += "INSERT INTO rimo_columns VALUES(" + sqliteLiteral(def.name) + "," + sqliteLiteral(c.name) +
                "," + std::to_string(ordinal) + "," + sqliteLiteral(c.type.sqlName()) + "," +
                std::to_string(c.type.isText() || c.type.type == SqlType::VarBinary ? c.type.length : 0) +
                "," + std::to_string(c.type.precision) + "," + std::to_string(c.type.scale) + "," +
                (c.nullable ? "1" : "0") + "," + (c.identity ? "1" : "0") + "," +
                (c.defaultText.empty() ? std::string("NULL") : sqliteLiteral(c.defaultText)) + ");";
    }
    for (const auto& k : def.constraints) {
        if (k.kind == ConstraintDef::Check) {
            ddl += ", CONSTRAINT " + sqliteIdent(k.name) + " CHECK (" + k.checkSql + ")";
            side += "INSERT INTO rimo_constraints VALUES(" + sqliteLiteral(k.name) + "," +
                    sqliteLiteral(def.name) + ",'CHECK'," +
                    (k.columns.empty() ? std::string("NULL") : sqliteLiteral(k.columns[0])) + ",1);";
            continue;
        }
        const bool identityKey = k.kind == ConstraintDef::PrimaryKey && k.columns.size() == 1 &&
                                 lowerAscii(k.columns[0]) == lowerAscii(identityColumn);
        if (!identityKey) {
            ddl += ", CONSTRAINT " + sqliteIdent(k.name) + " UNIQUE (";
            for (size_t i = 0; i < k.columns.size(); ++i)
                ddl += (i ? ", " : "") + sqliteIdent(k.columns[i]);
            ddl += ")";
        }
        for (size_t i = 0; i < k.columns.size(); ++i)
            side += "INSERT INTO rimo_constraints VALUES(" + sqliteLiteral(k.name) + "," +
                    sqliteLiteral(def.name) + "," +
                    (k.kind == ConstraintDef::PrimaryKey ? "'PRIMARY KEY'" : "'UNIQUE'") + "," +
                    sqliteLiteral(k.columns[i]) + "," + std::to_string(i + 1) + ");";
    }
    ddl += ");";
    if (!identityColumn.empty() && identitySeed != 1)
        side += "INSERT INTO sqlite_sequence(name, seq) VALUES(" + sqliteLiteral(def.name) + "," +
                std::to_string(identitySeed - 1) + ");";
    const bool outer = sqlite3_get_autocommit(m_db) != 0;
    exec(outer ? "SAVEPOINT rimo_ddl" : "SAVEPOINT rimo_ddl");
    char* err = nullptr;
    if (sqlite3_exec(m_db, (ddl + side).c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string text = err ? err : "";
        sqlite3_free(err);
        sqlite3_exec(m_db, "ROLLBACK TO rimo_ddl; RELEASE rimo_ddl;", nullptr, nullptr, nullptr);
        throw ServerError(2716, 16, "Could not create table '" + def.name + "': " + text);
    }
    exec("RELEASE rimo_ddl");
    m_schemaVersion = -1;
}

void Database::dropTable(std::string_view name)
{
    auto info = table(name);
    if (!info)
        throw ServerError(3701, 11,
                          "Cannot drop the table '" + std::string(name) +
                              "', because it does not exist or you do not have permission.");
    const std::string q = sqliteLiteral(info->name);
    exec("SAVEPOINT rimo_ddl; DROP TABLE " + sqliteIdent(info->name) +
         "; DELETE FROM rimo_tables WHERE table_name=" + q + "; DELETE FROM rimo_columns WHERE table_name=" +
         q + "; DELETE FROM rimo_constraints WHERE table_name=" + q +
         "; DELETE FROM rimo_objects WHERE name=" + q + "; RELEASE rimo_ddl;");
    m_schemaVersion = -1;
}

bool Database::checkSchema()
{
    if (!m_versionStmt)
        sqlite3_prepare_v2(m_db, "PRAGMA schema_version", -1, &m_versionStmt, nullptr);
    int version = 0;
    if (m_versionStmt && sqlite3_step(m_versionStmt) == SQLITE_ROW)
        version = sqlite3_column_int(m_versionStmt, 0);
    sqlite3_reset(m_versionStmt);
    if (version == m_schemaVersion)
        return false;
    m_schemaVersion = version;
    loadColumns();
    return true;
}

void Database::loadColumns()
{
    m_columns.clear();
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "SELECT t.table_name, c.column_name, c.type_name, c.nullable, c.is_identity "
        "FROM rimo_columns c JOIN rimo_tables t ON t.table_name = c.table_name ORDER BY c.ordinal";
    if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        ColumnInfo ci;
        ci.table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ci.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const char* typeText = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        auto ct = parseTypeText(typeText ? typeText : "");
        if (!ct)
            continue;
        ci.type = *ct;
        ci.nullable = sqlite3_column_int(st, 3) != 0;
        ci.identity = sqlite3_column_int(st, 4) != 0;
        m_columns[lowerAscii(ci.table) + '\0' + lowerAscii(ci.name)] = ci;
    }
    sqlite3_finalize(st);
}

const ColumnInfo* Database::column(std::string_view table, std::string_view column)
{
    if (m_schemaVersion < 0)
        checkSchema();
    auto it = m_columns.find(lowerAscii(table) + '\0' + lowerAscii(column));
    return it == m_columns.end() ? nullptr : &it->second;
}

std::optional<TableInfo> Database::table(std::string_view name)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        m_db,
        "SELECT c.table_name, c.column_name, c.type_name, c.nullable, c.is_identity FROM rimo_tables t "
        "JOIN rimo_columns c ON c.table_name = t.table_name WHERE t.table_name = ?1 ORDER BY c.ordinal",
        -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    std::optional<TableInfo> info;
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (!info) {
            info.emplace();
            info->name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        ColumnInfo ci;
        ci.table = info->name;
        ci.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const char* typeText = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        ci.type = parseTypeText(typeText ? typeText : "").value_or(ColumnType{SqlType::NVarChar, 4000, 0, 0});
        ci.nullable = sqlite3_column_int(st, 3) != 0;
        ci.identity = sqlite3_column_int(st, 4) != 0;
        info->columns.push_back(ci);
    }
    sqlite3_finalize(st);
    if (!info)
        return info;
    sqlite3_prepare_v2(m_db,
                       "SELECT constraint_name, constraint_type, column_name FROM rimo_constraints "
                       "WHERE table_name = ?1 ORDER BY constraint_name, ordinal",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, info->name.data(), static_cast<int>(info->name.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string cname = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const std::string ctype = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const char* col = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        if (info->constraints.empty() || info->constraints.back().name != cname) {
            ConstraintDef k;
            k.name = cname;
            k.kind = ctype == "PRIMARY KEY" ? ConstraintDef::PrimaryKey
                     : ctype == "UNIQUE"    ? ConstraintDef::Unique
                                            : ConstraintDef::Check;
            info->constraints.push_back(k);
        }
        if (col)
            info->constraints.back().columns.push_back(col);
    }
    sqlite3_finalize(st);
    return info;
}

} // namespace rimo::tds
