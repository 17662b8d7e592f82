#include "tools/tds-server/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <malloc.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

namespace rimo::tds {

namespace {

using Clock = std::chrono::steady_clock;

// A connection being served: whether it is still logging in, is a session, or is being closed to make
// room; and when it was accepted (its place among those logging in).
struct Client
{
    enum State { LoggingIn, Session, Closing };
    State state = LoggingIn;
    uint64_t accepted = 0;
};

std::mutex g_clientsMutex;
std::condition_variable g_clientsDone;
std::map<int, Client> g_clients; // by descriptor; an entry is removed before its descriptor is closed
uint64_t g_accepted = 0;

// Milliseconds left until the deadline (at most a minute at a time): 0 once it has passed, -1 when
// there is none (a deadline of 0).
int msLeft(const std::atomic<int64_t>& deadline)
{
    const int64_t until = deadline.load();
    if (until == 0)
        return -1;
    const int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    return until <= now ? 0 : static_cast<int>(std::min<int64_t>(until - now, 60000));
}

// Reads exactly n bytes; false at end of stream, on an error, or when the deadline passes first.
bool readExact(int fd, char* buf, size_t n, const std::atomic<int64_t>* deadline = nullptr)
{
    size_t got = 0;
    while (got < n) {
        if (deadline && deadline->load() != 0) {
            const int left = msLeft(*deadline);
            if (left == 0)
                return false;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, left) == 0)
                continue; // the loop checks the deadline again
        }
        const ssize_t r = ::recv(fd, buf + got, n - got, 0);
        if (r == 0)
            return false;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        got += static_cast<size_t>(r);
    }
    return true;
}

void writeAll(int fd, const char* buf, size_t n)
{
    size_t sent = 0;
    while (sent < n) {
        const ssize_t r = ::send(fd, buf + sent, n - sent, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("client went away");
        }
        sent += static_cast<size_t>(r);
    }
}

// True when an attention packet is waiting; it is then consumed. `gone` is set when the client has
// closed the connection (or it broke), which the same look notices.
bool pollAttention(int fd, std::atomic<bool>& gone)
{
    char first = 0;
    const ssize_t r = ::recv(fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        gone = true;
    if (r != 1 || static_cast<uint8_t>(first) != packet::Attention)
        return false;
    char header[8];
    if (!readExact(fd, header, 8))
        return false;
    const size_t length = (static_cast<uint8_t>(header[2]) << 8) | static_cast<uint8_t>(header[3]);
    if (length > 8 && length < 65536) {
        std::string rest(length - 8, '\0');
        readExact(fd, rest.data(), rest.size());
    }
    return true;
}

} // namespace

int Server::listen(int port)
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        throw std::runtime_error("socket failed");
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error(std::string("cannot bind 127.0.0.1:") + std::to_string(port) + ": " +
                                 std::strerror(errno));
    if (::listen(m_listenFd, 64) != 0)
        throw std::runtime_error("listen failed");
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe failed");
    return ntohs(addr.sin_port);
}

void Server::requestStop()
{
    const char c = 1;
    [[maybe_unused]] const ssize_t r = ::write(m_wakePipe[1], &c, 1);
}

