// The date picker window: its frame, places and settings, the key preview, and pictures of it.
#include "calendar/widgets/datepickernew.h"
#include "platform/testing/doubles.h"
#include "widgets/xfbitbtn.h"

#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

class PickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        picker = std::make_unique<TDatePickerNew>(nullptr, clock, std::make_shared<fakes::RecordingBeeper>());
        picker->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(picker.get()));
    }

    std::shared_ptr<fakes::FixedClock> clock = std::make_shared<fakes::FixedClock>(); // 1389/11/04
    fakes::ScopedFakeDialogs dialogs;
    std::unique_ptr<TDatePickerNew> picker;
};

} // namespace

TEST_F(PickerTest, WindowAndControlsAsStored)
{
    EXPECT_EQ(TDatePickerNew::DatePickerNew(), picker.get());
    EXPECT_EQ(picker->size(), QSize(332, 241)); // client 322 x 231 inside a border of 5
    EXPECT_EQ(picker->minimumSize(), picker->maximumSize());
    EXPECT_EQ(picker->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(picker->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_FALSE(picker->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(picker->windowFlags() & Qt::WindowMinMaxButtonsHint);

    const auto at = [&](QWidget* w) { return QRect(w->mapTo(picker.get(), QPoint(0, 0)), w->size()); };
    EXPECT_EQ(at(picker->Calndr), QRect(5, 5, 322, 195));
    EXPECT_EQ(picker->Calndr->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(at(picker->BConSet), QRect(219, 210, 97, 26)); // "قبول" stays on the right
    EXPECT_EQ(at(picker->XFBitBtn3), QRect(12, 210, 97, 26));
    EXPECT_EQ(picker->BConSet->text(), QStringLiteral("\u0642\u0628\u0648\u0644"));
    EXPECT_EQ(picker->XFBitBtn3->text(), QStringLiteral("\u0627\u0646\u0635\u0631\u0627\u0641"));
    EXPECT_EQ(picker->BConSet->ModalResult(), mrOk);
    EXPECT_EQ(picker->XFBitBtn3->ModalResult(), mrCancel);
    EXPECT_EQ(picker->BConSet->nextInFocusChain(), picker->XFBitBtn3);

    for (TXFBitBtn* b : {picker->BConSet, picker->XFBitBtn3}) {
        EXPECT_TRUE(b->Fine());
        EXPECT_TRUE(b->Flat());
        TXFGradient* g = b->Gradient();
        EXPECT_EQ(g->Direction(), gdHorizontal);
        EXPECT_EQ(g->EndColor(), 13041634u);
        EXPECT_EQ(g->HotColor(), 8454143u);
        EXPECT_EQ(g->Options(), goGradient | goHotColor);
        EXPECT_EQ(g->SwapColors(), b == picker->XFBitBtn3);
    }

    // The calendar: today, the combo box, no switch, cells without row colours; caption and
    // background colours are stored while the default interface keeps its own.
    TSolarMonthCalendar* c = picker->Calndr;
    EXPECT_EQ(c->GetDateWithDiv(QStringLiteral("/")), QStringLiteral("1389/11/04"));
    EXPECT_EQ(c->MonthObject(), moComboBox);
    EXPECT_FALSE(c->VisibleLayoutSwitch());
    EXPECT_FALSE(c->ShowCellInColor());
    EXPECT_EQ(c->MonthPosition(), mpRightYear);
    EXPECT_EQ(c->DisableCellColor(), rgbColor(192, 192, 192));
    EXPECT_EQ(c->UserInterface(), uiDefault);
    EXPECT_EQ(c->CaptionColor(), 13565902u);
    EXPECT_EQ(c->BackgroundColor(), 14811120u);
    EXPECT_EQ(c->SolarDate(), QStringLiteral("1389/04/01"));
}

TEST_F(PickerTest, KeyPreviewAsksOkForEnterAndCancelForEsc)
{
    QTest::keyClick(picker->XFBitBtn3, Qt::Key_Return); // even on the cancel button
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->result(), mrOk);

    picker->show();
    QTest::keyClick(picker->BConSet, Qt::Key_Escape);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->result(), mrCancel);

    // Other keys leave the window open.
    picker->show();
    QTest::keyClick(picker->BConSet, Qt::Key_A);
    EXPECT_TRUE(picker->isVisible());
}

// Pictures for a reviewer, written only when RIMO_PICKER_SHOTS names a folder: at rest and with
// the mouse over the OK button.
TEST_F(PickerTest, Screenshots)
{
    const QString folder = qEnvironmentVariable("RIMO_PICKER_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "RIMO_PICKER_SHOTS not set";
    QCoreApplication::processEvents();
    EXPECT_TRUE(picker->grab().save(folder + QStringLiteral("/picker-rest.png")));
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(picker->BConSet, &e);
    QCoreApplication::processEvents();
    EXPECT_TRUE(picker->grab().save(folder + QStringLiteral("/picker-hot.png")));
}
