// The month calendar control driven as a user drives it: mouse and key events on the shown
// control, today pinned to Monday 24 January 2011 (1389/11/04), messages and beeps recorded.
#include "calendar/spelling.h"
#include "calendar/widgets/calendarparts.h"
#include "calendar/widgets/calendartexts.h"
#include "calendar/widgets/solarmonthcalendar.h"
#include "core/error.h"
#include "platform/testing/doubles.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace rimo;
using namespace Qt::StringLiterals;
using rimo::calendarparts::TDayGrid;
using rimo::calendarparts::TDirectedLabel;
using rimo::calendarparts::TYearUpDown;
namespace cell = rimo::calendarcell;

namespace {

QRgb rgbOf(TColor c)
{
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                static_cast<int>(c >> 16 & 0xFF)) &
           0xFFFFFF;
}

class CalendarTest : public testing::Test
{
protected:
    std::shared_ptr<fakes::FixedClock> clock = std::make_shared<fakes::FixedClock>();
    std::shared_ptr<fakes::RecordingBeeper> beeper = std::make_shared<fakes::RecordingBeeper>();
    fakes::ScopedFakeDialogs dialogs;
    std::unique_ptr<TSolarMonthCalendar> cal;
    TDayGrid* grid = nullptr;
    int dayClicks = 0, prevClicks = 0, nextClicks = 0, layoutClicks = 0;

    void SetUp() override
    {
        cal = std::make_unique<TSolarMonthCalendar>(nullptr, clock, beeper);
        cal->OnDayClick = [this](QObject* sender) {
            EXPECT_EQ(sender, cal.get());
            ++dayClicks;
        };
        cal->OnPrevClick = [this](QObject*) { ++prevClicks; };
        cal->OnNextClick = [this](QObject*) { ++nextClicks; };
        cal->OnLayoutClick = [this](QObject*) { ++layoutClicks; };
        cal->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(cal.get()));
        grid = cal->findChild<TDayGrid*>(u"FGrid"_s);
        ASSERT_NE(grid, nullptr);
    }

    template <typename T> T* part(const QString& name) const
    {
        T* w = cal->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    void clickCell(int col, int row, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(grid->viewport(), button, {}, grid->cellRect(col, row).center());
    }
    void click(QWidget* w, QPoint at = {})
    {
        QTest::mouseClick(w, Qt::LeftButton, {}, at.isNull() ? w->rect().center() : at);
    }
    QString yearLabel() const { return part<QLabel>(u"FYear"_s)->text(); }
    QLineEdit* openYearBox()
    {
        click(part<QLabel>(u"FYear"_s));
        auto* edit = part<QLineEdit>(u"FYearEdit"_s);
        EXPECT_TRUE(edit->isVisible());
        return edit;
    }
    QImage shot() const { return grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // A pixel of the cell's background, away from its text and frame.
    QRgb background(const QImage& image, int col, int row) const
    {
        const QRect r = grid->cellRect(col, row);
        return image.pixel(r.right() - 4, r.bottom() - 3) & 0xFFFFFF;
    }
    // Whether the cell's text is drawn in this colour: the pixel least like the background
    // (where the glyph covers it whole; edges blend) is that colour, give or take smoothing.
    bool textIn(const QImage& image, int col, int row, TColor c) const
    {
        const QRgb bg = background(image, col, row);
        const auto distance = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b));
        };
        const QRect r = grid->cellRect(col, row).adjusted(2, 2, -3, -3);
        QRgb text = bg;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (distance(image.pixel(x, y), bg) > distance(text, bg))
                    text = image.pixel(x, y);
        const QRgb want = rgbOf(c);
        return std::abs(qRed(text) - qRed(want)) <= 40 && std::abs(qGreen(text) - qGreen(want)) <= 40 &&
               std::abs(qBlue(text) - qBlue(want)) <= 40;
    }
};

} // namespace

