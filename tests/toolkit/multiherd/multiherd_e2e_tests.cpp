// Multi-herd start-up through the whole stack: program entry, toolkit, access layer, FreeTDS and
// the test server, with the connect dialog and the chooser answered through the dialog seam.

#include "app/datamodule.h"
#include "app/mainwindow.h"
#include "app/program.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "platform/testing/doubles.h"
#include "tdsserver.h"
#include "toolkit/multiherd/msconnectdialog2.h"
#include "toolkit/multiherd/multiuserform.h"
#include "toolkit/scramble.h"
#include "toolkit/tools.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

const QString kConnectionError = QStringLiteral("خطا در اتصال");
const QString kConnectTitle = QStringLiteral("اتصال به بانك اصلي");
const QString kHerdA = QStringLiteral("دامداري آفتاب");
const QString kHerdB = QStringLiteral("گاوداري بهار");
const QString kHerdQuoted = QStringLiteral("مجتمع 'نمونه' شير");

struct Halted
{
    int code;
};

struct Herd
{
    QString name;
    std::string database;
};

class MultiHerd : public ::testing::Test
{
public:
    void SetUp() override
    {
        resetTerminateRequest();
        setHaltAction([](int code) { throw Halted{code}; });
        ASSERT_TRUE(m_dir.isValid());
        m_keyboard = std::make_shared<fakes::RecordingKeyboard>();
        m_os = std::make_shared<fakes::FakeOsVersion>();
        writeFile("Multiusers.Dat", "");
    }

