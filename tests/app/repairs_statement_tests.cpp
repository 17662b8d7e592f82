// The statements the repairs send, as plain text: no server, no window.
#include "repairs/repairs.h"

#include <gtest/gtest.h>

TEST(RepairsText, LactationStatementInItsExactForm)
{
    EXPECT_EQ(lactationUpdateStatement("1024", 2, "1389/11/04"),
              "Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'");
    EXPECT_EQ(lactationUpdateStatement("O'Neil", 0, "1389/11/04"),
              "Update Firstrec Set MilkPeriod=1Where Serial ='O''Neil' and Rdate>'1389/11/04'");
}

TEST(RepairsText, LactationStatementMarksTheSerialUnicodeForAUnicodeColumn)
{
    // Persian digits, the Persian yeh and kaf: outside the Arabic code page of a varchar literal.
    EXPECT_EQ(
        lactationUpdateStatement(QStringLiteral("۱۰۲۴یک"), 2, "1389/11/04", true),
        QStringLiteral("Update Firstrec Set MilkPeriod=3Where Serial =N'۱۰۲۴یک' and Rdate>'1389/11/04'"));
    EXPECT_EQ(lactationUpdateStatement("O'Neil", 0, "1389/11/04", true),
              "Update Firstrec Set MilkPeriod=1Where Serial =N'O''Neil' and Rdate>'1389/11/04'");
    EXPECT_EQ(lactationUpdateStatement("1024", 2, "1389/11/04", false),
              "Update Firstrec Set MilkPeriod=3Where Serial ='1024' and Rdate>'1389/11/04'");
}
