#include "platform/testing/doubles.h"
#include "toolkit/dialoghelpers/waitbox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

QLabel* textOf(TWaitBox& box)
{
    return box.findChild<QLabel*>(QStringLiteral("text"));
}

TEST(WaitingBox, LaterCallsChangeOnlyTheText)
{
    TWaitingBoxes boxes;
    boxes.ShowBigBoxMessage(QString());
    ASSERT_TRUE(boxes.MsgBoxForm);
    TWaitBox* box = boxes.MsgBoxForm.get();
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->text(), QString(43, u' ') + QStringLiteral("لطفا صبر كنيد") + QString(43, u' '));
    EXPECT_EQ(box->height(), 120);
    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(255, 219, 202));
    EXPECT_TRUE(box->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(box->findChildren<QAbstractButton*>().isEmpty());
    const QSize size = box->size();
    const QString caption = box->windowTitle();

    boxes.ShowBoxMessage(QStringLiteral("در حال ثبت"));
    ASSERT_EQ(boxes.MsgBoxForm.get(), box);
    EXPECT_EQ(box->text(), QStringLiteral("در حال ثبت"));
    EXPECT_EQ(box->size(), size);
    EXPECT_EQ(box->windowTitle(), caption);
    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(255, 219, 202));
    EXPECT_TRUE(textOf(*box)->wordWrap());
    EXPECT_TRUE(textOf(*box)->alignment() & Qt::AlignRight);

    // An empty text leaves the last one.
    boxes.ShowBoxMessageColor(QString(), 0x0000FF);
    EXPECT_EQ(box->text(), QStringLiteral("در حال ثبت"));

    boxes.ShowBoxClose();
    EXPECT_FALSE(boxes.MsgBoxForm);
    boxes.ShowBoxMessage(QString());
    ASSERT_TRUE(boxes.MsgBoxForm);
    EXPECT_EQ(boxes.MsgBoxForm->height(), 100);
    EXPECT_EQ(boxes.MsgBoxForm->windowTitle(), QStringLiteral("پيام"));
    EXPECT_FALSE(boxes.MsgBoxForm->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(boxes.MsgBoxForm->palette().color(QPalette::Window), QColor(249, 255, 225));
}

TEST(WaitingBox, TheColourIsBlueGreenRedAndTheWidthFollowsThePadding)
{
    TWaitingBoxes boxes;
    boxes.ShowBoxMessageColor(QStringLiteral("x"), 0x102030);
    EXPECT_EQ(boxes.MsgBoxForm->palette().color(QPalette::Window), QColor(0x30, 0x20, 0x10));
    EXPECT_EQ(boxes.MsgBoxForm->height(), 150);
    const int small = boxes.MsgBoxForm->width();
    boxes.ShowBoxClose();
    boxes.ShowBigBoxMessage(QStringLiteral("x"));
    EXPECT_GT(boxes.MsgBoxForm->width(), small) << "86 spaces against 26";
}

TEST(WaitingBox, ClosedByTheUserItIsHiddenNotDeleted)
{
    TWaitingBoxes boxes;
    boxes.ShowBigBoxMessage(QString());
    QPointer<TWaitBox> box = boxes.MsgBoxForm.get();
    box->close();
    QCoreApplication::processEvents();
    ASSERT_TRUE(box);
    EXPECT_FALSE(box->isVisible());
    boxes.ShowBoxMessage(QStringLiteral("y"));
    EXPECT_EQ(boxes.MsgBoxForm.get(), box.data());
    EXPECT_EQ(box->text(), QStringLiteral("y"));
}

} // namespace

namespace {

TEST(WaitingBox, WhileTheTrayIconIsOnTheTextsGoToItsBalloon)
{
    TWaitingBoxes boxes;
    EXPECT_FALSE(boxes.CTrayI->Enabled) << "off unless switched on";
    auto tray = std::make_unique<rimo::fakes::RecordingTrayIcon>();
    rimo::fakes::RecordingTrayIcon* calls = tray.get();
    boxes.CTrayI = std::move(tray);
    boxes.CTrayI->Enabled = true;
    boxes.ShowBigBoxMessage(QStringLiteral("الف"));
    boxes.ShowBoxMessageColor(QStringLiteral("ب"), 0);
    boxes.ShowBoxClose();
    EXPECT_FALSE(boxes.MsgBoxForm);
    EXPECT_EQ(calls->calls, (QStringList{QStringLiteral("show:پيام|الف|1|10000"),
                                         QStringLiteral("show:پيام|ب|1|10000"), "hide"}));

    // Switched off, the box comes back; closing then leaves the balloon alone.
    boxes.CTrayI->Enabled = false;
    boxes.ShowBoxMessage(QStringLiteral("ج"));
    ASSERT_TRUE(boxes.MsgBoxForm);
    boxes.ShowBoxClose();
    EXPECT_FALSE(boxes.MsgBoxForm);
    EXPECT_EQ(calls->calls.size(), 3);
}

} // namespace
