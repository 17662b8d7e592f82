// The database's catalogue: the side tables that keep SQL Server's facts, the views that answer
// INFORMATION_SCHEMA and sysobjects from them, and the views and procedures clients create.
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"

#include <sqlite3.h>

namespace rimo::tds {

namespace {

// The layout's version, kept in SQLite's user_version. Files from before version 2 had no rimo_objects
// and compared catalogue texts by their bytes, before version 3 INFORMATION_SCHEMA.COLUMNS had no
// DATETIME_PRECISION; their views are rebuilt when they are opened.
constexpr int kLayoutVersion = 3;

const char* kDropOldViews = R"SQL(
DROP VIEW IF EXISTS rimo_is_tables;
DROP VIEW IF EXISTS rimo_is_columns;
DROP VIEW IF EXISTS rimo_is_table_constraints;
DROP VIEW IF EXISTS rimo_is_key_column_usage;
)SQL";

// Every text column of the catalogue views carries the server's collation, so that a client's
// TABLE_TYPE = 'view' or xtype = 'u' finds what SQL Server would find.
const char* kSideTables = R"SQL(
CREATE TABLE IF NOT EXISTS rimo_tables(table_name nvarchar(128) COLLATE RIMO_CI PRIMARY KEY);
CREATE TABLE IF NOT EXISTS rimo_columns(
  table_name nvarchar(128) COLLATE RIMO_CI, column_name nvarchar(128) COLLATE RIMO_CI,
  ordinal int, type_name nvarchar(128), max_length int, num_precision tinyint, num_scale int,
  nullable int, is_identity int, default_text nvarchar(4000), PRIMARY KEY(table_name, column_name));
CREATE TABLE IF NOT EXISTS rimo_constraints(
  constraint_name nvarchar(128) COLLATE RIMO_CI, table_name nvarchar(128) COLLATE RIMO_CI,
  constraint_type varchar(11), column_name nvarchar(128) COLLATE RIMO_CI, ordinal int);
CREATE TABLE IF NOT EXISTS rimo_objects(
  id INTEGER PRIMARY KEY AUTOINCREMENT, name nvarchar(128) COLLATE RIMO_CI NOT NULL UNIQUE,
  xtype char(2) COLLATE RIMO_CI NOT NULL, definition ntext);
CREATE VIEW IF NOT EXISTS rimo_is_tables AS
  SELECT rimo_db_name() COLLATE RIMO_CI AS TABLE_CATALOG, 'dbo' COLLATE RIMO_CI AS TABLE_SCHEMA,
         name AS TABLE_NAME,
         CASE WHEN xtype = 'V' THEN 'VIEW' ELSE 'BASE TABLE' END COLLATE RIMO_CI AS TABLE_TYPE
  FROM rimo_objects WHERE xtype IN ('U', 'V');
CREATE VIEW IF NOT EXISTS rimo_is_columns AS
  SELECT rimo_db_name() COLLATE RIMO_CI AS TABLE_CATALOG, 'dbo' COLLATE RIMO_CI AS TABLE_SCHEMA,
         table_name AS TABLE_NAME, column_name AS COLUMN_NAME, ordinal AS ORDINAL_POSITION,
         default_text COLLATE RIMO_CI AS COLUMN_DEFAULT,
         CASE WHEN nullable THEN 'YES' ELSE 'NO' END COLLATE RIMO_CI AS IS_NULLABLE,
         CASE WHEN instr(type_name, '(') > 0 THEN substr(type_name, 1, instr(type_name, '(') - 1)
              ELSE type_name END COLLATE RIMO_CI AS DATA_TYPE,
         CASE WHEN max_length <> 0 THEN max_length END AS CHARACTER_MAXIMUM_LENGTH,
         CASE WHEN num_precision > 0 THEN num_precision END AS NUMERIC_PRECISION,
         CASE WHEN num_precision > 0 THEN num_scale END AS NUMERIC_SCALE,
         CASE WHEN type_name = 'datetime' THEN 3
              WHEN type_name IN ('smalldatetime', 'date') THEN 0
              WHEN type_name LIKE 'time(%' OR type_name LIKE 'datetime2(%' OR type_name LIKE 'datetimeoffset(%'
              THEN num_scale END AS DATETIME_PRECISION
  FROM rimo_columns;
CREATE VIEW IF NOT EXISTS rimo_is_table_constraints AS
  SELECT DISTINCT rimo_db_name() COLLATE RIMO_CI AS CONSTRAINT_CATALOG,
         'dbo' COLLATE RIMO_CI AS CONSTRAINT_SCHEMA, constraint_name AS CONSTRAINT_NAME,
         rimo_db_name() COLLATE RIMO_CI AS TABLE_CATALOG, 'dbo' COLLATE RIMO_CI AS TABLE_SCHEMA,
         table_name AS TABLE_NAME, constraint_type COLLATE RIMO_CI AS CONSTRAINT_TYPE
  FROM rimo_constraints;
CREATE VIEW IF NOT EXISTS rimo_is_key_column_usage AS
  SELECT rimo_db_name() COLLATE RIMO_CI AS CONSTRAINT_CATALOG,
         'dbo' COLLATE RIMO_CI AS CONSTRAINT_SCHEMA, constraint_name AS CONSTRAINT_NAME,
         rimo_db_name() COLLATE RIMO_CI AS TABLE_CATALOG, 'dbo' COLLATE RIMO_CI AS TABLE_SCHEMA,
         table_name AS TABLE_NAME, column_name AS COLUMN_NAME, ordinal AS ORDINAL_POSITION
  FROM rimo_constraints WHERE constraint_type IN ('PRIMARY KEY', 'UNIQUE');
CREATE VIEW IF NOT EXISTS rimo_sysobjects AS
  SELECT name, id, xtype, xtype AS type, 1 AS uid, 0 AS parent_obj FROM rimo_objects;
)SQL";

