#include "toolkit/tools.h"

#include "board/messageboardform.h"
#include "calendar/widgets/solarmonthcalendar.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "core/wholefile.h"
#include "monitors/appinfo.h"
#include "monitors/processinfo.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "toolkit/multiherd/msconnectdialog2.h"
#include "toolkit/multiherd/multiherd.h"
#include "toolkit/multiherd/multiuserform.h"
#include "toolkit/settingsfile.h"
#include "toolkit/texts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <algorithm>
#include <cstdio>

namespace {
TTools* g_instance = nullptr;
constexpr int kVkReturn = 13;
constexpr int kVkEscape = 27;
constexpr int kVkLeft = 37;
constexpr int kVkUp = 38;
constexpr int kVkRight = 39;
constexpr int kVkDown = 40;

// The working folders T4R and T4R/ED beside the program (an existing Ed in any letter case
// counts); a folder that cannot be made is skipped.
void makeWorkingFolders(const QString& appPath)
{
    QDir app(appPath);
    if (!app.exists(QStringLiteral("T4R")))
        app.mkdir(QStringLiteral("T4R"));
    QDir t4r(appPath + QStringLiteral("T4R"));
    if (!t4r.exists())
        return;
    const QStringList folders = t4r.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    const bool edFound = std::any_of(folders.begin(), folders.end(), [](const QString& name) {
        return name.compare(u"Ed", Qt::CaseInsensitive) == 0;
    });
    if (!edFound)
        t4r.mkdir(QStringLiteral("ED"));
}

} // namespace

namespace rimo {

int virtualKeyFromQtKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    case Qt::Key_Escape:
        return kVkEscape;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    default:
        return 0;
    }
}

QString winVersionText(const std::optional<OsVersionFacts>& facts)
{
    const QString unknown = QStringLiteral("000-wvUnknown");
    if (!facts)
        return unknown;
    const int major = facts->major;
    const int minor = facts->minor;
    if (facts->platform == 1) {
        if (major == 4 && minor == 0)
            return QStringLiteral("400-wvWin95");
        if (major == 4 && minor == 10)
            return facts->servicePack.size() >= 2 && facts->servicePack[1] == u'A'
                       ? QStringLiteral("410-wvWin98SE")
                       : QStringLiteral("411-wvWin98");
        if (major == 4 && minor == 90)
            return QStringLiteral("490-wvWinME");
        return QStringLiteral("491-wvUnknown");
    }
    if (facts->platform == 2) {
        if (major <= 4)
            return QStringLiteral("433-wvWinNT");
        if (major == 5 && minor == 0)
            return QStringLiteral("500-wvWin2000");
        if (major == 5 && minor == 1)
            return QStringLiteral("510-wvWinXP");
        if (major == 5 && minor == 2)
            return QStringLiteral("520-wv2003Server");
        if (major == 6 && minor == 0)
            return facts->productType.compare(u"WINNT", Qt::CaseInsensitive) == 0
                       ? QStringLiteral("600-wvWinVista")
                       : QStringLiteral("607-wv2008Server");
        if (major == 6 && minor == 1)
            return QStringLiteral("610-wvSeven");
        return unknown; // 6.2 and later, and 5.3+ which no Windows reported
    }
    return unknown;
}

void moveFocusWithin(QWidget* window, bool next)
{
    if (!window)
        return;
    QWidget* current = QApplication::focusWidget();
    if (!current || !window->isAncestorOf(current))
        current = window->focusWidget();
    if (!current)
        current = window;
    QWidget* w = current;
    // Walk the tab chain until a focusable control of this window comes up (or we are round).
    for (int guard = 0; guard < 10000; ++guard) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == current)
            return;
        if (window->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(window) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

} // namespace rimo

TTools::TTools(rimo::PlatformServices services, const QString& appPath, QWidget* parent)
    : QWidget(parent), m_platform(rimo::withLinuxDefaults(std::move(services)))
{
    setWindowTitle(rimo::texts::ToolsCaption);
    ServerConnection = new TMSConnection(this);
    ServerConnection->setObjectName(QStringLiteral("ServerConnection"));
    ServerConnection->Username = QStringLiteral("sa");
    Multiconnection = new TMSConnection(this);
    Multiconnection->setObjectName(QStringLiteral("Multiconnection"));
    Multiconnection->LoginPrompt = true;
    MSConnectDialog2 = rimo::createMSConnectDialog2(this);
    Multiconnection->ConnectDialog = MSConnectDialog2;
    MultiQAsk = new TMSQuery(this);
    MultiQAsk->setObjectName(QStringLiteral("MultiQAsk"));
    MultiQAsk->Connection = Multiconnection;
    createCommandComponents(this);
    // The stored form switches both monitors on, which builds their lists at once; a failed
    // first refresh reaches the error box and creation goes on.
    AppInfo1 = new TAppInfo(m_platform.windows, m_platform.processes, this);
    AppInfo1->setObjectName(QStringLiteral("AppInfo1"));
    ProcessInfo1 = new TProcessInfo(m_platform.processes, this);
    ProcessInfo1->setObjectName(QStringLiteral("ProcessInfo1"));
    rimo::runGuarded([this] { AppInfo1->setActive(true); });
    rimo::runGuarded([this] { ProcessInfo1->setActive(true); });
    SolarMonthCalendar1 = new TSolarMonthCalendar(this, m_platform.clock, m_platform.beeper);
    SolarMonthCalendar1->setObjectName(QStringLiteral("SolarMonthCalendar1"));
    CTILIst = new QListWidget(this);
    CTILIst->setObjectName(QStringLiteral("CTILIst"));
    CTILIst->hide();
    setAttribute(Qt::WA_DontShowOnScreen);
    AppPath = appPath;
    g_instance = this;
    FormCreate();
}