TEST_F(CalendarTest, StartsOnTodayWithTheConstructorValues)
{
    EXPECT_EQ(cal->OutDate, u"1389/11/04"_s);
    EXPECT_EQ(cal->InDate(), QString());
    EXPECT_EQ(cal->SolarDate(), u"1389/11/04"_s);
    EXPECT_EQ(cal->MiladiDate(), u"2011/01/24"_s);
    EXPECT_EQ(cal->Year(), 1389);
    EXPECT_EQ(cal->Month(), 11);
    EXPECT_EQ(cal->Day(), 4);
    EXPECT_EQ(cal->DateKind(), dkSolar);
    EXPECT_EQ(cal->MonthObject(), moPopupMenu);
    EXPECT_EQ(cal->BackgroundColor(), 12566463u);
    EXPECT_EQ(cal->CaptionColor(), cell::kNavy);
    EXPECT_EQ(cal->DisableCellColor(), 15790335u);
    EXPECT_EQ(cal->EnabledDays(), kAllMonthCaptions);
    EXPECT_EQ(cal->MonthName(), u"بهمن ماه"_s);
    EXPECT_EQ(cal->About(), calendarwidgettexts::kAbout);
    cal->setAbout(u"someone else"_s);
    EXPECT_EQ(cal->About(), calendarwidgettexts::kAbout);
    // the year label and the today label keep their left-to-right order
    EXPECT_EQ(yearLabel(), u"1389 سال"_s);
    EXPECT_EQ(part<QLabel>(u"FToDay"_s)->text(), u"1389/11/04 : امروز"_s);
    EXPECT_EQ(part<QToolButton>(u"FLayout"_s)->text(), u"C"_s);
    EXPECT_EQ(part<QToolButton>(u"FPriorButton"_s)->toolTip(), u"سال قبل"_s);
    EXPECT_EQ(part<QLabel>(u"FYear"_s)->toolTip(), u"سال جاري - كليك كنيد"_s);
    EXPECT_FALSE(part<QToolButton>(u"FNextButton"_s)->icon().isNull());
    EXPECT_EQ(part<QWidget>(u"FCaption"_s)->geometry(), QRect(0, 0, 322, 25));
    EXPECT_EQ(grid->geometry(), QRect(0, 50, 322, 120));
    EXPECT_EQ(grid->layoutDirection(), Qt::RightToLeft);
    // Bahman 1389 starts on a Friday: the focus is on day 4 in row 1, column 2
    EXPECT_EQ(cal->grid().focusedCell, 9);
    EXPECT_EQ(cal->DayName(), u"دوشنبه"_s);
}

TEST_F(CalendarTest, KeepsItsSizeAfterAnyResize)
{
    cal->resize(400, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(cal->size(), QSize(322, 195));
    cal->resize(322, 215);
    EXPECT_EQ(cal->size(), QSize(322, 195));
}

TEST_F(CalendarTest, DayClicksPickTheDayAndRaiseTheEvent)
{
    // row 1, column 5: day 7 (Thursday)
    clickCell(5, 1);
    EXPECT_EQ(cal->OutDate, u"1389/11/07"_s);
    EXPECT_EQ(cal->InDate(), u"1389/11/07"_s);
    EXPECT_EQ(cal->LastCol, 5);
    EXPECT_EQ(cal->LastRow, 1);
    EXPECT_EQ(cal->DayName(), u"پنج شنبه"_s);
    EXPECT_EQ(grid->toolTip(), u"7 بهمن ماه 1389"_s);
    EXPECT_EQ(dayClicks, 1);

    // the hint follows the mouse, and is empty over the current day
    QTest::mouseMove(grid->viewport(), grid->cellRect(0, 2).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->toolTip() == u"9 بهمن ماه 1389"_s; }, 2000));
    QTest::mouseMove(grid->viewport(), grid->cellRect(5, 1).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->toolTip().isEmpty(); }, 2000));

    // arrow keys move the selection as the screen shows the grid: left is the next day
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(cal->OutDate, u"1389/11/08"_s);
    EXPECT_EQ(dayClicks, 2);
    cal->setInDate(u"1389/11/07"_s);
    dayClicks = 1;

    // without Friday, column 6 ignores clicks: day 1 of Bahman stays unpicked
    cal->setEnabledDays(monthCaptions({mcSaturday, mcSunday, mcMonday, mcTuesday, mcWednesday, mcThursday}));
    clickCell(6, 0);
    EXPECT_EQ(cal->OutDate, u"1389/11/07"_s);
    EXPECT_EQ(dayClicks, 1);
    clickCell(0, 1);
    EXPECT_EQ(cal->OutDate, u"1389/11/02"_s);
    EXPECT_EQ(dayClicks, 2);
}

