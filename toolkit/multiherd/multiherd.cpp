#include "toolkit/multiherd/multiherd.h"

#include "core/lifecycle.h"
#include "db/msdataset.h"
#include "db/sqltext.h"
#include "platform/dialogs.h"
#include "toolkit/multiherd/multiconnectfile.h"
#include "toolkit/multiherd/multiuserform.h"
#include "toolkit/settingsfile.h"

#include <QListWidget>
#include <cstdio>

namespace rimo {

namespace {

// Connects to the central server with the saved settings, or through the connect dialog when
// none are saved, and saves the settings that connected. The keyboard is English meanwhile.
void connectCentral(const MultiHerdParts& parts)
{
    TMSConnection& central = parts.central;
    parts.switchToEnglish();
    central.LoginPrompt = true;
    const QString saved = findFileCaseInsensitive(parts.appPath, MultiConnectFileName);
    if (!saved.isEmpty()) {
        const MultiConnectSettings s = readMultiConnectFile(saved);
        central.Server = s.server;
        central.Database = s.database;
        central.Username = s.user;
        central.Password = s.password;
        central.LoginPrompt = false;
    }
    central.Connect();
    writeMultiConnectFile(saved.isEmpty() ? parts.appPath + MultiConnectFileName : saved,
                          {central.Server, central.Database, central.Username, central.Password});
    parts.switchToFarsi();
}

// Runs `sql`; whether it gave any row.
bool givesRows(TMSQuery& ask, const QString& sql)
{
    ask.setSqlText(sql);
    ask.Execute();
    return !ask.IsEmpty();
}

// Reconnects the central connection on the directory database, without asking.
void connectDirectory(TMSConnection& central)
{
    central.Disconnect();
    central.LoginPrompt = false;
    central.Database = QStringLiteral("Masters");
    central.Connect();
}

// Offers the herds the query has listed, in the server's order; whether one was chosen.
bool chooseHerd(const MultiHerdParts& parts)
{
    if (!parts.chooser)
        parts.chooser = std::make_unique<TMultiUserForm>();
    TMultiUserForm& chooser = *parts.chooser;
    chooser.RadioGroup1->clear();
    chooser.setResult(QDialog::Rejected);
    for (parts.ask.First(); !parts.ask.Eof(); parts.ask.Next())
        chooser.RadioGroup1->addItem(parts.ask.FieldByName(QStringLiteral("DName")).AsString());
    return dialogs().exec(chooser) == QDialog::Accepted;
}

} // namespace

void findMultiHerdSettings(const MultiHerdParts& parts, QString& InUser, QString& InPass, QString& InServer,
                           QString& InDatabase)
{
    try {
        connectCentral(parts);
    } catch (const std::exception& e) {
        // The user sees no message here; why the program ends goes to the error output.
        std::fprintf(stderr, "Rimo1: %s\n", e.what());
        requestTerminate();
        InUser.clear();
        InPass.clear();
        InServer.clear();
        InDatabase.clear();
        return;
    }
    // Errors of the directory statements themselves pass on; an empty answer ends the program.
    if (!givesRows(parts.ask, QStringLiteral("SELECT * FROM sysdatabases WHERE (name = 'Masters')"))) {
        requestTerminate();
        return;
    }
    try {
        connectDirectory(parts.central);
    } catch (const std::exception&) {
        requestTerminate();
        return;
    }
    if (!givesRows(parts.ask, QStringLiteral("SELECT * FROM Masters Order By DName")) || !chooseHerd(parts)) {
        requestTerminate();
        return;
    }

    // The chosen herd's row; the first one when two herds share the name. A herd removed since
    // the listing gives empty settings (an empty result reads as empty texts), and the herd
    // connection then fails.
    // A Persian name goes as N'...' when DName is a Unicode column: a plain literal keeps only the
    // database's code page, and a name with a Persian yeh or digits would find no row.
    const bool unicodeName =
        db::columnIsUnicode(parts.ask, QStringLiteral("Masters"), QStringLiteral("DName"));
    parts.ask.setSqlText(QStringLiteral("SELECT * FROM Masters Where DName=") +
                         (unicodeName ? QStringLiteral("N") : QString()) +
                         db::quotedSqlText(parts.chooser->selectedName()));
    parts.ask.Execute();
    InPass = parts.ask.FieldByName(QStringLiteral("SPass")).AsString();
    InServer = parts.ask.FieldByName(QStringLiteral("SName")).AsString();
    InDatabase = parts.ask.FieldByName(QStringLiteral("EngDName")).AsString();
    InUser = QStringLiteral("sa");
}

} // namespace rimo
