// Trimming by character code, two-digit numbers and completion from a filler.
#include "core/textutil.h"

#include <gtest/gtest.h>

using rimo::TrimSet;

TEST(TextUtil, TrimmedView)
{
    struct Case
    {
        QString text;
        QString blanks;   // TrimSet::Blanks
        QString controls; // TrimSet::Controls
    } cases[] = {
        {"", "", ""},
        {"   ", "", ""},
        {"  ab c  ", "ab c", "ab c"},
        {"x", "x", "x"},
        // Tabs, line ends and other controls stop the blanks-only trim.
        {"\t  x  ", "\t  x", "x"},
        {"  x \r\n", "x \r\n", "x"},
        {QStringLiteral("\u0001x\u001f "), QStringLiteral("\u0001x\u001f"), "x"},
        // Code 127 and Unicode spaces are no blanks for either set.
        {QStringLiteral("\u00a0x\u007f"), QStringLiteral("\u00a0x\u007f"), QStringLiteral("\u00a0x\u007f")},
        {QStringLiteral(" \u3000x "), QStringLiteral("\u3000x"), QStringLiteral("\u3000x")},
        {QStringLiteral(" پيام "), QStringLiteral("پيام"), QStringLiteral("پيام")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rimo::trimmedView(c.text, TrimSet::Blanks), c.blanks) << c.text.toStdString();
        EXPECT_EQ(rimo::trimmedView(c.text, TrimSet::Controls), c.controls) << c.text.toStdString();
    }
}

TEST(TextUtil, TwoDigits)
{
    struct Case
    {
        qint64 value;
        const char* text;
    } cases[] = {
        {0, "00"}, {5, "05"}, {9, "09"}, {10, "10"}, {99, "99"}, {100, "100"}, {4294967296LL, "4294967296"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rimo::twoDigits(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(TextUtil, CompletedFrom)
{
    struct Case
    {
        const char *part, *filler, *result;
    } cases[] = {
        {"89", "1300", "1389"}, {"7", "00", "07"},     {"", "00", "00"},     {"12", "00", "12"},
        {"123", "00", "123"},   {"5", "1300", "1305"}, {"-30", "00", "-30"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rimo::completedFrom(QString::fromLatin1(c.part), QString::fromLatin1(c.filler)), c.result)
            << c.part << ' ' << c.filler;
}
