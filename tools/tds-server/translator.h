// Translates the T-SQL forms the program and its tests send into SQLite statements. A batch becomes a
// list of statements; anything outside the supported forms raises an SQL Server-style ServerError.
#pragma once

#include "tools/tds-server/storage.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

struct SelectItem
{
    bool star = false;
    bool unnamed = false;           // an expression without an alias
    std::optional<ColumnType> type; // known result type of an expression item
};

// A parameter a stored procedure declares: its name (with the @), type and default when it has one.
struct ProcedureParameter
{
    std::string name;
    ColumnType type;
    std::string defaultSql; // SQLite expression; empty when the caller must supply the value
};

// An argument of EXEC: `name` is empty for a positional one.
struct ExecArgument
{
    std::string name;
    std::string sql;
};

// Where the translator leaves a value's type for the session to fill in: a SQLite string literal that
// rimo_store reads as "keep as given" until it is replaced by the type of the column the value goes to
// or is compared with (see resolveTypeSlots).
enum class TypeSlot { InsertColumn, UpdateColumn, Compared, DeclaredType, Arithmetic };
std::string typeSlot(TypeSlot kind, const std::string& a, const std::string& b = {});

struct Statement
{
    enum Kind {
        Query,
        Modify,
        CreateTable,
        DropTable,
        CreateDatabase,
        CreateLogin,
        DropDatabase,
        Use,
        Ignored,
        Begin,
        Commit,
        Rollback,
        IdentityInsert,
        NoCount,
        Ddl,
        Print,
        If,              // sql: the condition as a one-value query; body: the statement and its ELSE
        Block,           // BEGIN ... END: body holds the statements
        CreateView,      // name, sql (the select), columns (the optional column list), items
        CreateProcedure, // name, parameters, definition (the body's text)
        DropObjects,     // DROP VIEW / DROP PROCEDURE: names, shownNames, objectType, ifExists
        Exec             // name, arguments
    };
    enum Verb { None, Insert, Update, Delete };

    Kind kind = Ignored;
    std::string sql;  // SQLite text for Query, Modify and Ddl
    std::string text; // the statement as the client wrote it
    std::vector<SelectItem> items;
    bool usesSysDatabases = false;
    std::vector<std::string> databases; // database prefixes named in the statement (db..t, db.dbo.t)

    Verb verb = None;
    std::string table; // target of INSERT/UPDATE/DELETE, CREATE/DROP TABLE, SET IDENTITY_INSERT
    std::vector<std::string> columns; // INSERT column list or UPDATE SET columns
    bool insertNeedsColumns = false;  // INSERT without a column list: columns go in at insertPos
    size_t insertPos = 0;
    size_t insertSelectPos = std::string::npos; // INSERT ... SELECT: where the SELECT starts in sql
    bool reportsCount = true;
    std::string intoTable; // SELECT ... INTO: the table the rows go into instead of the client

    TableDef tableDef;
    std::vector<std::string> names; // DROP TABLE
    bool ifExists = false;
    std::string name;     // database for USE/CREATE/DROP DATABASE, login for CREATE LOGIN, text for PRINT
    std::string password; // CREATE LOGIN
    bool on = false;      // SET IDENTITY_INSERT / NOCOUNT

    std::vector<Statement> body;
    std::vector<std::string> shownNames; // DROP VIEW/PROCEDURE: the names as written, for messages
    char objectType = 0;                 // DROP VIEW/PROCEDURE: 'V' or 'P'
    std::vector<ProcedureParameter> parameters;
    std::string definition;
    std::vector<ExecArgument> arguments;
    // The tables the statement reads or changes, as (name its columns are qualified with, table).
    std::vector<std::pair<std::string, std::string>> tables;
};

// Replaces each type slot in `sql` with the store code `code(kind, a, b)` gives (NULL when it gives
// none): for InsertColumn a is the value's position, for UpdateColumn the column, for Compared,
// DeclaredType and Arithmetic the qualifier (maybe empty) and b the column; DeclaredType wants the column's
// declared type (its sqlName), Arithmetic its ArithType (arithmetic.h) as a number, the others its store
// code.
void resolveTypeSlots(
    std::string& sql,
    const std::function<std::string(TypeSlot, const std::string&, const std::string&)>& code);

std::vector<Statement> translateBatch(std::string_view tsql);

// The parameters sp_executesql's @params declares ("@P1 int, @P2 nvarchar(20) OUTPUT"); throws
// ServerError on a list it cannot read.
std::vector<ProcedureParameter> parameterDeclarations(std::string_view text);

} // namespace rimo::tds
