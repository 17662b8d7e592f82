// The test server through real clients: FreeTDS db-lib, tsql, and a raw socket for broken packets.
#include "dblibclient.h"
#include "tdsserver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using rimo::testsupport::rawConnect;
using rimo::testsupport::TdsServer;
using namespace rimo::testsupport::dblib;

namespace {

class TdsServerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new TdsServer();
        s_server->exec("CREATE DATABASE herd");
        s_server->exec(
            "CREATE TABLE FirstRec (ID int IDENTITY(1,1) PRIMARY KEY, Serial nvarchar(20) NOT NULL, "
            "MilkPeriod int NULL CHECK (MilkPeriod < 100), RDate char(10), RecKind nvarchar(10), "
            "Note varchar(20), Milk float, Fat decimal(5,2), Born datetime);"
            "CREATE TABLE Pair (a int NOT NULL, b nvarchar(5) NOT NULL, v bit, CONSTRAINT PK_Pair "
            "PRIMARY KEY (a, b));"
            "INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecKind, Note, Milk, Fat, Born) VALUES "
            "('1024', 1, '1389/11/04', N'\u0631\u0633\u0645\u064A', 'abc', 12.5, 3.25, '2010-01-02 "
            "03:04:05'),"
            "('1024', 1, '1389/12/04', N'x', NULL, 13, 3.5, NULL), ('2000', NULL, '1390/01/01', N'x', "
            "NULL, NULL, NULL, NULL)",
            "herd");
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    static TdsServer* s_server;
};

TdsServer* TdsServerTest::s_server = nullptr;

TEST_F(TdsServerTest, SelectReturnsTypedRowsPaddedCharAndNulls)
{
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.proc());
    EXPECT_STREQ(dbname(c.proc()), "herd");
    std::vector<ResultSet> rs;
    ASSERT_TRUE(
        c.run("SELECT ID, Serial, MilkPeriod, RDate, Milk, Fat, Born FROM FirstRec ORDER BY ID", &rs));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].count, 3);
    ASSERT_EQ(rs[0].rows.size(), 3u);
    EXPECT_EQ(rs[0].types[0], SYBINT4);
    EXPECT_EQ(rs[0].types[4], SYBFLT8);
    EXPECT_EQ(rs[0].types[6], SYBDATETIME);
    EXPECT_EQ(rs[0].rows[0][1], "1024");
    EXPECT_EQ(rs[0].rows[0][4], "12.5");
    EXPECT_EQ(rs[0].rows[0][5], "3.25");
    EXPECT_EQ(rs[0].rows[2][2], "NULL");
    EXPECT_EQ(rs[0].rows[0][3], "1389/11/04");

    // char(n) comes padded to its width; text comparison ignores case and trailing blanks.
    rs.clear();
    ASSERT_TRUE(c.run("SELECT RDate FROM firstrec WHERE serial = '1024   ' AND RDATE = '1389/11/04'", &rs));
    ASSERT_EQ(rs[0].rows.size(), 1u);
    rs.clear();
    ASSERT_TRUE(c.run("SELECT TOP (1) CAST(RDate AS char(12)) AS r, @@SPID AS s, COUNT(*) AS n FROM FirstRec "
                      "GROUP BY RDate ORDER BY RDate",
                      &rs));
    EXPECT_EQ(rs[0].rows[0][0], "1389/11/04  ");
    EXPECT_EQ(rs[0].names[2], "n");
    EXPECT_EQ(rs[0].types[1], SYBINT2);
}

TEST_F(TdsServerTest, PersianTextRoundTripsInNvarcharAndVarchar)
{
    Client c(*s_server, "herd");
    const std::string word = "\u0622\u0632\u0645\u0627\u064A\u0634\u064A \u067E\u0698\u0648\u0647\u0634";
    ASSERT_TRUE(c.run("INSERT INTO FirstRec (Serial, RecKind, Note) VALUES (N'fa', N'" + word.substr(0, 14) +
                      "', N'" + word + "')"));
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT RecKind, Note FROM FirstRec WHERE Serial = N'fa'", &rs));
    ASSERT_EQ(rs[0].rows.size(), 1u);
    EXPECT_EQ(rs[0].rows[0][0], word.substr(0, 14));
    EXPECT_EQ(rs[0].rows[0][1], word); // varchar column: stored and sent in code page 1256
    rs.clear();
    ASSERT_TRUE(c.run("SELECT Serial FROM FirstRec WHERE RecKind = N'\u0631\u0633\u0645\u064A'", &rs));
    EXPECT_EQ(rs[0].rows.size(), 1u);
    ASSERT_TRUE(c.run("DELETE FROM FirstRec WHERE Serial = 'fa'"));
}