TEST_F(CalendarTest, CellsOfTheMonthsAroundMoveAcrossTheYearEnd)
{
    cal->setInDate(u"1389/01/15"_s);
    // Farvardin 1389 starts on a Sunday: column 0 holds Esfand 29 of 1388
    ASSERT_EQ(cal->grid().firstCell, 1);
    clickCell(0, 0);
    EXPECT_EQ(cal->OutDate, u"1388/12/15"_s);
    EXPECT_EQ(cal->InDate(), u"1388/12/15"_s);
    EXPECT_EQ(yearLabel(), u"1388 سال"_s);
    EXPECT_EQ(cal->MonthName(), u"اسفند ماه"_s);
    EXPECT_EQ(prevClicks, 0);
    // Esfand 1388 (29 days from a Saturday) ends in row 4, column 0; column 1 is Farvardin 1
    ASSERT_EQ(cal->grid().lastCol, 0);
    ASSERT_EQ(cal->grid().lastRow, 4);
    clickCell(1, 4);
    EXPECT_EQ(cal->OutDate, u"1389/01/15"_s);
    EXPECT_EQ(yearLabel(), u"1389 سال"_s);
    EXPECT_EQ(nextClicks, 0);
    EXPECT_EQ(dayClicks, 2);

    // without a month selector those cells are empty and change nothing
    cal->setMonthObject(moNone);
    EXPECT_TRUE(cal->grid().texts[0].isEmpty());
    clickCell(0, 0);
    EXPECT_EQ(cal->OutDate, u"1389/01/15"_s);
}

TEST_F(CalendarTest, InDateRefusesZeroPartsWithItsMessage)
{
    cal->setInDate(u"1389/05/10"_s);
    cal->setInDate(u"1389/13/01"_s);
    ASSERT_EQ(dialogs.messages.size(), 1);
    const MessageBoxRequest& shown = dialogs.messages.front();
    EXPECT_EQ(shown.text, u".تاريخ وارد شده معتبر نمي\u200Cباشد، لطفاً تاريخ صحيح را وارد نمائيد"_s);
    EXPECT_EQ(shown.buttons, QStringList{u"OK"_s});
    EXPECT_EQ(shown.icon, MessageIcon::None);
    EXPECT_EQ(cal->OutDate, u"1389/05/10"_s);
    EXPECT_EQ(cal->InDate(), u"1389/05/10"_s);

    cal->setInDate(u"  "_s);
    cal->setInDate(QString());
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(cal->OutDate, u"1389/05/10"_s);
    EXPECT_THROW(cal->setInDate(u"1389/ab/01"_s), Error);

    // a day its month lacks passes and has no cell
    cal->setInDate(u"1389/07/31"_s);
    EXPECT_EQ(cal->OutDate, u"1389/07/31"_s);
    EXPECT_EQ(cal->grid().focusedCell, -1);
    EXPECT_THROW(cal->DayOfWeek(), Error);
    EXPECT_EQ(cal->ConvertDateEng(u"1389/07/31"_s), u"1389/07/31"_s);

    // a moving method whose result has a zero year keeps the date and returns it
    cal->setInDate(u"1389/05/10"_s);
    EXPECT_EQ(cal->GotoYear(70000), u"1389/05/10"_s);
    EXPECT_EQ(dialogs.messages.size(), 2);

    cal->setDateKind(dkGregorian);
    cal->setInDate(u"2011/00/05"_s);
    ASSERT_EQ(dialogs.messages.size(), 3);
    EXPECT_EQ(dialogs.messages.back().text, u"Invalid date, Enter correct date please."_s);

    // so does a step of months to before year 1
    cal->setInDate(u"9999/12/31"_s);
    EXPECT_EQ(cal->DecMonth(2147483647), u"9999/12/31"_s);
    ASSERT_EQ(dialogs.messages.size(), 4);
    EXPECT_EQ(dialogs.messages.back().text, u"Invalid date, Enter correct date please."_s);
}