void Server::serve()
{
    uint16_t nextSpid = 51;
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or memory the pending connection stays queued and poll() would report
            // it again at once: wait a little (or for the stop request) instead of spinning a core.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                pollfd wake{m_wakePipe[0], POLLIN, 0};
                ::poll(&wake, 1, 100);
            }
            continue;
        }
        {
            // Connections that have not logged in are held to their own number: the one waiting longest
            // makes room for a new one, so that clients that never log in cannot keep others out.
            std::lock_guard lock(g_clientsMutex);
            int pending = 0;
            auto oldest = g_clients.end();
            for (auto it = g_clients.begin(); it != g_clients.end(); ++it) {
                if (it->second.state != Client::LoggingIn)
                    continue;
                ++pending;
                if (oldest == g_clients.end() || it->second.accepted < oldest->second.accepted)
                    oldest = it;
            }
            if (pending >= m_config.maxPendingLogins && oldest != g_clients.end()) {
                std::fprintf(stderr,
                             "tds-server: closing a connection that has not logged in: %d are waiting\n",
                             pending);
                ::shutdown(oldest->first, SHUT_RDWR);
                oldest->second.state = Client::Closing;
            }
            g_clients[fd] = Client{Client::LoggingIn, ++g_accepted};
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const uint16_t spid = nextSpid;
        nextSpid = nextSpid >= 30000 ? 51 : nextSpid + 1;
        if (!startClient(fd, spid)) {
            // A thread or memory limit refuses this one connection; the ones already served go on.
            std::lock_guard lock(g_clientsMutex);
            g_clients.erase(fd);
            ::close(fd);
            g_clientsDone.notify_all();
        }
    }
    ::close(m_listenFd);
    std::unique_lock lock(g_clientsMutex);
    for (const auto& [fd, client] : g_clients)
        ::shutdown(fd, SHUT_RDWR);
    g_clientsDone.wait_for(lock, std::chrono::seconds(10), [] { return g_clients.empty(); });
}

bool Server::startClient(int fd, uint16_t spid)
{
    // pthread directly: its failure is a plain error code, with nothing half-built to unwind.
    struct Start
    {
        Server* server;
        int fd;
        uint16_t spid;
    };
    auto* start = new (std::nothrow) Start{this, fd, spid};
    if (!start) {
        std::fprintf(stderr, "tds-server: refusing connection %u: out of memory\n", spid);
        return false;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int rc = ::pthread_create(
        &thread, &attr,
        [](void* arg) -> void* {
            const std::unique_ptr<Start> s(static_cast<Start*>(arg));
            s->server->serveClient(s->fd, s->spid);
            return nullptr;
        },
        start);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        std::fprintf(stderr, "tds-server: refusing connection %u: %s\n", spid, std::strerror(rc));
        return false;
    }
    return true;
}

void Server::serveClient(int fd, uint16_t spid)
{
    try {
        // Until the login completes the client must keep to the login time-out.
        auto deadline = std::make_shared<std::atomic<int64_t>>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count() +
            int64_t{1000} * std::max(1, m_config.loginTimeoutSeconds));
        auto gone = std::make_shared<std::atomic<bool>>(false);
        Session::Transport t;
        t.read = [fd, deadline](char* buf, size_t n) { return readExact(fd, buf, n, deadline.get()); };
        t.loggedIn = [this, fd, deadline] {
            std::lock_guard lock(g_clientsMutex);
            int sessions = 0;
            for (const auto& [other, c] : g_clients)
                sessions += c.state == Client::Session;
            const auto it = g_clients.find(fd);
            if (sessions >= m_config.maxConnections || it == g_clients.end() ||
                it->second.state != Client::LoggingIn)
                return false; // over the limit, or closed to make room meanwhile
            it->second.state = Client::Session;
            deadline->store(0);
            return true;
        };
        t.write = [fd](const char* buf, size_t n) { writeAll(fd, buf, n); };
        t.pollAttention = [fd, gone] { return pollAttention(fd, *gone); };
        t.clientGone = [gone] { return gone->load(); };
        Session session(std::move(t), m_config, m_usage, m_locks, spid);
        session.run();
    } catch (const ProtocolError& e) {
        std::fprintf(stderr, "tds-server: closing connection %u: %s\n", spid, e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-server: connection %u ended: %s\n", spid, e.what());
    }
    // Forgotten before it is closed: once closed, accept may hand out the same number to a new client.
    {
        std::lock_guard lock(g_clientsMutex);
        g_clients.erase(fd);
        g_clientsDone.notify_all();
    }
    ::close(fd);
    // glibc keeps freed memory in the thread's arena; hand it back so that a burst of connections does
    // not leave the server holding it.
    ::malloc_trim(0);
}

} // namespace rimo::tds