TEST_F(TdsServerTest, ErrorsCarrySqlServerNumbersAndTexts)
{
    Client c(*s_server, "herd");
    struct Case
    {
        std::string sql;
        int number;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"SELECT * FROM Nowhere", 208, "Invalid object name 'Nowhere'."},
        {"SELECT Nothing FROM FirstRec", 207, "Invalid column name 'Nothing'."},
        {"SELEC 1", 102, "Incorrect syntax near 'SELEC'."},
        {"INSERT INTO Pair VALUES (1, 'a', 1), (1, 'A', 0)", 2627,
         "Violation of PRIMARY KEY constraint 'PK_Pair'. Cannot insert duplicate key in object 'dbo.Pair'."},
        {"INSERT INTO FirstRec (Serial) VALUES (NULL)", 515,
         "Cannot insert the value NULL into column 'Serial', table 'herd.dbo.FirstRec'; column does not "
         "allow nulls. "
         "INSERT fails."},
        {"UPDATE FirstRec SET MilkPeriod = 500 WHERE Serial = '2000'", 547,
         "The UPDATE statement conflicted with the CHECK constraint \"CK__FirstRec__MilkPeriod__1\". The "
         "conflict "
         "occurred in database \"herd\", table \"dbo.FirstRec\", column 'MilkPeriod'."},
        {"INSERT INTO FirstRec (ID, Serial) VALUES (99, 'x')", 544,
         "Cannot insert explicit value for identity column in table 'FirstRec' when IDENTITY_INSERT is set "
         "to OFF."},
        {"USE nosuchdb", 911,
         "Database 'nosuchdb' does not exist. Make sure that the name is entered correctly."},
        {"INSERT INTO FirstRec (Serial) VALUES ('123456789012345678901')", 8152,
         "String or binary data would be truncated."},
    };
    for (const auto& k : cases) {
        EXPECT_FALSE(c.run(k.sql)) << k.sql;
        ASSERT_FALSE(g_msgs.empty()) << k.sql;
        EXPECT_EQ(g_msgs.back().number, k.number) << k.sql;
        EXPECT_EQ(g_msgs.back().text, k.text) << k.sql;
        EXPECT_GE(g_msgs.back().severity, 11) << k.sql;
    }
    // The failed statements changed nothing and the connection still works.
    std::vector<ResultSet> rs;
    ASSERT_TRUE(
        c.run("SELECT COUNT(*) FROM Pair; SELECT MilkPeriod FROM FirstRec WHERE Serial = '2000'", &rs));
    EXPECT_EQ(rs[0].rows[0][0], "0");
    EXPECT_EQ(rs[1].rows[0][0], "NULL");
}

TEST_F(TdsServerTest, WrongPasswordIsRefusedWithLoginFailed)
{
    Client c(*s_server, "herd", "wrong-password");
    EXPECT_EQ(c.proc(), nullptr);
    ASSERT_FALSE(g_msgs.empty());
    EXPECT_EQ(g_msgs.front().number, 18456);
    EXPECT_EQ(g_msgs.front().severity, 14);
    EXPECT_EQ(g_msgs.front().text, "Login failed for user 'sa'.");
}