TEST_F(CalendarTest, YearBoxKeys)
{
    QLineEdit* edit = openYearBox();
    EXPECT_EQ(edit->text(), u"1389"_s);
    EXPECT_FALSE(edit->hasSelectedText());
    edit->clear();
    QTest::keyClicks(edit, u"1340"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(cal->Year(), 1389);
    EXPECT_EQ(beeper->beeps, 1);
    EXPECT_FALSE(edit->isVisible());

    edit = openYearBox();
    edit->clear();
    QTest::keyClicks(edit, u"1341"_s);
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(cal->Year(), 1341);
    EXPECT_EQ(cal->OutDate, u"1341/11/04"_s);
    EXPECT_EQ(yearLabel(), u"1341 سال"_s);
    EXPECT_EQ(beeper->beeps, 1);
    // the year box does not touch InDate
    EXPECT_EQ(cal->InDate(), QString());
    EXPECT_EQ(prevClicks + nextClicks, 0);

    // letters never reach the box; Esc returns to the year the box opened with
    edit = openYearBox();
    QTest::keyClicks(edit, u"x"_s);
    EXPECT_EQ(edit->text(), u"1341"_s);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(cal->Year(), 1342);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(cal->Year(), 1341);
    EXPECT_FALSE(edit->isVisible());

    // a click on the caption bar closes the box; without year buttons it does not open
    openYearBox();
    click(part<QWidget>(u"FCaption"_s), QPoint(100, 20));
    EXPECT_FALSE(edit->isVisible());
    cal->setEnableYearButtons(false);
    click(part<QLabel>(u"FYear"_s));
    EXPECT_FALSE(edit->isVisible());
    EXPECT_FALSE(part<QToolButton>(u"FPriorButton"_s)->isEnabled());

    // Gregorian years are accepted from 1900 on
    cal->setEnableYearButtons(true);
    cal->setDateKind(dkGregorian);
    edit = openYearBox();
    edit->setText(u"1899"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(beeper->beeps, 2);
    edit = openYearBox();
    edit->setText(u"1900"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(cal->Year(), 1900);
    EXPECT_EQ(yearLabel(), u"Year 1900"_s);
    EXPECT_EQ(beeper->beeps, 2);
}

TEST_F(CalendarTest, UpDownAndYearButtons)
{
    QLineEdit* edit = openYearBox();
    auto* upDown = part<TYearUpDown>(u"FYearUpDown"_s);
    click(upDown, QPoint(6, 3));
    EXPECT_EQ(cal->Year(), 1390);
    EXPECT_EQ(nextClicks, 1);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), u"1390"_s);
    click(upDown, QPoint(6, 14));
    click(upDown, QPoint(6, 14));
    EXPECT_EQ(cal->Year(), 1388);
    EXPECT_EQ(prevClicks, 2);
    EXPECT_TRUE(edit->isVisible());

    // the buttons close the box; from a leap Esfand 30 the day becomes the month's last
    cal->setInDate(u"1387/12/30"_s);
    click(part<QToolButton>(u"FNextButton"_s));
    EXPECT_EQ(cal->OutDate, u"1388/12/29"_s);
    EXPECT_EQ(nextClicks, 2);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(cal->InDate(), u"1387/12/30"_s);
    click(part<QToolButton>(u"FPriorButton"_s));
    EXPECT_EQ(cal->OutDate, u"1387/12/29"_s);
    EXPECT_EQ(prevClicks, 3);

    // the buttons stop at the last year the calendar converts (its Dey ends past Gregorian 65535)
    cal->setInDate(u"64913/12/01"_s);
    click(part<QToolButton>(u"FNextButton"_s));
    EXPECT_EQ(cal->Year(), 64913);
    EXPECT_EQ(nextClicks, 2);
    cal->setInDate(u"64914/01/01"_s);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(cal->Year(), 64913);
}

TEST_F(CalendarTest, TodayLabelHoverAndClick)
{
    auto* today = part<TDirectedLabel>(u"FToDay"_s);
    EXPECT_EQ(today->geometry().topLeft(), QPoint(10, 175));
    cal->setInDate(u"1390/05/05"_s);
    QTest::mouseMove(cal.get(), QPoint(200, 100));
    QTest::mouseMove(today, today->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return today->textColor() == QColor(0, 0, 255); }, 2000));
    QTest::mouseMove(cal.get(), QPoint(200, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return today->textColor() == QColor(0, 0, 128); }, 2000));
    click(today);
    EXPECT_EQ(cal->OutDate, u"1389/11/04"_s);
    EXPECT_EQ(cal->InDate(), u"1389/11/04"_s);
}

TEST_F(CalendarTest, MenuChangeFromDay31)
{
    cal->setInDate(u"1389/06/31"_s);
    clickCell(3, 3, Qt::RightButton);
    auto* menu = part<QMenu>(u"FMenu"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 12);
    EXPECT_TRUE(items[5]->isChecked());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(items[6]).center());
    EXPECT_EQ(cal->OutDate, u"1389/07/30"_s);
    EXPECT_EQ(cal->InDate(), u"1389/07/30"_s);
    EXPECT_TRUE(items[6]->isChecked());
    EXPECT_FALSE(items[5]->isChecked());
}