// Tables made before rimo_objects existed.
const char* kFillObjects = R"SQL(
INSERT INTO rimo_objects(name, xtype)
  SELECT table_name, 'U' FROM rimo_tables WHERE table_name NOT IN (SELECT name FROM rimo_objects);
)SQL";

// One part of a multi-part name: [bracketed] (]] for ]), "quoted" ("" for ") or plain. Returns false
// when the text at `pos` is none of them.
bool namePart(std::string_view text, size_t& pos, std::string& out)
{
    out.clear();
    if (pos < text.size() && (text[pos] == '[' || text[pos] == '"')) {
        const char close = text[pos] == '[' ? ']' : '"';
        for (++pos; pos < text.size(); ++pos) {
            if (text[pos] == close) {
                if (pos + 1 < text.size() && text[pos + 1] == close) {
                    out += close;
                    ++pos;
                    continue;
                }
                ++pos;
                return !out.empty();
            }
            out += text[pos];
        }
        return false;
    }
    while (pos < text.size() && text[pos] != '.') {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '[' || c == ']' || c == '"')
            return false;
        out += c;
        ++pos;
    }
    return true;
}

} // namespace

std::optional<std::string> objectNameIn(std::string_view text, std::string_view database)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        std::string part;
        if (!namePart(text, pos, part))
            return std::nullopt;
        parts.push_back(std::move(part));
        if (pos == text.size())
            break;
        if (text[pos] != '.' || parts.size() == 3)
            return std::nullopt;
        ++pos;
    }
    if (parts.back().empty())
        return std::nullopt;
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty() && lowerAscii(parts[parts.size() - 2]) != "dbo")
        return std::nullopt;
    if (parts.size() == 3 && compareCi(parts[0], database) != 0)
        return std::nullopt;
    return parts.back();
}

