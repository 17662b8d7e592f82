// The month calendar's date operations as plain functions: steps across month and year ends,
// leap months, refused steps, the queries and the text forms.
#include "calendar/dateoperations.h"
#include "core/error.h"

#include <gtest/gtest.h>

using namespace rimo;
namespace ops = rimo::dateops;

namespace {

using Step = QString (*)(const QString&, TDateKind, int);

struct StepCase
{
    const char* name;
    Step step;
    const char* date;
    TDateKind kind;
    int count;
    const char* expected;
};

void checkSteps(std::initializer_list<StepCase> cases)
{
    for (const StepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << "(" << c.date << ", " << c.count << ")");
        EXPECT_EQ(c.step(QString::fromLatin1(c.date), c.kind, c.count).toStdString(), c.expected);
    }
}

} // namespace

TEST(DateOperations, StepsWithinAndAcrossMonthsAndYears)
{
    checkSteps({
        {"IncDay", ops::IncDay, "1389/11/30", dkSolar, 1, "1389/12/01"},
        {"IncDay", ops::IncDay, "1389/11/04", dkSolar, 100, "1390/02/14"},
        {"IncDay", ops::IncDay, "1389/11/04", dkSolar, 365, "1390/11/04"},
        {"IncDay", ops::IncDay, "2011/01/24", dkGregorian, 36, "2011/03/01"},
        {"IncDay", ops::IncDay, "2011/12/31", dkGregorian, 1, "2012/01/01"},
        {"IncDay", ops::IncDay, "2011/01/01", dkGregorian, 365 + 366 + 31, "2013/02/01"},
        {"IncMonth", ops::IncMonth, "1389/06/31", dkSolar, 1, "1389/07/30"},
        {"IncMonth", ops::IncMonth, "1389/12/10", dkSolar, 1, "1390/01/10"},
        {"IncMonth", ops::IncMonth, "1389/11/10", dkSolar, 3, "1390/02/10"},
        {"IncMonth", ops::IncMonth, "1389/06/31", dkSolar, 6, "1389/12/29"},
        {"IncMonth", ops::IncMonth, "1389/05/20", dkSolar, 31, "1391/12/20"},
        {"IncMonth", ops::IncMonth, "2011/01/31", dkGregorian, 1, "2011/02/28"},
        {"IncMonth", ops::IncMonth, "2011/01/31", dkGregorian, 13, "2012/02/29"},
        {"DecMonth", ops::DecMonth, "1390/01/10", dkSolar, 1, "1389/12/10"},
        {"DecMonth", ops::DecMonth, "1390/02/10", dkSolar, 3, "1389/11/10"},
        {"DecMonth", ops::DecMonth, "1390/02/10", dkSolar, 26, "1387/12/10"},
        {"DecMonth", ops::DecMonth, "2011/03/15", dkGregorian, 1, "2011/02/15"},
        {"DecDay", ops::DecDay, "1389/11/30", dkSolar, 29, "1389/11/01"},
        {"IncYear", ops::IncYear, "1389/11/04", dkSolar, 2, "1391/11/04"},
        {"DecYear", ops::DecYear, "1389/11/04", dkSolar, 389, "1000/11/04"},
        {"GotoYear", ops::GotoYear, "1389/11/04", dkSolar, 1400, "1400/11/04"},
        {"GotoMonth", ops::GotoMonth, "1389/11/04", dkSolar, 2, "1389/02/04"},
        {"GotoDay", ops::GotoDay, "1389/11/04", dkSolar, 30, "1389/11/30"},
    });
}

