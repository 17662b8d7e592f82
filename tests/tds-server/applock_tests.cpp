// Application locks as SQL Server keeps them, through FreeTDS db-lib (RPC with dbretstatus, and EXEC in a
// batch) and pytds (callproc and its return value): sessions contending for one resource, the return values
// 0, 1, -1, -3 and -999, locks of a transaction ending with it and those of a session with its connection.
#include "dblibclient.h"
#include "tdsserver.h"
#include "valuetable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <variant>
#include <vector>

using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

using Argument = std::pair<std::string, std::variant<std::string, DBINT>>;

// Sends an RPC of `procedure` with the arguments (named when the name is not empty) without waiting for
// its answer.
void sendRpc(Client& c, const std::string& procedure, const std::vector<Argument>& args)
{
    DBPROCESS* p = c.proc();
    ASSERT_EQ(dbrpcinit(p, const_cast<char*>(procedure.c_str()), 0), kSucceed);
    for (const auto& [name, value] : args) {
        char* n = name.empty() ? nullptr : const_cast<char*>(name.c_str());
        if (const auto* text = std::get_if<std::string>(&value))
            dbrpcparam(p, n, 0, SYBVARCHAR, -1, static_cast<DBINT>(text->size()),
                       reinterpret_cast<BYTE*>(const_cast<char*>(text->data())));
        else
            dbrpcparam(p, n, 0, SYBINT4, -1, -1,
                       reinterpret_cast<BYTE*>(const_cast<DBINT*>(&std::get<DBINT>(value))));
    }
    g_msgs.clear();
    ASSERT_EQ(dbrpcsend(p), kSucceed);
}

// Reads the answer of the RPC sent: its return status, INT_MIN when it has none (the call could not
// start).
int statusOfRpc(Client& c)
{
    DBPROCESS* p = c.proc();
    dbsqlok(p);
    c.drain(nullptr);
    return dbhasretstat(p) ? dbretstatus(p) : INT_MIN;
}

int rpc(Client& c, const std::string& procedure, const std::vector<Argument>& args)
{
    sendRpc(c, procedure, args);
    return statusOfRpc(c);
}

// The numbers of the messages of the last call.
std::vector<int> messageNumbers()
{
    std::vector<int> numbers;
    for (const auto& m : g_msgs)
        numbers.push_back(m.number);
    return numbers;
}

std::vector<Argument> lockArgs(const std::string& resource, const std::string& mode, const std::string& owner,
                               DBINT timeout)
{
    return {{"@Resource", resource}, {"@LockMode", mode}, {"@LockOwner", owner}, {"@LockTimeout", timeout}};
}

struct TdsAppLockDatabase
{
    static constexpr const char* name = "herd";
};
class TdsAppLockTest : public OneDatabaseSuite<TdsAppLockDatabase>
{
};

TEST_F(TdsAppLockTest, TwoSessionsContendForOneRunThroughDbLibRpc)
{
    Client a(*s_server, "herd");
    Client b(*s_server, "herd");
    ASSERT_TRUE(a.proc() && b.proc());
    ASSERT_TRUE(a.run("BEGIN TRANSACTION"));
    ASSERT_TRUE(b.run("BEGIN TRANSACTION"));
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Transaction", 0)), 0);
    // Another session waits in vain: at once, after 200 ms, and as the session's owner too.
    EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Transaction", 0)), -1);
    EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("run:herd", "Shared", "Transaction", 200)), -1);
    EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("run:herd", "IntentShared", "Session", 0)), -1);
    EXPECT_EQ(scalarOf(a, "SELECT APPLOCK_MODE('public', 'run:herd', 'Transaction')"), "Exclusive");
    EXPECT_EQ(scalarOf(b, "SELECT APPLOCK_MODE('public', 'run:herd', 'Transaction')"), "NoLock");
    EXPECT_EQ(scalarOf(b, "SELECT APPLOCK_TEST('public', 'run:herd', 'Shared', 'Transaction')"), "0");
    // The resource is compared byte for byte, and each database has its own locks.
    EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("RUN:HERD", "Exclusive", "Transaction", 0)), 0);
    s_server->exec("CREATE DATABASE other");
    Client elsewhere(*s_server, "other");
    EXPECT_EQ(rpc(elsewhere, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Session", 0)), 0);

    // One that waits without end is granted (1) once the holder's transaction ends.
    sendRpc(b, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Transaction", -1));
    usleep(300000);
    ASSERT_TRUE(a.run("COMMIT TRANSACTION"));
    EXPECT_EQ(statusOfRpc(b), 1);
    EXPECT_EQ(scalarOf(b, "SELECT APPLOCK_MODE('public', 'run:herd', 'Transaction')"), "Exclusive");
    ASSERT_TRUE(a.run("BEGIN TRANSACTION"));
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Transaction", 0)), -1);
    ASSERT_TRUE(b.run("ROLLBACK TRANSACTION"));
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("run:herd", "Exclusive", "Transaction", 0)), 0);
    ASSERT_TRUE(a.run("COMMIT TRANSACTION"));
}