void Database::ensureLayout()
{
    int version = 0;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    if (version >= kLayoutVersion) {
        exec(std::string("BEGIN IMMEDIATE;") + kSideTables + "COMMIT;");
        return;
    }
    exec(std::string("BEGIN IMMEDIATE;") + kDropOldViews + kSideTables + kFillObjects +
         "PRAGMA user_version = " + std::to_string(kLayoutVersion) + ";COMMIT;");
}

std::optional<char> Database::objectType(std::string_view name)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT xtype FROM rimo_objects WHERE name = ?1", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    std::optional<char> type;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(st, 0);
        if (text && *text)
            type = static_cast<char>(*text);
    }
    sqlite3_finalize(st);
    return type;
}

std::optional<std::string> Database::procedureDefinition(std::string_view name)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT definition FROM rimo_objects WHERE name = ?1 AND xtype = 'P'", -1, &st,
                       nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    std::optional<std::string> text;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        text = std::string(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(st, 0)));
    }
    sqlite3_finalize(st);
    return text;
}

void Database::createView(const std::string& name, const std::string& selectSql,
                          const std::vector<std::string>& columnList, const std::vector<ColumnInfo>& columns)
{
    if (objectType(name))
        throw ServerError(2714, 16, "There is already an object named '" + name + "' in the database.");
    std::string ddl = "CREATE VIEW " + sqliteIdent(name);
    if (!columnList.empty()) {
        ddl += " (";
        for (size_t i = 0; i < columnList.size(); ++i)
            ddl += (i ? ", " : "") + sqliteIdent(columnList[i]);
        ddl += ")";
    }
    ddl += " AS " + selectSql + ";INSERT INTO rimo_objects(name, xtype) VALUES(" + sqliteLiteral(name) +
           ", 'V');";
    int ordinal = 0;
    for (const auto& c : columns) {
        const ColumnType& t = c.type;
        ddl += "INSERT INTO rimo_columns VALUES(" + sqliteLiteral(name) + "," + sqliteLiteral(c.name) + "," +
               std::to_string(++ordinal) + "," + sqliteLiteral(t.sqlName()) + "," +
               std::to_string(t.isText() || t.type == SqlType::VarBinary ? t.length : 0) + "," +
               std::to_string(t.precision) + "," + std::to_string(t.scale) + "," + (c.nullable ? "1" : "0") +
               ",0,NULL);";
    }
    exec("SAVEPOINT rimo_ddl");
    char* err = nullptr;
    if (sqlite3_exec(m_db, ddl.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string text = err ? err : "";
        sqlite3_free(err);
        sqlite3_exec(m_db, "ROLLBACK TO rimo_ddl; RELEASE rimo_ddl;", nullptr, nullptr, nullptr);
        throw ServerError(50000, 16, "The test server could not create view '" + name + "': " + text);
    }
    exec("RELEASE rimo_ddl");
    m_schemaVersion = -1;
}

void Database::createProcedure(const std::string& name, const std::string& definition)
{
    if (objectType(name))
        throw ServerError(2714, 16, "There is already an object named '" + name + "' in the database.");
    exec("INSERT INTO rimo_objects(name, xtype, definition) VALUES(" + sqliteLiteral(name) + ", 'P', " +
         sqliteLiteral(definition) + ")");
}

void Database::dropObject(std::string_view name)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(m_db, "SELECT name, xtype FROM rimo_objects WHERE name = ?1", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    std::string stored;
    std::string type;
    if (sqlite3_step(st) == SQLITE_ROW) {
        stored = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    }
    sqlite3_finalize(st);
    if (stored.empty())
        return;
    const std::string q = sqliteLiteral(stored);
    exec("SAVEPOINT rimo_ddl;" + (type == "V" ? "DROP VIEW " + sqliteIdent(stored) + ";" : std::string()) +
         "DELETE FROM rimo_objects WHERE name=" + q + "; DELETE FROM rimo_columns WHERE table_name=" + q +
         "; RELEASE rimo_ddl;");
    m_schemaVersion = -1;
}

} // namespace rimo::tds
