#include "app/mainwindow.h"
#include "app/program.h"
#include "core/error.h"
#include "core/formatsettings.h"
#include "core/lifecycle.h"
#include "platform/testing/doubles.h"
#include "toolkit/tools.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rimo;

TEST(MainWindow, ControlsAsLaidOut)
{
    TForm1 w;
    EXPECT_EQ(w.size(), QSize(572, 367));
    EXPECT_EQ(w.windowTitle(), QString());
    EXPECT_EQ(w.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(w.font().pointSize(), 8);
    EXPECT_EQ(w.font().families().value(0), "Tahoma");

    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());

    struct Geometry
    {
        QWidget* widget;
        QRect rect;
    } geometry[] = {
        {w.Label1, {0, 0, 572, 39}},     {w.StaticText1, {0, 39, 572, 23}},
        {w.mmo1, {0, 62, 335, 305}},     {w.pnl1, {335, 62, 237, 305}},
        {w.btn1, {4, 4, 229, 43}},       {w.dxContainer2, {4, 47, 229, 29}},
        {w.dxButton9, {4, 76, 229, 40}}, {w.dxButton7, {4, 260, 229, 41}},
    };
    for (const auto& g : geometry)
        EXPECT_EQ(g.widget->geometry(), g.rect) << g.widget->objectName().toStdString();

    EXPECT_EQ(w.Label1->text(), QStringLiteral("\nشركت ورناس\n"));
    EXPECT_EQ(w.Label1->palette().color(QPalette::Window), QColor(242, 255, 230));
    EXPECT_EQ(w.StaticText1->palette().color(QPalette::Window), QColor(242, 255, 230));
    EXPECT_EQ(w.StaticText1->text(),
              QStringLiteral("هدف برنامه : محاسبه مجدد رديف ركوردهاي رسمي و رديف كل ركوردها"));
    EXPECT_EQ(w.btn1->text(), QStringLiteral("بازسازي  شكم دامها در ركوردها"));
    EXPECT_EQ(w.dxButton9->text(), QStringLiteral("بازسازي رديف ركورد رسمي و رديف ركورد كل"));
    EXPECT_EQ(w.dxButton7->text(), QStringLiteral("خروج"));
    EXPECT_EQ(w.memoLines(), QStringList{QString()});

    // Tab order: btn1, dxButton9, mmo1, dxButton7.
    QList<QWidget*> order;
    for (QWidget* x = w.btn1; order.size() < 4; x = x->nextInFocusChain())
        if (x->focusPolicy() & Qt::TabFocus)
            order << x;
    EXPECT_EQ(order, (QList<QWidget*>{w.btn1, w.dxButton9, w.mmo1, w.dxButton7}));
    w.appendFailureLine("1024-2-1389/11/04-");
    EXPECT_EQ(w.memoLines(), (QStringList{QString(), "1024-2-1389/11/04-"}));
}

TEST(MainWindow, ExitClosesAndEndsTheLoop)
{
    resetTerminateRequest();
    TForm1 w;
    w.show();
    QTimer::singleShot(0, w.dxButton7, &QPushButton::click);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // a guard, not a timing
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(terminateRequested());
    resetTerminateRequest();
}

TEST(MainWindow, ErrorEscapingAHandlerReachesTheErrorBox)
{
    fakes::ScopedFakeDialogs dialogs;
    setApplicationTitle("Rimo1");
    TForm1 w;
    w.onRecordSequenceRebuild = [] { throw Error("Invalid object name 'FirstRec'."); };
    w.dxButton9->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].caption, "Rimo1");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].text, "Invalid object name 'FirstRec'.");
    EXPECT_TRUE(w.dxButton9->isEnabled()) << "the program goes on";
    w.dxButton9->click();
    EXPECT_EQ(dialogs.messages.size(), 2) << "a second press runs again";
}

TEST(MainWindow, PressDuringARunDoesNotNest)
{
    TForm1 w;
    int runs = 0, nested = 0;
    w.onRecordSequenceRebuild = [&] {
        ++runs;
        EXPECT_FALSE(w.btn1->isEnabled());
        EXPECT_FALSE(w.dxButton9->isEnabled());
        // Presses delivered while the run pumps events.
        w.dxButton9Click();
        w.btn1Click();
        QCoreApplication::processEvents();
    };
    w.onLactationRebuild = [&] { ++nested; };
    w.dxButton9->click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(nested, 0);
    EXPECT_TRUE(w.btn1->isEnabled());
    w.dxButton9->click();
    EXPECT_EQ(runs, 2);
}

TEST(MainWindow, ExitDuringARunStopsItThenCloses)
{
    resetTerminateRequest();
    TForm1 w;
    w.show();
    bool sawStop = false;
    w.onRecordSequenceRebuild = [&] {
        w.dxButton7->click();
        EXPECT_TRUE(w.isVisible()) << "the window waits for the run";
        sawStop = w.stopRequested();
    };
    w.dxButton9->click();
    EXPECT_TRUE(sawStop);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(terminateRequested());
    resetTerminateRequest();
}

TEST(Program, StartupOrderAndEndRequestBeforeTheLoop)
{
    ScopedFormatSettings formats;
    resetTerminateRequest();
    QTemporaryDir dir;
    PlatformServices s;
    s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
    s.osVersion = std::make_shared<fakes::FakeOsVersion>();
    s.beeper = std::make_shared<fakes::RecordingBeeper>();
    // A settings file whose server is empty: the connection fails at once.
    QFile settings(dir.filePath("WTimes.DLL"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("x\r\n\r\nherd\r\n");
    settings.close();
    fakes::ScopedFakeDialogs dialogs;
    Program program(ProgramOptions{s, dir.path()});
    ASSERT_NE(program.form(), nullptr);
    ASSERT_NE(program.tools(), nullptr);
    EXPECT_EQ(QCoreApplication::applicationName(), "Rimo1");
    EXPECT_EQ(applicationTitle(), "Rimo1");
    EXPECT_EQ(dialogs.texts(), QStringList{QStringLiteral("خطا در اتصال")});
    // The end was asked for before the loop runs: it must not be lost.
    EXPECT_TRUE(terminateRequested());
    EXPECT_EQ(program.exec(), 0);
    EXPECT_FALSE(program.form()->isVisible());
    resetTerminateRequest();
}
