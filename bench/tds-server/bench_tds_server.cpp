// Times the test server under the access layer's heavy loads, all in one run on one machine:
//   - SELECT of every FirstRec row through db-lib, against the same query read straight from SQLite;
//   - 100,000 RPC sp_executesql UPDATEs with one text (cached) against distinct texts (translated and
//     prepared each time).
// Usage: bench_tds_server [rows] [updates]
#include <sqlite3.h>
#include <sybdb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int msg(DBPROCESS*, DBINT no, int, int sev, char* text, char*, char*, int)
{
    if (sev > 10)
        std::fprintf(stderr, "server message %d: %s\n", no, text);
    return 0;
}

int err(DBPROCESS*, int, int, int, char* text, char*)
{
    std::fprintf(stderr, "db-lib: %s\n", text);
    return INT_CANCEL;
}

bool rpcUpdate(DBPROCESS* p, const std::string& stmt, DBINT period, const std::string& serial)
{
    static const std::string decl = "@P1 int,@P2 nvarchar(20)";
    dbrpcinit(p, const_cast<char*>("sp_executesql"), 0);
    dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
    dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
    dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&period));
    dbrpcparam(p, const_cast<char*>("@P2"), 0, SYBVARCHAR, -1, static_cast<DBINT>(serial.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(serial.data())));
    if (dbrpcsend(p) == FAIL || dbsqlok(p) == FAIL)
        return false;
    while (dbresults(p) != NO_MORE_RESULTS)
        while (dbnextrow(p) != NO_MORE_ROWS) {
        }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long updates = argc > 2 ? std::atol(argv[2]) : 100000;
    char tmpl[] = "/tmp/rimo-bench-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    const std::string data = root + "/data";
    const std::string gen = std::string(RIMO_HERDGEN_BINARY) + " --data-dir " + data +
                            " --database herd --rows " + std::to_string(rows);
    if (std::system(gen.c_str()) != 0)
        return 1;

    int out[2];
    if (pipe(out) != 0)
        return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        execl(RIMO_TDS_SERVER_BINARY, "tds-server", "--port", "0", "--data-dir", data.c_str(),
              "--sa-password", "b", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char line[64] = {};
    const ssize_t n = read(out[0], line, sizeof line - 1);
    if (n <= 5)
        return 1;
    const std::string address = "127.0.0.1:" + std::to_string(std::atoi(line + 5));

    dbinit();
    dbmsghandle(msg);
    dberrhandle(err);
    LOGINREC* login = dblogin();
    DBSETLUSER(login, "sa");
    DBSETLPWD(login, "b");
    DBSETLCHARSET(login, "UTF-8");
    DBSETLDBNAME(login, "herd");
    dbsetlversion(login, DBVERSION_74);
    DBPROCESS* p = dbopen(login, address.c_str());
    if (!p)
        return 1;

    const char* query = "SELECT * FROM FirstRec ORDER BY Serial, MilkPeriod, RDate";
    double t0 = now();
    dbcmd(p, query);
    dbsqlexec(p);
    long got = 0;
    while (dbresults(p) != NO_MORE_RESULTS)
        while (dbnextrow(p) != NO_MORE_ROWS)
            ++got;
    const double selectTds = now() - t0;

    // The same rows read in-process from SQLite: the floor the server cannot beat.
    sqlite3* db = nullptr;
    sqlite3_open_v2((data + "/herd.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_create_collation(
        db, "RIMO_CI", SQLITE_UTF8, nullptr, [](void*, int la, const void* a, int lb, const void* b) {
            const int r = strncasecmp(static_cast<const char*>(a), static_cast<const char*>(b),
                                      static_cast<size_t>(la < lb ? la : lb));
            return r != 0 ? r : la - lb;
        });
    sqlite3_stmt* st = nullptr;
    t0 = now();
    sqlite3_prepare_v2(db, "SELECT * FROM FirstRec ORDER BY Serial, MilkPeriod, RDate", -1, &st, nullptr);
    long raw = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            sqlite3_column_text(st, c);
        ++raw;
    }
    const double selectRaw = now() - t0;
    sqlite3_finalize(st);
    sqlite3_close(db);

    const std::string cached = "UPDATE [FirstRec] SET [RecSeq]=@P1 WHERE [ID]=@P2";
    t0 = now();
    long okCount = 0;
    for (long i = 0; i < updates; ++i)
        okCount += rpcUpdate(p, cached, static_cast<DBINT>(i % 90), std::to_string(1 + (i * 7919) % rows));
    const double updCached = now() - t0;
    const long distinctCount = updates / 10;
    t0 = now();
    for (long i = 0; i < distinctCount; ++i)
        okCount += rpcUpdate(p, cached + " /* " + std::to_string(i) + " */", static_cast<DBINT>(i % 90),
                             std::to_string(1 + (i * 7919) % rows));
    const double updDistinct = now() - t0;

    dbclose(p);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::system(("rm -rf " + root).c_str());

    std::printf("SELECT %ld rows through TDS/db-lib: %.2f s (%.0f rows/s); straight from SQLite: %.2f s; "
                "ratio TDS/SQLite %.1f\n",
                got, selectTds, got / selectTds, selectRaw, selectTds / selectRaw);
    std::printf("RPC UPDATE, one text: %ld in %.2f s (%.1f us each); distinct texts: %.1f us each; "
                "ratio distinct/cached %.2f (%ld ok)\n",
                updates, updCached, 1e6 * updCached / updates, 1e6 * updDistinct / distinctCount,
                (updDistinct / distinctCount) / (updCached / updates), okCount);
    return got == rows && raw == rows ? 0 : 1;
}