// The real month length counts: a leap Esfand or February keeps its last day and a day the
// target month lacks becomes its last day.
TEST(DateOperations, LeapMonthsAndShortMonths)
{
    checkSteps({
        {"IncDay", ops::IncDay, "1387/12/29", dkSolar, 1, "1387/12/30"},
        {"IncDay", ops::IncDay, "1387/12/29", dkSolar, 2, "1388/01/01"},
        {"IncDay", ops::IncDay, "1388/12/29", dkSolar, 1, "1389/01/01"},
        {"IncDay", ops::IncDay, "1403/12/29", dkSolar, 1, "1403/12/30"},
        {"IncDay", ops::IncDay, "2012/02/28", dkGregorian, 1, "2012/02/29"},
        {"GotoDay", ops::GotoDay, "1387/12/10", dkSolar, 30, "1387/12/30"},
        {"GotoDay", ops::GotoDay, "1403/12/10", dkSolar, 30, "1403/12/30"},
        {"GotoDay", ops::GotoDay, "1388/12/10", dkSolar, 30, "1388/12/10"},
        {"GotoDay", ops::GotoDay, "1389/07/10", dkSolar, 31, "1389/07/10"},
        {"GotoDay", ops::GotoDay, "1389/07/10", dkSolar, 0, "1389/07/10"},
        {"GotoMonth", ops::GotoMonth, "1389/06/31", dkSolar, 7, "1389/07/30"},
        {"GotoMonth", ops::GotoMonth, "1389/06/31", dkSolar, 12, "1389/12/29"},
        {"GotoMonth", ops::GotoMonth, "1389/06/31", dkSolar, 13, "1389/06/31"},
        {"GotoMonth", ops::GotoMonth, "1389/06/31", dkSolar, 0, "1389/06/31"},
        {"IncYear", ops::IncYear, "1387/12/30", dkSolar, 1, "1388/12/29"},
        {"IncYear", ops::IncYear, "1387/12/30", dkSolar, 4, "1391/12/30"},
        {"DecYear", ops::DecYear, "2012/02/29", dkGregorian, 1, "2011/02/28"},
        {"GotoYear", ops::GotoYear, "1387/12/30", dkSolar, 1388, "1388/12/29"},
        {"IncMonth", ops::IncMonth, "1388/11/30", dkSolar, 1, "1388/12/29"},
        {"IncMonth", ops::IncMonth, "1387/11/30", dkSolar, 1, "1387/12/30"},
    });
}

// Steps the calendar refuses leave the date; negative counts step the other way; years outside
// 1..65535 become 0 (refused by the control) instead of wrapping.
TEST(DateOperations, RefusedNegativeAndOutOfRangeSteps)
{
    checkSteps({
        {"DecMonth", ops::DecMonth, "1390/01/31", dkSolar, 1, "1390/01/31"},
        {"DecMonth", ops::DecMonth, "2011/03/31", dkGregorian, 1, "2011/03/31"},
        {"DecDay", ops::DecDay, "1389/11/03", dkSolar, 5, "1389/11/03"},
        {"DecDay", ops::DecDay, "1389/11/03", dkSolar, 3, "1389/11/03"},
        {"IncDay", ops::IncDay, "1389/11/03", dkSolar, -2, "1389/11/01"},
        {"DecDay", ops::DecDay, "1389/11/30", dkSolar, -1, "1389/12/01"},
        {"IncMonth", ops::IncMonth, "1390/02/10", dkSolar, -3, "1389/11/10"},
        {"DecMonth", ops::DecMonth, "1389/11/10", dkSolar, -3, "1390/02/10"},
        {"IncYear", ops::IncYear, "1389/11/04", dkSolar, -1, "1388/11/04"},
        {"DecYear", ops::DecYear, "1389/11/04", dkSolar, -1, "1390/11/04"},
        {"IncYear", ops::IncYear, "65535/01/01", dkSolar, 1, "0/01/01"},
        {"IncYear", ops::IncYear, "1389/11/04", dkSolar, 2147483647, "0/11/04"},
        {"DecYear", ops::DecYear, "1389/11/04", dkSolar, -2147483647 - 1, "0/11/04"},
        {"DecYear", ops::DecYear, "1389/11/04", dkSolar, 1389, "0/11/04"},
        {"GotoYear", ops::GotoYear, "1389/11/04", dkSolar, 70000, "0/11/04"},
        {"IncMonth", ops::IncMonth, "65535/12/01", dkGregorian, 1, "0/01/01"},
        // Subtracting months to before year 1 gives year 0 too (it used to leave the date).
        {"IncMonth", ops::IncMonth, "1389/11/04", dkSolar, -2147483647 - 1, "0/03/04"},
        {"DecMonth", ops::DecMonth, "9999/12/31", dkGregorian, 2147483647, "0/05/31"},
        {"DecMonth", ops::DecMonth, "1000/02/10", dkSolar, 12000, "0/02/10"},
        {"DecMonth", ops::DecMonth, "1000/02/31", dkSolar, 12001, "0/01/31"},
        {"DecMonth", ops::DecMonth, "1000/02/10", dkSolar, 11988, "1/02/10"},
        {"IncDay", ops::IncDay, "65535/12/31", dkGregorian, 1, "0/01/01"},
        {"IncDay", ops::IncDay, "1389/11/04", dkSolar, 2147483647, "0/01/01"},
        {"IncDay", ops::IncDay, "1389/13/04", dkSolar, 1, "1389/00/04"},
        {"IncMonth", ops::IncMonth, "", dkSolar, 1, "0/00/00"},
        // a day its month lacks (which the control lets through) moves from the month's last day
        {"IncDay", ops::IncDay, "1389/07/31", dkSolar, 1, "1389/08/01"},
    });
    EXPECT_THROW(ops::IncDay(QStringLiteral("1389/ab/04"), dkSolar, 1), Error);
}

