#include "bare.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>

namespace rimo::bench {

namespace {

constexpr int kNVarChar = 231; // nvarchar on the wire; FreeTDS converts from the client's UTF-8

// Statement errors end the benchmark: a run whose updates failed measures nothing.
int printMessage(DBPROCESS*, DBINT number, int, int severity, char* text, char*, char*, int)
{
    if (severity > 10)
        std::fprintf(stderr, "server message %d: %s\n", static_cast<int>(number), text ? text : "");
    return 0;
}

int printError(DBPROCESS*, int, int dberr, int, char* text, char*)
{
    if (dberr != SYBESMSG)
        std::fprintf(stderr, "db-lib: %s\n", text ? text : "");
    return INT_CANCEL;
}

std::int64_t statusField(const std::string& status, const char* name)
{
    const std::size_t at = status.find(name);
    if (at == std::string::npos)
        return 0;
    return std::atoll(status.c_str() + at + std::strlen(name)) * 1024;
}

} // namespace

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ProcessMemory processMemory()
{
    std::ifstream in("/proc/self/status");
    const std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {statusField(status, "VmRSS:"), statusField(status, "VmHWM:")};
}

void resetPeakMemory()
{
    // "5" resets the peak resident size to the current one (Linux 4.0 and later).
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::unique_ptr<testsupport::TdsServer> startHerdServer(long rows)
{
    auto server = std::make_unique<testsupport::TdsServer>("Rimo-bench-sa-1");
    // herdgen writes the server's files directly, so the server is down meanwhile.
    server->stop();
    const std::string command = std::string(RIMO_HERDGEN_BINARY) + " --data-dir '" + server->dataDir() +
                                "' --database herd --rows " + std::to_string(rows) + " >&2";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "herdgen failed\n");
        std::exit(1);
    }
    server->start();
    return server;
}

DBPROCESS* bareConnect(const testsupport::TdsServer& server, const char* database)
{
    return bareConnectTo(server.serverSpec(), server.password(), database);
}

DBPROCESS* bareConnectTo(const std::string& serverSpec, const std::string& password, const char* database)
{
    static const bool initialised = [] {
        dbinit();
        dbmsghandle(printMessage);
        dberrhandle(printError);
        return true;
    }();
    (void)initialised;
    LOGINREC* login = dblogin();
    DBSETLUSER(login, "sa");
    DBSETLPWD(login, password.c_str());
    DBSETLAPP(login, "bench");
    DBSETLCHARSET(login, "UTF-8");
    DBSETLDBNAME(login, database);
    dbsetlversion(login, DBVERSION_74);
    DBPROCESS* proc = dbopen(login, serverSpec.c_str());
    dbloginfree(login);
    if (!proc) {
        std::fprintf(stderr, "cannot connect to %s\n", serverSpec.c_str());
        std::exit(1);
    }
    return proc;
}

bool bareBatch(DBPROCESS* proc, const char* sql)
{
    if (dbcmd(proc, sql) == FAIL || dbsqlexec(proc) == FAIL)
        return false;
    RETCODE rc;
    while ((rc = dbresults(proc)) != NO_MORE_RESULTS) {
        if (rc == FAIL)
            return false;
        while (dbnextrow(proc) != NO_MORE_ROWS) {
        }
    }
    return true;
}

bool bareRpcUpdate(DBPROCESS* proc, const BareUpdate& update, const std::int64_t* values, int valueCount,
                   std::int32_t key)
{
    static const char* const names[] = {"@P1", "@P2", "@P3", "@P4", "@P5", "@P6", "@P7", "@P8"};
    if (valueCount + 1 > 8)
        return false;
    dbrpcinit(proc, const_cast<char*>("sp_executesql"), 0);
    dbrpcparam(proc, const_cast<char*>("@stmt"), 0, kNVarChar, -1,
               static_cast<DBINT>(update.statement.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(update.statement.data())));
    dbrpcparam(proc, const_cast<char*>("@params"), 0, kNVarChar, -1,
               static_cast<DBINT>(update.declarations.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(update.declarations.data())));
    for (int i = 0; i < valueCount; ++i)
        dbrpcparam(proc, const_cast<char*>(names[i]), 0, SYBINT8, -1, -1,
                   reinterpret_cast<BYTE*>(const_cast<std::int64_t*>(values + i)));
    dbrpcparam(proc, const_cast<char*>(names[valueCount]), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&key));
    if (dbrpcsend(proc) == FAIL || dbsqlok(proc) == FAIL)
        return false;
    DBINT affected = -1;
    RETCODE rc;
    while ((rc = dbresults(proc)) != NO_MORE_RESULTS) {
        if (rc == FAIL)
            return false;
        while (dbnextrow(proc) != NO_MORE_ROWS) {
        }
        if (dbcount(proc) >= 0)
            affected = dbcount(proc);
    }
    return affected > 0;
}

std::int64_t bareScalar(DBPROCESS* proc, const char* sql)
{
    std::int64_t value = 0;
    bool got = false;
    if (dbcmd(proc, sql) == FAIL || dbsqlexec(proc) == FAIL) {
        std::fprintf(stderr, "failed: %s\n", sql);
        std::exit(1);
    }
    while (dbresults(proc) == SUCCEED) {
        while (dbnextrow(proc) == REG_ROW) {
            if (!got && dbnumcols(proc) > 0 && dbdata(proc, 1)) {
                DBINT len = dbdatlen(proc, 1);
                dbconvert(proc, dbcoltype(proc, 1), dbdata(proc, 1), len, SYBINT8,
                          reinterpret_cast<BYTE*>(&value), sizeof value);
            }
            got = true;
        }
    }
    return value;
}

} // namespace rimo::bench