// Only sa and the logins made with CREATE LOGIN get in, each with its own password; the name compares
// without case (as under SQL Server's default collation), the password exactly. Checked through db-lib
// and through pytds, whose login code is its own.
TEST_F(TdsServerTest, OnlyKnownLoginsWithTheirPasswordsGetIn)
{
    {
        Client admin(*s_server, "master");
        ASSERT_TRUE(admin.proc());
        ASSERT_TRUE(admin.run("CREATE LOGIN Clerk WITH PASSWORD = N'Clerk-pass-1', CHECK_POLICY = OFF"));
        EXPECT_FALSE(admin.run("CREATE LOGIN clerk WITH PASSWORD = 'other'"));
        ASSERT_FALSE(g_msgs.empty());
        EXPECT_EQ(g_msgs.back().number, 15025);
        EXPECT_EQ(g_msgs.back().text, "The server principal 'clerk' already exists.");
        EXPECT_FALSE(admin.run("CREATE LOGIN sa WITH PASSWORD = 'x'"));
        EXPECT_EQ(g_msgs.back().number, 15025);
        EXPECT_FALSE(admin.run("CREATE LOGIN w FROM WINDOWS"));
        EXPECT_FALSE(admin.run("CREATE LOGIN w WITH PASSWORD = 'x' MUST_CHANGE"));
    }
    struct Case
    {
        std::string user, password;
        bool in;
    };
    const Case cases[] = {
        {"sa", s_server->password(), true},
        {"SA", s_server->password(), true},
        {"sa", "Clerk-pass-1", false},
        {"Clerk", "Clerk-pass-1", true},
        {"CLERK", "Clerk-pass-1", true},
        {"clerk", "clerk-pass-1", false},
        {"clerk", s_server->password(), false},
        {"nobody", s_server->password(), false},
        {"nobody", "-", false},
    };
    for (const auto& c : cases) {
        Client client(*s_server, "herd", c.password, c.user);
        EXPECT_EQ(client.proc() != nullptr, c.in) << c.user << " / " << c.password;
        if (c.in) {
            EXPECT_TRUE(client.run("SELECT 1")) << c.user;
        } else {
            ASSERT_FALSE(g_msgs.empty()) << c.user;
            EXPECT_EQ(g_msgs.front().number, 18456) << c.user;
            EXPECT_EQ(g_msgs.front().severity, 14) << c.user;
            EXPECT_EQ(g_msgs.front().text, "Login failed for user '" + c.user + "'.");
        }

        // The same login through pytds: it prints "in", or the error number it raised.
        const std::string script =
            "import pytds, sys\n"
            "try:\n"
            "    c = pytds.connect('127.0.0.1', port=int(sys.argv[1]), user=sys.argv[2],"
            " password=sys.argv[3], database='herd', autocommit=True, login_timeout=10)\n"
            "    cur = c.cursor(); cur.execute('select 1'); cur.fetchall(); print('in')\n"
            "except pytds.Error as e:\n"
            "    print(getattr(e, 'msg_no', 'unknown'))\n";
        const std::string cmd = "/usr/bin/python3 -c \"" + script + "\" " + std::to_string(s_server->port()) +
                                " '" + c.user + "' '" + c.password + "' 2>&1";
        FILE* f = popen(cmd.c_str(), "r");
        ASSERT_TRUE(f);
        std::string out;
        char buf[512];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
        EXPECT_EQ(out, c.in ? "in\n" : "18456\n") << "pytds as " << c.user;
    }
}

TEST_F(TdsServerTest, BatchAnswersEachStatementWithItsOwnCount)
{
    Client c(*s_server, "herd");
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("INSERT INTO Pair VALUES (1, 'a', 1), (2, 'b', 0)\n"
                      "UPDATE Pair SET v = 1 WHERE a > 0;"
                      "Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'\n"
                      "SELECT a, b, v FROM Pair ORDER BY a DESC\n"
                      "DELETE FROM Pair",
                      &rs));
    ASSERT_EQ(rs.size(), 5u);
    EXPECT_EQ(rs[0].count, 2);
    EXPECT_EQ(rs[1].count, 2);
    EXPECT_EQ(rs[2].count, 1);
    EXPECT_EQ(rs[3].count, 2);
    EXPECT_EQ(rs[3].rows[0][0], "2");
    EXPECT_EQ(rs[3].types[2], SYBBIT);
    EXPECT_EQ(rs[4].count, 2);
    // A failing statement in the middle reports its error and the batch goes on.
    rs.clear();
    EXPECT_FALSE(c.run("INSERT INTO Pair VALUES (1, 'a', 1) INSERT INTO Pair VALUES (1, 'a', 1) "
                       "SELECT COUNT(*) FROM Pair DELETE FROM Pair",
                       &rs));
    ASSERT_GE(rs.size(), 2u);
    EXPECT_EQ(rs[rs.size() - 2].rows[0][0], "1");
}

