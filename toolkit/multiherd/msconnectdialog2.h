#pragma once
// The connect dialog a connection with LoginPrompt shows before it connects: user name, password,
// server and database, prefilled from the connection; confirming writes them back, cancelling
// makes Connect fail. The window runs through the dialog seam. Captions are settings so one class
// serves every language; createMSConnectDialog2 makes the central connection's Persian one.

#include "db/msconnection.h"

#include <QDialog>
#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class TConnectDialog : public QObject, public TMSConnectDialog
{
    Q_OBJECT
public:
    explicit TConnectDialog(QObject* parent = nullptr);

    QString Caption;
    QString UsernameLabel;
    QString PasswordLabel;
    QString ServerLabel;
    QString DatabaseLabel;
    QString ConnectButton;
    QString CancelButton;
    bool RightToLeft = false;

    bool Execute(TMSConnection& connection) override;
};

// The window of TConnectDialog.
class TConnectForm : public QDialog
{
    Q_OBJECT
public:
    explicit TConnectForm(const TConnectDialog& captions, QWidget* parent = nullptr);

    void loadFrom(const TMSConnection& connection);
    void storeTo(TMSConnection& connection) const;

    QLabel* lbUsername;
    QLabel* lbPassword;
    QLabel* lbServer;
    QLabel* lbDatabase;
    QLineEdit* edUsername;
    QLineEdit* edPassword;
    QLineEdit* edServer;
    QLineEdit* edDatabase;
    QPushButton* btConnect;
    QPushButton* btCancel;
};

namespace rimo {
// The central connection's dialog with its Persian captions, owned by `owner`.
TConnectDialog* createMSConnectDialog2(QObject* owner);
} // namespace rimo
