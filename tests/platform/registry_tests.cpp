#include "core/error.h"
#include "fileaccess.h"
#include "platform/autostartkey.h"
#include "platform/desktopentry.h"
#include "platform/linuxregistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace rimo;

namespace {

class RegistryStoreTest : public ::testing::Test
{
protected:
    LinuxRegistryFolders folders() const
    {
        return {m_dir.filePath(QStringLiteral("user")), m_dir.filePath(QStringLiteral("machine")),
                m_dir.filePath(QStringLiteral("autostart"))};
    }
    QTemporaryDir m_dir;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(RegistryPath, SplitsAtBackslashesDroppingEmptyNames)
{
    EXPECT_EQ(registryPathNames("\\SOFTWARE\\Microsoft\\\\Run\\"),
              QStringList({"SOFTWARE", "Microsoft", "Run"}));
    EXPECT_TRUE(registryPathNames("\\").isEmpty());
    EXPECT_TRUE(registryPathNames("").isEmpty());
}

TEST_F(RegistryStoreTest, KeysAreFoundInAnyLetterCaseAndCreatedOnlyWhenAsked)
{
    LinuxRegistry store(folders());
    EXPECT_EQ(store.open(RegistryRoot::CurrentUser, "Software\\Rimo", RegistryAccess::Full, false), nullptr);
    auto key = store.open(RegistryRoot::CurrentUser, "Software\\Rimo\\Herd", RegistryAccess::Full, true);
    ASSERT_NE(key, nullptr);
    key->writeText("Item", "1");
    key->writeText("", "default");
    key.reset();

    auto same = store.open(RegistryRoot::CurrentUser, "\\SOFTWARE\\rimo\\HERD", RegistryAccess::Read, false);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->readText("ITEM"), QString("1"));
    EXPECT_EQ(same->readText(""), QString("default"));
    EXPECT_EQ(same->readText("Missing"), std::nullopt);
    EXPECT_EQ(same->valueNames(), QStringList({"Item", ""}));

    // Each level above was made on the way, and lists its subkey as first written.
    auto parent = store.open(RegistryRoot::CurrentUser, "software", RegistryAccess::Read, false);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->subkeyNames(), QStringList({"Rimo"}));
}

TEST_F(RegistryStoreTest, ANumberReadAsTextRaisesAnErrorNamingTheValue)
{
    LinuxRegistry store(folders());
    auto key = store.open(RegistryRoot::CurrentUser, "K", RegistryAccess::Full, true);
    key->writeNumber("Count", 7);
    try {
        (void)key->readText("Count");
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "Invalid data type for 'Count'");
    }
    // Written again as text, it reads.
    key->writeText("Count", "8");
    EXPECT_EQ(key->readText("Count"), QString("8"));
}

TEST_F(RegistryStoreTest, AKeyOpenedForReadingRefusesWrites)
{
    LinuxRegistry store(folders());
    store.open(RegistryRoot::CurrentUser, "K", RegistryAccess::Full, true);
    auto key = store.open(RegistryRoot::CurrentUser, "K", RegistryAccess::Read, false);
    EXPECT_THROW(key->writeText("A", "1"), Error);
}

TEST_F(RegistryStoreTest, TwoProgramsKeepEachOthersWritesOnDisk)
{
    LinuxRegistry first(folders());
    LinuxRegistry second(folders());
    auto a = first.open(RegistryRoot::CurrentUser, "Shared", RegistryAccess::Full, true);
    auto b = second.open(RegistryRoot::CurrentUser, "shared", RegistryAccess::Full, true);
    a->writeText("FromA", "a");
    b->writeText("FromB", "b");
    EXPECT_EQ(a->readText("FromB"), QString("b"));
    a.reset();
    b.reset();
    LinuxRegistry later(folders());
    auto c = later.open(RegistryRoot::CurrentUser, "SHARED", RegistryAccess::Read, false);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->valueNames(), QStringList({"FromA", "FromB"}));
}

TEST_F(RegistryStoreTest, DeletingATreeTakesEverythingBelowAndNothingBeside)
{
    LinuxRegistry store(folders());
    store.open(RegistryRoot::CurrentUser, "A\\B\\C", RegistryAccess::Full, true)->writeText("x", "1");
    store.open(RegistryRoot::CurrentUser, "A\\B", RegistryAccess::Full, true)->writeText("y", "2");
    store.open(RegistryRoot::CurrentUser, "A\\BC", RegistryAccess::Full, true)->writeText("z", "3");
    EXPECT_TRUE(store.deleteTree(RegistryRoot::CurrentUser, "a\\b"));
    EXPECT_EQ(store.open(RegistryRoot::CurrentUser, "A\\B", RegistryAccess::Read, false), nullptr);
    EXPECT_EQ(store.open(RegistryRoot::CurrentUser, "A\\B\\C", RegistryAccess::Read, false), nullptr);
    auto sibling = store.open(RegistryRoot::CurrentUser, "A\\BC", RegistryAccess::Read, false);
    ASSERT_NE(sibling, nullptr); // a name that only starts like the deleted one stays
    EXPECT_EQ(sibling->readText("z"), QString("3"));
    // A new key made where the old one was starts empty.
    auto fresh = store.open(RegistryRoot::CurrentUser, "A\\B", RegistryAccess::Full, true);
    EXPECT_TRUE(fresh->valueNames().isEmpty());
    EXPECT_TRUE(fresh->subkeyNames().isEmpty());
}

