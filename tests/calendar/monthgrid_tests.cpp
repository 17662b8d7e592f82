// What the month calendar shows, without a window: the cells of a month with the days of the
// months around it, the name tables, and the date spelled in words.
#include "calendar/datescripts.h"
#include "calendar/monthgrid.h"
#include "calendar/spelling.h"
#include "core/error.h"

#include <gtest/gtest.h>

using namespace rimo;
namespace mg = rimo::monthgrid;

namespace {

// The texts of the cells from `from` on, as one blank-separated line ("." for an empty cell).
std::string cells(const mg::MonthGrid& g, int from, int count)
{
    std::string out;
    for (int i = from; i < from + count; ++i)
        out +=
            (out.empty() ? "" : " ") + (g.texts[i].isEmpty() ? std::string(".") : g.texts[i].toStdString());
    return out;
}

int outsideCount(const mg::MonthGrid& g)
{
    return static_cast<int>(std::count(g.outside.begin(), g.outside.end(), true));
}

} // namespace

TEST(MonthGrid, MonthsAndTheDaysAroundThem)
{
    struct Case
    {
        const char* name;
        TDateKind kind;
        int year, month, day;
        int firstCell, length, lastCol, lastRow, focused;
        const char* before; // the cells before day 1
        const char* after;  // the first cells after the last day
    };
    const Case cases[] = {
        // starts on a Saturday: column 0, nothing of Esfand 1387 before it
        {"Farvardin 1388", dkSolar, 1388, 1, 5, 0, 31, 2, 4, 4, "", "1 2 3"},
        // starts on a Friday: column 6 after the last six days of Dey
        {"Bahman 1389", dkSolar, 1389, 11, 4, 6, 30, 0, 5, 9, "25 26 27 28 29 30", "1 2 3"},
        // a leap Esfand shows its 30th day, a common one ends on the 29th
        {"Esfand 1387", dkSolar, 1387, 12, 30, 5, 30, 6, 4, 34, "26 27 28 29 30", "1 2 3"},
        {"Esfand 1388", dkSolar, 1388, 12, 1, 0, 29, 0, 4, 0, "", "1 2 3"},
        {"Esfand 1403", dkSolar, 1403, 12, 30, 4, 30, 5, 4, 33, "27 28 29 30", "1 2 3"},
        // after a leap Esfand the disabled cells end with its 30th day
        {"Farvardin 1404", dkSolar, 1404, 1, 1, 6, 31, 1, 5, 6, "25 26 27 28 29 30", "1 2 3"},
        {"February 2012", dkGregorian, 2012, 2, 29, 3, 29, 3, 4, 31, "29 30 31", "1 2 3"},
        {"February 2011", dkGregorian, 2011, 2, 28, 2, 28, 1, 4, 29, "30 31", "1 2 3"},
        // a day the month lacks has no cell
        {"Mehr 1389", dkSolar, 1389, 7, 31, 5, 30, 6, 4, -1, "27 28 29 30 31", "1 2 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const mg::MonthGrid g = mg::FillGrid(c.kind, c.year, c.month, c.day, true);
        EXPECT_EQ(g.firstCell, c.firstCell);
        EXPECT_EQ(cells(g, 0, c.firstCell), c.before);
        EXPECT_EQ(g.texts[c.firstCell], QStringLiteral("1"));
        EXPECT_EQ(g.texts[c.firstCell + c.length - 1], QString::number(c.length));
        EXPECT_EQ(cells(g, c.firstCell + c.length, 3), c.after);
        EXPECT_EQ(g.lastCol, c.lastCol);
        EXPECT_EQ(g.lastRow, c.lastRow);
        EXPECT_EQ(g.lastRow * 7 + g.lastCol, c.firstCell + c.length - 1);
        EXPECT_EQ(g.focusedCell, c.focused);
        EXPECT_EQ(outsideCount(g), 42 - c.length);
        EXPECT_TRUE(c.firstCell == 0 || g.outside[c.firstCell - 1]);
        EXPECT_FALSE(g.outside[c.firstCell]);
        EXPECT_TRUE(g.outside[c.firstCell + c.length]);
        EXPECT_EQ(g.texts[41].isEmpty(), false);
    }
}

TEST(MonthGrid, WithoutMonthSelectorTheCellsAroundTheMonthStayEmpty)
{
    const mg::MonthGrid g = mg::FillGrid(dkSolar, 1389, 11, 4, false);
    EXPECT_EQ(cells(g, 0, 8), ". . . . . . 1 2");
    EXPECT_EQ(cells(g, 34, 8), "29 30 . . . . . .");
    EXPECT_EQ(outsideCount(g), 12);
}

TEST(MonthGrid, MonthsWithoutPlaceRaise)
{
    EXPECT_THROW(mg::FillGrid(dkSolar, 0, 1, 1, true), Error);
    EXPECT_THROW(mg::FillGrid(dkSolar, 1389, 13, 1, true), Error);
    EXPECT_THROW(mg::FillGrid(dkSolar, 65535, 1, 1, true), Error);
    EXPECT_THROW(mg::FillGrid(dkGregorian, 2011, 0, 1, true), Error);
    EXPECT_NO_THROW(mg::FillGrid(dkSolar, 1, 1, 1, true));
}

TEST(MonthGrid, NameTables)
{
    EXPECT_EQ(mg::MonthName(dkSolar, 1), QStringLiteral("فروردين ماه"));
    EXPECT_EQ(mg::MonthName(dkSolar, 11), QStringLiteral("بهمن ماه"));
    EXPECT_EQ(mg::MonthName(dkSolar, 12), QStringLiteral("اسفند ماه"));
    EXPECT_EQ(mg::MonthName(dkGregorian, 2), QStringLiteral("February"));
    EXPECT_EQ(mg::MonthName(dkSolar, 0), QString());
    EXPECT_EQ(mg::MonthName(dkGregorian, 13), QString());
    EXPECT_EQ(mg::MonthNames(dkGregorian).size(), 12);

    const QStringList solar = {QStringLiteral("شنبه"),     QStringLiteral("يکشنبه"),
                               QStringLiteral("دوشنبه"),   QStringLiteral("سه شنبه"),
                               QStringLiteral("چهارشنبه"), QStringLiteral("پنج شنبه"),
                               QStringLiteral("جمعه")};
    const QStringList english = {QStringLiteral("Sun"), QStringLiteral("Mon"), QStringLiteral("Tue"),
                                 QStringLiteral("Wed"), QStringLiteral("Thu"), QStringLiteral("Fri"),
                                 QStringLiteral("Sat")};
    for (int col = 0; col < 7; ++col) {
        SCOPED_TRACE(col);
        EXPECT_EQ(mg::DayName(dkSolar, col), solar[col]);
        EXPECT_EQ(mg::DayName(dkGregorian, col), english[col]);
    }
    EXPECT_EQ(mg::DayName(dkSolar, 7), QString());
    EXPECT_EQ(mg::DayName(dkSolar, -1), QString());
    // the header reads from the right: Saturday to Friday, and Saturday to Sunday
    EXPECT_EQ(mg::WeekdayCaptions(dkSolar), solar);
    EXPECT_EQ(mg::WeekdayCaptions(dkGregorian),
              QStringList({QStringLiteral("Sat"), QStringLiteral("Fri"), QStringLiteral("Thu"),
                           QStringLiteral("Wed"), QStringLiteral("Tue"), QStringLiteral("Mon"),
                           QStringLiteral("Sun")}));
}

TEST(MonthGrid, EnabledColumns)
{
    const unsigned allButFriday = 0x3F;
    EXPECT_TRUE(mg::ColumnEnabled(allButFriday, 0));
    EXPECT_TRUE(mg::ColumnEnabled(allButFriday, 5));
    EXPECT_FALSE(mg::ColumnEnabled(allButFriday, 6));
    EXPECT_FALSE(mg::ColumnEnabled(0x7F, 7));
    EXPECT_FALSE(mg::ColumnEnabled(0x7F, -1));
}

TEST(DateScripts, YearMonthDayAndWholeDate)
{
    namespace ds = rimo::datescripts;
    const QString eightyNine = SpellNumber(89);
    EXPECT_EQ(eightyNine, QStringLiteral("هشتاد ") + QStringLiteral(" و ") + QStringLiteral("نه "));
    EXPECT_EQ(ds::YearScript(0, fShort, 1389), eightyNine);
    EXPECT_EQ(ds::YearScript(0, fShort, 1400), QStringLiteral("صفر"));
    EXPECT_EQ(ds::YearScript(0, fLong, 1389), SpellNumber(1389));
    EXPECT_EQ(ds::YearScript(1401, fLong, 1389), SpellNumber(1401));
    EXPECT_EQ(ds::YearScript(89, fShort, 1389), eightyNine);

    EXPECT_EQ(ds::MonthScript(11, 4), QStringLiteral("يازده "));
    EXPECT_EQ(ds::MonthScript(0, 11), QStringLiteral("يازدهم "));
    EXPECT_EQ(ds::DayScript(0, 4), QStringLiteral("چهار "));
    EXPECT_EQ(ds::DayScript(21, 4), SpellNumber(21));

    const QString div = QStringLiteral(" - ");
    EXPECT_EQ(ds::YMDScript(mtAlphabet, div, dkSolar, 1389, 11, 4),
              QStringLiteral("چهارم ") + div + QStringLiteral("بهمن ماه") + div + SpellNumber(1389));
    EXPECT_EQ(ds::YMDScript(mtNumeral, div, dkSolar, 1389, 11, 4),
              QStringLiteral("چهارم ") + div + QStringLiteral("يازده ") + div + SpellNumber(1389));
    EXPECT_EQ(ds::YMDScript(mtAlphabet, QStringLiteral("/"), dkGregorian, 2011, 1, 24),
              SpellOrdinal(SpellNumber(24)) + QStringLiteral("/January/") + SpellNumber(2011));
}
