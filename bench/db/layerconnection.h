#pragma once
// The access layer's side of the benchmarks: a connection to the herd database of the bench server.

#include "db/msconnection.h"

#include <QString>

namespace rimo::bench {

// Points `connection` at database `herd` on `server` ("host:port") as "sa"; the caller connects.
inline void pointAtHerd(TMSConnection& connection, const QString& server, const QString& password)
{
    connection.Server = server;
    connection.Database = QStringLiteral("herd");
    connection.Username = QStringLiteral("sa");
    connection.Password = password;
}

} // namespace rimo::bench
