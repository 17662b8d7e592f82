#pragma once
// Finding the TCP port of a named SQL Server instance ("host\instance") from the SQL Server
// Browser on the host, within a time limit: the client library's own lookup asks sixteen times a
// second apart, so a host without an answer held the program for seventeen seconds.

#include <QByteArray>
#include <QString>
#include <optional>

namespace rimo::db {

inline constexpr quint16 kSqlBrowserPort = 1434;

// The request for one instance's details (CLNT_UCAST_INST): 0x04, the name, a terminating zero.
QByteArray instanceRequest(const QString& instance);
// The TCP port in the Browser's answer (0x05, a two-byte length, then "ServerName;...;tcp;1433;;"),
// when the answer is well formed and names one.
std::optional<int> portFromBrowserAnswer(const QByteArray& answer);

// Asks the Browser at `host`:`browserPort` for `instance`, again every second, until an answer
// names a port or `timeoutMs` passes. Raises rimo::Error saying which instance did not answer.
int lookUpInstancePort(const QString& host, const QString& instance, int timeoutMs,
                       quint16 browserPort = kSqlBrowserPort);

} // namespace rimo::db
