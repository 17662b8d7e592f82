#include "tdsserver.h"

#include <sybdb.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace rimo::testsupport {

namespace {

std::string g_messages;

int collectMessage(DBPROCESS*, DBINT msgno, int, int severity, char* text, char*, char*, int)
{
    if (severity > 10)
        g_messages += "Msg " + std::to_string(msgno) + ": " + (text ? text : "") + "\n";
    return 0;
}

int collectError(DBPROCESS*, int, int dberr, int, char* text, char*)
{
    if (dberr != SYBESMSG)
        g_messages += std::string("db-lib: ") + (text ? text : "") + "\n";
    return INT_CANCEL;
}

} // namespace

std::string TdsServer::binary()
{
    return RIMO_TDS_SERVER_BINARY;
}

TdsServer::TdsServer(std::string password) : m_password(std::move(password))
{
    makeFolders();
    start();
}

TdsServer::TdsServer(std::vector<std::string> options, std::vector<std::string> launcher)
    : m_password("Rimo-test-sa-1"), m_options(std::move(options)), m_launcher(std::move(launcher))
{
    makeFolders();
    start();
}

void TdsServer::makeFolders()
{
    char tmpl[] = "/tmp/rimo-tds-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("cannot make a temporary folder");
    m_root = tmpl;
    m_dataDir = m_root + "/data";
    m_logFile = m_root + "/server.log";
    std::filesystem::create_directories(m_dataDir);
}

TdsServer::~TdsServer()
{
    stop();
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
}

void TdsServer::start()
{
    if (running())
        return;
    // Coming back on the old port lets clients that kept the address reconnect.
    if (m_port != 0 && launch(m_port))
        return;
    if (!launch(0))
        throw std::runtime_error("tds-server did not start; see " + m_logFile);
}

bool TdsServer::launch(int port)
{
    // The command line is built before fork: the child only redirects and execs.
    std::vector<std::string> args = m_launcher;
    for (const std::string& a :
         {std::string(RIMO_TDS_SERVER_BINARY), std::string("--port"), std::to_string(port),
          std::string("--data-dir"), m_dataDir, std::string("--sa-password"), m_password})
        args.push_back(a);
    args.insert(args.end(), m_options.begin(), m_options.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int log = open(m_logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0)
            dup2(log, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    pollfd pfd{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos) {
        if (poll(&pfd, 1, 15000) <= 0)
            break;
        char buf[64];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(out[0]);
    if (line.rfind("PORT ", 0) != 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }
    m_pid = pid;
    m_port = std::atoi(line.c_str() + 5);
    return true;
}

void TdsServer::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

void TdsServer::exec(const std::string& sql, const std::string& database) const
{
    static const bool initialised = dbinit() == SUCCEED;
    if (!initialised)
        throw std::runtime_error("dbinit failed");
    // db-lib's handlers are process-wide: borrow them for this call only.
    const MHANDLEFUNC oldMsg = dbmsghandle(collectMessage);
    const EHANDLEFUNC oldErr = dberrhandle(collectError);
    g_messages.clear();
    LOGINREC* login = dblogin();
    DBSETLUSER(login, "sa");
    DBSETLPWD(login, m_password.c_str());
    DBSETLCHARSET(login, "UTF-8");
    DBSETLDBNAME(login, database.c_str());
    dbsetlversion(login, DBVERSION_74);
    dbsetlogintime(10);
    DBPROCESS* proc = dbopen(login, serverSpec().c_str());
    dbloginfree(login);
    bool ok = proc != nullptr;
    if (proc) {
        ok = dbcmd(proc, sql.c_str()) == SUCCEED && dbsqlexec(proc) == SUCCEED;
        RETCODE rc;
        while ((rc = dbresults(proc)) != NO_MORE_RESULTS) {
            if (rc == FAIL) {
                ok = false;
                break;
            }
            while (dbnextrow(proc) != NO_MORE_ROWS) {
            }
        }
        dbclose(proc);
    }
    const std::string messages = g_messages;
    dbmsghandle(oldMsg);
    dberrhandle(oldErr);
    if (!ok || !messages.empty())
        throw std::runtime_error("setup SQL failed: " + messages);
}

int rawConnect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace rimo::testsupport
