// One database of the test server: a SQLite file with the SQL Server types of its columns kept in side
// tables (rimo_tables, rimo_columns, rimo_constraints), its tables, views and procedures in rimo_objects,
// and INFORMATION_SCHEMA and sysobjects views over them.
// Used by the server and by the sample-herd generator, so both write the same layout.
#pragma once

#include "tools/tds-server/protocol.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace rimo::tds {

enum class SqlType {
    Int,
    BigInt,
    SmallInt,
    TinyInt,
    Bit,
    Float,
    Real,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    NVarChar,
    VarChar,
    NChar,
    Char,
    NText,
    Text,
    DateTime,
    SmallDateTime,
    Date,
    Time,
    DateTime2,
    DateTimeOffset,
    VarBinary,
    Binary,
    Image
};

struct ColumnType
{
    SqlType type = SqlType::Int;
    int length = 0; // characters for text, bytes for binary; -1 = max
    int precision = 0;
    int scale = 0; // also the fraction digits of time, datetime2 and datetimeoffset

    bool isText() const;
    bool isUnicode() const;
    std::string sqlName() const; // e.g. "nvarchar(20)"
};

// The type named `name` with its optional arguments (args[i] = -1 for "max"); nullopt when unknown.
std::optional<ColumnType> makeColumnType(std::string_view name, const std::vector<int>& args);
// Parses a declared type text such as "nvarchar(20)" or "decimal(10, 2)".
std::optional<ColumnType> parseTypeText(std::string_view text);

struct ColumnDef
{
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    int64_t seed = 1;
    std::string defaultSql;  // SQLite expression, already translated
    std::string defaultText; // as the client wrote it, for INFORMATION_SCHEMA
};

struct ConstraintDef
{
    enum Kind { PrimaryKey, Unique, Check };
    std::string name;
    Kind kind = PrimaryKey;
    std::vector<std::string> columns;
    std::string checkSql; // SQLite expression for CHECK
};

struct TableDef
{
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<ConstraintDef> constraints;
};

struct ColumnInfo
{
    std::string table;
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
};

struct TableInfo
{
    std::string name;
    std::vector<ColumnInfo> columns;
    std::vector<ConstraintDef> constraints;
};

// SQLite text of an identifier in double quotes, and of a string literal in single quotes.
std::string sqliteIdent(std::string_view name);
std::string sqliteLiteral(std::string_view text);

// Case-insensitive, trailing-blank-insensitive comparison of UTF-8 texts, as the server's collation.
int compareCi(std::string_view a, std::string_view b);

// The object a name such as T, [My T], dbo.T or herd..T denotes in `database`: its bare name, or nullopt
// when the text names another schema or database, or is not a name at all.
std::optional<std::string> objectNameIn(std::string_view text, std::string_view database);

// What functions running inside a statement ask of it: the values of its parameters, by lowercased name.
struct StatementScope
{
    const std::map<std::string, Value>* params = nullptr;
};

class Database
{
public:
    // Opens (creating if asked) the file; registers the collation and helper functions, sets WAL and a
    // busy timeout, and makes sure the side tables and views exist. Throws ServerError.
    static std::unique_ptr<Database> open(const std::string& path, const std::string& name, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return m_db; }
    // Set by whoever steps a statement, before it does.
    StatementScope& scope() { return m_scope; }
    const std::string& name() const { return m_name; }

    // Runs SQL that returns no rows; throws ServerError with the SQLite text on failure.
    void exec(const std::string& sql);
    void createTable(const TableDef& def);
    void dropTable(std::string_view name);
    std::optional<TableInfo> table(std::string_view name);
    const ColumnInfo* column(std::string_view table, std::string_view column);
    // The type of the object named: 'U' table, 'V' view, 'P' procedure.
    std::optional<char> objectType(std::string_view name);
    // The CREATE PROCEDURE text of a procedure.
    std::optional<std::string> procedureDefinition(std::string_view name);
    // A view over `selectSql` (SQLite text) with the given column names and the columns' facts for
    // INFORMATION_SCHEMA.COLUMNS.
    void createView(const std::string& name, const std::string& selectSql,
                    const std::vector<std::string>& columnList, const std::vector<ColumnInfo>& columns);
    void createProcedure(const std::string& name, const std::string& definition);
    // Drops a view or procedure.
    void dropObject(std::string_view name);
    // Reloads cached column facts when the schema changed (also by another connection's DDL);
    // returns true when it did.
    bool checkSchema();
    // The name of a SQLite table-valued function or pragma that the last statement compiled tried to read
    // (it is refused as SQLITE_AUTH); empty when none. Cleared by the caller before it compiles.
    std::string& refusedTable() { return m_refusedTable; }

private:
    Database(sqlite3* db, std::string name) : m_db(db), m_name(std::move(name)) {}
    void loadColumns();
    void refuseSqliteTables();
    bool hasTable(std::string_view name) const;
    // Makes sure the side tables and views exist in their current shape (catalog.cpp).
    void ensureLayout();

    sqlite3* m_db;
    std::string m_name;
    int m_schemaVersion = -1;
    sqlite3_stmt* m_versionStmt = nullptr;
    std::map<std::string, ColumnInfo> m_columns; // key: lower(table) + '\0' + lower(column)
    StatementScope m_scope;
    std::set<std::string> m_sqliteTables; // lowercased names of SQLite's table-valued functions
    std::string m_refusedTable;
};

// The data folder: one file per database, named after the lowercased database name.
std::string lowerAscii(std::string_view s);
bool validDatabaseName(std::string_view name);
std::string databasePath(const std::string& dataDir, std::string_view name);
bool databaseExists(const std::string& dataDir, std::string_view name);

struct DatabaseEntry
{
    std::string name;
    int dbid = 0;
};
// Registry of database names (original letter case, dbid) kept in master; files found in the folder
// without an entry (written by the generator) are added.
std::vector<DatabaseEntry> listDatabases(const std::string& dataDir);
void registerDatabase(const std::string& dataDir, std::string_view name);
void unregisterDatabase(const std::string& dataDir, std::string_view name);
// Creates master if missing.
void ensureMaster(const std::string& dataDir);

// SQL logins other than sa, kept in master. createLogin throws ServerError 15025 when the name is taken
// (sa included); loginAccepted checks a name and password the way SQL Server does: sa with the server's
// own password, any other name only when it was created and its password matches exactly.
void createLogin(const std::string& dataDir, std::string_view name, std::string_view password);
bool loginAccepted(const std::string& dataDir, std::string_view name, std::string_view password,
                   std::string_view saPassword);

} // namespace rimo::tds
