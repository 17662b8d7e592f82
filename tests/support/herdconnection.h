#pragma once
// Connecting tests to the test server: an access-layer connection as "sa", and the program's
// settings file pointing at the server.

#include "db/msconnection.h"
#include "tdsserver.h"
#include "toolkit/scramble.h"

#include <QFile>
#include <QStringList>

namespace rimo::testsupport {

// Connects `connection` to `database` on the server as "sa".
inline void connectToServer(TMSConnection& connection, const TdsServer& server, const QString& database)
{
    connection.Server = QString::fromStdString(server.serverSpec());
    connection.Database = database;
    connection.Username = QStringLiteral("sa");
    connection.Password = QString::fromStdString(server.password());
    connection.Connect();
}

// Writes the four scrambled lines of the single-herd settings file (password, server, database, user).
inline bool writeHerdSettings(const QString& path, const QStringList& settings)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString& line : settings)
        f.write(rimo::FindXOR(line).toUtf8() + "\r\n");
    return true;
}

} // namespace rimo::testsupport
