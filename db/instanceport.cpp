#include "db/instanceport.h"

#include "core/error.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rimo::db {

namespace {

struct Socket
{
    int fd = -1;
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

Error noAnswer(const QString& host, const QString& instance, int timeoutMs)
{
    return Error(
        QStringLiteral("The SQL Server Browser on %1 did not give the port of the instance %2 within "
                       "%3 seconds.")
            .arg(host, instance)
            .arg((timeoutMs + 999) / 1000));
}

} // namespace

QByteArray instanceRequest(const QString& instance)
{
    return QByteArray(1, '\x04') + instance.toLocal8Bit() + QByteArray(1, '\0');
}

std::optional<int> portFromBrowserAnswer(const QByteArray& answer)
{
    if (answer.size() < 3 || answer[0] != '\x05')
        return std::nullopt;
    const int length = static_cast<unsigned char>(answer[1]) | static_cast<unsigned char>(answer[2]) << 8;
    const QString text = QString::fromLatin1(answer.mid(3, length));
    static const QRegularExpression tcp(QStringLiteral("(?:^|;)tcp;(\\d{1,5})(?:;|$)"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = tcp.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int port = m.captured(1).toInt();
    if (port <= 0 || port > 65535)
        return std::nullopt;
    return port;
}

int lookUpInstancePort(const QString& host, const QString& instance, int timeoutMs, quint16 browserPort)
{
    const QDeadlineTimer deadline(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(browserPort);
    if (::getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found) != 0 || !found)
        throw Error(QStringLiteral("The server %1 is not known.").arg(host));
    Socket s;
    s.fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    const bool connected = s.fd >= 0 && ::connect(s.fd, found->ai_addr, found->ai_addrlen) == 0;
    ::freeaddrinfo(found);
    if (!connected)
        throw noAnswer(host, instance, timeoutMs);
    const QByteArray request = instanceRequest(instance);
    QByteArray answer(65536, Qt::Uninitialized);
    while (!deadline.hasExpired()) {
        if (::send(s.fd, request.constData(), static_cast<size_t>(request.size()), 0) < 0 &&
            errno != ECONNREFUSED)
            break;
        // One second for each try, or what is left of the time.
        const QDeadlineTimer tryEnd(std::min<qint64>(1000, deadline.remainingTime()));
        while (!tryEnd.hasExpired()) {
            pollfd p{s.fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(tryEnd.remainingTime()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            const ssize_t n = ::recv(s.fd, answer.data(), static_cast<size_t>(answer.size()), 0);
            if (n < 0)
                break; // refused (nothing listens): the next try waits out its second
            if (const auto port = portFromBrowserAnswer(answer.left(n)))
                return *port;
        }
    }
    throw noAnswer(host, instance, timeoutMs);
}

} // namespace rimo::db
