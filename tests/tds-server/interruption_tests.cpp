// A running statement ends when its client sends an attention or goes away, through FreeTDS db-lib and
// pytds: the server's processor time after the cancel or the disconnect shows that it stopped, and the
// server goes on serving. A CASE of 200,000 WHENs answers, and ends on an attention like any other.
#include "dblibclient.h"
#include "tdsserver.h"
#include "valuetable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

// Processor time (user + system) a process has used, in clock ticks.
long cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

// The server's processor time over the two seconds that start one second from now: a statement still
// running would use all of it.
long ticksOverTwoSeconds(const TdsServer& server)
{
    usleep(1000000);
    const long before = cpuTicks(server.pid());
    usleep(2000000);
    return cpuTicks(server.pid()) - before;
}

// Far more rows than the statement could count in a day: 10^10.
constexpr const char* kEndless =
    "SELECT COUNT(*) FROM Ten a, Ten b, Ten c, Ten d, Ten e, Ten f, Ten g, Ten h, Ten "
    "i, Ten j";

std::string hugeCase(int whens)
{
    std::string sql = "SELECT CASE";
    for (int k = 1; k <= whens; ++k)
        sql += " WHEN n = " + std::to_string(k) + " THEN " + std::to_string(k * 2);
    return sql + " ELSE -1 END FROM One";
}

class TdsInterruptionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new TdsServer();
        s_server->exec("CREATE DATABASE herd");
        s_server->exec(
            "CREATE TABLE Ten (a int); INSERT INTO Ten VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9);"
            "CREATE TABLE One (n int); INSERT INTO One VALUES (199999)",
            "herd");
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    static inline TdsServer* s_server = nullptr;
    const long m_tick = sysconf(_SC_CLK_TCK);
};

TEST_F(TdsInterruptionTest, AttentionEndsARunningStatementThroughDbLib)
{
    for (const std::string& sql :
         {std::string(kEndless), hugeCase(200000) + ", Ten a, Ten b, Ten c, Ten d, Ten e, "
                                                    "Ten f, Ten g, Ten h"}) {
        Client c(*s_server, "herd");
        DBPROCESS* p = c.proc();
        ASSERT_TRUE(p);
        ASSERT_EQ(dbcmd(p, sql.c_str()), kSucceed);
        ASSERT_EQ(dbsqlsend(p), kSucceed);
        usleep(500000);
        EXPECT_EQ(dbcancel(p), kSucceed);
        EXPECT_LT(ticksOverTwoSeconds(*s_server), m_tick / 5) << "ticks used after the attention";
        EXPECT_EQ(scalarOf(c, "SELECT COUNT(*) FROM Ten"), "10");
    }
}

TEST_F(TdsInterruptionTest, ADisconnectedClientsStatementEndsThroughDbLib)
{
    {
        Client c(*s_server, "herd");
        DBPROCESS* p = c.proc();
        ASSERT_TRUE(p);
        ASSERT_EQ(dbcmd(p, kEndless), kSucceed);
        ASSERT_EQ(dbsqlsend(p), kSucceed);
        usleep(500000);
        // The client closes its connection without a word, as a killed program's would be.
        close(dbiordesc(p));
    }
    EXPECT_LT(ticksOverTwoSeconds(*s_server), m_tick / 5) << "ticks used after the client went";
    Client next(*s_server, "herd");
    EXPECT_EQ(scalarOf(next, "SELECT COUNT(*) FROM Ten"), "10");
}

TEST_F(TdsInterruptionTest, TimeoutsAndDisconnectsEndStatementsThroughPytds)
{
    // A time-out makes pytds send an attention before its next request.
    const std::string timeout = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='herd',
                  autocommit=True, login_timeout=10, timeout=1)
cur = c.cursor()
try:
    cur.execute(sys.argv[3])
    print('finished')
except pytds.Error as e:
    print('error', e)
except Exception as e:
    print('timed out')
cur.execute("SELECT COUNT(*) FROM Ten")
print(cur.fetchall()[0][0])
)PY";
    EXPECT_EQ(runPython(timeout, s_server->port(), {s_server->password(), kEndless}), "timed out\n10\n");
    EXPECT_LT(ticksOverTwoSeconds(*s_server), m_tick / 5) << "ticks used after the attention";

    // The process ends while its statement runs: the kernel closes its connection.
    const std::string vanish = R"PY(
import os, pytds, sys, threading, time
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='herd',
                  autocommit=True, login_timeout=10)
threading.Thread(target=lambda: c.cursor().execute(sys.argv[3]), daemon=True).start()
time.sleep(0.5)
print('gone', flush=True)
os._exit(0)
)PY";
    EXPECT_EQ(runPython(vanish, s_server->port(), {s_server->password(), kEndless}), "gone\n");
    EXPECT_LT(ticksOverTwoSeconds(*s_server), m_tick / 5) << "ticks used after the client went";

    // The CASE of 200,000 WHENs answers.
    const std::string huge = R"PY(
import pytds, sys
c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='herd',
                  autocommit=True, login_timeout=10)
cur = c.cursor()
cur.execute("SELECT CASE" + "".join(" WHEN n = %d THEN %d" % (k, 2 * k) for k in range(1, 200001)) +
            " ELSE -1 END FROM One")
print(cur.fetchall()[0][0])
)PY";
    EXPECT_EQ(runPython(huge, s_server->port(), {s_server->password()}), "399998\n");
}

TEST_F(TdsInterruptionTest, AHugeCaseAnswersThroughDbLib)
{
    Client c(*s_server, "herd");
    EXPECT_EQ(scalarOf(c, hugeCase(200000)), "399998");
}

} // namespace