TEST_F(TdsAppLockTest, SessionLocksEndWithTheConnectionAndDeadlocksChooseAVictim)
{
    Client b(*s_server, "herd");
    {
        Client a(*s_server, "herd");
        EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("r1", "Exclusive", "Session", 0)), 0);
        EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("r2", "Exclusive", "Session", 0)), 0);
        // b waits for r1; a asking for r2 would wait for b: a is the deadlock's victim (-3), b goes on
        // waiting and gets r1 when a's connection ends.
        sendRpc(b, "sp_getapplock", lockArgs("r1", "Exclusive", "Session", -1));
        usleep(300000);
        EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("r2", "Exclusive", "Session", -1)), -3);
    }
    EXPECT_EQ(statusOfRpc(b), 1);
    Client c(*s_server, "herd");
    EXPECT_EQ(rpc(c, "sp_getapplock", lockArgs("r1", "Shared", "Session", 0)), -1);
    b.run("SELECT 1");
    // A connection that is simply closed gives its locks back too.
    close(dbiordesc(b.proc()));
    EXPECT_EQ(rpc(c, "sp_getapplock", lockArgs("r1", "Shared", "Session", 5000)) >= 0, true);
    EXPECT_EQ(rpc(c, "sp_getapplock", lockArgs("r2", "Shared", "Session", 5000)) >= 0, true);
}

TEST_F(TdsAppLockTest, ModesCountAndUniteAndBadCallsAnswerAsSqlServer)
{
    Client a(*s_server, "herd");
    Client b(*s_server, "herd");
    // Shared beside Shared and IntentShared; Update beside Shared but not beside Update.
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("m", "Shared", "Session", 0)), 0);
    EXPECT_EQ(rpc(b, "sp_getapplock", lockArgs("m", "Update", "Session", 0)), 0);
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("m", "Update", "Session", 0)), -1);
    EXPECT_EQ(rpc(b, "sp_releaseapplock",
                  {{"@Resource", std::string("m")}, {"@LockOwner", std::string("Session")}}),
              0);
    // An owner asking twice holds the union until its last release.
    EXPECT_EQ(rpc(a, "sp_getapplock", lockArgs("m", "IntentExclusive", "Session", 0)), 0);
    EXPECT_EQ(scalarOf(a, "SELECT APPLOCK_MODE('public', 'm', 'Session')"), "SharedIntentExclusive");
    EXPECT_EQ(scalarOf(b, "SELECT APPLOCK_TEST('public', 'm', 'IntentShared', 'Session')"), "1");
    EXPECT_EQ(scalarOf(b, "SELECT APPLOCK_TEST('public', 'm', 'Shared', 'Session')"), "0");
    const std::vector<Argument> releaseM{{"", std::string("m")}, {"", std::string("Session")}};
    EXPECT_EQ(rpc(a, "sp_releaseapplock", releaseM), 0);
    EXPECT_EQ(scalarOf(a, "SELECT APPLOCK_MODE('public', 'm', 'Session')"), "SharedIntentExclusive");
    EXPECT_EQ(rpc(a, "dbo.sp_releaseapplock", releaseM), 0);
    EXPECT_EQ(scalarOf(a, "SELECT APPLOCK_MODE('public', 'm', 'Session')"), "NoLock");

    // Values the procedure cannot use: a message and -999. Calls that do not fit it fail as calls.
    struct Case
    {
        std::string procedure;
        std::vector<Argument> args;
        int status;  // INT_MIN: the call fails
        int message; // the number of its (last) message
    };
    const std::vector<Case> cases = {
        {"sp_getapplock", lockArgs("x", "Bogus", "Session", 0), -999, 15625},
        {"sp_getapplock", lockArgs("x", "Shared", "Bogus", 0), -999, 15625},
        {"sp_getapplock",
         {{"@Resource", std::string("x")}, {"@LockMode", std::string("Shared")}},
         -999,
         15626},
        {"sp_getapplock", lockArgs("x", "Shared", "Session", -2), -999, 1227},
        {"sp_getapplock",
         {{"@Resource", std::string("x")},
          {"@LockMode", std::string("Shared")},
          {"@LockOwner", std::string("Session")},
          {"@DbPrincipal", std::string("nobody")}},
         -999,
         1202},
        {"sp_releaseapplock",
         {{"@Resource", std::string("never")}, {"@LockOwner", std::string("Session")}},
         -999,
         1223},
        {"sp_getapplock", {{"@Resource", std::string("x")}}, INT_MIN, 201},
        {"sp_getapplock", {{"@Resource", std::string("x")}, {"@Mode", std::string("Shared")}}, INT_MIN, 8145},
    };
    for (const auto& k : cases) {
        const int status = rpc(a, k.procedure, k.args);
        EXPECT_EQ(status, k.status) << k.procedure << " message " << k.message;
        const auto numbers = messageNumbers();
        ASSERT_FALSE(numbers.empty()) << k.procedure << " message " << k.message;
        EXPECT_EQ(numbers.back(), k.message) << k.procedure;
    }
}