TTools::~TTools()
{
    if (g_instance == this)
        g_instance = nullptr;
}

TTools* TTools::instance()
{
    return g_instance;
}

void TTools::FormCreate()
{
    // The desktop's work area as it is at creation.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        DeskSize = screen->availableGeometry();

    // The decimal separator stays the system's until the configuration is applied again.
    rimo::imposeProgramFormats();
    SwitchToFarsi();
    fillTodaySlot();
    ReturnedParameters = QStringList(50, QString());

    if (AppPath.isEmpty())
        AppPath = QCoreApplication::applicationDirPath();
    if (!AppPath.endsWith(u'/'))
        AppPath += u'/';
    makeWorkingFolders(AppPath);

    ViewCanBeDroped = true;
    WinVer = GetWinVersion().left(3).toInt();

    if (!m_board) {
        m_board = new TMessageBoardForm(m_platform.shellOpener, this);
        m_boardWindow = m_board;
        // Every showing of the board re-imposes the formats and the Persian keyboard.
        m_board->setShowHook([this] { _SetConfigAgain(); });
    }

    LastINIFound = false;
    // Cleared after the switch above, so the first switch after creation unloads the plain
    // Persian layout once more on the versions that use the other one.
    m_unLoaded = false;
}

void TTools::SetConfigAgain(QObject*)
{
    _SetConfigAgain();
}

void TTools::_SetConfigAgain()
{
    rimo::imposeProgramFormats();
    rimo::formatSettings().decimalSeparator = u'.';
    SwitchToFarsi();
}

void TTools::SwitchToFarsi()
{
    if (WinVer == 0)
        WinVer = GetWinVersion().left(3).toInt();
    auto& kb = *m_platform.keyboard;
    if (WinVer > 510) {
        if (!m_unLoaded) {
            const quintptr handle = kb.loadAndActivate(QStringLiteral("00000429"));
            kb.unload(handle);
            m_unLoaded = true;
        }
        kb.loadAndActivate(QStringLiteral("a0000429"));
    } else {
        kb.loadAndActivate(QStringLiteral("00000429"));
    }
}

void TTools::SwitchToEnglish()
{
    m_platform.keyboard->loadAndActivate(QStringLiteral("00000409"));
}

QString TTools::GetWinVersion()
{
    return rimo::winVersionText(m_platform.osVersion->query());
}

void TTools::ShowMsg(const QString& St)
{
    m_platform.beeper->defaultBeep();
    rimo::MessageBoxRequest r;
    r.icon = rimo::MessageIcon::Information;
    r.caption = rimo::texts::MsgCaption;
    r.text = St;
    r.buttons = {rimo::texts::MsgReturnButton};
    r.escapeButton = 0;
    r.rightToLeft = true;
    r.arabicCharset = true;
    rimo::dialogs().messageBox(r);
}

void TTools::SetKeyActivateConfig(QWidget* Sender, int& Key, Qt::KeyboardModifiers Shift)
{
    if (Key == kVkReturn || Key == kVkLeft) {
        Key = 0;
        rimo::moveFocusWithin(Sender, true);
    } else if (Key == kVkRight) {
        Key = 0;
        rimo::moveFocusWithin(Sender, false);
    } else {
        SetKeyActivateJustClose(Sender, Key, Shift);
    }
}

void TTools::SetKeyActivateJustClose(QWidget* Sender, int& Key, Qt::KeyboardModifiers)
{
    if (Key == kVkEscape && Sender)
        Sender->close(); // a modal dialog closed this way ends with the cancel result
}

bool TTools::boardOnScreen() const
{
    return m_boardWindow && m_boardWindow->isVisible();
}

void TTools::FindConStr(QString& InUser, QString& InPass, QString& InServer, QString& InDatabase)
{
    if (!rimo::findFileCaseInsensitive(AppPath, QStringLiteral("Multiusers.Dat")).isEmpty()) {
        rimo::findMultiHerdSettings({*Multiconnection, *MultiQAsk, m_multiUserForm, AppPath,
                                     [this] { SwitchToEnglish(); }, [this] { SwitchToFarsi(); }},
                                    InUser, InPass, InServer, InDatabase);
        return;
    }
    const QString path = rimo::findFileCaseInsensitive(AppPath, QStringLiteral("WTimes.DLL"));
    if (path.isEmpty())
        rimo::haltProcess(0);
    QByteArray bytes;
    try {
        bytes = rimo::readWholeFile(path);
    } catch (const rimo::Error& e) {
        // An unusable file gives no settings, like an empty one: the connection that follows fails
        // with the program's connection error. The reason goes to the error output for whoever
        // installs the program.
        std::fprintf(stderr, "Rimo1: %s\n", e.what());
    }
    const QStringList settings = rimo::readScrambledSettings(bytes);
    InPass = settings[0];
    InServer = settings[1];
    InDatabase = settings[2];
    InUser = settings[3];
}
