#pragma once
// The connection object of the access layer: four settings, an optional connect dialog shown
// before connecting, and the open session that queries and tables work through.

#include "db/session.h"

#include <QObject>
#include <QString>
#include <memory>

class TMSConnection;

// The dialog shown by Connect when LoginPrompt is set. Returns false when the user cancels;
// the values the user confirmed are written back into the connection.
class TMSConnectDialog
{
public:
    virtual ~TMSConnectDialog() = default;
    virtual bool Execute(TMSConnection& connection) = 0;
};

class TMSConnection : public QObject
{
    Q_OBJECT
public:
    explicit TMSConnection(QObject* parent = nullptr);
    ~TMSConnection() override;

    QString Server;
    QString Database;
    QString Username;
    QString Password;
    bool LoginPrompt = false;
    TMSConnectDialog* ConnectDialog = nullptr; // not owned
    int LoginTimeoutSeconds = rimo::db::kDefaultLoginTimeoutSeconds;
    // How long one statement may wait for the server (0: without limit); beyond it the statement
    // fails with a time-out error and the connection is closed (the next read opens it again).
    int StatementTimeoutSeconds = rimo::db::kDefaultStatementTimeoutSeconds;

    // Opens the connection with the current settings; raises rimo::Error on failure and when
    // the connect dialog is cancelled.
    void Connect();
    void Disconnect();
    bool Connected() const;
    QString ConnectString() const;

    // The open session; raises when the connection is not open.
    rimo::db::Session& session();
    // The same, but a session the server dropped is first opened again with the same settings
    // (raising when that fails). Opening a table or query goes through here.
    rimo::db::Session& sessionForRead();

Q_SIGNALS:
    void disconnected();

private:
    std::unique_ptr<rimo::db::Session> m_session;
};
