#include "board/boardrows.h"
#include "core/error.h"
#include "registryharness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace rimo;
using rimo::testing::RegistryHarness;

namespace {

const QString kExplorer = QStringLiteral("Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer");

std::vector<board::Row> rowsOf(const TMessageBoardForm& board)
{
    return board.rows().rows();
}

void writeEntry(const QString& folder, const QString& file, const QByteArray& text)
{
    QDir().mkpath(folder);
    QFile f(QDir(folder).filePath(file));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(RegistrySettings, ReadsSectionsValuesAndDefaults)
{
    RegistryHarness h;
    h.real->open(RegistryRoot::CurrentUser, "Software\\Rimo\\S", RegistryAccess::Full, true)
        ->writeText("Present", "v");

    struct Case
    {
        const char* section;
        const char* item;
        const char* def;
        const char* expected;
    } cases[] = {
        {"Missing", "Present", "x", "x"}, // a missing section gives the default
        {"Missing", "Present", "", ""},   {"S", "Present", "x", "v"},
        {"S", "Absent", "x", "x"}, // missing value, default given
        {"S", "Absent", "", ""},   // missing value, no default
        {"s", "PRESENT", "", "v"}, // other letter case
    };
    for (const Case& c : cases) {
        EXPECT_EQ(h.ReadRegistery("software\\rimo", c.section, c.item, c.def), c.expected)
            << c.section << "/" << c.item << "/" << c.def;
    }
}

TEST(RegistrySettings, AWrittenValueIsReadBackOnlyWithAnEmptySection)
{
    RegistryHarness h;
    h.WriteRegistery("Software\\K", "A", "1");
    EXPECT_EQ(h.ReadRegistery("Software\\K", "", "A", "x"), "1");
    EXPECT_EQ(h.ReadRegistery("Software\\K", "S", "A", "x"), "x");
    EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, "SOFTWARE\\k", "a"), QString("1"));
}

TEST(RegistrySettings, AReadCreatesItsKey)
{
    RegistryHarness h;
    EXPECT_EQ(h.ReadRegistery("Software\\New\\Key", "Section", "Item", "d"), "d");
    EXPECT_NE(h.real->open(RegistryRoot::CurrentUser, "Software\\New\\Key", RegistryAccess::Read, false),
              nullptr);
    EXPECT_EQ(
        h.real->open(RegistryRoot::CurrentUser, "Software\\New\\Key\\Section", RegistryAccess::Read, false),
        nullptr);
}

TEST(RegistrySettings, ANumberValueRaisesTheDataTypeError)
{
    RegistryHarness h;
    h.real->open(RegistryRoot::CurrentUser, "K", RegistryAccess::Full, true)->writeNumber("Count", 3);
    try {
        h.ReadRegistery("K", "", "Count", "d");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("'Count'")) << e.text().toStdString();
    }
}

TEST(RegistrySettings, ClearDeletesTheTreeAndRefusesABlankKey)
{
    RegistryHarness h;
    h.WriteRegistery("Software\\Rimo", "Top", "1");
    h.WriteRegistery("Software\\Rimo\\Deep\\Deeper", "Low", "2");
    h.WriteRegistery("Software\\Other", "Keep", "3");
    h.ClearRegistery("software\\RIMO");
    EXPECT_EQ(h.real->open(RegistryRoot::CurrentUser, "Software\\Rimo", RegistryAccess::Read, false),
              nullptr);
    EXPECT_EQ(
        h.real->open(RegistryRoot::CurrentUser, "Software\\Rimo\\Deep\\Deeper", RegistryAccess::Read, false),
        nullptr);
    EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, "Software\\Other", "Keep"), QString("3"));

    // Every path that names no key at all is the hive's root.
    for (const char* blank : {"", "\\", "\\\\"}) {
        EXPECT_THROW(h.ClearRegistery(blank), Error) << blank;
        EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, "Software\\Other", "Keep"), QString("3")) << blank;
    }
}