TEST_F(RegistryStoreTest, ClassesRootShowsTheUsersClassesOverTheMachinesAndWritesTheMachines)
{
    LinuxRegistry store(folders());
    store.open(RegistryRoot::LocalMachine, "Software\\Classes\\.abc", RegistryAccess::Full, true)
        ->writeText("", "MachineType");
    store.open(RegistryRoot::LocalMachine, "Software\\Classes\\.abc", RegistryAccess::Full, true)
        ->writeText("Content Type", "text/abc");
    store.open(RegistryRoot::CurrentUser, "Software\\Classes\\.abc", RegistryAccess::Full, true)
        ->writeText("", "UserType");

    auto merged = store.open(RegistryRoot::ClassesRoot, ".ABC", RegistryAccess::Read, false);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->readText(""), QString("UserType"));
    EXPECT_EQ(merged->readText("Content Type"), QString("text/abc"));

    auto writable = store.open(RegistryRoot::ClassesRoot, ".xyz", RegistryAccess::Full, true);
    ASSERT_NE(writable, nullptr);
    writable->writeText("", "XyzFile");
    auto machine =
        store.open(RegistryRoot::LocalMachine, "software\\classes\\.xyz", RegistryAccess::Read, false);
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(machine->readText(""), QString("XyzFile"));
    EXPECT_EQ(store.open(RegistryRoot::CurrentUser, "software\\classes\\.xyz", RegistryAccess::Read, false),
              nullptr);
}

TEST_F(RegistryStoreTest, TheMachineHiveIsReadOnlyToAUserWhoMayNotWriteIt)
{
    {
        LinuxRegistry asOwner(folders());
        asOwner.open(RegistryRoot::LocalMachine, "SOFTWARE\\Rimo", RegistryAccess::Full, true)
            ->writeText("A", "1");
    }
    // The machine's folder and file as a system folder has them: everyone reads, only the owner
    // writes. The user's hive belongs to the user.
    const QString machine = folders().machineHive;
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(machine).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(machine + "/machine.db").constData(), 0644), 0);
    testsupport::FileAccessAsUser user;
    ASSERT_TRUE(QDir().mkpath(folders().userHive));
    ASSERT_TRUE(user.own(folders().userHive));
    ASSERT_TRUE(user.enter());

    LinuxRegistry store(folders());
    EXPECT_EQ(store.open(RegistryRoot::LocalMachine, "SOFTWARE\\Rimo", RegistryAccess::Full, false), nullptr);
    EXPECT_EQ(store.open(RegistryRoot::LocalMachine, "SOFTWARE\\Rimo", RegistryAccess::Write, false),
              nullptr);
    EXPECT_EQ(store.open(RegistryRoot::LocalMachine, "SOFTWARE\\New", RegistryAccess::Full, true), nullptr);
    EXPECT_FALSE(store.deleteTree(RegistryRoot::LocalMachine, "SOFTWARE"));
    auto readable = store.open(RegistryRoot::LocalMachine, "software\\rimo", RegistryAccess::Read, false);
    ASSERT_NE(readable, nullptr);
    EXPECT_EQ(readable->readText("A"), QString("1"));
    // The user's own hive stays writable.
    auto own = store.open(RegistryRoot::CurrentUser, "Mine", RegistryAccess::Full, true);
    ASSERT_NE(own, nullptr);
    EXPECT_NO_THROW(own->writeText("B", "2"));
    user.leave();
}

