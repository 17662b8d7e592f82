// The shell services towards their caller: starting and waiting on real programs, handing files
// and addresses to the desktop, copying and deleting files, shortcut files, the folder chooser,
// the host's identity and file icons.
#include "core/error.h"
#include "platform/desktopentry.h"
#include "shellharness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rimo;
using rimo::testing::ShellHarness;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
}

// A script that records its working folder and arguments into record.txt beside itself; with
// "big" first it writes 10 MB to each of its outputs; last of all it leaves the file "mark".
const QByteArray kRecorder =
    "#!/bin/sh\n"
    "here=$(dirname \"$0\")\n"
    "pwd > \"$here/record.txt\"\n"
    "for a in \"$@\"; do printf '[%s]\\n' \"$a\" >> \"$here/record.txt\"; done\n"
    "if [ \"$1\" = big ]; then head -c 10485760 /dev/zero; head -c 10485760 /dev/zero >&2; fi\n"
    "sleep 0.3\n"
    "echo done > \"$here/mark\"\n";

struct RecorderFixture
{
    QTemporaryDir dir;
    QString script;
    RecorderFixture()
    {
        // A blank in the folder name: the program's own name needs its quotes too.
        QDir(dir.path()).mkdir("my tools");
        script = dir.filePath("my tools/rec.sh");
        writeFile(script, kRecorder, true);
    }
    QString folder() const { return QFileInfo(dir.filePath("my tools")).canonicalFilePath(); }
    QStringList record() const
    {
        return QString::fromUtf8(readAll(dir.filePath("my tools/record.txt")))
            .split(u'\n', Qt::SkipEmptyParts);
    }
    bool marked() const { return QFileInfo::exists(dir.filePath("my tools/mark")); }
};

} // namespace

TEST(ShellLaunch, ExecAndWaitStartsTheProgramDirectlyAndWaitsForItsEnd)
{
    ShellHarness shell;
    struct Case
    {
        QString params;
        QStringList recorded; // working folder first, then the arguments
    } cases[] = {
        {"", {}},
        {"\"a b\" c \"d  e\"", {"[a b]", "[c]", "[d  e]"}},
        {"a; touch x", {"[a;]", "[touch]", "[x]"}},
        {"$(touch x) `touch x` | tee x", {"[$(touch]", "[x)]", "[`touch]", "[x`]", "[|]", "[tee]", "[x]"}},
    };
    for (const auto& c : cases) {
        RecorderFixture f;
        ASSERT_TRUE(QFileInfo(f.script).isExecutable());
        // The event loop must not run while the program is waited for.
        bool loopRan = false;
        QTimer::singleShot(0, [&] { loopRan = true; });
        EXPECT_TRUE(shell.ExecAndWait(f.script, c.params)) << c.params.toStdString();
        EXPECT_FALSE(loopRan);
        QCoreApplication::processEvents();
        EXPECT_TRUE(f.marked()) << "returned before the program ended";
        EXPECT_EQ(f.record(), QStringList{f.folder()} + c.recorded) << c.params.toStdString();
        // No shell ever saw the parameters.
        EXPECT_FALSE(QFileInfo::exists(f.dir.filePath("my tools/x")));
        EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("x")));
    }
}

TEST(ShellLaunch, ExecAndWaitDiscardsMegabytesOfOutput)
{
    ShellHarness shell;
    RecorderFixture f;
    EXPECT_TRUE(shell.ExecAndWait(f.script, "big"));
    EXPECT_TRUE(f.marked());
}

TEST(ShellLaunch, ExecAndWaitWithoutAFolderStartsInTheCurrentOneFromThePath)
{
    ShellHarness shell;
    QTemporaryDir dir;
    const QString out = dir.filePath("pwd.txt");
    EXPECT_TRUE(shell.ExecAndWait("sh", QStringLiteral("-c \"pwd > '%1'\"").arg(out)));
    EXPECT_EQ(readAll(out).trimmed(), QDir::currentPath().toUtf8());
}

TEST(ShellLaunch, ExecAndWaitIsFalseWhenNothingCanStart)
{
    ShellHarness shell;
    QTemporaryDir dir;
    const QString plain = dir.filePath("not-executable.sh");
    ASSERT_TRUE(writeFile(plain, kRecorder, false));
    EXPECT_FALSE(shell.ExecAndWait(dir.filePath("missing"), "a"));
    EXPECT_FALSE(shell.ExecAndWait(plain, {}));
    EXPECT_FALSE(shell.ExecAndWait(dir.path(), {})) << "a folder is no program";
    EXPECT_FALSE(shell.ExecAndWait({}, {}));
}

