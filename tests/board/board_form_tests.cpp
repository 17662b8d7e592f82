// The message board window: recording cycle, keys, geometry, and the save report.
#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "platform/testing/doubles.h"
#include "widgets/tprprogressbar.h"

#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kCountPrefix = QStringLiteral("تعداد سطر : ");

class BoardTest : public testing::Test
{
protected:
    std::shared_ptr<rimo::fakes::RecordingShellOpener> opener =
        std::make_shared<rimo::fakes::RecordingShellOpener>();
    rimo::fakes::ScopedFakeDialogs dialogs;
    TMessageBoardForm board{opener};

    QPushButton* back() { return board.findChild<QPushButton*>(QStringLiteral("dxButton1")); }
    QPushButton* save() { return board.findChild<QPushButton*>(QStringLiteral("dxButton2")); }
    QLabel* count() { return board.findChild<QLabel*>(QStringLiteral("Label1")); }
    TtprProgressBar* bar() { return board.findChild<TtprProgressBar*>(QStringLiteral("PBT")); }
    QTableView* list() { return board.findChild<QTableView*>(QStringLiteral("MessageList")); }
};

} // namespace

TEST_F(BoardTest, WindowIsAFixedStayOnTopRightToLeftBoxWithoutTitleButtons)
{
    const Qt::WindowFlags f = board.windowFlags();
    EXPECT_TRUE(f & Qt::Window);
    EXPECT_TRUE(f & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f & Qt::CustomizeWindowHint);
    EXPECT_FALSE(f & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
    EXPECT_EQ(board.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(board.minimumSize(), board.maximumSize());
    EXPECT_EQ(board.size(), QSize(557, 600)); // 547 x 590 inside a 5 px border
    EXPECT_FALSE(board.isOnScreen());

    ASSERT_TRUE(list() && back() && save() && count() && bar());
    EXPECT_EQ(back()->text(), QStringLiteral("برگشت"));
    EXPECT_EQ(save()->text(), QStringLiteral("ذخيره گزارش"));
    EXPECT_EQ(list()->horizontalHeader()->sectionSize(0), 188);
    EXPECT_EQ(list()->horizontalHeader()->sectionSize(1), 357);
    EXPECT_EQ(list()->palette().color(QPalette::Base), QColor(255, 255, 230));

    EXPECT_EQ(bar()->width(), 547);
    EXPECT_EQ(bar()->TickWidth(), 200);
    EXPECT_EQ(bar()->TickJump(), 1);
    EXPECT_EQ(bar()->TickCount(), 5);
    EXPECT_EQ(bar()->Style(), tprBouncer);
    EXPECT_EQ(bar()->TickColor(), rimo::rgbColor(255, 121, 121));
    EXPECT_EQ(bar()->Color(), rimo::rgbColor(255, 255, 230));
}

TEST_F(BoardTest, FirstShowingIsCentredAndEveryShowingCallsTheHook)
{
    int shown = 0;
    board.setShowHook([&] { ++shown; });
    board.show();
    EXPECT_EQ(shown, 1);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(board.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(board.frameGeometry().center().y() - screen.center().y()), 1);
    board.move(10, 20);
    board.hide();
    board.show();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(board.pos(), QPoint(10, 20)); // only the first showing centres
}

TEST_F(BoardTest, RecordingCycleStatesButtonsAndProgressBar)
{
    int shown = 0;
    board.setShowHook([&] { ++shown; });
    board.StartRecording(true, QStringLiteral("گزارش"));
    EXPECT_TRUE(board.isOnScreen());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(board.windowTitle(), QStringLiteral("گزارش"));
    EXPECT_FALSE(back()->isEnabled());
    EXPECT_FALSE(save()->isEnabled());
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(bar()->EdgePos(), 1 + 5); // advanced once from the bouncer's start
    EXPECT_TRUE(count()->text().isEmpty());
    EXPECT_EQ(list()->layoutDirection(), Qt::RightToLeft);

    board.PostThisMessage(QStringLiteral("a"), QStringLiteral("1"));
    board.PostThisMessage(QStringLiteral("b"), QString(75, u'x')); // two rows
    EXPECT_EQ(board.rows().rows().size(), 3u);
    EXPECT_EQ(count()->text(), kCountPrefix + QStringLiteral("3"));
    EXPECT_EQ(bar()->EdgePos(), 16);
    EXPECT_FALSE(back()->isEnabled());

    board.StopRecording();
    EXPECT_TRUE(board.isOnScreen());
    EXPECT_TRUE(back()->isEnabled());
    EXPECT_TRUE(save()->isEnabled());
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(count()->text(), kCountPrefix + QStringLiteral("3"));

    back()->click();
    EXPECT_FALSE(board.isOnScreen());
    EXPECT_EQ(board.rows().rows().size(), 3u); // rows stay for the next showing

    // Posting outside a recording shows the board and leaves the buttons as they are.
    board.PostThisMessage(QStringLiteral("c"), QStringLiteral("4"));
    EXPECT_TRUE(board.isOnScreen());
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(back()->isEnabled());
    EXPECT_EQ(count()->text(), kCountPrefix + QStringLiteral("4"));

    // A new recording starts from an empty list, left to right for English.
    board.StartRecording(false, QStringLiteral("Report"));
    EXPECT_TRUE(board.rows().rows().empty());
    EXPECT_EQ(list()->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(board.layoutDirection(), Qt::RightToLeft);
}

TEST_F(BoardTest, StartRecordingStretchesToTheScreenHeightFromTheTop)
{
    board.show();
    board.move(30, 50);
    const QRect before = board.frameGeometry();
    board.StartRecording(true, QStringLiteral("t"));
    const QRect screen = board.screen()->geometry();
    EXPECT_EQ(board.frameGeometry().height(), screen.height() - 40);
    EXPECT_EQ(board.frameGeometry().top(), screen.top());
    EXPECT_EQ(board.frameGeometry().left(), before.left());
    EXPECT_EQ(board.frameGeometry().width(), before.width());
    EXPECT_EQ(board.minimumSize(), board.maximumSize()); // the frame stays fixed
}

TEST_F(BoardTest, EnterAndEscapeCloseTheBoardEvenWhileRecording)
{
    board.StartRecording(true, QStringLiteral("t"));
    board.PostThisMessage(QStringLiteral("a"), QStringLiteral("1"));
    ASSERT_FALSE(back()->isEnabled());

    QTest::keyRelease(list(), Qt::Key_Escape);
    EXPECT_FALSE(board.isOnScreen());
    board.PostThisMessage(QStringLiteral("b"), QStringLiteral("2"));
    EXPECT_TRUE(board.isOnScreen());
    EXPECT_EQ(board.rows().rows().size(), 2u);

    QTest::keyPress(list(), Qt::Key_Return);
    EXPECT_FALSE(board.isOnScreen());
    board.PostThisMessage(QStringLiteral("c"), QStringLiteral("3"));
    QTest::keyPress(&board, Qt::Key_Enter);
    EXPECT_FALSE(board.isOnScreen());

    // Other keys leave it alone.
    board.PostThisMessage(QStringLiteral("d"), QStringLiteral("4"));
    QTest::keyClick(list(), Qt::Key_A);
    QTest::keyPress(list(), Qt::Key_Escape);
    EXPECT_TRUE(board.isOnScreen());
}

TEST_F(BoardTest, BouncingBarTurnsAt347AndAt0)
{
    board.StartRecording(true, QStringLiteral("t"));
    bar()->setTickCount(1); // to see every step of the board's bar
    int maxPos = bar()->EdgePos(), minPos = bar()->EdgePos();
    bool turnedBack = false;
    for (int i = 0; i < 700 && !(turnedBack && bar()->internTickJump() > 0); ++i) {
        bar()->Tick();
        maxPos = std::max(maxPos, bar()->EdgePos());
        minPos = std::min(minPos, bar()->EdgePos());
        turnedBack = turnedBack || bar()->internTickJump() < 0;
    }
    EXPECT_EQ(maxPos, 347);
    EXPECT_EQ(minPos, 0);
    EXPECT_GT(bar()->internTickJump(), 0);
}

TEST_F(BoardTest, SaveWritesTheRowsAndOpensTheFile)
{
    QTemporaryDir dir;
    board.StartRecording(true, QStringLiteral("a/b"));
    board.PostThisMessage(QStringLiteral("x"), QStringLiteral("y"));
    board.PostThisMessage(QStringLiteral("عنوان"), QString(71, u'z'));
    board.StopRecording();

    dialogs.fileAnswers.push_back(dir.filePath(QStringLiteral("ab xy"))); // the proposal, accepted
    save()->click();

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].proposedName, QStringLiteral("ab xy"));
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("فايلهاي گزارش|*.Txt|همه فايلها|*.*"));
    const QString file = dir.filePath(QStringLiteral("ab xy.Txt"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        f.readAll(),
        (QStringLiteral("x=y\r\nعنوان=") + QString(70, u'z') + QStringLiteral("\r\n .. =z\r\n")).toUtf8());
    EXPECT_EQ(opener->opened, QStringList{file});
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // Cancel writes nothing and opens nothing.
    save()->click();
    EXPECT_EQ(dialogs.fileRequests.size(), 2);
    EXPECT_EQ(opener->opened.size(), 1);
}

TEST_F(BoardTest, SavingAnEmptyListOnlySaysSo)
{
    save()->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("ليست خالي است"));
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_TRUE(opener->opened.isEmpty());
}

