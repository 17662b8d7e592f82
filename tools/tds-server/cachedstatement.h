// A session's translated statements as it keeps them between runs: the statement, its compiled SQLite
// form, and the statements of its IF or BEGIN ... END.
#pragma once

#include "tools/tds-server/session.h"

#include <sqlite3.h>

namespace rimo::tds {

struct Session::CachedStatement
{
    Statement st;
    sqlite3_stmt* stmt = nullptr;
    bool resolved = false;
    std::string identityColumn;
    std::string finalSql;
    // The statements of IF (then, else) and BEGIN ... END; Statement::body is moved here.
    std::vector<std::unique_ptr<CachedStatement>> children;
    ~CachedStatement() { sqlite3_finalize(stmt); }
};

struct Session::CachedBatch
{
    std::vector<std::unique_ptr<CachedStatement>> statements;
};

} // namespace rimo::tds
