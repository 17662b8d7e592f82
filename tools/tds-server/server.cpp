#include "tools/tds-server/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

namespace rimo::tds {

namespace {

std::mutex g_clientsMutex;
std::condition_variable g_clientsDone;
std::set<int> g_clients;

bool readExact(int fd, char* buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
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

// True when an attention packet is waiting; it is then consumed.
bool pollAttention(int fd)
{
    char first = 0;
    const ssize_t r = ::recv(fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
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
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        {
            std::lock_guard lock(g_clientsMutex);
            g_clients.insert(fd);
        }
        const uint16_t spid = nextSpid;
        nextSpid = nextSpid >= 30000 ? 51 : nextSpid + 1;
        std::thread([this, fd, spid] { serveClient(fd, spid); }).detach();
    }
    ::close(m_listenFd);
    std::unique_lock lock(g_clientsMutex);
    for (int fd : g_clients)
        ::shutdown(fd, SHUT_RDWR);
    g_clientsDone.wait_for(lock, std::chrono::seconds(10), [] { return g_clients.empty(); });
}

void Server::serveClient(int fd, uint16_t spid)
{
    try {
        Session::Transport t;
        t.read = [fd](char* buf, size_t n) { return readExact(fd, buf, n); };
        t.write = [fd](const char* buf, size_t n) { writeAll(fd, buf, n); };
        t.pollAttention = [fd] { return pollAttention(fd); };
        Session session(std::move(t), m_config, m_usage, spid);
        session.run();
    } catch (const ProtocolError& e) {
        std::fprintf(stderr, "tds-server: closing connection %u: %s\n", spid, e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-server: connection %u ended: %s\n", spid, e.what());
    }
    ::close(fd);
    std::lock_guard lock(g_clientsMutex);
    g_clients.erase(fd);
    g_clientsDone.notify_all();
}

} // namespace rimo::tds
