// Translates the T-SQL forms the program and its tests send into SQLite statements. A batch becomes a
// list of statements; anything outside the supported forms raises an SQL Server-style ServerError.
#pragma once

#include "tools/tds-server/storage.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

struct SelectItem
{
    bool star = false;
    std::optional<ColumnType> type; // known result type of an expression item
};

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
        Print
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
    bool reportsCount = true;

    TableDef tableDef;
    std::vector<std::string> names; // DROP TABLE
    bool ifExists = false;
    std::string name;     // database for USE/CREATE/DROP DATABASE, login for CREATE LOGIN, text for PRINT
    std::string password; // CREATE LOGIN
    bool on = false;      // SET IDENTITY_INSERT / NOCOUNT
};

std::vector<Statement> translateBatch(std::string_view tsql);

} // namespace rimo::tds
