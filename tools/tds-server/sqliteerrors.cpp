#include "tools/tds-server/sqliteerrors.h"

#include "tools/tds-server/values.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace rimo::tds {

namespace {

std::string verbText(Statement::Verb v)
{
    return v == Statement::Insert ? "INSERT" : v == Statement::Update ? "UPDATE" : "DELETE";
}

// The lowercased column names of a failed UNIQUE constraint, from SQLite's "t.a, t.b" list.
std::vector<std::string> uniqueColumns(const std::string& list)
{
    std::vector<std::string> cols;
    size_t pos = 0;
    while (pos < list.size()) {
        size_t comma = list.find(", ", pos);
        if (comma == std::string::npos)
            comma = list.size();
        std::string part = list.substr(pos, comma - pos);
        const size_t dot = part.find('.');
        cols.push_back(lowerAscii(dot == std::string::npos ? part : part.substr(dot + 1)));
        pos = comma + 2;
    }
    return cols;
}

// Error 2627, naming the table's constraint over those columns. A key on the identity column alone is
// SQLite's rowid, which SQLite reports under the column's name.
ServerError duplicateKey(Database& db, const std::string& table, const std::vector<std::string>& cols,
                         const std::string& identityColumn)
{
    std::string name = "PK__" + table;
    bool primary = true;
    if (auto info = db.table(table)) {
        for (const auto& k : info->constraints) {
            if (k.kind == ConstraintDef::Check)
                continue;
            std::vector<std::string> kc;
            for (const auto& c : k.columns)
                kc.push_back(lowerAscii(c));
            if (kc == cols || (cols.size() == 1 && cols[0] == lowerAscii(identityColumn) &&
                               k.kind == ConstraintDef::PrimaryKey && kc.size() == 1 && kc[0] == cols[0])) {
                name = k.name;
                primary = k.kind == ConstraintDef::PrimaryKey;
            }
        }
    }
    return ServerError(2627, 14,
                       std::string("Violation of ") + (primary ? "PRIMARY KEY" : "UNIQUE KEY") +
                           " constraint '" + name + "'. Cannot insert duplicate key in object 'dbo." + table +
                           "'.");
}

ServerError checkViolation(Database& db, const Statement& st, const std::string& name)
{
    // The server's own length checks stand for SQL Server's truncation error.
    if (name.rfind("rimo_len_", 0) == 0)
        return ServerError(8152, 16, "String or binary data would be truncated.", 14);
    std::string column;
    if (auto info = db.table(st.table))
        for (const auto& k : info->constraints)
            if (k.kind == ConstraintDef::Check && lowerAscii(k.name) == lowerAscii(name) &&
                !k.columns.empty())
                column = k.columns[0];
    std::string text = "The " + verbText(st.verb) + " statement conflicted with the CHECK constraint \"" +
                       name + "\". The conflict occurred in database \"" + db.name() + "\", table \"dbo." +
                       st.table + "\"";
    text += column.empty() ? "." : ", column '" + column + "'.";
    return ServerError(547, 16, text, 0);
}

} // namespace

ServerError prepareError(const std::string& message)
{
    auto after = [&](const char* prefix) -> std::optional<std::string> {
        if (message.rfind(prefix, 0) != 0)
            return std::nullopt;
        std::string rest = message.substr(std::strlen(prefix));
        const size_t dot = rest.rfind('.');
        if (dot != std::string::npos)
            rest = rest.substr(dot + 1);
        return rest;
    };
    if (auto t = after("no such table: "))
        return ServerError(208, 16, "Invalid object name '" + *t + "'.");
    if (auto c = after("no such column: "))
        return ServerError(207, 16, "Invalid column name '" + *c + "'.");
    if (const size_t at = message.find(" has no column named ");
        message.rfind("table ", 0) == 0 && at != std::string::npos)
        return ServerError(207, 16, "Invalid column name '" + message.substr(at + 21) + "'.");
    if (auto c = after("ambiguous column name: "))
        return ServerError(209, 16, "Ambiguous column name '" + *c + "'.");
    // INSERT ... SELECT goes through a CTE named rimo_src with one name per target column.
    if (message.rfind("table rimo_src has ", 0) == 0) {
        const long given = std::strtol(message.c_str() + 19, nullptr, 10);
        const size_t at = message.find(" values for ");
        const long wanted =
            at == std::string::npos ? given : std::strtol(message.c_str() + at + 12, nullptr, 10);
        if (given < wanted)
            return ServerError(
                120, 15,
                "The select list for the INSERT statement contains fewer items than the insert "
                "list. The number of SELECT values must match the number of INSERT columns.");
        return ServerError(
            121, 15,
            "The select list for the INSERT statement contains more items than the insert list. "
            "The number of SELECT values must match the number of INSERT columns.");
    }
    // A common table expression (or view) whose column list does not fit its query: "table x has 2
    // values for 1 columns".
    if (const size_t has = message.find(" has "); message.rfind("table ", 0) == 0 &&
                                                  has != std::string::npos &&
                                                  message.find(" values for ", has) != std::string::npos) {
        const std::string name = message.substr(6, has - 6);
        const long given = std::strtol(message.c_str() + has + 5, nullptr, 10);
        const size_t at = message.find(" values for ", has);
        const long wanted = std::strtol(message.c_str() + at + 12, nullptr, 10);
        if (given > wanted)
            return ServerError(8158, 16,
                               "'" + name + "' has more columns than were specified in the column list.");
        return ServerError(8159, 16,
                           "'" + name + "' has fewer columns than were specified in the column list.");
    }
    if (message.find("values were supplied") != std::string::npos ||
        message.find("values for") != std::string::npos)
        return ServerError(213, 16,
                           "Column name or number of supplied values does not match table definition.");
    if (message.find("misuse of aggregate") != std::string::npos)
        return ServerError(8120, 16,
                           "Column is invalid in the select list because it is not contained in "
                           "either an aggregate function or the GROUP BY clause.");
    return ServerError(8180, 16, "Statement(s) could not be prepared by the test server: " + message);
}

ServerError stepError(int rc, const std::string& message, Database& db, const Statement& st,
                      const std::string& identityColumn)
{
    if (const auto v = valueError(message))
        return ServerError(v->first, 16, v->second);
    auto tail = [&](const std::string& prefix) {
        return message.rfind(prefix, 0) == 0 ? message.substr(prefix.size()) : std::string();
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
                           "Cannot insert the value NULL into column '" + col + "', table '" + db.name() +
                               ".dbo." + st.table + "'; column does not allow nulls. " + verbText(st.verb) +
                               " fails.",
                           2);
    }
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return duplicateKey(db, st.table, uniqueColumns(tail("UNIQUE constraint failed: ")), identityColumn);
    case SQLITE_CONSTRAINT_CHECK:
        return checkViolation(db, st, tail("CHECK constraint failed: "));
    case SQLITE_MISMATCH:
        return ServerError(245, 16, "Conversion failed when converting a value to the column's data type.");
    default:
        return ServerError(50000, 16, "The test server could not run the statement: " + message);
    }
}

} // namespace rimo::tds
