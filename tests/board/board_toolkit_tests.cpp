// The board as the toolkit creates it: one board at creation, and every showing re-imposes the
// toolkit's settings (formats, decimal separator, Persian keyboard).
#include "board/messageboardform.h"
#include "core/formatsettings.h"
#include "platform/testing/doubles.h"
#include "toolkit/tools.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(BoardInToolkit, CreatedOnceAndEveryShowingSwitchesToPersian)
{
    rimo::ScopedFormatSettings formats;
    auto keyboard = std::make_shared<rimo::fakes::RecordingKeyboard>();
    auto version = std::make_shared<rimo::fakes::FakeOsVersion>();
    version->facts = rimo::OsVersionFacts{2, 5, 1, QString(), QStringLiteral("WINNT")}; // XP: "00000429"
    auto opener = std::make_shared<rimo::fakes::RecordingShellOpener>();
    rimo::PlatformServices services;
    services.keyboard = keyboard;
    services.osVersion = version;
    services.beeper = std::make_shared<rimo::fakes::RecordingBeeper>();
    services.shellOpener = opener;
    services.tone = std::make_shared<rimo::fakes::RecordingTone>();
    QTemporaryDir dir;
    rimo::formatSettings().decimalSeparator = u',';
    TTools tools(services, dir.path());

    TMessageBoardForm* board = tools.messageBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_FALSE(tools.boardOnScreen());
    EXPECT_EQ(rimo::formatSettings().decimalSeparator, u',');

    // Another window has the focus when an operation posts.
    QWidget other;
    other.show();
    other.activateWindow();
    keyboard->calls.clear();
    board->PostThisMessage(QStringLiteral("a"), QStringLiteral("1"));
    EXPECT_TRUE(tools.boardOnScreen());
    EXPECT_EQ(keyboard->calls, QStringList{QStringLiteral("load:00000429")});
    EXPECT_EQ(rimo::formatSettings().decimalSeparator, u'.');

    // Posting while shown does not show it again; closing and posting does.
    board->PostThisMessage(QStringLiteral("b"), QStringLiteral("2"));
    EXPECT_EQ(keyboard->calls.size(), 1);
    board->dxButton1Click();
    EXPECT_FALSE(tools.boardOnScreen());
    board->StartRecording(true, QStringLiteral("t"));
    EXPECT_EQ(keyboard->calls.size(), 2);

    // Saved reports open through the toolkit's shell service.
    board->ExecuteFile(QStringLiteral("/tmp/r.Txt"));
    EXPECT_EQ(opener->opened, QStringList{QStringLiteral("/tmp/r.Txt")});
}