TEST(DateOperations, Queries)
{
    struct Case
    {
        const char* date;
        TDateKind kind;
        int monthRemain, yearRemain, dayOfWeek, weekRemain, week;
    };
    const Case cases[] = {
        // Monday 24 January 2011
        {"1389/11/04", dkSolar, 26, 26 + 29, 4, 3, 45},
        {"2011/01/24", dkGregorian, 7, 365 - 24, 2, 5, 4},
        {"1389/01/07", dkSolar, 24, 358, 2, 5, 1},
        {"1389/01/08", dkSolar, 23, 357, 3, 4, 2},
        // Thursday 20 March 2025, the last day of a leap Esfand
        {"1403/12/30", dkSolar, 0, 0, 7, 0, 53},
        {"2012/02/28", dkGregorian, 1, 366 - 59, 3, 4, 9},
        // Saturday, ISO week 52 of 2010
        {"2011/01/01", dkGregorian, 30, 364, 7, 0, 52},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        const QString date = QString::fromLatin1(c.date);
        EXPECT_EQ(ops::GetMonthRemainDay(date, c.kind), c.monthRemain);
        EXPECT_EQ(ops::GetYearRemainDays(date, c.kind), c.yearRemain);
        EXPECT_EQ(ops::DayOfWeek(date, c.kind), c.dayOfWeek);
        EXPECT_EQ(ops::GetWeekRemainDays(date, c.kind), c.weekRemain);
        EXPECT_EQ(ops::WeekOfTheYear(date, c.kind), c.week);
    }
}

TEST(DateOperations, QueriesRaiseOnDatesThatDoNotExist)
{
    for (const char* date : {"1389/07/31", "1388/12/30", "1389/13/01", "2011/02/29", "", "0/01/01"}) {
        SCOPED_TRACE(date);
        const QString text = QString::fromLatin1(date);
        const TDateKind kind = text.startsWith(u'2') ? dkGregorian : dkSolar;
        EXPECT_THROW(ops::GetMonthRemainDay(text, kind), Error);
        EXPECT_THROW(ops::GetYearRemainDays(text, kind), Error);
        EXPECT_THROW(ops::DayOfWeek(text, kind), Error);
        EXPECT_THROW(ops::WeekOfTheYear(text, kind), Error);
    }
    EXPECT_THROW(ops::DaysBetween(QStringLiteral("1389/07/31"), QStringLiteral("1389/01/01"), dkSolar),
                 Error);
}

TEST(DateOperations, DaysBetweenAndTextForms)
{
    const auto between = [](const char* a, const char* b, TDateKind kind) {
        return ops::DaysBetween(QString::fromLatin1(a), QString::fromLatin1(b), kind);
    };
    EXPECT_EQ(between("1389/01/01", "1390/01/01", dkSolar), 365);
    EXPECT_EQ(between("1391/01/01", "1392/01/01", dkSolar), 366);
    EXPECT_EQ(between("1392/01/01", "1391/01/01", dkSolar), 366);
    EXPECT_EQ(between("2011/01/24", "2011/03/01", dkGregorian), 36);
    EXPECT_EQ(between("", "1389/01/01", dkSolar), -1);
    EXPECT_EQ(between("1389/01/01", "  ", dkSolar), -1);

    EXPECT_EQ(ops::GetRawDate(QStringLiteral("1389/11/04")), QStringLiteral("13891104"));
    EXPECT_EQ(ops::GetRawDate(QStringLiteral("1/2/3/4/5")), QStringLiteral("1234/5"));
    EXPECT_EQ(ops::GetRawDate(QStringLiteral(" ")), QString());
    EXPECT_EQ(ops::GetDateWithDiv(QStringLiteral("1389/11/04"), QStringLiteral("-")),
              QStringLiteral("1389-11-04"));
    EXPECT_EQ(ops::GetDateWithDiv(QStringLiteral("1389/11/04"), QStringLiteral("/")),
              QStringLiteral("1389/11/04"));
    EXPECT_EQ(ops::GetDateWithDiv(QString(), QStringLiteral("-")), QString());
}

TEST(DateOperations, YearsTheControlMayShow)
{
    EXPECT_TRUE(ops::YearConverts(dkSolar, 1));
    EXPECT_TRUE(ops::YearConverts(dkSolar, 1389));
    EXPECT_FALSE(ops::YearConverts(dkSolar, 0));
    EXPECT_FALSE(ops::YearConverts(dkSolar, 65535));
    EXPECT_TRUE(ops::YearConverts(dkGregorian, 2011));
    EXPECT_TRUE(ops::YearConverts(dkGregorian, 65535));
    // 622-03-21 is solar day one: earlier Gregorian days have no solar date
    EXPECT_FALSE(ops::YearConverts(dkGregorian, 622));
    EXPECT_TRUE(ops::YearConverts(dkGregorian, 623));
}