// EXEC in a batch: the return status comes back as dbretstatus has it after the results; the statements
// around it go on.
TEST_F(TdsAppLockTest, ExecInABatchAnswersItsReturnStatus)
{
    Client a(*s_server, "herd");
    Client b(*s_server, "herd");
    ASSERT_TRUE(a.run("BEGIN TRAN; EXEC sp_getapplock @Resource = N'batch', @LockMode = 'Exclusive'"));
    ASSERT_TRUE(dbhasretstat(a.proc()));
    EXPECT_EQ(dbretstatus(a.proc()), 0);
    std::vector<ResultSet> rs;
    ASSERT_TRUE(
        b.run("BEGIN TRAN SELECT 7 EXEC sys.sp_getapplock N'batch', 'Shared', 'Transaction', 0", &rs));
    ASSERT_TRUE(dbhasretstat(b.proc()));
    EXPECT_EQ(dbretstatus(b.proc()), -1);
    const auto seven = std::find_if(rs.begin(), rs.end(), [](const ResultSet& r) { return !r.rows.empty(); });
    ASSERT_NE(seven, rs.end());
    EXPECT_EQ(seven->rows[0][0], "7");
    ASSERT_TRUE(a.run("EXEC sp_releaseapplock 'batch'; COMMIT"));
    EXPECT_EQ(dbretstatus(a.proc()), 0);
    ASSERT_TRUE(b.run("EXEC master..sp_getapplock 'batch', 'Shared', 'Transaction', 0; COMMIT"));
    EXPECT_EQ(dbretstatus(b.proc()), 0);
    // A procedure of the database answers its status (0) the same way.
    ASSERT_TRUE(a.run("CREATE PROCEDURE Seven AS SELECT 7"));
    ASSERT_TRUE(a.run("EXEC Seven", &rs));
    EXPECT_TRUE(dbhasretstat(a.proc()));
    EXPECT_EQ(dbretstatus(a.proc()), 0);
    sendRpc(a, "Seven", {});
    EXPECT_EQ(statusOfRpc(a), 0);
}

TEST_F(TdsAppLockTest, PytdsCallsTheProceduresAndReadsTheirReturnValues)
{
    const std::string script = R"PY(
import pytds, sys
def connect():
    return pytds.connect('127.0.0.1', port=int(sys.argv[1]), user='sa', password=sys.argv[2], database='herd',
                         login_timeout=10)
a = connect()
b = connect()
ca = a.cursor()
cb = b.cursor()
def lock(cur, mode, timeout, owner='Transaction'):
    cur.callproc('sp_getapplock', {'@Resource': 'py-run', '@LockMode': mode, '@LockOwner': owner,
                                   '@LockTimeout': timeout})
    return cur.get_proc_return_status()
print(lock(ca, 'Exclusive', 0))
print(lock(cb, 'Exclusive', 0))
ca.execute("SELECT APPLOCK_MODE('public', 'py-run', 'Transaction')")
print(ca.fetchall()[0][0])
a.commit()
print(lock(cb, 'Exclusive', 0))
b.rollback()
print(lock(ca, 'Shared', 0))
ca.callproc('sp_releaseapplock', ('py-run',))
print(ca.get_proc_return_status())
try:
    ca.callproc('sp_releaseapplock', ('py-run',))
except pytds.Error as e:
    print('%s' % e.msg_no)
ca.execute("EXEC sp_getapplock 'py-run', 'Update', 'Session', 0")
print(ca.get_proc_return_status())
a.close()
print(lock(cb, 'Exclusive', 5000, 'Session') >= 0)
)PY";
    EXPECT_EQ(runPython(script, s_server->port(), {s_server->password()}),
              "0\n-1\nExclusive\n0\n0\n0\n1223\n0\nTrue\n");
}

} // namespace
