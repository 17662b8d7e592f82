// The plain pieces of the shell services: launch command lines, the INI value writer, the
// shortcut's desktop entry and the paths a tree deletion refuses.
#include "toolkit/shell/shellcommands.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rimo;
using namespace rimo::shell;

TEST(ShellCommands, WaitedLaunchSplitsLikeACommandLineAndStartsInTheProgramsFolder)
{
    struct Case
    {
        QString fileName;
        QString params;
        QString program;
        QStringList arguments;
        QString folder;
    } cases[] = {
        {"/opt/herd/run.sh", "", "/opt/herd/run.sh", {}, "/opt/herd/"},
        {"/opt/my tools/run", "\"a b\" c", "/opt/my tools/run", {"a b", "c"}, "/opt/my tools/"},
        {"/bin/x", "a; touch y | z $(id)", "/bin/x", {"a;", "touch", "y", "|", "z", "$(id)"}, "/bin/"},
        {"/bin/x", "\"\"\"quoted\"\"\"", "/bin/x", {"\"quoted\""}, "/bin/"},
        {"sh", "-c \"exit 0\"", "sh", {"-c", "exit 0"}, ""},
    };
    for (const auto& c : cases) {
        const LaunchCommand command = waitedLaunch(c.fileName, c.params);
        EXPECT_EQ(command.program, c.program) << c.fileName.toStdString();
        EXPECT_EQ(command.arguments, c.arguments) << c.params.toStdString();
        EXPECT_EQ(command.workingFolder, c.folder) << c.fileName.toStdString();
    }
    // A relative program with a folder part is named from here, not from where it starts.
    const LaunchCommand relative = waitedLaunch("tools/run", {});
    EXPECT_EQ(relative.program, QDir::current().absoluteFilePath("tools/run"));
    EXPECT_EQ(relative.workingFolder, "tools/");
}

TEST(ShellCommands, IniValueChangesOnlyItsOwnLine)
{
    struct Case
    {
        const char* name;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {"new file", "", "[InternetShortcut]\r\nURL=http://x/\r\n"},
        {"replaced in place, case ignored, CR LF and comments kept",
         "; saved by hand\r\n[Other]\r\nURL=keep\r\n\r\n[internetshortcut]\r\n  url = "
         "http://old/\r\nIconIndex=0\r\n"
         "[Last]\r\nA=1\r\n",
         "; saved by "
         "hand\r\n[Other]\r\nURL=keep\r\n\r\n[internetshortcut]\r\nURL=http://x/\r\nIconIndex=0\r\n"
         "[Last]\r\nA=1\r\n"},
        {"added after the section's last line, before its blank lines",
         "[InternetShortcut]\nIconIndex=0\n\n[Other]\nB=2\n",
         "[InternetShortcut]\nIconIndex=0\nURL=http://x/\n\n[Other]\nB=2\n"},
        {"a commented-out key is no key", "[InternetShortcut]\r\n;URL=old\r\n",
         "[InternetShortcut]\r\n;URL=old\r\nURL=http://x/\r\n"},
        {"section added at the end, the file's line ends taken", "[Other]\nB=2",
         "[Other]\nB=2\n[InternetShortcut]\nURL=http://x/\n"},
        {"header alone at the end without a line end", "[InternetShortcut]",
         "[InternetShortcut]\r\nURL=http://x/\r\n"},
        {"byte-order mark before the header", "\xEF\xBB\xBF[InternetShortcut]\r\nURL=a\r\n",
         "\xEF\xBB\xBF[InternetShortcut]\r\nURL=http://x/\r\n"},
        {"a key in a later section of the same name is not looked at",
         "[InternetShortcut]\n[B]\n[InternetShortcut]\nURL=z\n",
         "[InternetShortcut]\nURL=http://x/\n[B]\n[InternetShortcut]\nURL=z\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(setIniValue(c.before, "InternetShortcut", "URL", "http://x/"), c.after) << c.name;
    // A line end in the value would start a section of its own.
    EXPECT_EQ(setIniValue({}, "S", "URL", "http://a/\r\n[Evil]\nX=1"), "[S]\r\nURL=http://a/[Evil]X=1\r\n");
    EXPECT_EQ(setIniValue({}, "S", "URL", QString::fromUtf8("http://x/گاو")),
              QByteArray("[S]\r\nURL=http://x/") + QString::fromUtf8("گاو").toUtf8() + "\r\n");
}

TEST(ShellCommands, ShortcutEntryStartsExactlyTheTargetWithItsArguments)
{
    const QString target = "/opt/herd tools/run \"50%\" $HOME";
    const QString args = "plain \"two words\" 100% $(id) a;b \"\"\"quoted\"\"\" back\\slash";
    ASSERT_EQ(QProcess::splitCommand(args),
              QStringList({"plain", "two words", "100%", "$(id)", "a;b", "\"quoted\"", "back\\slash"}));
    const DesktopEntryFile written =
        shortcutEntry(target, args, "/srv/work dir", "/home/u/Desktop/Herd tool.lnk");
    const DesktopEntryFile read = DesktopEntryFile::parse(written.toBytes());
    const QString group = "Desktop Entry";
    EXPECT_TRUE(read.errors().isEmpty());
    EXPECT_EQ(read.value(group, "Type"), "Application");
    EXPECT_EQ(read.value(group, "Name"), "Herd tool");
    EXPECT_EQ(read.value(group, "Path"), "/srv/work dir");
    EXPECT_EQ(read.value(group, QString::fromUtf16(kShowCommandKey)), "2");
    const auto exec = splitExecLine(read.value(group, "Exec"));
    ASSERT_TRUE(exec.has_value());
    EXPECT_EQ(*exec, QStringList{target} + QProcess::splitCommand(args));

    const DesktopEntryFile bare = shortcutEntry("/bin/true", {}, {}, "x.desktop");
    EXPECT_FALSE(bare.hasKey(group, "Path")) << "no working folder given, none written";
    EXPECT_EQ(splitExecLine(bare.value(group, "Exec")), QStringList{"/bin/true"});
}

TEST(ShellCommands, TreeDeletionRefusesBlankNamesAndTheRoot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFile::link("/", dir.filePath("to-root")));
    QString upToRoot = "..";
    for (int depth = QDir::current().absolutePath().count(u'/'); depth > 0; --depth)
        upToRoot += "/..";
    struct Case
    {
        QString dir;
        bool allowed;
    } cases[] = {
        {"", false},
        {"   ", false},
        {"\t\n", false},
        {"/", false},
        {"//", false},
        {"/./", false},
        {"/tmp/..", false},
        {upToRoot, false},
        {dir.filePath("to-root"), false},
        {dir.path(), true},
        {dir.filePath("missing"), true},
        {"relative/folder", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mayDeleteTree(c.dir), c.allowed) << c.dir.toStdString();
}
