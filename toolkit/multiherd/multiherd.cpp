// The multi-herd branch of FindConStr: connect to the central server (saved settings or the
// connect dialog), list the herds of the directory database `Masters`, let the user choose one
// and return its settings. Failures ask the program to end; errors of the directory statements
// themselves are passed on to the caller.

#include "core/lifecycle.h"
#include "platform/dialogs.h"
#include "toolkit/multiherd/multiconnectfile.h"
#include "toolkit/multiherd/multiuserform.h"
#include "toolkit/settingsfile.h"
#include "toolkit/tools.h"

#include <QListWidget>

namespace {

// A text literal for a statement: enclosed in single quotes, inner quotes doubled.
QString quotedSqlText(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

void TTools::FindConStrMultiHerd(QString& InUser, QString& InPass, QString& InServer, QString& InDatabase)
{
    // Step 1: the central connection.
    try {
        SwitchToEnglish();
        Multiconnection->LoginPrompt = true;
        const QString saved = rimo::findFileCaseInsensitive(AppPath, rimo::MultiConnectFileName);
        if (!saved.isEmpty()) {
            const rimo::MultiConnectSettings s = rimo::readMultiConnectFile(saved);
            Multiconnection->Server = s.server;
            Multiconnection->Database = s.database;
            Multiconnection->Username = s.user;
            Multiconnection->Password = s.password;
            Multiconnection->LoginPrompt = false;
        }
        Multiconnection->Connect();
        rimo::writeMultiConnectFile(saved.isEmpty() ? AppPath + rimo::MultiConnectFileName : saved,
                                    {Multiconnection->Server, Multiconnection->Database,
                                     Multiconnection->Username, Multiconnection->Password});
        SwitchToFarsi();
    } catch (const std::exception&) {
        rimo::requestTerminate();
        InUser.clear();
        InPass.clear();
        InServer.clear();
        InDatabase.clear();
        return;
    }

    // Step 2: is there a directory database? Errors of the statement itself pass on.
    MultiQAsk->setSqlText(QStringLiteral("SELECT * FROM sysdatabases WHERE (name = 'Masters')"));
    MultiQAsk->Execute();
    if (MultiQAsk->IsEmpty()) {
        rimo::requestTerminate();
        return;
    }

    // Step 3: reconnect on it.
    try {
        Multiconnection->Disconnect();
        Multiconnection->LoginPrompt = false;
        Multiconnection->Database = QStringLiteral("Masters");
        Multiconnection->Connect();
    } catch (const std::exception&) {
        rimo::requestTerminate();
        return;
    }

    // Step 4: the herds.
    MultiQAsk->setSqlText(QStringLiteral("SELECT * FROM Masters Order By DName"));
    MultiQAsk->Execute();
    if (MultiQAsk->IsEmpty()) {
        rimo::requestTerminate();
        return;
    }

    // Step 5: fill the chooser, in the server's order.
    if (!m_multiUserForm)
        m_multiUserForm = std::make_unique<TMultiUserForm>();
    TMultiUserForm& chooser = *m_multiUserForm;
    chooser.RadioGroup1->clear();
    chooser.setResult(QDialog::Rejected);
    for (MultiQAsk->First(); !MultiQAsk->Eof(); MultiQAsk->Next())
        chooser.RadioGroup1->addItem(MultiQAsk->FieldByName(QStringLiteral("DName")).AsString());

    // Step 6.
    if (rimo::dialogs().exec(chooser) != QDialog::Accepted) {
        rimo::requestTerminate();
        return;
    }

    // Step 7: the chosen herd's row; the first one when two herds share the name.
    MultiQAsk->setSqlText(QStringLiteral("SELECT * FROM Masters Where DName=") +
                          quotedSqlText(chooser.selectedName()));
    MultiQAsk->Execute();

    // Step 8. A herd removed since the listing gives empty settings (an empty result reads as
    // empty texts), and the herd connection then fails.
    InPass = MultiQAsk->FieldByName(QStringLiteral("SPass")).AsString();
    InServer = MultiQAsk->FieldByName(QStringLiteral("SName")).AsString();
    InDatabase = MultiQAsk->FieldByName(QStringLiteral("EngDName")).AsString();
    InUser = QStringLiteral("sa");
}
