// Date and time entry as plain rules: which fault a typed text has (the checks' order and what
// they quote), completion to the canonical forms, and reading clock times.
#include "calendar/dateentry.h"
#include "core/error.h"

#include <gtest/gtest.h>

using namespace rimo;

TEST(DateEntry, FaultsInTheOrderTheChecksRun)
{
    using F = DateEntryFault;
    struct Case
    {
        QString text;
        F fault;
        QString quoted;
    } cases[] = {
        {"1389/11/04", F::None, "1389/11/04"},
        {"\t 89/1/4\r\n", F::None, "89/1/4"},  // every character up to code 32 is trimmed
        {"0/1/1", F::None, "0/1/1"},           // the year is not checked
        {"1389/07/31", F::None, "1389/07/31"}, // nor the month's length
        {"1389/0000000001/01", F::None, "1389/0000000001/01"},
        // A wrong slash count wins over wrong characters, which win over missing parts.
        {"1389-1a-04", F::SlashCount, "1389-1a-04"},
        {"/a/", F::Characters, "/a/"},
        {QStringLiteral("\u06f1\u06f3\u06f8\u06f9/1/1"), F::Characters,
         QStringLiteral("\u06f1\u06f3\u06f8\u06f9/1/1")},
        {"1389/ 1/04", F::Characters, "1389/ 1/04"},
        {"//", F::MissingPart, "//"},
        {"1389//04", F::MissingPart, "1389//04"},
        {"/11/04", F::MissingPart, "/11/04"},
        // The month is checked before the day.
        {"1389/13/32", F::Month, "1389/13/32"},
        {"1389/00/01", F::Month, "1389/00/01"},
        {"1389/12/32", F::Day, "1389/12/32"},
        {"1389/12/0", F::Day, "1389/12/0"},
    };
    for (const auto& c : cases) {
        const DateEntryCheck check = checkDateEntry(c.text);
        EXPECT_EQ(check.fault, c.fault) << c.text.toStdString();
        EXPECT_EQ(check.text, c.quoted) << c.text.toStdString();
    }
}

TEST(DateEntry, MonthOrDayBeyondAnIntegerIsAnErrorButTheYearIsNeverRead)
{
    EXPECT_THROW(checkDateEntry("1389/99999999999/01"), Error);
    EXPECT_THROW(checkDateEntry("1389/01/99999999999"), Error);
    EXPECT_EQ(checkDateEntry("99999999999999999999/01/01").fault, DateEntryFault::None);
    // The month's fault is found before the day is read.
    EXPECT_EQ(checkDateEntry("1389/13/99999999999").fault, DateEntryFault::Month);
}

TEST(DateEntry, CompletedDatesAndTheirNumbers)
{
    struct Case
    {
        const char* accepted;
        const char* completed;
        int number;
    } cases[] = {
        {"89/11/4", "1389/11/04", 13891104},     {"1/2/3", "1301/02/03", 13010203},
        {"0/1/1", "1300/01/01", 13000101},       {"389/1/1", "1389/01/01", 13890101},
        {"0089/1/1", "0089/01/01", 890101},      {"\t1390/1/1\n", "1390/01/01", 13900101},
        {"13890/1/1", "13890/01/01", 138900101},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(completedDate(c.accepted), c.completed) << c.accepted;
        EXPECT_EQ(dateNumber(c.accepted), c.number) << c.accepted;
    }
    // Parts longer than their completed width stay as they are, and so can the number's size.
    EXPECT_EQ(completedDate("1389/001/0004"), "1389/001/0004");
    EXPECT_THROW(dateNumber("1389/001/0004"), Error);
    EXPECT_THROW(dateNumber("1234567/01/01"), Error);
}

TEST(TimeEntry, FaultsInTheOrderTheChecksRun)
{
    using F = TimeEntryFault;
    struct Case
    {
        QString text;
        F fault;
        QString quoted;
    } cases[] = {
        {"23:59", F::None, "23:59"},
        {"0:0", F::None, "0:0"},
        {" 8 ", F::None, "8:00"}, // whole hours
        {"", F::MissingPart, ":00"},
        // Only ten characters after the ":" are read as the minute.
        {"7:000000000059", F::None, "7:000000000059"},
        {"8:30:00", F::ColonCount, "8:30:00"},
        {"8.30", F::Characters, "8.30:00"},
        {"7 : 30", F::Characters, "7 : 30"},
        {"-1:00", F::Characters, "-1:00"},
        {"8:", F::MissingPart, "8:"},
        {":30", F::MissingPart, ":30"},
        {"24:00", F::Hour, "24:00"},
        {"24:60", F::Hour, "24:60"},
        {"23:60", F::Minute, "23:60"},
    };
    for (const auto& c : cases) {
        const TimeEntryCheck check = checkTimeEntry(c.text);
        EXPECT_EQ(check.fault, c.fault) << c.text.toStdString();
        EXPECT_EQ(check.text, c.quoted) << c.text.toStdString();
    }
    EXPECT_THROW(checkTimeEntry("99999999999:00"), Error);
    EXPECT_THROW(checkTimeEntry("1:99999999999"), Error);
}

TEST(TimeEntry, CompletedTimes)
{
    for (const auto& [accepted, completed] : {std::pair{"7", "07:00"},
                                              {" 7 ", "07:00"},
                                              {"7:5", "07:05"},
                                              {"07:05", "07:05"},
                                              {"0:0", "00:00"},
                                              {"\t23:59 ", "23:59"},
                                              {"7:000000000059", "07:0000000000"}})
        EXPECT_EQ(completedTime(accepted), completed) << accepted;
}

TEST(TimeEntry, ClockSeconds)
{
    struct Case
    {
        const char* text;
        int seconds;
    } cases[] = {
        {"0", 0},        {"7", 25200},   {"1:30", 5400}, {"23:59:59", 86399}, {" 1 : 2 : 3 ", 3723},
        {"00:00:00", 0}, {"+1:0", 3600},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clockSeconds(c.text), c.seconds) << c.text;
    for (const char* bad : {"", "24", "1:60", "1:2:60", "1:2:3:4", "a", "-1", "1::2", "99999999999"})
        EXPECT_THROW(clockSeconds(bad), Error) << bad;
}