    void TearDown() override
    {
        QFile::setPermissions(m_dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setHaltAction({});
        resetTerminateRequest();
    }

    QString serverAddress() const { return QString::fromStdString(m_server.serverSpec()); }
    QString password() const { return QString::fromStdString(m_server.password()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QByteArray readFile(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QByteArray savedConnection(const QString& pw) const
    {
        return (serverAddress() + "\r\nmaster\r\nsa\r\n" + pw + "\r\n").toUtf8();
    }

    void createMasters(const std::vector<Herd>& herds, bool withTable = true)
    {
        m_server.exec("CREATE DATABASE Masters");
        if (!withTable)
            return;
        m_server.exec("CREATE TABLE Masters (DName nvarchar(50) NOT NULL, SName nvarchar(100), "
                      "EngDName nvarchar(50), SPass nvarchar(50))",
                      "Masters");
        for (const Herd& h : herds) {
            const std::string name = QString(h.name).replace(u'\'', QStringLiteral("''")).toStdString();
            m_server.exec("INSERT INTO Masters (DName, SName, EngDName, SPass) VALUES (N'" + name + "', '" +
                              m_server.serverSpec() + "', '" + h.database + "', '" + m_server.password() +
                              "')",
                          "Masters");
        }
    }

    void dropMasters()
    {
        try {
            m_server.exec("DROP DATABASE Masters");
        } catch (const std::runtime_error&) {
            // there was none
        }
    }

    std::unique_ptr<Program> start()
    {
        PlatformServices s;
        s.keyboard = m_keyboard;
        s.osVersion = m_os;
        s.beeper = std::make_shared<fakes::RecordingBeeper>();
        return std::make_unique<Program>(ProgramOptions{s, m_dir.path()});
    }

    // Answers the connect dialog with the central server's settings; notes what it showed.
    void answerConnect(const QString& pw)
    {
        m_dialogs.execAnswers.push_back([this, pw](QDialog& d) {
            auto* f = qobject_cast<TConnectForm*>(&d);
            if (!f)
                return int(QDialog::Rejected);
            m_prefill = {f->edUsername->text(), f->edPassword->text(), f->edServer->text(),
                         f->edDatabase->text()};
            m_keysAtDialog = m_keyboard->calls;
            f->edServer->setText(serverAddress());
            f->edUsername->setText("sa");
            f->edPassword->setText(pw);
            f->btConnect->click();
            return f->result();
        });
    }

    // Answers the chooser by selecting entry `row` and pressing "ورود"; notes the listed names.
    void answerChooser(int row, std::function<void()> before = {})
    {
        m_dialogs.execAnswers.push_back([this, row, before](QDialog& d) {
            auto* f = qobject_cast<TMultiUserForm*>(&d);
            if (!f)
                return int(QDialog::Rejected);
            for (int i = 0; i < f->RadioGroup1->count(); ++i)
                m_listed << f->RadioGroup1->item(i)->text();
            if (before)
                before();
            f->RadioGroup1->setCurrentRow(row);
            f->dxButton1->click();
            return f->result();
        });
    }

    ScopedFormatSettings m_formats; // the program imposes its formats
    testsupport::TdsServer m_server;
    QTemporaryDir m_dir;
    std::shared_ptr<fakes::RecordingKeyboard> m_keyboard;
    std::shared_ptr<fakes::FakeOsVersion> m_os;
    fakes::ScopedFakeDialogs m_dialogs;
    QStringList m_prefill;
    QStringList m_keysAtDialog;
    QStringList m_listed;
};

} // namespace

TEST_F(MultiHerd, FirstStartAsksSavesAndConnectsToTheChosenHerd)
{
    m_server.exec("CREATE DATABASE HerdA");
    m_server.exec("CREATE DATABASE HerdB");
    createMasters({{kHerdB, "HerdB"}, {kHerdA, "HerdA"}});
    answerConnect(password());
    answerChooser(1);

    // No single-herd file: a missing one would halt the process (Halted thrown).
    auto program = start();
    EXPECT_EQ(m_dialogs.execTitles, (QStringList{kConnectTitle, QString()}));
    EXPECT_EQ(m_prefill, (QStringList{"", "", "", "master"}));
    EXPECT_EQ(readFile("MultiConnect.Dat"), savedConnection(password()));

    EXPECT_EQ(m_listed, (QStringList{kHerdA, kHerdB})) << "sorted by DName";
    TMSConnection* herd = program->dataModule()->HConnection;
    EXPECT_TRUE(herd->Connected());
    EXPECT_EQ(herd->Database, "HerdB");
    EXPECT_EQ(herd->Server, serverAddress());
    EXPECT_EQ(herd->Username, "sa");
    EXPECT_EQ(herd->Password, password());

    TMSConnection* central = program->tools()->Multiconnection;
    EXPECT_TRUE(central->Connected());
    EXPECT_EQ(central->Database, "Masters");
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
    EXPECT_FALSE(terminateRequested());
}

TEST_F(MultiHerd, LaterStartUsesTheSavedFileWithoutDialogAndRewritesIt)
{
    m_server.exec("CREATE DATABASE HerdA");
    createMasters({{kHerdA, "HerdA"}});
    // Saved by another installation: byte-order mark, LF ends, a stray fifth line, odd letter case.
    writeFile("multiconnect.dat",
              "\xEF\xBB\xBF" + (serverAddress() + "\nmaster\nsa\n" + password() + "\nextra\n").toUtf8());
    answerChooser(0);

    auto program = start();
    EXPECT_EQ(m_dialogs.execTitles, QStringList{QString()}) << "only the chooser";
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
    EXPECT_EQ(readFile("multiconnect.dat"), savedConnection(password()));
    EXPECT_FALSE(QFile::exists(path("MultiConnect.Dat")) &&
                 QDir(m_dir.path()).entryList({"*.dat"}).size() > 1);
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
    EXPECT_FALSE(terminateRequested());
}

TEST_F(MultiHerd, SingleHerdFileIsIgnored)
{
    m_server.exec("CREATE DATABASE HerdA");
    m_server.exec("CREATE DATABASE SingleHerd");
    createMasters({{kHerdA, "HerdA"}});
    QByteArray single;
    for (const QString& line :
         {password(), serverAddress(), QStringLiteral("SingleHerd"), QStringLiteral("sa")})
        single += FindXOR(line).toUtf8() + "\r\n";
    writeFile("WTimes.DLL", single);
    writeFile("MultiConnect.Dat", savedConnection(password()));
    answerChooser(0);

    auto program = start();
    EXPECT_EQ(program->dataModule()->HConnection->Database, "HerdA");
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
}

// Every way the selection ends the program before a herd is chosen: the data module's own
// attempt with empty settings is the only message.
TEST_F(MultiHerd, FailuresEndTheProgramWithOnlyTheConnectionError)
{
    struct Case
    {
        const char* name;
        std::function<void(MultiHerd&)> arrange;
        QStringList shown; // titles of the windows run
    };
    const QStringList chooser{QString()};
    const Case cases[] = {
        {"wrong saved settings",
         [](MultiHerd& t) { t.writeFile("MultiConnect.Dat", t.savedConnection("wrong")); },
         {}},
        {"connect dialog cancelled", [](MultiHerd&) {}, {kConnectTitle}},
        {"login refused", [](MultiHerd& t) { t.answerConnect("wrong"); }, {kConnectTitle}},
        {"no Masters database",
         [](MultiHerd& t) { t.writeFile("MultiConnect.Dat", t.savedConnection(t.password())); },
         {}},
        {"empty Masters table",
         [](MultiHerd& t) {
             t.createMasters({});
             t.writeFile("MultiConnect.Dat", t.savedConnection(t.password()));
         },
         {}},
        {"chooser cancelled",
         [](MultiHerd& t) {
             t.createMasters({{kHerdA, "HerdA"}});
             t.writeFile("MultiConnect.Dat", t.savedConnection(t.password()));
         },
         chooser},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MultiHerd& t = *this;
        resetTerminateRequest();
        m_dialogs.messages.clear();
        m_dialogs.execTitles.clear();
        m_dialogs.execAnswers.clear();
        QDir(m_dir.path()).remove("MultiConnect.Dat");
        c.arrange(t);
        const QByteArray savedBefore = readFile("MultiConnect.Dat");

        auto program = start();
        EXPECT_TRUE(terminateRequested());
        EXPECT_EQ(m_dialogs.execTitles, c.shown);
        EXPECT_EQ(m_dialogs.texts(), QStringList{kConnectionError});
        TMSConnection* herd = program->dataModule()->HConnection;
        EXPECT_FALSE(herd->Connected());
        EXPECT_EQ(herd->Username, "");
        EXPECT_EQ(herd->Server, "");
        if (c.shown.isEmpty() || c.shown == chooser)
            EXPECT_EQ(readFile("MultiConnect.Dat"), savedBefore) << "not rewritten after a failed connection";
        else
            EXPECT_FALSE(QFile::exists(path("MultiConnect.Dat")));
        program.reset(); // lets go of the directory database
        dropMasters();
    }
}

TEST_F(MultiHerd, HerdNameWithAQuoteIsFound)
{
    m_server.exec("CREATE DATABASE HerdQ");
    createMasters({{kHerdA, "HerdA"}, {kHerdQuoted, "HerdQ"}});
    writeFile("MultiConnect.Dat", savedConnection(password()));
    answerChooser(1);

    auto program = start();
    ASSERT_EQ(m_listed, (QStringList{kHerdA, kHerdQuoted}));
    EXPECT_EQ(program->dataModule()->HConnection->Database, "HerdQ");
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
    EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

// A name typed on a Persian keyboard (yeh U+06CC, Persian digits) is outside the code page of a plain
// literal: the chosen herd is found only because the name goes as N'...' to the nvarchar DName.
TEST_F(MultiHerd, PersianNameOutsideTheCodePageIsFound)
{
    const QString persian = QStringLiteral("دامداری ۱۲");
    m_server.exec("CREATE DATABASE HerdP");
    createMasters({{kHerdA, "HerdA"}, {persian, "HerdP"}});
    writeFile("MultiConnect.Dat", savedConnection(password()));
    answerChooser(1); // the list is sorted by name: U+064A before U+06CC

    auto program = start();
    ASSERT_EQ(m_listed, (QStringList{kHerdA, persian}));
    EXPECT_EQ(program->dataModule()->HConnection->Database, "HerdP");
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
}

TEST_F(MultiHerd, SameNameTwiceTakesTheFirstRow)
{
    m_server.exec("CREATE DATABASE HerdFirst");
    createMasters({{kHerdA, "HerdFirst"}, {kHerdA, "HerdSecond"}});
    writeFile("MultiConnect.Dat", savedConnection(password()));
    answerChooser(1);

    auto program = start();
    EXPECT_EQ(m_listed, (QStringList{kHerdA, kHerdA}));
    EXPECT_EQ(program->dataModule()->HConnection->Database, "HerdFirst");
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
}

TEST_F(MultiHerd, HerdRemovedBeforeChoosingGivesOnlyTheUser)
{
    m_server.exec("CREATE DATABASE HerdA");
    createMasters({{kHerdA, "HerdA"}, {kHerdB, "HerdB"}});
    writeFile("MultiConnect.Dat", savedConnection(password()));
    answerChooser(0, [this] { m_server.exec("DELETE FROM Masters WHERE EngDName = 'HerdA'", "Masters"); });

    auto program = start();
    TMSConnection* herd = program->dataModule()->HConnection;
    EXPECT_EQ(herd->Username, "sa");
    EXPECT_EQ(herd->Password, "");
    EXPECT_EQ(herd->Server, "");
    EXPECT_EQ(herd->Database, "");
    EXPECT_FALSE(herd->Connected());
    EXPECT_EQ(m_dialogs.texts(), QStringList{kConnectionError});
    EXPECT_TRUE(terminateRequested());
}

TEST_F(MultiHerd, MissingMastersTableReachesTheErrorBoxAndTheMainWindow)
{
    createMasters({}, /*withTable=*/false);
    writeFile("MultiConnect.Dat", savedConnection(password()));

    auto program = start();
    ASSERT_EQ(m_dialogs.messages.size(), 1);
    EXPECT_EQ(m_dialogs.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(m_dialogs.messages[0].caption, "Rimo1");
    EXPECT_TRUE(m_dialogs.messages[0].text.contains("Invalid object name 'Masters'"))
        << m_dialogs.texts().join("|").toStdString();
    EXPECT_TRUE(m_dialogs.execTitles.isEmpty()) << "no chooser";
    EXPECT_FALSE(terminateRequested()) << "the program goes on to its main window";
    TMSConnection* herd = program->dataModule()->HConnection;
    EXPECT_FALSE(herd->Connected());
    EXPECT_EQ(herd->Server, "");

    // The repairs then fail with the access layer's error.
    program->form()->dxButton9->click();
    program->form()->btn1->click();
    ASSERT_EQ(m_dialogs.messages.size(), 3);
    for (int i : {1, 2}) {
        EXPECT_EQ(m_dialogs.messages[i].icon, MessageIcon::Critical);
        EXPECT_FALSE(m_dialogs.messages[i].text.isEmpty());
    }
}

TEST_F(MultiHerd, KeyboardIsEnglishForTheDialogAndPersianAfter)
{
    m_os->facts = OsVersionFacts{2, 6, 1, {}, "WINNT"}; // Windows 7: the separate Persian layout
    m_server.exec("CREATE DATABASE HerdA");
    createMasters({{kHerdA, "HerdA"}});
    answerConnect(password());
    answerChooser(0);

    auto program = start();
    const QStringList creation{"load:00000429", "unload:00000429", "load:a0000429"};
    EXPECT_EQ(m_keysAtDialog, creation + QStringList{"load:00000409"});
    // Creation resets the one-time unload, so the first switch back repeats it.
    EXPECT_EQ(m_keyboard->calls, creation + QStringList{"load:00000409"} + creation);
    EXPECT_TRUE(program->dataModule()->HConnection->Connected());
}

TEST_F(MultiHerd, WriteProtectedSavedFileOrFolderEndsTheProgramSilently)
{
    m_server.exec("CREATE DATABASE HerdA");
    createMasters({{kHerdA, "HerdA"}});
    const QFileDevice::Permissions readOnly =
        QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    {
        SCOPED_TRACE("read-only MultiConnect.Dat");
        // Right settings in a different layout, so a rewrite would show.
        const QByteArray saved = (serverAddress() + "\nmaster\nsa\n" + password()).toUtf8();
        writeFile("MultiConnect.Dat", saved);
        ASSERT_TRUE(QFile::setPermissions(path("MultiConnect.Dat"), readOnly));
        auto program = start();
        EXPECT_TRUE(program->tools()->Multiconnection->Connected()) << "the central connection succeeded";
        EXPECT_TRUE(terminateRequested());
        EXPECT_TRUE(m_dialogs.execTitles.isEmpty());
        EXPECT_EQ(m_dialogs.texts(), QStringList{kConnectionError});
        EXPECT_EQ(readFile("MultiConnect.Dat"), saved);
        // The end keeps the English layout: the switch back is skipped.
        EXPECT_EQ(m_keyboard->calls.last(), "load:00000409");
        QFile::setPermissions(path("MultiConnect.Dat"), readOnly | QFileDevice::WriteOwner);
        QFile::remove(path("MultiConnect.Dat"));
    }
    {
        SCOPED_TRACE("read-only program folder");
        resetTerminateRequest();
        m_dialogs.messages.clear();
        m_dialogs.execTitles.clear();
        answerConnect(password());
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        auto program = start();
        QFile::setPermissions(m_dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_TRUE(program->tools()->Multiconnection->Connected()) << "the central connection succeeded";
        EXPECT_EQ(m_dialogs.execTitles, QStringList{kConnectTitle});
        EXPECT_TRUE(terminateRequested());
        EXPECT_EQ(m_dialogs.texts(), QStringList{kConnectionError});
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Multiusers.Dat"});
    }
}