TEST_F(TdsServerTest, RpcExecuteSqlBindsTypedParameters)
{
    Client c(*s_server, "herd");
    DBPROCESS* p = c.proc();
    const std::string stmt =
        "UPDATE [FirstRec] SET [Note]=@P1,[MilkPeriod]=@P2 WHERE [Serial]=@P3 AND [RDate]=@P4";
    const std::string decl = "@P1 nvarchar(20),@P2 int,@P3 nvarchar(20),@P4 nvarchar(10)";
    const std::string note = "\u0634\u06A9\u0645";
    DBINT period = 7;
    ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
    dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(stmt.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(stmt.data())));
    dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(decl.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(decl.data())));
    dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBVARCHAR, -1, static_cast<DBINT>(note.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(note.data())));
    dbrpcparam(p, const_cast<char*>("@P2"), 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&period));
    dbrpcparam(p, const_cast<char*>("@P3"), 0, SYBVARCHAR, -1, 4,
               reinterpret_cast<BYTE*>(const_cast<char*>("1024")));
    dbrpcparam(p, const_cast<char*>("@P4"), 0, SYBVARCHAR, -1, 10,
               reinterpret_cast<BYTE*>(const_cast<char*>("1389/12/04")));
    ASSERT_EQ(dbrpcsend(p), kSucceed);
    ASSERT_EQ(dbsqlok(p), kSucceed);
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.drain(&rs));
    ASSERT_FALSE(rs.empty());
    EXPECT_EQ(rs[0].count, 1);
    rs.clear();
    ASSERT_TRUE(c.run("SELECT Note, MilkPeriod FROM FirstRec WHERE RDate = '1389/12/04'", &rs));
    // The varchar column holds the Persian word through code page 1256 (U+06A9 keheh is in it).
    EXPECT_EQ(rs[0].rows[0][0], note);
    EXPECT_EQ(rs[0].rows[0][1], "7");

    // The key-column query the access layer sends, with the table name in any letter case.
    const std::string keyQuery =
        "SELECT k.COLUMN_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS t JOIN "
        "INFORMATION_SCHEMA.KEY_COLUMN_USAGE k "
        "ON k.CONSTRAINT_NAME = t.CONSTRAINT_NAME AND k.TABLE_NAME = t.TABLE_NAME WHERE t.CONSTRAINT_TYPE = "
        "'PRIMARY KEY' AND t.TABLE_NAME = @P1 ORDER BY k.ORDINAL_POSITION";
    const std::string keyDecl = "@P1 nvarchar(128)";
    ASSERT_EQ(dbrpcinit(p, const_cast<char*>("sp_executesql"), 0), kSucceed);
    dbrpcparam(p, const_cast<char*>("@stmt"), 0, SYBVARCHAR, -1, static_cast<DBINT>(keyQuery.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(keyQuery.data())));
    dbrpcparam(p, const_cast<char*>("@params"), 0, SYBVARCHAR, -1, static_cast<DBINT>(keyDecl.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(keyDecl.data())));
    dbrpcparam(p, const_cast<char*>("@P1"), 0, SYBVARCHAR, -1, 4,
               reinterpret_cast<BYTE*>(const_cast<char*>("pAIR")));
    ASSERT_EQ(dbrpcsend(p), kSucceed);
    ASSERT_EQ(dbsqlok(p), kSucceed);
    rs.clear();
    ASSERT_TRUE(c.drain(&rs));
    ASSERT_FALSE(rs.empty());
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].rows[0][0], "a");
    EXPECT_EQ(rs[0].rows[1][0], "b");
}

TEST_F(TdsServerTest, DirectoryQueriesAnswerFromMaster)
{
    s_server->exec("CREATE DATABASE Masters");
    s_server->exec(
        "CREATE TABLE Masters (DName nvarchar(50), SName nvarchar(50), EngDName nvarchar(50), SPass "
        "nvarchar(50)); INSERT INTO Masters VALUES (N'b''s herd', 's1', 'herd', 'p'), (N'A herd', 's2', "
        "'h2', 'q')",
        "Masters");
    Client c(*s_server, "master");
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT * FROM sysdatabases WHERE (name = 'Masters')", &rs));
    ASSERT_EQ(rs[0].rows.size(), 1u);
    EXPECT_EQ(rs[0].names[0], "name");
    EXPECT_EQ(rs[0].rows[0][0], "Masters");
    ASSERT_TRUE(c.run("USE Masters"));
    EXPECT_STREQ(dbname(c.proc()), "Masters");
    rs.clear();
    ASSERT_TRUE(c.run("SELECT * FROM Masters Order By DName", &rs));
    ASSERT_EQ(rs[0].rows.size(), 2u);
    EXPECT_EQ(rs[0].rows[0][0], "A herd");
    rs.clear();
    ASSERT_TRUE(c.run("SELECT * FROM Masters Where DName='b''s herd'", &rs));
    ASSERT_EQ(rs[0].rows.size(), 1u);
    EXPECT_EQ(rs[0].rows[0][2], "herd");
}

