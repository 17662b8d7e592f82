// SQLite's failures told the way SQL Server reports them, so that clients see the numbers and texts they
// handle (208 unknown table, 2627 duplicate key, 515 NULL into NOT NULL, ...).
#pragma once

#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <string>

namespace rimo::tds {

// The error for a statement SQLite could not compile, from SQLite's message.
ServerError prepareError(const std::string& message);

// The error for a statement whose step failed with extended result code `rc` and `message`. The table's
// constraints (read from `db`) name the key or check that was violated; `identityColumn` is the target
// table's identity column, if any.
ServerError stepError(int rc, const std::string& message, Database& db, const Statement& st,
                      const std::string& identityColumn);

} // namespace rimo::tds
