#pragma once
// An X server of the test's own (Xvfb, display number chosen by the server through
// -displayfd), so that tests running in parallel never see each other's windows; and the
// xcbwindows helper program that opens the windows a test asks for.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <sys/types.h>

namespace rimo::testing {

class XvfbServer
{
public:
    // Starts the server and waits until it takes connections; display() is empty on failure.
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    QByteArray display() const { return m_display; }
    pid_t pid() const { return m_pid; }
    void stop();

private:
    pid_t m_pid = -1;
    QByteArray m_display;
};

class XcbWindowsHelper
{
public:
    // Starts the helper on `display` with the window specs (see xcbwindows.cpp) and waits for
    // its windows; ids() is empty on failure.
    XcbWindowsHelper(const QByteArray& display, const QStringList& specs);
    ~XcbWindowsHelper();

    QList<quint32> ids() const { return m_ids; }
    quint32 pid() const { return static_cast<quint32>(m_process.processId()); }
    static QString program();
    // Waits for the helper to report that it closed `id`.
    bool waitClosed(quint32 id, int timeoutMs = 10000);

private:
    QProcess m_process;
    QList<quint32> m_ids;
    QList<quint32> m_closed;
};

} // namespace rimo::testing