TEST_F(TdsServerTest, CancelStopsALongResultAndTheConnectionGoesOn)
{
    s_server->exec("CREATE TABLE Big (n int); INSERT INTO Big VALUES (1),(2),(3),(4),(5),(6),(7),(8);"
                   "INSERT INTO Big SELECT a.n FROM Big a, Big b, Big c, Big d",
                   "herd");
    Client c(*s_server, "herd");
    DBPROCESS* p = c.proc();
    ASSERT_EQ(dbcmd(p, "SELECT a.n, b.n FROM Big a, Big b"), kSucceed);
    ASSERT_EQ(dbsqlsend(p), kSucceed);
    EXPECT_EQ(dbcancel(p), kSucceed);
    std::vector<ResultSet> rs;
    ASSERT_TRUE(c.run("SELECT COUNT(*) FROM Big", &rs));
    EXPECT_EQ(rs[0].rows[0][0], "4104");
}

TEST_F(TdsServerTest, MalformedPacketsCloseOnlyThatConnection)
{
    const std::vector<std::string> garbage = {
        std::string("\x12\x01\x00\x04\x00\x00\x00\x00", 8), // length below the header
        std::string("\x10\x01\x00\x10\x00\x00\x00\x00\xFF\xFF\xFF\xFF\x00\x00\x00\x74",
                    16),                                                         // LOGIN7 too short
        std::string("\x12\x01\x00\x0D\x00\x00\x00\x00\x00\x00\xFF\x00\x06", 13), // option beyond the packet
        std::string("\x12\x00\x00\x40\x00\x00", 6),                              // truncated, then closed
        std::string("\x01\x01\x00\x0A\x00\x00\x00\x00"
                    "ab",
                    10), // batch before login
    };
    for (const auto& g : garbage) {
        const int fd = rawConnect(s_server->port());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(send(fd, g.data(), g.size(), MSG_NOSIGNAL), static_cast<ssize_t>(g.size()));
        shutdown(fd, SHUT_WR);
        char buf[256];
        while (recv(fd, buf, sizeof buf, 0) > 0) {
        }
        close(fd);
    }
    Client c(*s_server, "herd");
    ASSERT_TRUE(c.proc());
    EXPECT_TRUE(c.run("SELECT 1"));
}

TEST_F(TdsServerTest, TsqlLogsInSelectsAndShowsErrors)
{
    const std::string cmd =
        "printf 'select Serial, RecKind from FirstRec order by ID\\ngo\\nselect * from Nowhere\\ngo\\n"
        "exit\\n' | LANG=C.UTF-8 tsql -H 127.0.0.1 -p " +
        std::to_string(s_server->port()) + " -U sa -P " + s_server->password() + " -D herd -o q 2>&1";
    FILE* f = popen(cmd.c_str(), "r");
    ASSERT_TRUE(f);
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    pclose(f);
    EXPECT_NE(out.find("1024\t\u0631\u0633\u0645\u064A"), std::string::npos) << out;
    EXPECT_NE(out.find("Msg 208"), std::string::npos) << out;
    EXPECT_NE(out.find("Invalid object name 'Nowhere'."), std::string::npos) << out;
}

TEST(TdsServerLifecycle, KilledServerRestartsOnTheSameData)
{
    TdsServer server;
    server.exec("CREATE DATABASE d1");
    server.exec("CREATE TABLE t (a int); INSERT INTO t VALUES (42)", "d1");
    const int port = server.port();
    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_THROW(server.exec("SELECT 1"), std::runtime_error);
    server.start();
    EXPECT_EQ(server.port(), port);
    EXPECT_NO_THROW(server.exec("INSERT INTO t SELECT a + 1 FROM t", "d1"));
    EXPECT_THROW(server.exec("SELECT * FROM missing", "d1"), std::runtime_error);
}

} // namespace