TEST(ShellLaunch, OpenersAndLaunchesGoWhereTheirKindBelongs)
{
    auto opener = std::make_shared<fakes::RecordingShellOpener>();
    auto launcher = std::make_shared<fakes::RecordingLauncher>();
    PlatformServices s;
    s.shellOpener = opener;
    s.launcher = launcher;
    ShellHarness shell(s);
    RecorderFixture f;
    const QString doc = f.dir.filePath("report.txt");
    ASSERT_TRUE(writeFile(doc, "text"));

    shell.OPenUrl("https://example.org/a b?x=1");
    shell.ExecuteFile(" " + doc);                   // untrimmed: no such file, so the opener gets it as given
    shell.ExecuteFilePara("  " + doc + "  ", "-p"); // trimmed; a document takes no parameters
    shell.ExecuteFilePara(f.dir.path(), {});        // a folder opens in the file manager
    shell.ExecuteFile(f.script);
    shell.ExecuteFilePara("  " + f.script + " ", "\"a b\" c");
    EXPECT_EQ(opener->opened, QStringList({"https://example.org/a b?x=1", " " + doc, doc, f.dir.path()}));
    ASSERT_EQ(launcher->starts.size(), 2);
    EXPECT_EQ(launcher->starts[0].program, f.script);
    EXPECT_TRUE(launcher->starts[0].arguments.isEmpty());
    EXPECT_EQ(launcher->starts[1].arguments, QStringList({"a b", "c"}));
    EXPECT_FALSE(launcher->starts[1].waited);

    // A program that cannot be started after all is handed to the desktop instead.
    launcher->startsSucceed = false;
    shell.ExecuteFile(f.script);
    EXPECT_EQ(opener->opened.last(), f.script);
}

TEST(ShellLaunch, RealOpenerRunsXdgOpenAndRealLauncherStartsDetached)
{
    QTemporaryDir bin;
    const QString log = bin.filePath("opened.txt");
    ASSERT_TRUE(writeFile(bin.filePath("xdg-open"),
                          QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '%1'\n").arg(log).toUtf8(),
                          true));
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + savedPath);
    {
        ShellHarness shell; // the Linux opener and launcher
        shell.OPenUrl("https://example.org/herd");
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return readAll(log).contains("https://example.org/herd"); }, 10000));

        RecorderFixture f;
        shell.ExecuteFilePara(f.script, "\"one arg\"");
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.marked(); }, 10000));
        EXPECT_EQ(f.record().mid(1), QStringList{"[one arg]"});
    }
    qputenv("PATH", savedPath);
}

TEST(ShellFiles, FileCopyCopiesAndReportsEachFailureItsOwnWay)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty");
    const QString data = dir.filePath("data.bin");
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes += static_cast<char>(i * 7);
    ASSERT_TRUE(writeFile(empty, {}));
    ASSERT_TRUE(writeFile(data, bytes));

    EXPECT_TRUE(TShellServices::FileCopy(empty, dir.filePath("empty.copy")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("empty.copy")));
    EXPECT_EQ(QFileInfo(dir.filePath("empty.copy")).size(), 0);

    ASSERT_TRUE(writeFile(dir.filePath("older"), "longer content that must go"));
    EXPECT_TRUE(TShellServices::FileCopy(data, dir.filePath("older")));
    EXPECT_EQ(readAll(dir.filePath("older")), bytes);

    EXPECT_FALSE(TShellServices::FileCopy(dir.filePath("missing"), dir.filePath("never")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("never")));
    EXPECT_FALSE(TShellServices::FileCopy(dir.filePath("missing"), dir.filePath("no/folder/never")));
    EXPECT_FALSE(TShellServices::FileCopy(dir.path(), dir.filePath("never")))
        << "a folder is no file to copy";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("never")));

    try {
        TShellServices::FileCopy(data, dir.filePath("no such folder/copy"));
        ADD_FAILURE() << "a destination in a missing folder must raise";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("No such file or directory")) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains("no such folder/copy")) << e.text().toStdString();
    }
    // A write that fails half-way raises too, with the system's reason.
    if (QFileInfo::exists("/dev/full")) {
        try {
            TShellServices::FileCopy(data, "/dev/full");
            ADD_FAILURE() << "a failed write must raise";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains("No space left on device")) << e.text().toStdString();
        }
    }
}

