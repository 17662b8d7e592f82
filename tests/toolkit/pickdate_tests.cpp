// Picking a date for an edit box: the toolkit's PickDateFromDate with the picker window shown
// through the dialog seam and driven with key and mouse events; today is pinned to 1389/11/04.
#include "calendar/widgets/datepickernew.h"
#include "platform/testing/doubles.h"
#include "toolkit/tools.h"
#include "widgets/xfbitbtn.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace rimo;

namespace {

// What the picker showed when it opened, and the box's text at that moment.
struct Opened
{
    QString date;
    int year = 0, month = 0, day = 0;
    QString boxText;
};

class PickDateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PlatformServices s;
        s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
        s.osVersion = std::make_shared<fakes::FakeOsVersion>();
        s.beeper = std::make_shared<fakes::RecordingBeeper>();
        s.shellOpener = std::make_shared<fakes::RecordingShellOpener>();
        s.tone = std::make_shared<fakes::RecordingTone>();
        s.clock = clock;
        tools = std::make_unique<TTools>(s, dir.path());
        box = std::make_unique<QLineEdit>();
        dialogs.messages.clear();
    }

    // Queues the user's part: the shown picker is recorded, then `act` drives it.
    void user(std::function<void(TDatePickerNew&)> act)
    {
        dialogs.execAnswers.push_back([this, act](QDialog& dialog) {
            auto& picker = dynamic_cast<TDatePickerNew&>(dialog);
            EXPECT_EQ(TDatePickerNew::DatePickerNew(), &picker);
            picker.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
            opened.date = picker.Calndr->GetDateWithDiv(QStringLiteral("/"));
            opened.year = picker.Calndr->Year();
            opened.month = picker.Calndr->Month();
            opened.day = picker.Calndr->Day();
            opened.boxText = box->text();
            act(picker);
            EXPECT_FALSE(picker.isVisible()) << "the picker did not close";
            return picker.result();
        });
    }

    QString pick(const QString& text)
    {
        box->setText(text);
        tools->PickDateFromDate(box.get());
        EXPECT_TRUE(dialogs.execAnswers.empty());
        EXPECT_EQ(TDatePickerNew::DatePickerNew(), nullptr); // freed
        return box->text();
    }

    template <typename T> static T* part(TDatePickerNew& p, const QString& name)
    {
        auto* w = p.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    std::shared_ptr<fakes::FixedClock> clock = std::make_shared<fakes::FixedClock>(); // 2011-01-24
    QTemporaryDir dir;
    fakes::ScopedFakeDialogs dialogs;
    std::unique_ptr<TTools> tools;
    std::unique_ptr<QLineEdit> box;
    Opened opened;
};

void clickOk(TDatePickerNew& p)
{
    QTest::mouseClick(p.BConSet, Qt::LeftButton);
}

} // namespace