TEST_F(CalendarTest, ComboBoxChangeFromDay31)
{
    cal->setMonthObject(moComboBox);
    auto* combo = part<QComboBox>(u"FMonthCombo"_s);
    EXPECT_FALSE(part<QLabel>(u"FMonth"_s)->isVisible());
    EXPECT_EQ(combo->geometry().left(), 222);
    EXPECT_EQ(combo->geometry().top(), 172);
    EXPECT_EQ(combo->width(), 100);
    EXPECT_EQ(combo->layoutDirection(), Qt::RightToLeft);
    cal->setInDate(u"1389/06/31"_s);
    EXPECT_EQ(combo->currentIndex(), 5);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(cal->OutDate, u"1389/07/30"_s);
    QTest::keyClick(combo, Qt::Key_End);
    EXPECT_EQ(cal->OutDate, u"1389/12/29"_s);
    EXPECT_EQ(cal->InDate(), u"1389/12/29"_s);
    EXPECT_EQ(combo->currentIndex(), 11);

    cal->setMonthObject(moPopupMenu);
    EXPECT_TRUE(cal->findChild<QComboBox*>(u"FMonthCombo"_s) == nullptr);
    EXPECT_TRUE(part<QLabel>(u"FMonth"_s)->isVisible());
}

TEST_F(CalendarTest, CalendarSwitchRoundTrip)
{
    auto* layout = part<QToolButton>(u"FLayout"_s);
    click(part<QToolButton>(u"FNextButton"_s));
    ASSERT_EQ(cal->OutDate, u"1390/11/04"_s);
    click(layout);
    EXPECT_EQ(layoutClicks, 1);
    EXPECT_EQ(cal->DateKind(), dkGregorian);
    // the date shown converts, also after the year buttons moved it
    EXPECT_EQ(cal->OutDate, u"2012/01/24"_s);
    EXPECT_EQ(cal->MiladiDate(), u"2012/01/24"_s);
    EXPECT_EQ(layout->text(), u"ش"_s);
    EXPECT_EQ(layout->toolTip(), u"Persian"_s);
    EXPECT_EQ(yearLabel(), u"Year 2012"_s);
    EXPECT_EQ(cal->MonthName(), u"January"_s);
    EXPECT_EQ(grid->layoutDirection(), Qt::LeftToRight);
    auto* today = part<QLabel>(u"FToDay"_s);
    EXPECT_EQ(today->text(), u"Today : 2011/01/24"_s);
    EXPECT_EQ(today->geometry().right(), 322 - 2 - 1);
    EXPECT_EQ(part<QLabel>(u"FMonth"_s)->x(), 4);
    // January 2012 starts on a Sunday (column 0, the maroon weekend column)
    EXPECT_EQ(cal->grid().firstCell, 0);
    clickCell(2, 0);
    EXPECT_EQ(cal->OutDate, u"2012/01/03"_s);
    EXPECT_EQ(cal->DayName(), u"Tue"_s);

    click(layout);
    EXPECT_EQ(layoutClicks, 2);
    EXPECT_EQ(cal->DateKind(), dkSolar);
    EXPECT_EQ(cal->OutDate, u"1390/10/13"_s);
    EXPECT_EQ(cal->SolarDate(), u"1390/10/13"_s);
    EXPECT_EQ(layout->text(), u"C"_s);
    EXPECT_EQ(dayClicks, 1);
}

