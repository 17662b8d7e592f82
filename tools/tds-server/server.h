// The listening side of the test server: accepts loopback connections and serves each on its own thread.
#pragma once

#include "tools/tds-server/session.h"

#include <atomic>

namespace rimo::tds {

class Server
{
public:
    explicit Server(ServerConfig config) : m_config(std::move(config)) {}
    // Binds 127.0.0.1:port (0 = any free port); returns the bound port. Throws std::runtime_error.
    int listen(int port);
    // Accepts clients until stop() (or a signal handler calling requestStop) ends the loop, then closes
    // every client connection and waits for their threads.
    void serve();
    // Safe from a signal handler.
    void requestStop();

private:
    void serveClient(int fd, uint16_t spid);
    // Starts a detached thread serving the client; false when the system refuses one.
    bool startClient(int fd, uint16_t spid);

    ServerConfig m_config;
    DatabaseUsage m_usage;
    AppLocks m_locks;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
};

} // namespace rimo::tds
