#include "toolkit/multiherd/msconnectdialog2.h"

#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/uifont.h"
#include "toolkit/multiherd/texts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TConnectDialog::TConnectDialog(QObject* parent)
    : QObject(parent), Caption(QStringLiteral("Connect")), UsernameLabel(QStringLiteral("Username")),
      PasswordLabel(QStringLiteral("Password")), ServerLabel(QStringLiteral("Server")),
      DatabaseLabel(QStringLiteral("Database")), ConnectButton(QStringLiteral("Connect")),
      CancelButton(QStringLiteral("Cancel"))
{
}

bool TConnectDialog::Execute(TMSConnection& connection)
{
    TConnectForm form(*this);
    form.loadFrom(connection);
    if (rimo::dialogs().exec(form) != QDialog::Accepted)
        return false;
    form.storeTo(connection);
    return true;
}

TConnectForm::TConnectForm(const TConnectDialog& captions, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MSConnectDialogForm"));
    setWindowTitle(captions.Caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (captions.RightToLeft)
        setLayoutDirection(Qt::RightToLeft);
    setFont(rimo::tahomaFont());

    lbUsername = new QLabel(captions.UsernameLabel, this);
    lbPassword = new QLabel(captions.PasswordLabel, this);
    lbServer = new QLabel(captions.ServerLabel, this);
    lbDatabase = new QLabel(captions.DatabaseLabel, this);
    edUsername = new QLineEdit(this);
    edPassword = new QLineEdit(this);
    edServer = new QLineEdit(this);
    edDatabase = new QLineEdit(this);
    edUsername->setObjectName(QStringLiteral("edUsername"));
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edServer->setObjectName(QStringLiteral("edServer"));
    edDatabase->setObjectName(QStringLiteral("edDatabase"));
    edPassword->setEchoMode(QLineEdit::Password);
    // The settings are saved one per line: a pasted line break must not reach them.
    const auto* oneLine =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\r\\n]*")), this);
    for (QLineEdit* e : {edUsername, edPassword, edServer, edDatabase}) {
        e->setValidator(oneLine);
        e->setMinimumWidth(180);
    }
    lbUsername->setBuddy(edUsername);
    lbPassword->setBuddy(edPassword);
    lbServer->setBuddy(edServer);
    lbDatabase->setBuddy(edDatabase);

    btConnect = new QPushButton(captions.ConnectButton, this);
    btCancel = new QPushButton(captions.CancelButton, this);
    btConnect->setObjectName(QStringLiteral("btConnect"));
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btConnect->setDefault(true);
    connect(btConnect, &QPushButton::clicked, this, rimo::guarded([this] { accept(); }));
    connect(btCancel, &QPushButton::clicked, this, rimo::guarded([this] { reject(); }));

    auto* form = new QFormLayout;
    form->addRow(lbUsername, edUsername);
    form->addRow(lbPassword, edPassword);
    form->addRow(lbServer, edServer);
    form->addRow(lbDatabase, edDatabase);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btConnect);
    buttons->addWidget(btCancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);
    edUsername->setFocus();
}

void TConnectForm::loadFrom(const TMSConnection& connection)
{
    edUsername->setText(connection.Username);
    edPassword->setText(connection.Password);
    edServer->setText(connection.Server);
    edDatabase->setText(connection.Database);
}

void TConnectForm::storeTo(TMSConnection& connection) const
{
    connection.Username = edUsername->text();
    connection.Password = edPassword->text();
    connection.Server = edServer->text();
    connection.Database = edDatabase->text();
}

namespace rimo {

TConnectDialog* createMSConnectDialog2(QObject* owner)
{
    auto* d = new TConnectDialog(owner);
    d->setObjectName(QStringLiteral("MSConnectDialog2"));
    d->Caption = texts::ConnectDialogCaption;
    d->UsernameLabel = texts::ConnectUserLabel;
    d->PasswordLabel = texts::ConnectPasswordLabel;
    d->ServerLabel = texts::ConnectServerLabel;
    d->DatabaseLabel = texts::ConnectDatabaseLabel;
    d->ConnectButton = texts::ConnectButton;
    d->CancelButton = texts::ConnectCancelButton;
    d->RightToLeft = true;
    return d;
}

} // namespace rimo
