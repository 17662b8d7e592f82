#pragma once
// The toolkit object: the one program-wide service object (a hidden window) that carries the
// shared connections and components and the services every window of the program can call.

#include "db/msdataset.h"
#include "platform/services.h"
#include "toolkit/commands/storedcommands.h"
#include "toolkit/dialoghelpers/inputdialogs.h"
#include "toolkit/dialoghelpers/listfill.h"
#include "toolkit/dialoghelpers/questions.h"
#include "toolkit/dialoghelpers/waitbox.h"
#include "toolkit/formdefs/formdefinitions.h"
#include "toolkit/images/imageservices.h"
#include "toolkit/registry/registryservices.h"
#include "toolkit/services/dateservices.h"
#include "toolkit/services/valueservices.h"
#include "toolkit/shell/shellservices.h"
#include "toolkit/sql/sqlservices.h"
#include "toolkit/sysinfo/systemreports.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class TMessageBoardForm;
class TConnectDialog;
class TMultiUserForm;
class TProcessInfo;
class TAppInfo;
class TSolarMonthCalendar;
class QListWidget;

class TTools : public QWidget,
               public TDateServices,
               public TValueServices,
               public TImageServices,
               public TShellServices,
               public TSqlServices,
               public TRegistryServices,
               public TSystemReports,
               public TStoredCommands,
               public TFormDefinitions,
               public TListFillers,
               public TQuestions,
               public TInputDialogs,
               public TWaitingBoxes
{
    Q_OBJECT
public:
    // `appPath` overrides the executable's folder (tests); empty means the executable's folder.
    explicit TTools(rimo::PlatformServices services = {}, const QString& appPath = {},
                    QWidget* parent = nullptr);
    ~TTools() override;

    // The program-wide instance (the last one created), nullptr before creation.
    static TTools* instance();

    // Public fields.
    QString AppPath;
    int WinVer = 0;
    QRect DeskSize;
    // ViewCanBeDroped and ReturnedParameters (created with 50 empty entries) come with the SQL
    // services.

    // Components: the toolkit's own connections and the query of the multi-herd selection.
    TMSConnection* ServerConnection;
    TMSConnection* Multiconnection;
    TMSQuery* MultiQAsk;
    // The connect dialog of Multiconnection, with Persian captions.
    TConnectDialog* MSConnectDialog2;
    // The process and window monitors, active from creation on (refreshed every second).
    TAppInfo* AppInfo1;
    TProcessInfo* ProcessInfo1;
    // The hidden month calendar (solar), on the toolkit's clock: its conversions serve the toolkit.
    TSolarMonthCalendar* SolarMonthCalendar1;
    // The hidden list box the window listing (EnumWindowsProc) fills.
    QListWidget* CTILIst;

    // The four settings of the herd connection: from the single-herd settings file, or from the
    // herd chosen in multi-herd mode. A missing single-herd file ends the process at once.
    void FindConStr(QString& InUser, QString& InPass, QString& InServer, QString& InDatabase);

    void SetConfigAgain(QObject* Sender);
    void _SetConfigAgain();
    // A choice among the first column of `InCommand`'s rows on ServerConnection; a failing
    // query shows a message and gives false without a dialog.
    bool SelectFromList(const QString& APrompt, const QString& InCommand, QString& Value);

    void SwitchToFarsi() override;
    void SwitchToEnglish() override;
    QString GetWinVersion();
    void ShowMsg(const QString& St) override;
    rimo::TonePlayer& tonePlayer() override { return *m_platform.tone; }
    const rimo::Clock& clock() const override { return *m_platform.clock; }

    // Opens the date picker for an edit box (a widget with a "text" property): the picker starts on
    // the box's date (completed in the box first) or, for an empty or rejected text, on today, and
    // OK writes the picked date back as yyyy/MM/dd.
    void PickDateFromDate(QObject* Sender);
    // Kept for the callers of the former picker; does nothing.
    void PickDateFromDateOld(QObject* Sender);

    // Key handlers a dialog can attach (with key preview on). `Key` is a Windows virtual-key code;
    // it is set to 0 when consumed.
    void SetKeyActivateConfig(QWidget* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void SetKeyActivateJustClose(QWidget* Sender, int& Key, Qt::KeyboardModifiers Shift);

    // The message board created at creation, and whether it is on screen.
    TMessageBoardForm* messageBoard() const override { return m_board; }
    bool boardOnScreen() const override;
    TMSConnection& serverConnection() override { return *ServerConnection; }
    QString solarToday() const override { return FarsiToday(); }
    QString programFolder() const override { return AppPath; }
    rimo::Beeper& beeper() override { return *m_platform.beeper; }

    const rimo::PlatformServices& platform() const override { return m_platform; }

    bool unloadedForTest() const { return m_unLoaded; }
    // The herd chooser, made at its first use by multi-herd mode; nullptr before.
    TMultiUserForm* multiUserForm() const { return m_multiUserForm.get(); }

protected:
    TProcessInfo& shellProcessMonitor() override { return *ProcessInfo1; }
    TAppInfo& shellWindowMonitor() override { return *AppInfo1; }
    TMessageBoardForm& registryBoard() override { return *m_board; }
    int registryWinVer() const override { return WinVer; }
    TMessageBoardForm& reportBoard() override { return *m_board; }
    QString reportToday() override { return FarsiToday(); }
    QListWidget& reportWindowList() override { return *CTILIst; }

private:
    void FormCreate();

    rimo::PlatformServices m_platform;
    TMessageBoardForm* m_board = nullptr;
    QWidget* m_boardWindow = nullptr; // the same window, for visibility checks
    bool m_unLoaded = false;
    std::unique_ptr<TMultiUserForm> m_multiUserForm;
};

namespace rimo {
// Windows virtual-key code of a Qt key (Enter 13, Escape 27, arrows 37-40), 0 when unmapped.
int virtualKeyFromQtKey(int qtKey);
// The version text for a set of version facts (std::nullopt: the query failed).
QString winVersionText(const std::optional<OsVersionFacts>& facts);
// Moves the focus to the next (or previous) focusable control inside `window`.
void moveFocusWithin(QWidget* window, bool next);
} // namespace rimo