TEST_F(PickDateTest, EmptyBoxOpensOnTodayAndOkWritesIt)
{
    user(clickOk);
    EXPECT_EQ(pick(QString()), QStringLiteral("1389/11/04"));
    EXPECT_EQ(opened.date, QStringLiteral("1389/11/04"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PickDateTest, ShortDateIsCompletedAndOpened)
{
    user([](TDatePickerNew& p) { QTest::keyClick(&p, Qt::Key_Escape); });
    EXPECT_EQ(pick(QStringLiteral("89/1/5")), QStringLiteral("1389/01/05"));
    EXPECT_EQ(opened.boxText, QStringLiteral("1389/01/05"));
    EXPECT_EQ(opened.year, 1389);
    EXPECT_EQ(opened.month, 1);
    EXPECT_EQ(opened.day, 5);
}

TEST_F(PickDateTest, InvalidDateShowsOneMessageAndOpensOnToday)
{
    user([](TDatePickerNew& p) { QTest::mouseClick(p.XFBitBtn3, Qt::LeftButton); });
    EXPECT_EQ(pick(QStringLiteral("1389/13/01")), QStringLiteral("1389/13/01"));
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(opened.date, QStringLiteral("1389/11/04"));
}

TEST_F(PickDateTest, EscAndCancelLeaveTheBoxAsCompleted)
{
    // A day picked and then cancelled: with Esc from the grid, and with the cancel button.
    const auto pickThen = [this](std::function<void(TDatePickerNew&)> close) {
        user([this, close](TDatePickerNew& p) {
            QWidget* grid = part<QWidget>(p, QStringLiteral("FGrid"));
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Right);
            EXPECT_NE(p.Calndr->GetDateWithDiv(QStringLiteral("/")), opened.date);
            close(p);
            EXPECT_EQ(p.result(), mrCancel);
        });
    };
    pickThen([](TDatePickerNew& p) { QTest::keyClick(p.focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(pick(QStringLiteral("89/2/10")), QStringLiteral("1389/02/10"));
    pickThen([](TDatePickerNew& p) { QTest::mouseClick(p.XFBitBtn3, Qt::LeftButton); });
    EXPECT_EQ(pick(QStringLiteral("1389/2/10")), QStringLiteral("1389/02/10"));
}

TEST_F(PickDateTest, EnterClosesWithOkFromTheGridTheMonthComboAndTheYearBox)
{
    // From a day cell, after moving one day on.
    user([this](TDatePickerNew& p) {
        QWidget* grid = part<QWidget>(p, QStringLiteral("FGrid"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Return);
        EXPECT_EQ(p.result(), mrOk);
    });
    const QString fromGrid = pick(QStringLiteral("1389/05/10"));
    EXPECT_TRUE(fromGrid == QStringLiteral("1389/05/11") || fromGrid == QStringLiteral("1389/05/09"))
        << fromGrid.toStdString();

    // From the month combo box, after choosing another month.
    user([this](TDatePickerNew& p) {
        auto* combo = part<QComboBox>(p, QStringLiteral("FMonthCombo"));
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down); // Shahrivar
        QTest::keyClick(combo, Qt::Key_Down); // Mehr
        QTest::keyClick(combo, Qt::Key_Enter);
        EXPECT_EQ(p.result(), mrOk);
    });
    EXPECT_EQ(pick(QStringLiteral("1389/05/10")), QStringLiteral("1389/07/10"));

    // From the year box: the typed year is applied before the window closes.
    user([this](TDatePickerNew& p) {
        QTest::mouseClick(part<QLabel>(p, QStringLiteral("FYear")), Qt::LeftButton);
        auto* edit = part<QLineEdit>(p, QStringLiteral("FYearEdit"));
        ASSERT_TRUE(edit->isVisible());
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("1390"));
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(p.result(), mrOk);
    });
    EXPECT_EQ(pick(QStringLiteral("1389/05/10")), QStringLiteral("1390/05/10"));
}

// A day its month lacks opens on the month's last day, as the month control treats it; before,
// the picker kept the calendar's own day and OK wrote e.g. 1389/12/04 for 1389/12/30.
TEST_F(PickDateTest, ADayTheMonthLacksOpensOnTheMonthsLastDay)
{
    struct Case
    {
        QString box, opened;
    } cases[] = {
        {"1389/12/30", "1389/12/29"},                               // Esfand of a common year
        {"1404/12/30", "1404/12/29"}, {"1403/12/30", "1403/12/30"}, // Esfand of a leap year keeps its 30th
        {"1387/12/30", "1387/12/30"}, {"89/7/31", "1389/07/30"},
    };
    for (const Case& c : cases) {
        user(clickOk);
        EXPECT_EQ(pick(c.box), c.opened) << c.box.toStdString();
        EXPECT_EQ(opened.date, c.opened) << c.box.toStdString();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PickDateTest, FiveDigitYearIsReadAtTheDividers)
{
    user(clickOk);
    const QString after = pick(QStringLiteral("13890/1/5"));
    EXPECT_EQ(opened.boxText, QStringLiteral("13890/01/05"));
    // Month and day are not read from the year's digits.
    EXPECT_EQ(opened.month, 1);
    EXPECT_EQ(opened.day, 5);
    EXPECT_EQ(opened.year, 13890);
    EXPECT_EQ(after, QStringLiteral("13890/01/05"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PickDateTest, OldPickAndTextlessSendersChangeNothing)
{
    box->setText(QStringLiteral("89/1/5"));
    tools->PickDateFromDateOld(box.get());
    EXPECT_EQ(box->text(), QStringLiteral("89/1/5"));
    EXPECT_TRUE(dialogs.execTitles.isEmpty());
    // A cancelled pick (the seam answers Rejected) on an empty box leaves it empty.
    box->clear();
    tools->PickDateFromDate(box.get());
    EXPECT_EQ(box->text(), QString());
    EXPECT_EQ(dialogs.execTitles.size(), 1);
}
