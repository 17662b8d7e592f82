// "host\instance": the port comes from the SQL Server Browser within the login time-out, whether
// the Browser answers, stays silent or is not there at all.
#include "core/error.h"
#include "db/instanceport.h"
#include "db/session.h"
#include "tdsserver.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace rimo::db;

namespace {

// A UDP socket on a free loopback port that answers every request with `answer` (or never, when
// `answer` is empty), until the object ends.
class FakeBrowser
{
public:
    explicit FakeBrowser(QByteArray answer) : m_answer(std::move(answer))
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeBrowser()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port = 0;
    std::atomic<int> requests{0};

private:
    void serve()
    {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buf[512];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0)
                continue;
            ++requests;
            if (!m_answer.isEmpty())
                ::sendto(m_fd, m_answer.constData(), static_cast<size_t>(m_answer.size()), 0,
                         reinterpret_cast<sockaddr*>(&from), len);
        }
    }
    QByteArray m_answer;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

QByteArray browserAnswer(const QByteArray& text)
{
    QByteArray out(1, '\x05');
    out += static_cast<char>(text.size() & 0xFF);
    out += static_cast<char>(text.size() >> 8);
    return out + text;
}

} // namespace

TEST(InstancePort, BrowserAnswersAreReadStrictly)
{
    EXPECT_EQ(instanceRequest("SQLEXPRESS"), QByteArray("\x04SQLEXPRESS", 11) + QByteArray(1, '\0'));
    struct Case
    {
        QByteArray answer;
        std::optional<int> port;
    } cases[] = {
        {browserAnswer("ServerName;H;InstanceName;SQLEXPRESS;IsClustered;No;Version;15.0;tcp;49172;;"),
         49172},
        {browserAnswer("ServerName;H;InstanceName;X;tcp;1433;np;\\\\H\\pipe;;"), 1433},
        {browserAnswer("ServerName;H;InstanceName;X;np;\\\\H\\pipe;;"), std::nullopt}, // no TCP
        {browserAnswer("ServerName;H;tcp;99999;;"), std::nullopt},
        {browserAnswer("ServerName;H;tcp;0;;"), std::nullopt},
        {QByteArray("\x04xx"), std::nullopt},
        {QByteArray("\x05"), std::nullopt},
        {{}, std::nullopt},
        // The length cuts the text before the port: what follows is not read.
        {QByteArray("\x05\x04\x00tcp;1433;;", 13), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(portFromBrowserAnswer(c.answer), c.port) << c.answer.toStdString();
}

// A loopback UDP port where nothing listens (bound, read and closed again).
quint16 closedUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(InstancePort, NoAnswerFailsWithinTheLoginTimeOut)
{
    FakeBrowser silent({});
    // Silent, and not there at all (refused at once, asked again until the time is up).
    for (const quint16 port : {silent.port, closedUdpPort()}) {
        QElapsedTimer t;
        t.start();
        try {
            lookUpInstancePort("127.0.0.1", "NOPE", 2000, port);
            ADD_FAILURE() << "no error";
        } catch (const rimo::Error& e) {
            EXPECT_TRUE(e.text().contains("NOPE")) << e.what();
            EXPECT_TRUE(e.text().contains("2 seconds")) << e.what();
        }
        EXPECT_GE(t.elapsed(), 1900);
        EXPECT_LT(t.elapsed(), 2600);
    }
    EXPECT_EQ(silent.requests, 2) << "asked again every second";
}

TEST(InstancePort, SessionsReachANamedInstanceOrFailInTime)
{
    rimo::testsupport::TdsServer server;
    FakeBrowser browser(browserAnswer(
        QByteArray("ServerName;H;InstanceName;HERD;IsClustered;No;Version;15.0;tcp;") +
        QByteArray::number(QByteArray::fromStdString(server.serverSpec()).split(':').last().toInt()) + ";;"));
    LoginSettings s{"127.0.0.1\\HERD", "master", "sa", QString::fromStdString(server.password())};
    s.loginTimeoutSeconds = 2;
    s.browserPort = browser.port;
    EXPECT_NO_THROW(Session::open(s));

    FakeBrowser silent({});
    s.browserPort = silent.port;
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(Session::open(s), rimo::Error);
    EXPECT_LT(t.elapsed(), 2600) << "the client library's own lookup took 17 seconds";
}