TEST_F(CalendarTest, DateMethodsSpellingAndConversions)
{
    EXPECT_EQ(cal->DayOfWeek(), 4);
    EXPECT_EQ(cal->GetWeekRemainDays(), 3);
    EXPECT_EQ(cal->LIncMonth(3), u"1390/02/04"_s);
    EXPECT_EQ(cal->OutDate, u"1389/11/04"_s);
    EXPECT_EQ(cal->IncDay(100), u"1390/02/14"_s);
    EXPECT_EQ(cal->InDate(), u"1390/02/14"_s);
    EXPECT_EQ(cal->DecMonth(3), u"1389/11/14"_s);
    EXPECT_EQ(cal->GotoDay(30), u"1389/11/30"_s);
    EXPECT_EQ(cal->GotoMonth(12), u"1389/12/29"_s);
    EXPECT_EQ(cal->DaysBetween(QString(), u"1390/01/01"_s), 1);
    EXPECT_EQ(cal->GetRawDate(), u"13891229"_s);
    EXPECT_EQ(cal->GetDateWithDiv(u"-"_s), u"1389-12-29"_s);

    cal->setInDate(u"1389/11/04"_s);
    EXPECT_EQ(cal->MonthScript(11), u"يازده "_s);
    EXPECT_EQ(cal->MonthScript(0), u"يازدهم "_s);
    EXPECT_EQ(cal->YearScript(0, fShort), u"هشتاد  و نه "_s);
    cal->GotoYear(1400);
    EXPECT_EQ(cal->YearScript(0, fShort), u"صفر"_s);
    cal->GotoYear(1389);
    EXPECT_EQ(cal->YMDScript(mtAlphabet, u" "_s), u"چهارم  بهمن ماه "_s + SpellNumber(1389));
    EXPECT_EQ(cal->YMDScript(mtNumeral, u"/"_s), u"چهارم /يازده /"_s + SpellNumber(1389));
    EXPECT_EQ(cal->DayScript(0), u"چهار "_s);

    EXPECT_EQ(cal->ConvertDateEng(u"1389/11/04"_s), u"2011/01/24"_s);
    EXPECT_EQ(cal->ConvertDate(), u"2011/01/24"_s);
    EXPECT_EQ(cal->ConvertYear(), 2011);
    EXPECT_EQ(cal->ConvertMonth(), 1);
    cal->setDateKind(dkGregorian);
    EXPECT_EQ(cal->ConvertDate(), u"1389/11/04"_s);
    EXPECT_EQ(cal->DayOfWeek(), 2);
}

TEST_F(CalendarTest, CellColoursInBothInterfaces)
{
    // Bahman 1389: Dey 25-30 in row 0, columns 0-5; day 4 selected in row 1, column 2;
    // day 8 (a Friday) in row 1, column 6; the days after Bahman 30 from row 5, column 1.
    QImage image = shot();
    image.save(u"/tmp/cal-test-grid.png"_s);
    EXPECT_EQ(background(image, 0, 2), rgbOf(cell::kEvenRow));
    EXPECT_EQ(background(image, 0, 1), rgbOf(cell::kOddRow));
    EXPECT_EQ(background(image, 3, 0), rgbOf(cell::kDisabled));
    EXPECT_EQ(background(image, 3, 5), rgbOf(cell::kDisabled));
    EXPECT_TRUE(textIn(image, 3, 0, cell::kGrey));
    EXPECT_TRUE(textIn(image, 2, 1, cell::kRed));
    EXPECT_TRUE(textIn(image, 6, 1, cell::kMaroon));
    EXPECT_FALSE(textIn(image, 5, 1, cell::kMaroon));
    EXPECT_TRUE(textIn(image, 5, 1, cell::kBlack));
    // in a right-to-left grid column 0 is at the right
    EXPECT_GT(grid->cellRect(0, 0).left(), grid->cellRect(6, 0).left());

    cal->setShowCellInColor(false);
    image = shot();
    EXPECT_EQ(background(image, 0, 2), rgbOf(cell::kWhite));

    const TColor first = rgbColor(10, 200, 30), second = rgbColor(200, 20, 90),
                 disabled = rgbColor(60, 60, 160);
    cal->setUserInterface(uiCustom);
    cal->setFirstRowColor(first);
    cal->setSecondRowColor(second);
    cal->setDisableCellColor(disabled);
    cal->setCellFontColor(rgbColor(0, 0, 255));
    cal->setSelectedCellFontColor(rgbColor(0, 255, 0));
    cal->update();
    image = shot();
    EXPECT_EQ(background(image, 0, 2), rgbOf(first));
    EXPECT_EQ(background(image, 0, 1), rgbOf(second));
    EXPECT_EQ(background(image, 3, 0), rgbOf(disabled));
    EXPECT_TRUE(textIn(image, 2, 1, rgbColor(0, 255, 0)));
    EXPECT_TRUE(textIn(image, 5, 1, rgbColor(0, 0, 255)));
    EXPECT_TRUE(textIn(image, 6, 1, cell::kMaroon));

    // the background and caption colours apply in the custom interface only
    cal->setBackgroundColor(rgbColor(240, 255, 225));
    EXPECT_EQ(cal->grab().toImage().pixel(2, 190) & 0xFFFFFF, qRgb(240, 255, 225) & 0xFFFFFF);
}