TEST(ShellFiles, FileCopyOntoItselfLeavesTheFileIntact)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    const QString data = dir.filePath("data.txt");
    ASSERT_TRUE(writeFile(data, "precious"));
    ASSERT_TRUE(QFile::link(data, dir.filePath("link.txt")));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("sub/up")));
    for (const QString& same :
         {data, dir.filePath("sub/../data.txt"), dir.filePath("link.txt"), dir.filePath("sub/up/data.txt")}) {
        EXPECT_TRUE(TShellServices::FileCopy(data, same)) << same.toStdString();
        EXPECT_EQ(readAll(data), "precious") << same.toStdString();
    }
    EXPECT_TRUE(TShellServices::FileCopy(dir.filePath("link.txt"), data));
    EXPECT_EQ(readAll(data), "precious");
}

TEST(ShellFiles, DelDirRemovesTheWholeTreeButNothingBehindItsLinks)
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    ASSERT_TRUE(writeFile(outside.filePath("keep.txt"), "keep"));
    const QString tree = dir.filePath("tree");
    ASSERT_TRUE(QDir().mkpath(tree + "/a/b/c"));
    ASSERT_TRUE(writeFile(tree + "/a/b/c/deep.txt", "x"));
    ASSERT_TRUE(writeFile(tree + "/.hidden", "x"));
    ASSERT_TRUE(writeFile(tree + "/a/top.txt", "x", true));
    ASSERT_TRUE(QFile::link(outside.path(), tree + "/a/to-outside"));
    ASSERT_TRUE(QFile::link(outside.filePath("keep.txt"), tree + "/file-link"));
    ASSERT_TRUE(QFile::link(tree + "/gone", tree + "/dangling"));

    EXPECT_TRUE(TShellServices::DelDir(tree));
    EXPECT_FALSE(QFileInfo::exists(tree));
    EXPECT_EQ(readAll(outside.filePath("keep.txt")), "keep");

    EXPECT_FALSE(TShellServices::DelDir(tree)) << "a missing folder";
    // Refused before anything is looked at (the refusal itself is shown on the path check).
    EXPECT_FALSE(TShellServices::DelDir(""));
    EXPECT_FALSE(TShellServices::DelDir("  "));

    // A link given as the folder goes alone, also when written with a final slash.
    for (const QString& suffix : {QString(), QStringLiteral("/"), QStringLiteral("//")}) {
        ASSERT_TRUE(QFile::link(outside.path(), dir.filePath("folder-link")));
        EXPECT_TRUE(TShellServices::DelDir(dir.filePath("folder-link") + suffix));
        EXPECT_FALSE(QFileInfo(dir.filePath("folder-link")).isSymLink());
        EXPECT_EQ(readAll(outside.filePath("keep.txt")), "keep") << suffix.toStdString();
    }
    // A plain tree written with a final slash goes whole.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("slashed/inner")));
    EXPECT_TRUE(TShellServices::DelDir(dir.filePath("slashed/")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("slashed")));
}

TEST(ShellFiles, InternetShortcutChangesOnlyTheUrlLine)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath("site.url");
    const QByteArray before =
        "; kept comment\r\n[DEFAULT]\r\nBASEURL=http://old/\r\n\r\n"
        "[InternetShortcut]\r\nURL=http://old/\r\nIconIndex=1\r\n\r\n[Other]\nMixed=lf\n";
    ASSERT_TRUE(writeFile(existing, before));
    TShellServices::CreateInternetShortcut(existing, "https://herd.example/new");
    QByteArray expected = before;
    expected.replace("URL=http://old/\r\nIconIndex", "URL=https://herd.example/new\r\nIconIndex");
    EXPECT_EQ(readAll(existing), expected);

    const QString fresh = dir.filePath("new.url");
    TShellServices::CreateInternetShortcut(fresh, "https://herd.example/");
    EXPECT_EQ(readAll(fresh), "[InternetShortcut]\r\nURL=https://herd.example/\r\n");

    const QString lost = dir.filePath("missing folder/x.url");
    try {
        TShellServices::CreateInternetShortcut(lost, "https://herd.example/");
        ADD_FAILURE() << "a file in a missing folder must raise";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), "Unable to write to " + lost);
    }
    EXPECT_FALSE(QFileInfo::exists(lost));
}

