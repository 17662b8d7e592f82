#include "xvfb.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace rimo::testing {

XvfbServer::XvfbServer()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        // The write end stays open in the server, which writes its display number to it.
        const int flags = fcntl(fds[1], F_GETFD);
        fcntl(fds[1], F_SETFD, flags & ~FD_CLOEXEC);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        // -noreset: without it the server drops keymaps and root properties whenever its last
        // client leaves, which a test would see between two connections.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
               "800x600x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (m_pid < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    QDeadlineTimer deadline(30000);
    pollfd p{fds[0], POLLIN, 0};
    while (!deadline.hasExpired()) {
        if (poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            break;
        char c = 0;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number.push_back(c);
    }
    close(fds[0]);
    if (!number.empty())
        m_display = ":" + QByteArray::fromStdString(number);
    else
        stop();
}

XvfbServer::~XvfbServer()
{
    stop();
}

void XvfbServer::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
}

QString XcbWindowsHelper::program()
{
    return QStringLiteral(RIMO_XCB_WINDOWS_BINARY);
}

XcbWindowsHelper::XcbWindowsHelper(const QByteArray& display, const QStringList& specs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program(), specs);
    if (!m_process.waitForStarted(10000))
        return;
    QDeadlineTimer deadline(30000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    const QString line = QString::fromLatin1(m_process.readLine()).trimmed();
    QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
    if (parts.value(0) != QStringLiteral("ready"))
        return;
    parts.removeFirst();
    for (const QString& id : parts)
        m_ids << id.toUInt();
}

XcbWindowsHelper::~XcbWindowsHelper()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool XcbWindowsHelper::waitClosed(quint32 id, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_process.canReadLine()) {
            const QStringList parts = QString::fromLatin1(m_process.readLine()).trimmed().split(u' ');
            if (parts.value(0) == QStringLiteral("closed"))
                m_closed << parts.value(1).toUInt();
        }
        if (m_closed.contains(id))
            return true;
        if (deadline.hasExpired() || !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return m_closed.contains(id);
    }
}

} // namespace rimo::testing