TEST(RegistrySettings, ShellFoldersAreTheUsersDesktopAndAutostartFolders)
{
    RegistryHarness h;
    EXPECT_EQ(h.DeskTopPath(), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    const QString autostart =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart";
    EXPECT_EQ(h.StartupPath(), autostart + "/");
    EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, kExplorer + "\\Shell Folders", "Startup"), autostart);

    // No store to read from: the separator alone.
    auto failing = std::make_shared<fakes::FailingRegistry>(std::make_shared<RegistryHarness>()->real);
    failing->failingOpen = 1;
    RegistryHarness broken(failing);
    EXPECT_EQ(broken.StartupPath(), "/");
    EXPECT_EQ(broken.DeskTopPath(), "");
}

TEST(StartupList, ComparesTheTrimmedQuotedPathExactly)
{
    RegistryHarness h;
    writeEntry(h.folders.systemAutostart, "a.desktop",
               "[Desktop Entry]\nType=Application\nName=Herd\nExec=/opt/rimo/Herd\n");
    writeEntry(h.folders.systemAutostart, "b.desktop",
               "[Desktop Entry]\nType=Application\nName=Tool\nExec=\"/opt/my tools/tool\"\n");
    EXPECT_TRUE(h.IsThisProgramInStartUp("  /opt/rimo/Herd \t"));
    EXPECT_TRUE(h.IsThisProgramInStartUp("/opt/my tools/tool"));
    EXPECT_FALSE(h.IsThisProgramInStartUp("/opt/rimo/herd"));     // other letter case
    EXPECT_FALSE(h.IsThisProgramInStartUp("\"/opt/rimo/Herd\"")); // quotes given: doubled
    EXPECT_FALSE(h.IsThisProgramInStartUp("Herd"));               // the names are not looked at
}

TEST(StartupList, AddingReplacesTheEntryOfThatTitleAndTheBoardListsThem)
{
    RegistryHarness h;
    writeEntry(h.folders.systemAutostart, "herd.desktop",
               "[Desktop Entry]\nType=Application\nName=Herd\nExec=/old/herd\n");
    h.AddToStartupProgram("  herd ", " /new/herd ");
    h.AddToStartupProgram("Zeta", "/usr/bin/zeta");
    EXPECT_TRUE(h.IsThisProgramInStartUp("/new/herd"));
    EXPECT_FALSE(h.IsThisProgramInStartUp("/old/herd"));
    EXPECT_EQ(QDir(h.folders.systemAutostart).entryList(QDir::Files, QDir::Name),
              QStringList({"Zeta.desktop", "herd.desktop"}));

    // In file-name order, byte by byte.
    h.ShowStartupProgram();
    EXPECT_EQ(rowsOf(h.board),
              (std::vector<board::Row>{{"Zeta", "\"/usr/bin/zeta\""}, {"Herd", "\"/new/herd\""}}));
}

TEST(StartupList, AMissingFolderShowsNothingAndWritesNothing)
{
    RegistryHarness h; // the autostart folder was never made
    h.ShowStartupProgram();
    EXPECT_FALSE(h.board.isVisible());
    EXPECT_TRUE(rowsOf(h.board).empty());
    EXPECT_FALSE(h.IsThisProgramInStartUp("/x"));
    h.AddToStartupProgram("X", "/x");
    EXPECT_FALSE(QDir(h.folders.systemAutostart).exists());
}

namespace {

void expectLayout(RegistryHarness& h, RegistryRoot root, const QString& prefix, const QString& insertFlag)
{
    const QString exe = QCoreApplication::applicationFilePath();
    const std::pair<QString, std::optional<QString>> expected[] = {
        {".abc", "AbcFile"},
        {"AbcFile", QString::fromUtf8("گزارشگير پلوند")},
        {"AbcFile\\DefaultIcon", exe + ",0"},
        {"AbcFile\\Shell\\execute", QString::fromUtf8("   اجرا با پلوند")},
        {"AbcFile\\Shell\\execute\\command", "\"" + exe + "\" \"%1\""},
        {"AbcFile\\Shell\\ZOpen", QString::fromUtf8("    ويرايش با پلوند")},
        {"AbcFile\\Shell\\ZOpen\\command", "\"" + exe + "\"/o \"%1\""},
        {"AbcFile\\Shell\\ZZInsert", QString::fromUtf8("    اضافه به ليست")},
        {"AbcFile\\Shell\\ZZInsert\\command", "\"" + exe + "\"" + insertFlag + " \"%1\""},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(h.stored(root, prefix + key), value) << key.toStdString();
    auto shell = h.real->open(root, prefix + "AbcFile\\Shell", RegistryAccess::Read, false);
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->subkeyNames(), QStringList({"execute", "ZOpen", "ZZInsert"}));
}

} // namespace