// The machine's Run key is the autostart folder.
class RunKeyTest : public RegistryStoreTest
{
protected:
    void SetUp() override { QDir().mkpath(folders().systemAutostart); }
    void writeEntry(const QString& file, const QByteArray& text)
    {
        QFile f(QDir(folders().systemAutostart).filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    std::unique_ptr<RegistryKey> run(LinuxRegistry& store, RegistryAccess access = RegistryAccess::Full)
    {
        return store.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                          access, false);
    }
};

TEST_F(RunKeyTest, ListsEntriesInFileNameOrderByNameWithTheProgramQuoted)
{
    writeEntry("b.desktop", "[Desktop Entry]\nType=Application\nName=Beta\nExec=/usr/bin/beta --tray\n");
    writeEntry("a.desktop", "[Desktop Entry]\nType=Application\nName=Alpha\nExec=\"/opt/my app/alpha\"\n");
    writeEntry("noname.desktop", "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
    writeEntry("notes.txt", "Name=Not an entry\n");
    LinuxRegistry store(folders());
    auto key = run(store);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->valueNames(), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(key->readText("alpha"), QString("\"/opt/my app/alpha\""));
    EXPECT_EQ(key->readText("Beta"), QString("\"/usr/bin/beta\" --tray"));
}

TEST_F(RunKeyTest, WritingReplacesTheEntryOfThatNameInAnyCaseKeepingItsOtherLines)
{
    writeEntry("herd.desktop",
               "[Desktop Entry]\nType=Application\nName=Herd Tool\nComment=keep me\nExec=/old/herd\n");
    LinuxRegistry store(folders());
    run(store)->writeText("HERD TOOL", "\"/new/herd tool\"");
    const QStringList files = QDir(folders().systemAutostart).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList({"herd.desktop"}));
    const auto entry = DesktopEntryFile::parse(readAll(folders().systemAutostart + "/herd.desktop"));
    EXPECT_EQ(entry.value("Desktop Entry", "Name"), "Herd Tool");
    EXPECT_EQ(entry.value("Desktop Entry", "Comment"), "keep me");
    EXPECT_EQ(entry.value("Desktop Entry", "Exec"), "\"/new/herd tool\"");
    EXPECT_EQ(run(store)->readText("herd tool"), QString("\"/new/herd tool\""));
}

TEST_F(RunKeyTest, ANewEntryGetsAFileNamedFromTheTitleThatStaysInTheFolder)
{
    LinuxRegistry store(folders());
    auto key = run(store);
    key->writeText("../../etc/evil", "\"/usr/bin/a$b\" x");
    key->writeText("..", "\"/usr/bin/dots\"");
    key->writeText("", "\"/usr/bin/blank\"");
    const QStringList files = QDir(folders().systemAutostart).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), 3);
    EXPECT_TRUE(files.contains("______etc_evil.desktop"));
    EXPECT_TRUE(files.contains("__.desktop"));
    EXPECT_TRUE(files.contains("entry.desktop"));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("etc/evil.desktop")));
    const auto entry =
        DesktopEntryFile::parse(readAll(folders().systemAutostart + "/______etc_evil.desktop"));
    EXPECT_EQ(entry.value("Desktop Entry", "Type"), "Application");
    EXPECT_EQ(entry.value("Desktop Entry", "Name"), "../../etc/evil");
    // Quoted and escaped as the desktop entry format asks: "$" behind a backslash inside
    // the quotes, the backslash itself doubled as a string escape.
    EXPECT_EQ(*entry.rawValue("Desktop Entry", "Exec"), "\"/usr/bin/a\\\\$b\" \"x\"");
    EXPECT_EQ(key->readText("../../etc/evil"), QString("\"/usr/bin/a$b\" x"));
}

TEST_F(RunKeyTest, AMissingFolderGivesNoKeyAndAnUnwritableOneOnlyReads)
{
    LinuxRegistryFolders missing = folders();
    missing.systemAutostart = m_dir.filePath("nowhere");
    LinuxRegistry none(missing);
    EXPECT_EQ(run(none), nullptr);
    EXPECT_EQ(run(none, RegistryAccess::Read), nullptr);
    EXPECT_FALSE(QDir(missing.systemAutostart).exists()); // never created

    writeEntry("a.desktop", "[Desktop Entry]\nName=A\nExec=/bin/a\n");
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folders().systemAutostart).constData(), 0755), 0);
    testsupport::FileAccessAsUser user;
    ASSERT_TRUE(user.enter());
    LinuxRegistry store(folders());
    EXPECT_EQ(run(store), nullptr);
    auto reading = run(store, RegistryAccess::Read);
    ASSERT_NE(reading, nullptr);
    EXPECT_EQ(reading->valueNames(), QStringList({"A"}));
    user.leave();
}

TEST(AutostartCommand, SplitsAndJoinsCommandTexts)
{
    EXPECT_EQ(splitAutostartCommand("\"/opt/a b/x\" -q \"two words\""),
              QStringList({"/opt/a b/x", "-q", "two words"}));
    EXPECT_EQ(splitAutostartCommand("  /bin/x  "), QStringList({"/bin/x"}));
    EXPECT_TRUE(splitAutostartCommand("   ").isEmpty());
    EXPECT_EQ(autostartCommandText({"/opt/a b/x", "-q", "two words"}), "\"/opt/a b/x\" -q \"two words\"");
    EXPECT_EQ(autostartFileBase(QString::fromUtf8("گله/1.x")), QString::fromUtf8("گله_1_x"));
}
