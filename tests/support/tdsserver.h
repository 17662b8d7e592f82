// Test fixture: runs the built tds-server on a free loopback port with a fresh temporary data folder,
// so tests reach it through FreeTDS exactly as the program reaches SQL Server.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace rimo::testsupport {

class TdsServer
{
public:
    // Starts the server at once; throws std::runtime_error when it does not come up.
    explicit TdsServer(std::string password = "Rimo-test-sa-1");
    // Starts the server with extra command-line options, run through `launcher` (e.g. prlimit and its
    // options) when that is not empty.
    TdsServer(std::vector<std::string> options, std::vector<std::string> launcher);
    ~TdsServer();
    TdsServer(const TdsServer&) = delete;
    TdsServer& operator=(const TdsServer&) = delete;

    // Starts again on the same data folder (and, when free, the same port).
    void start();
    // Kills the server at once (SIGKILL), as a crash or a pulled cable would.
    void stop();
    bool running() const { return m_pid > 0; }

    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    std::string host() const { return "127.0.0.1"; }
    std::string serverSpec() const { return host() + ":" + std::to_string(m_port); }
    const std::string& password() const { return m_password; }
    const std::string& dataDir() const { return m_dataDir; }
    const std::string& logFile() const { return m_logFile; }

    // Runs one batch through FreeTDS db-lib as "sa" on `database` and reads all results; throws
    // std::runtime_error carrying the server's messages when any statement fails.
    void exec(const std::string& sql, const std::string& database = "master") const;

    static std::string binary();

private:
    bool launch(int port);

    void makeFolders();

    std::string m_password;
    std::vector<std::string> m_options;
    std::vector<std::string> m_launcher;
    std::string m_root;
    std::string m_dataDir;
    std::string m_logFile;
    pid_t m_pid = -1;
    int m_port = 0;
};

// A plain TCP connection to the server on loopback, for raw protocol tests; -1 when it fails.
int rawConnect(int port);

} // namespace rimo::testsupport
