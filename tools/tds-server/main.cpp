// tds-server: a development stand-in for SQL Server that speaks enough TDS 7.4 for FreeTDS over
// loopback and keeps each database in one SQLite file.
#include "tools/tds-server/server.h"
#include "tools/tds-server/storage.h"

#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

rimo::tds::Server* g_server = nullptr;

void onSignal(int)
{
    if (g_server)
        g_server->requestStop();
}

void usage(FILE* out)
{
    std::fprintf(out, "Usage: tds-server --data-dir DIR --sa-password PASSWORD [--port N]\n"
                      "\n"
                      "A development stand-in for Microsoft SQL Server, NOT SQL Server: it speaks enough of\n"
                      "the TDS 7.4 protocol for FreeTDS clients (db-lib, tsql) and translates the T-SQL\n"
                      "forms Rimo1 and its tests send into SQLite. Each database is one SQLite file in DIR.\n"
                      "\n"
                      "  --port N           listen on 127.0.0.1:N (0 = a free port; default 1433)\n"
                      "  --data-dir DIR     folder of the database files (created if missing)\n"
                      "  --sa-password P    the password of the sa login\n"
                      "  --max-connections N  sessions served at once (default 200); a login beyond them\n"
                      "                     is refused (error 17809)\n"
                      "  --max-pending-logins N  connections waiting to log in (default 64); one more\n"
                      "                     closes the one that has waited longest\n"
                      "  --login-timeout S  seconds a client may take to log in (default 30)\n"
                      "  --help             show this text\n"
                      "\n"
                      "Once listening it prints one line \"PORT <n>\". SIGTERM ends it cleanly.\n"
                      "\n"
                      "What it knows and what it does not (anything else answers an SQL Server-style\n"
                      "error: 40000 \"... is not supported by the test server\" or SQL Server's own):\n"
                      "  - Statements: SELECT, INSERT, UPDATE, DELETE, TRUNCATE TABLE, CREATE/DROP TABLE,\n"
                      "    CREATE INDEX, CREATE/DROP DATABASE, CREATE LOGIN ... WITH PASSWORD, USE,\n"
                      "    BEGIN/COMMIT/ROLLBACK TRANSACTION (not nested), SET NOCOUNT, SET\n"
                      "    IDENTITY_INSERT, PRINT 'text', CREATE/DROP VIEW (read-only views),\n"
                      "    CREATE/DROP PROCEDURE with input parameters, EXEC and RPCs by name (with their\n"
                      "    return status), IF ... ELSE, BEGIN ... END, SELECT ... INTO a new table;\n"
                      "    WITH common table expressions before SELECT/INSERT/UPDATE/DELETE (not\n"
                      "    recursive, not written through), UPDATE ... FROM (target bound as SQL Server\n"
                      "    binds it), ROW_NUMBER/RANK/DENSE_RANK OVER (PARTITION BY ... ORDER BY ...);\n"
                      "    dbo.sysobjects, OBJECT_ID, OBJECT_NAME, OBJECTPROPERTY. No ALTER, triggers,\n"
                      "    functions, cursors, OUTPUT parameters, variables (DECLARE, SET @v), WHILE,\n"
                      "    TRY/CATCH, DELETE ... FROM, MERGE, aggregates OVER, foreign keys, TOP\n"
                      "    PERCENT/WITH TIES, OPTION hints, cross-database names. SQLite's own table\n"
                      "    functions and pragmas are no objects (208).\n"
                      "  - Application locks: sp_getapplock, sp_releaseapplock, APPLOCK_MODE and\n"
                      "    APPLOCK_TEST as SQL Server's (Transaction and Session owners, the five modes,\n"
                      "    return values 0, 1, -1, -3, -999).\n"
                      "  - Arithmetic typed as SQL Server types it: 8115 for a whole number out of its\n"
                      "    type's range, 8134 for a division by zero (as with ANSI_WARNINGS on).\n"
                      "    CAST/CONVERT of nvarchar to binary give UTF-16LE, of varchar its code page.\n"
                      "  - Types: int, bigint, smallint, tinyint, bit, float, real, decimal/numeric,\n"
                      "    money, smallmoney, (n)varchar, (n)char, (n)text, datetime, smalldatetime,\n"
                      "    date, time, datetime2, datetimeoffset (to 100 ns; datetimeoffset compared by\n"
                      "    its UTC instant), (var)binary, image, the (max) types. Values written to or\n"
                      "    compared with a column are converted as SQL Server does (8115, 245, 257;\n"
                      "    dates as instants from the us_english/mdy forms, else 241/242; real at single\n"
                      "    precision; decimal/numeric rounded to the scale, 8115/8114; money to four\n"
                      "    decimals, 235 for a text that is no amount), INSERT ... SELECT as VALUES\n"
                      "    (120/121 for a select list of the wrong length). decimal and money are kept\n"
                      "    as SQLite numbers: exact to 15 significant digits. Text without N, and text\n"
                      "    written to varchar/char/text, keeps only code page 1256 ('?' for the rest).\n"
                      "    A value compared with a column takes the column's type, where SQL Server may\n"
                      "    widen the column instead.\n"
                      "  - Logins: SQL logins only (sa, and CREATE LOGIN); no Windows logins, roles,\n"
                      "    users or permissions; every login may do everything.\n"
                      "  - Protocol: TDS 7.1-7.4 without encryption or MARS, loopback only; at most\n"
                      "    2,100 parameters to an RPC (8003). An attention, or a client that goes\n"
                      "    away, ends the statement running.\n"
                      "  - Nesting beyond 256 levels is refused (error 191).\n");
}

} // namespace

int main(int argc, char** argv)
{
    int port = 1433;
    rimo::tds::ServerConfig config;
    bool havePassword = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tds-server: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--port") {
            port = std::atoi(value().c_str());
        } else if (arg == "--data-dir") {
            config.dataDir = value();
        } else if (arg == "--max-connections") {
            config.maxConnections = std::atoi(value().c_str());
            if (config.maxConnections < 1) {
                std::fprintf(stderr, "tds-server: --max-connections needs a number of at least 1\n");
                return 2;
            }
        } else if (arg == "--max-pending-logins") {
            config.maxPendingLogins = std::atoi(value().c_str());
            if (config.maxPendingLogins < 1) {
                std::fprintf(stderr, "tds-server: --max-pending-logins needs a number of at least 1\n");
                return 2;
            }
        } else if (arg == "--login-timeout") {
            config.loginTimeoutSeconds = std::atoi(value().c_str());
            if (config.loginTimeoutSeconds < 1) {
                std::fprintf(stderr, "tds-server: --login-timeout needs a number of seconds, at least 1\n");
                return 2;
            }
        } else if (arg == "--sa-password") {
            config.password = value();
            havePassword = true;
        } else {
            std::fprintf(stderr, "tds-server: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (config.dataDir.empty() || !havePassword) {
        usage(stderr);
        return 2;
    }
    // Sessions wait on their clients far more than they compute, so two malloc arenas serve them well;
    // glibc's default of one per thread and core leaves memory spread over arenas long after a burst of
    // connections has ended.
    mallopt(M_ARENA_MAX, 2);
    try {
        rimo::tds::ensureMaster(config.dataDir);
        rimo::tds::Server server(config);
        const int bound = server.listen(port);
        g_server = &server;
        struct sigaction sa
        {
        };
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        std::printf("PORT %d\n", bound);
        std::fflush(stdout);
        server.serve();
        g_server = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
