// A small raw db-lib client for the server's tests: runs batches and RPCs and keeps every result set and
// every message the server sent.
#pragma once

#include "tdsserver.h"

#include <sybdb.h>

// GoogleTest takes the names SUCCEED and FAIL for its own macros.
constexpr RETCODE kSucceed = SUCCEED;
constexpr RETCODE kFail = FAIL;
#undef SUCCEED
#undef FAIL

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace rimo::testsupport::dblib {

struct ServerMessage
{
    int number;
    int severity;
    std::string text;
};

inline std::vector<ServerMessage> g_msgs;

inline int onMessage(DBPROCESS*, DBINT no, int, int severity, char* text, char*, char*, int)
{
    g_msgs.push_back({static_cast<int>(no), severity, text ? text : ""});
    return 0;
}

inline int onError(DBPROCESS*, int, int, int, char*, char*)
{
    return INT_CANCEL;
}

struct ResultSet
{
    std::vector<std::string> names;
    std::vector<int> types;
    std::vector<std::vector<std::string>> rows; // "NULL" for NULL
    int count = -1;
};

// A small raw db-lib client: runs batches and RPCs and keeps every result set.
class Client
{
public:
    Client(const TdsServer& server, const std::string& database, const std::string& password = {},
           const std::string& user = "sa", BYTE tdsVersion = DBVERSION_74)
    {
        static const bool init = [] {
            dbinit();
            dbmsghandle(onMessage);
            dberrhandle(onError);
            return true;
        }();
        (void)init;
        LOGINREC* login = dblogin();
        DBSETLUSER(login, user.c_str());
        DBSETLPWD(login, (password.empty() ? server.password() : password).c_str());
        DBSETLCHARSET(login, "UTF-8");
        DBSETLDBNAME(login, database.c_str());
        dbsetlversion(login, tdsVersion);
        dbsetlogintime(10);
        g_msgs.clear();
        m_proc = dbopen(login, server.serverSpec().c_str());
        dbloginfree(login);
    }
    ~Client()
    {
        if (m_proc)
            dbclose(m_proc);
    }
    DBPROCESS* proc() const { return m_proc; }

    // Runs a batch; returns false when db-lib reported a failure for any statement.
    bool run(const std::string& sql, std::vector<ResultSet>* out = nullptr)
    {
        g_msgs.clear();
        bool ok = dbcmd(m_proc, sql.c_str()) == kSucceed && dbsqlexec(m_proc) == kSucceed;
        return drain(out) && ok;
    }

    bool drain(std::vector<ResultSet>* out)
    {
        bool ok = true;
        RETCODE rc;
        while ((rc = dbresults(m_proc)) != NO_MORE_RESULTS) {
            if (rc == kFail) {
                ok = false;
                continue;
            }
            ResultSet rs;
            const int n = dbnumcols(m_proc);
            for (int c = 1; c <= n; ++c) {
                rs.names.push_back(dbcolname(m_proc, c));
                rs.types.push_back(dbcoltype(m_proc, c));
            }
            while (dbnextrow(m_proc) != NO_MORE_ROWS) {
                std::vector<std::string> row;
                for (int c = 1; c <= n; ++c) {
                    BYTE* data = dbdata(m_proc, c);
                    const DBINT len = dbdatlen(m_proc, c);
                    if (!data) {
                        row.push_back("NULL");
                        continue;
                    }
                    std::array<char, 8192> buf{};
                    const int type = dbcoltype(m_proc, c);
                    const DBINT got =
                        dbconvert(m_proc, type, data, len, SYBCHAR, reinterpret_cast<BYTE*>(buf.data()),
                                  static_cast<DBINT>(buf.size() - 1));
                    row.emplace_back(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
                }
                rs.rows.push_back(std::move(row));
            }
            rs.count = dbcount(m_proc);
            if (out)
                out->push_back(std::move(rs));
        }
        return ok;
    }

private:
    DBPROCESS* m_proc = nullptr;
};

// Runs a Python 3 script with pytds importable (the server's port is its first argument, then `args`)
// and returns what it printed.
inline std::string runPython(const std::string& script, int port, const std::vector<std::string>& args = {})
{
    char path[] = "/tmp/rimo-pytds-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "mkstemp failed";
    FILE* f = fdopen(fd, "w");
    fwrite(script.data(), 1, script.size(), f);
    fclose(f);
    std::string cmd = std::string("/usr/bin/python3 ") + path + " " + std::to_string(port);
    for (const auto& a : args) {
        std::string quoted = "'";
        for (char c : a)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        cmd += " " + quoted + "'";
    }
    cmd += " 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    unlink(path);
    return out;
}

} // namespace rimo::testsupport::dblib
