// Times the test server on the writes of a batched run, all in one run on one machine, in rounds:
//   - single: one sp_executesql RPC per row, "UPDATE FirstRec SET RecSeq=@P1, StRecNo=@P2 WHERE ID=@P3";
//   - batched: one sp_executesql RPC of `batch` such UPDATEs (3 parameters each; 500 make 1,500);
//   - batched in transactions: the same, each RPC between BEGIN TRANSACTION and COMMIT;
//   - set-based: one UPDATE ... FROM FirstRec JOIN a common table expression numbering the rows with
//     ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY RDate, ID), for every row of the table.
// For each it reports the wall time and the server's processor time per row written (medians of the
// rounds), and the ratios against the single-statement RPCs.
// Usage: bench_tds_batch [rows=100000] [updates=50000] [batch=500] [rounds=3]
#include <sybdb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kNVarChar = 231; // XSYBNVARCHAR

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor seconds (user + system) a process has used.
double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stol(field);
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Processor seconds this process (the client, db-lib included) has used.
double clientSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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

bool finish(DBPROCESS* p)
{
    if (dbsqlok(p) == FAIL)
        return false;
    bool ok = true;
    RETCODE rc;
    while ((rc = dbresults(p)) != NO_MORE_RESULTS) {
        if (rc == FAIL)
            ok = false;
        while (dbnextrow(p) != NO_MORE_ROWS) {
        }
    }
    return ok;
}

bool runBatch(DBPROCESS* p, const char* sql)
{
    dbcmd(p, sql);
    return dbsqlsend(p) != FAIL && finish(p);
}

// Writes rows [first, first + count) with `perRpc` UPDATEs to an sp_executesql RPC, each RPC in a
// transaction of its own when `transactions`.
bool writeRows(DBPROCESS* p, long first, long count, long perRpc, long round, bool transactions = false)
{
    std::string stmt;
    std::string decl;
    for (long k = 0; k < perRpc; ++k) {
        const std::string a = "@P" + std::to_string(3 * k + 1);
        const std::string b = "@P" + std::to_string(3 * k + 2);
        const std::string c = "@P" + std::to_string(3 * k + 3);
        stmt += (k ? ";" : "") + std::string("UPDATE FirstRec SET RecSeq=") + a + ", StRecNo=" + b +
                " WHERE ID=" + c;
        decl += (k ? "," : "") + a + " int," + b + " int," + c + " int";
    }
    std::vector<std::string> names(static_cast<size_t>(3 * perRpc));
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = "@P" + std::to_string(i + 1);
    std::vector<DBINT> values(names.size());
    for (long done = 0; done < count; done += perRpc) {
        const long n = std::min(perRpc, count - done);
        if (n != perRpc)
            return writeRows(p, first + done, n, n, round, transactions);
        if (transactions && !runBatch(p, "BEGIN TRANSACTION"))
            return false;
        dbrpcinit(p, const_cast<char*>("sp_executesql"), 0);
        // As the access layer sends them: nvarchar, and ntext past the 4,000 characters db-lib would cut
        // an nvarchar to.
        dbrpcparam(p, const_cast<char*>("@stmt"), 0, stmt.size() > 4000 ? SYBNTEXT : kNVarChar, -1,
                   static_cast<DBINT>(stmt.size()), reinterpret_cast<BYTE*>(stmt.data()));
        dbrpcparam(p, const_cast<char*>("@params"), 0, decl.size() > 4000 ? SYBNTEXT : kNVarChar, -1,
                   static_cast<DBINT>(decl.size()), reinterpret_cast<BYTE*>(decl.data()));
        for (long k = 0; k < n; ++k) {
            const long id = first + done + k;
            values[static_cast<size_t>(3 * k)] = static_cast<DBINT>((id + round) % 1000);
            values[static_cast<size_t>(3 * k + 1)] = static_cast<DBINT>((id * 7 + round) % 1000);
            values[static_cast<size_t>(3 * k + 2)] = static_cast<DBINT>(id);
        }
        for (size_t i = 0; i < static_cast<size_t>(3 * n); ++i)
            dbrpcparam(p, names[i].data(), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&values[i]));
        if (dbrpcsend(p) == FAIL || !finish(p))
            return false;
        if (transactions && !runBatch(p, "COMMIT TRANSACTION"))
            return false;
    }
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const long updates = std::min(rows, argc > 2 ? std::atol(argv[2]) : 50000);
    const long batch = argc > 3 ? std::atol(argv[3]) : 500;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;
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

    const std::string setBased = "WITH r AS (SELECT ID, ROW_NUMBER() OVER (PARTITION BY Serial ORDER BY "
                                 "RDate, ID) AS rn FROM FirstRec) "
                                 "UPDATE f SET RecSeq = r.rn FROM FirstRec f JOIN r ON r.ID = f.ID";
    // Per load: wall, server and client seconds of each round.
    struct Load
    {
        const char* name;
        long rowsWritten;
        std::vector<double> wall, server, client;
    };
    Load loads[] = {{"single-statement RPCs", updates, {}, {}, {}},
                    {"batched RPCs", updates, {}, {}, {}},
                    {"batched, transactions", updates, {}, {}, {}},
                    {"set-based UPDATE", rows, {}, {}, {}}};
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        for (int k = 0; k < 4; ++k) {
            const double s0 = cpuSeconds(pid);
            const double c0 = clientSeconds();
            const double t0 = now();
            if (k == 3) {
                dbcmd(p, setBased.c_str());
                ok &= dbsqlsend(p) != FAIL && finish(p);
            } else {
                ok &= writeRows(p, 1, updates, k == 0 ? 1 : batch, round, k == 2);
            }
            loads[k].wall.push_back(now() - t0);
            loads[k].server.push_back(cpuSeconds(pid) - s0);
            loads[k].client.push_back(clientSeconds() - c0);
        }
    }
    dbclose(p);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::system(("rm -rf " + root).c_str());
    if (!ok) {
        std::fprintf(stderr, "a write failed\n");
        return 1;
    }
    std::printf("%ld rows, %ld written per load, %ld UPDATEs per batch, median of %d rounds; per row written "
                "(us):\n",
                rows, updates, batch, rounds);
    auto perRow = [](const std::vector<double>& v, long count) {
        return median(v) / static_cast<double>(count) * 1e6;
    };
    const double singleWall = perRow(loads[0].wall, loads[0].rowsWritten);
    const double singleServer = perRow(loads[0].server, loads[0].rowsWritten);
    for (const Load& l : loads) {
        const double wall = perRow(l.wall, l.rowsWritten);
        const double server = perRow(l.server, l.rowsWritten);
        std::printf(
            "  %-22s %8.2f wall %8.2f server CPU %8.2f client CPU   single/this: wall %6.2f, server %6.2f\n",
            l.name, wall, server, perRow(l.client, l.rowsWritten), singleWall / wall,
            server > 0 ? singleServer / server : 0.0);
    }
    return 0;
}
