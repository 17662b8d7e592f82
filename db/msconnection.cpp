#include "db/msconnection.h"

#include "core/error.h"

namespace {

// Quotes an OLE DB connection string value when it holds a separator or a quote.
QString connectValue(const QString& v)
{
    if (!v.contains(u';') && !v.contains(u'"') && !v.contains(u'\'') && v.trimmed() == v)
        return v;
    if (!v.contains(u'"'))
        return u'"' + v + u'"';
    return u'\'' + QString(v).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

TMSConnection::TMSConnection(QObject* parent) : QObject(parent), Database(QStringLiteral("master")) {}

TMSConnection::~TMSConnection() = default;

void TMSConnection::Connect()
{
    if (Connected())
        return;
    if (LoginPrompt) {
        if (!ConnectDialog)
            throw rimo::Error(QStringLiteral("No connect dialog is set for the connection"));
        if (!ConnectDialog->Execute(*this))
            throw rimo::Error(QStringLiteral("Operation aborted"));
    }
    m_session.reset();
    rimo::db::LoginSettings s{
        Server, Database, Username, Password, LoginTimeoutSeconds, StatementTimeoutSeconds};
    m_session = rimo::db::Session::open(s);
}

void TMSConnection::Disconnect()
{
    if (!m_session)
        return;
    m_session.reset();
    Q_EMIT disconnected();
}

bool TMSConnection::Connected() const
{
    return m_session && !m_session->dead();
}

QString TMSConnection::ConnectString() const
{
    return QStringLiteral("Data Source=%1;Initial Catalog=%2;User ID=%3;Password=%4")
        .arg(connectValue(Server), connectValue(Database), connectValue(Username), connectValue(Password));
}

rimo::db::Session& TMSConnection::session()
{
    if (!m_session)
        throw rimo::Error(QStringLiteral("Connection is not open"));
    return *m_session;
}

rimo::db::Session& TMSConnection::sessionForRead()
{
    if (m_session && m_session->dead()) {
        // The server went away since the last call (restart, network): a new read opens a fresh
        // session with the same settings, so the program is usable again once the server is back.
        // Statements sent in a loop do not, so a dead server fails them at once.
        m_session.reset();
        rimo::db::LoginSettings s{
            Server, Database, Username, Password, LoginTimeoutSeconds, StatementTimeoutSeconds};
        m_session = rimo::db::Session::open(s);
    }
    return session();
}
