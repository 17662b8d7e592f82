// Start-up against the settings file: a missing file ends the process at once (the real binary,
// run in a folder of its own), a refused login shows the connection error and ends the program.
#include "app/program.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "herdconnection.h"
#include "platform/testing/doubles.h"
#include "tdsserver.h"
#include "toolkit/scramble.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rimo;

TEST(Startup, MissingSettingsFileEndsTheProcessSilentlyWithCodeZero)
{
    QTemporaryDir dir;
    const QString exe = dir.filePath("rimo1");
    ASSERT_TRUE(QFile::copy(QStringLiteral(RIMO1_BINARY), exe));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(exe, {});
    // A window would keep the event loop running: the process must end by itself, promptly.
    ASSERT_TRUE(p.waitForFinished(20000)) << "the program did not end";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QDir(dir.filePath("T4R")).exists()) << "the toolkit was created before the data module";
}

TEST(Startup, RefusedLoginShowsTheConnectionErrorAndEnds)
{
    ScopedFormatSettings formats;
    resetTerminateRequest();
    testsupport::TdsServer server;
    QTemporaryDir dir;
    ASSERT_TRUE(testsupport::writeHerdSettings(dir.filePath("WTimes.DLL"),
                                               {QStringLiteral("wrong password"),
                                                QString::fromStdString(server.serverSpec()),
                                                QStringLiteral("master"), QStringLiteral("sa")}));

    fakes::ScopedFakeDialogs dialogs;
    PlatformServices s;
    s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
    s.osVersion = std::make_shared<fakes::FakeOsVersion>();
    auto beeper = std::make_shared<fakes::RecordingBeeper>();
    s.beeper = beeper;
    Program program(ProgramOptions{s, dir.path()});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("خطا در اتصال"));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("پيام"));
    EXPECT_EQ(beeper->beeps, 1);
    EXPECT_TRUE(terminateRequested());
    EXPECT_EQ(program.exec(), 0);
    resetTerminateRequest();
}