TEST(ShellFiles, CreateLinkSavesADesktopEntryAndIgnoresAFailedSave)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("Herd tool.desktop");
    const QString target = dir.filePath("my tools/run \"now\" 100%");
    TShellServices::CreateLink(target, "\"two words\" $HOME a;b 50%", "/srv/work", link);
    const DesktopEntryFile entry = DesktopEntryFile::parse(readAll(link));
    const QString group = "Desktop Entry";
    EXPECT_EQ(entry.value(group, "Name"), "Herd tool");
    EXPECT_EQ(entry.value(group, "Path"), "/srv/work");
    EXPECT_EQ(splitExecLine(entry.value(group, "Exec")),
              QStringList({target, "two words", "$HOME", "a;b", "50%"}));
    EXPECT_TRUE(QFile::permissions(link) & QFileDevice::ExeOwner);

    EXPECT_NO_THROW(TShellServices::CreateLink(target, {}, {}, dir.filePath("missing/x.desktop")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

TEST(ShellDialogs, SelectDirectoryCancelledAndAnswered)
{
    fakes::ScopedFakeDialogs dialogs;
    QTemporaryDir dir;
    QString chosen = "left over";
    EXPECT_FALSE(TShellServices::SelectDirectory("Pick", dir.path(), chosen));
    EXPECT_TRUE(chosen.isEmpty());

    dialogs.directoryAnswers = {dir.filePath("picked")};
    EXPECT_TRUE(TShellServices::SelectDirectory("Pick", {}, chosen));
    EXPECT_EQ(chosen, dir.filePath("picked"));

    EXPECT_FALSE(TShellServices::SelectDirectory("Pick", dir.filePath("missing"), chosen));
    ASSERT_EQ(dialogs.directoryRequests.size(), 3);
    EXPECT_EQ(dialogs.directoryRequests[0].caption, "Pick");
    EXPECT_EQ(dialogs.directoryRequests[0].folder, dir.path());
    EXPECT_EQ(dialogs.directoryRequests[1].folder, QDir::homePath()) << "no root: home";
    EXPECT_EQ(dialogs.directoryRequests[2].folder, QDir::homePath()) << "no such folder: home";
}

TEST(ShellHost, RealHostNameAndAddress)
{
    ShellHarness shell;
    EXPECT_EQ(shell.GetComputerNameX(), QSysInfo::machineHostName());
    QString host = "caller's", ip = "stale", err;
    if (!shell.GetIPFromHost(host, ip, err)) {
        // A machine whose own name does not resolve: the failure names it, the address is empty.
        EXPECT_TRUE(ip.isEmpty());
        EXPECT_TRUE(err.contains(QSysInfo::machineHostName())) << err.toStdString();
        GTEST_SKIP() << "the host name does not resolve here: " << err.toStdString();
    }
    EXPECT_EQ(host, QSysInfo::machineHostName());
    EXPECT_EQ(ip.count(u'.'), 3) << ip.toStdString();
    for (const QString& part : ip.split(u'.')) {
        bool ok = false;
        const int n = part.toInt(&ok);
        EXPECT_TRUE(ok && n >= 0 && n <= 255) << ip.toStdString();
    }
}

TEST(ShellHost, ResolverFailuresReachTheCaller)
{
    auto resolver = std::make_shared<fakes::FakeHostResolver>();
    PlatformServices s;
    s.resolver = resolver;
    ShellHarness shell(s);

    QString host = "caller's", ip = "stale", err = "untouched";
    EXPECT_TRUE(shell.GetIPFromHost(host, ip, err));
    EXPECT_EQ(host, "herd-pc");
    EXPECT_EQ(ip, "192.168.1.5");
    EXPECT_EQ(err, "untouched");
    EXPECT_EQ(resolver->lookedUp, QStringList{"herd-pc"}) << "always the local name, never the caller's";

    resolver->addresses.clear();
    ip = "stale";
    EXPECT_FALSE(shell.GetIPFromHost(host, ip, err));
    EXPECT_TRUE(ip.isEmpty());
    EXPECT_TRUE(err.contains("herd-pc") && err.contains("Name or service not known")) << err.toStdString();

    using F = HostResolver::NameFailure;
    struct Case
    {
        F failure;
        QString text;
    } cases[] = {{F::InProgress, "WSAEInProgress"},
                 {F::NetworkDown, "WSAENetDown"},
                 {F::NotInitialised, "WSANotInitialised"},
                 {F::Other, "untouched"}};
    resolver->hostName.reset();
    for (const auto& c : cases) {
        resolver->failure = c.failure;
        host = "caller's";
        ip = "stale";
        err = "untouched";
        EXPECT_FALSE(shell.GetIPFromHost(host, ip, err));
        EXPECT_EQ(err, c.text);
        EXPECT_EQ(host, "caller's");
        EXPECT_TRUE(ip.isEmpty());
    }
    EXPECT_EQ(shell.GetComputerNameX(), "");
}

TEST(ShellIcons, ExportIconForATextFileAndNoneForAMissingOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("notes.txt"), "text"));
    EXPECT_FALSE(TShellServices::ExportIcon(dir.filePath("notes.txt")).isNull());
    EXPECT_FALSE(TShellServices::ExportIcon(dir.path()).isNull());
    EXPECT_TRUE(TShellServices::ExportIcon(dir.filePath("missing.txt")).isNull());
}