TEST(CalendarCell, LookTable)
{
    namespace c = rimo::calendarcell;
    const c::CellColors custom{rgbColor(1, 1, 1), rgbColor(2, 2, 2), rgbColor(3, 3, 3), rgbColor(4, 4, 4),
                               rgbColor(5, 5, 5)};
    struct Case
    {
        TUserInterface ui;
        bool inColor;
        TDateKind kind;
        int col, row;
        bool selected, outside;
        TColor brush, font;
        bool bold;
    };
    const Case cases[] = {
        {uiDefault, true, dkSolar, 0, 0, false, false, c::kEvenRow, c::kBlack, false},
        {uiDefault, true, dkSolar, 0, 1, false, false, c::kOddRow, c::kBlack, false},
        {uiDefault, false, dkSolar, 0, 1, false, false, c::kWhite, c::kBlack, false},
        {uiDefault, true, dkSolar, 3, 2, true, false, c::kEvenRow, c::kRed, true},
        {uiDefault, true, dkSolar, 6, 2, false, false, c::kEvenRow, c::kMaroon, false},
        {uiDefault, true, dkSolar, 6, 2, true, false, c::kEvenRow, c::kRed, true},
        {uiDefault, true, dkSolar, 0, 2, false, false, c::kEvenRow, c::kBlack, false},
        {uiDefault, true, dkGregorian, 0, 2, false, false, c::kEvenRow, c::kMaroon, false},
        {uiDefault, true, dkSolar, 6, 0, false, true, c::kDisabled, c::kGrey, false},
        {uiCustom, true, dkSolar, 1, 0, false, false, rgbColor(2, 2, 2), rgbColor(4, 4, 4), false},
        {uiCustom, false, dkSolar, 1, 3, false, false, rgbColor(3, 3, 3), rgbColor(4, 4, 4), false},
        {uiCustom, true, dkSolar, 1, 3, true, false, rgbColor(3, 3, 3), rgbColor(5, 5, 5), true},
        {uiCustom, true, dkSolar, 1, 5, false, true, rgbColor(1, 1, 1), c::kGrey, false},
        {uiCustom, true, dkGregorian, 0, 4, false, false, rgbColor(2, 2, 2), c::kMaroon, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.ui << " kind " << k.kind << " cell " << k.col << "," << k.row);
        const c::CellLook look =
            c::cellLook(k.ui, k.inColor, custom, k.kind, k.col, k.row, k.selected, k.outside);
        EXPECT_EQ(look.brush, k.brush);
        EXPECT_EQ(look.font, k.font);
        EXPECT_EQ(look.bold, k.bold);
    }
}

// Pictures of the control for a reviewer, written only when RIMO_CALENDAR_SHOTS names a folder:
// solar and Gregorian mode, the combo box and the custom interface.
TEST_F(CalendarTest, Screenshots)
{
    const QString folder = qEnvironmentVariable("RIMO_CALENDAR_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "RIMO_CALENDAR_SHOTS not set";
    const auto save = [&](const QString& name) {
        QCoreApplication::processEvents();
        EXPECT_TRUE(cal->grab().save(QDir(folder).filePath(u"cal-"_s + name + u".png"_s)));
    };
    save(u"solar"_s);
    cal->setDateKind(dkGregorian);
    save(u"gregorian"_s);
    cal->setDateKind(dkSolar);
    cal->setMonthObject(moComboBox);
    save(u"combo"_s);
    cal->setMonthObject(moPopupMenu);
    cal->setUserInterface(uiCustom);
    cal->setFirstRowColor(rgbColor(255, 250, 205));
    cal->setSecondRowColor(rgbColor(224, 255, 255));
    cal->setDisableCellColor(rgbColor(211, 211, 211));
    cal->setCellFontColor(rgbColor(0, 0, 139));
    cal->setSelectedCellFontColor(rgbColor(0, 128, 0));
    cal->setBackgroundColor(rgbColor(240, 255, 225));
    cal->setCaptionColor(rgbColor(70, 130, 180));
    save(u"custom"_s);
    cal->setDateKind(dkGregorian);
    cal->setMonthObject(moComboBox);
    openYearBox();
    save(u"gregorian-combo-yearbox"_s);
}