TEST(FileAssociation, LaterVersionsWriteTheUsersClasses)
{
    RegistryHarness h;
    h.winVer = 600;
    h.SetFileAssociate(".abc", "AbcFile");
    expectLayout(h, RegistryRoot::CurrentUser, "software\\classes\\", "/a");
    EXPECT_EQ(h.stored(RegistryRoot::LocalMachine, "Software\\Classes\\.abc"), std::nullopt);
    EXPECT_EQ(h.notifier->notifications, 1);
    EXPECT_TRUE(h.messages.isEmpty());
}

TEST(FileAssociation, Version510WritesTheMachinesClasses)
{
    RegistryHarness h;
    h.winVer = 510;
    h.SetFileAssociate(".abc", "AbcFile");
    expectLayout(h, RegistryRoot::LocalMachine, "Software\\Classes\\", "/A");
    expectLayout(h, RegistryRoot::ClassesRoot, "", "/A");
    EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, "software\\classes\\.abc"), std::nullopt);
    EXPECT_EQ(h.notifier->notifications, 1);
}

TEST(FileAssociation, OlderVersionsOnlyShowTheMessage)
{
    for (int version : {500, 0}) {
        RegistryHarness h;
        h.winVer = version;
        h.SetFileAssociate(".abc", "AbcFile");
        EXPECT_EQ(h.messages, QStringList({QString::fromUtf8("عدم ثبت پسوندها")}));
        EXPECT_EQ(h.GetFileAssociate(".abc"), "");
        EXPECT_EQ(h.stored(RegistryRoot::CurrentUser, "software\\classes\\.abc"), std::nullopt);
        EXPECT_EQ(h.stored(RegistryRoot::ClassesRoot, ".abc"), std::nullopt);
        EXPECT_EQ(h.notifier->notifications, 0);
    }
}

TEST(FileAssociation, AFailureAtStepFourRaisesAt510AndEndsQuietlyLater)
{
    for (int version : {510, 600}) {
        RegistryHarness inner;
        auto failing = std::make_shared<fakes::FailingRegistry>(inner.real);
        RegistryHarness h(failing);
        h.real = inner.real;
        h.winVer = version;
        // The Shell Folders refresh is the first open, then steps 1 to 3; step 4's open fails.
        failing->failingOpen = 5;
        const QString prefix = version == 510 ? "Software\\Classes\\" : "software\\classes\\";
        const RegistryRoot root = version == 510 ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
        if (version == 510)
            EXPECT_THROW(h.SetFileAssociate(".abc", "AbcFile"), Error);
        else
            EXPECT_NO_THROW(h.SetFileAssociate(".abc", "AbcFile"));
        EXPECT_EQ(h.stored(root, prefix + ".abc"), QString("AbcFile"));
        EXPECT_TRUE(h.stored(root, prefix + "AbcFile").has_value());
        EXPECT_TRUE(h.stored(root, prefix + "AbcFile\\DefaultIcon").has_value());
        EXPECT_EQ(h.real->open(root, prefix + "AbcFile\\Shell", RegistryAccess::Read, false), nullptr);
        EXPECT_EQ(h.notifier->notifications, 0);
        EXPECT_TRUE(h.messages.isEmpty());
    }
}

TEST(FileAssociation, GetReadsTheOpenCommandOfTheType)
{
    RegistryHarness h;
    h.real->open(RegistryRoot::LocalMachine, "Software\\Classes\\.abc", RegistryAccess::Full, true)
        ->writeText("", "AbcFile");
    EXPECT_EQ(h.GetFileAssociate(".abc"), ""); // no open command
    h.real
        ->open(RegistryRoot::LocalMachine, "Software\\Classes\\AbcFile\\Shell\\Open\\Command",
               RegistryAccess::Full, true)
        ->writeText("", "\"/opt/abc\" \"%1\"");
    EXPECT_EQ(h.GetFileAssociate(".ABC"), "\"/opt/abc\" \"%1\"");
    EXPECT_EQ(h.GetFileAssociate("abc"), ""); // the dot is the caller's
    EXPECT_EQ(h.GetFileAssociate(".none"), "");
}