TEST_F(BoardTest, UnwritableReportReachesTheErrorBox)
{
    QTemporaryDir dir;
    board.PostThisMessage(QStringLiteral("x"), QStringLiteral("y"));
    dialogs.fileAnswers.push_back(dir.filePath(QStringLiteral("missing/report")));
    save()->click();

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].icon, rimo::MessageIcon::Critical);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("report.Txt")));
    EXPECT_EQ(dialogs.messages[0].parent, &board); // stacked over the stay-on-top board
    EXPECT_TRUE(opener->opened.isEmpty());
    EXPECT_TRUE(board.isOnScreen());
    EXPECT_EQ(board.rows().rows().size(), 1u);
}

namespace {

// Collects the regions the list's viewport is asked to paint.
class PaintRecorder : public QObject
{
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

} // namespace

TEST_F(BoardTest, PostsRepaintOnlyTheirOwnRowsAndThePictureStaysWhole)
{
    board.StartRecording(true, QStringLiteral("گزارش"));
    QWidget* viewport = list()->viewport();
    const int rowHeight = list()->verticalHeader()->defaultSectionSize();
    const int visibleRows = viewport->height() / rowHeight;
    ASSERT_GT(visibleRows, 4);
    for (int i = 0; i < visibleRows - 2; ++i)
        board.PostThisMessage(QStringLiteral("سطر %1").arg(i), QStringLiteral("مقدار %1").arg(i));
    // A paint follows an update only at the window's next update request.
    const auto settle = [] { QTest::qWait(30); };
    settle();

    PaintRecorder recorder;
    viewport->installEventFilter(&recorder);
    // The next post lands in view: only its own band of the list is painted again.
    board.PostThisMessage(QStringLiteral("تازه"), QStringLiteral("مقدار تازه"));
    settle();
    const int newTop = list()->rowViewportPosition(visibleRows - 2);
    EXPECT_FALSE(recorder.painted.isEmpty());
    EXPECT_GE(recorder.painted.boundingRect().top(), newTop);

    // Once the list is full the board follows its newest row: a post scrolls the list by its
    // row and paints only the band at the bottom, never the whole list.
    for (int i = 0; i < 10; ++i)
        board.PostThisMessage(QStringLiteral("پايين"), QStringLiteral("%1").arg(i));
    settle();
    recorder.painted = {};
    board.PostThisMessage(QStringLiteral("پايين"), QStringLiteral("آخر"));
    settle();
    const QRect band = recorder.painted.boundingRect();
    EXPECT_FALSE(band.isEmpty());
    EXPECT_LE(band.height(), 2 * rowHeight) << band.height();
    EXPECT_GE(band.top(), viewport->height() - 2 * rowHeight) << band.top();
    const int last = list()->model()->rowCount() - 1;
    EXPECT_GE(list()->rowViewportPosition(last), 0);
    EXPECT_LE(list()->rowViewportPosition(last) + rowHeight, viewport->height());
    viewport->removeEventFilter(&recorder);

    // What the screen holds after the partial repaints is what a full repaint draws.
    const QImage kept = board.grab().toImage(); // the backing store as it stands
    list()->viewport()->update();
    settle();
    EXPECT_EQ(kept, board.grab().toImage());
    EXPECT_EQ(list()->model()->rowCount(), visibleRows - 2 + 1 + 10 + 1);
}

// Far past a screen of rows the scroll bar's handle stays at the end as the list grows: a post
// does not draw the bar again, while a bar whose handle moves is drawn again, and the picture is
// what a full repaint draws.
TEST_F(BoardTest, PostsFarDownTheListLeaveTheScrollBarAsItIs)
{
    board.StartRecording(true, QStringLiteral("گزارش"));
    QList<rimo::board::Row> many;
    for (int i = 0; i < 5000; ++i)
        many.append({QStringLiteral("سطر"), QString::number(i)});
    board.rowModel().append(many);
    board.PostThisMessage(QStringLiteral("پايين"), QStringLiteral("اول"));
    const auto settle = [] { QTest::qWait(30); };
    settle();

    QScrollBar* bar = list()->verticalScrollBar();
    PaintRecorder recorder;
    bar->installEventFilter(&recorder);
    for (int i = 0; i < 3; ++i)
        board.PostThisMessage(QStringLiteral("پايين"), QString::number(i));
    settle();
    EXPECT_TRUE(recorder.painted.isEmpty()) << recorder.painted.boundingRect().height();
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(bar->maximum() / 2);
    settle();
    EXPECT_FALSE(recorder.painted.isEmpty());
    bar->removeEventFilter(&recorder);
    bar->setValue(bar->maximum());
    board.PostThisMessage(QStringLiteral("پايين"), QStringLiteral("آخر"));
    settle();

    const QImage kept = board.grab().toImage();
    bar->update();
    list()->viewport()->update();
    settle();
    EXPECT_EQ(kept, board.grab().toImage());
}
