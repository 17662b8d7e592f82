// Small value, text and sound services: variant choice, blanks, number texts, rounding,
// truncation through text, the scramblers and the warning tones.
#include "core/error.h"
#include "core/formatsettings.h"
#include "services_fixture.h"
#include "toolkit/scramble.h"

#include <cmath>
#include <limits>

TEST(ValueServices, Iif)
{
    EXPECT_EQ(TValueServices::iif(true, 1, QStringLiteral("x")), QVariant(1));
    EXPECT_EQ(TValueServices::iif(false, 1, QStringLiteral("x")), QVariant(QStringLiteral("x")));
    EXPECT_FALSE(TValueServices::iif(false, 1, QVariant()).isValid());
}

TEST(ValueServices, BlanksAndTrimming)
{
    struct Case
    {
        QString text;
        bool blank;
        QString trimmed;
    } cases[] = {
        {"", true, ""},
        {"   ", true, "   "}, // blank texts come back unchanged
        {"\t \r\n", true, "\t \r\n"},
        {"  ab c  ", false, "ab c"},
        // Only code 32 is removed, and other control characters stop the removal.
        {"\t  x  ", false, "\t  x"},
        {"  x \t ", false, "x \t"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TValueServices::IsBlank(c.text), c.blank) << c.text.toStdString();
        EXPECT_EQ(TValueServices::RemoveRLBLank(c.text), c.trimmed) << c.text.toStdString();
    }
}

TEST(ValueServices, IsValidNum)
{
    for (const char* valid : {"", "12", "1.2.3", "--5", "-", "."})
        EXPECT_TRUE(TValueServices::IsValidNum(valid)) << valid;
    for (const char* invalid : {"1,5", "12a", " 1", "+1", "1e5"})
        EXPECT_FALSE(TValueServices::IsValidNum(invalid)) << invalid;
    EXPECT_FALSE(TValueServices::IsValidNum(QString::fromUtf8("\xd9\xa1"))); // ARABIC-INDIC DIGIT ONE
}

TEST(ValueServices, To2DigitFloatRoundsTiesToEven)
{
    struct Case
    {
        double in, out;
    } cases[] = {
        {0.125, 0.12},                                          // an exact tie goes to the even 12
        {0.375, 0.38}, {0.135, 0.14},                           // the double nearest 0.135 lies above the tie
        {-1.005, -1},                                           // and the one nearest -1.005 below it
        {2.675, 2.67}, {-0.125, -0.12}, {7, 7}, {1e300, 1e300}, // beyond any integer type
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(TValueServices::To2DigitFloat(c.in), c.out) << c.in;
}

TEST(ValueServices, ToIntTruncatesThroughText)
{
    rimo::ScopedFormatSettings formats;
    rimo::formatSettings().decimalSeparator = u'.';
    struct Case
    {
        double in;
        int out;
    } cases[] = {{2.9, 2},
                 {-2.9, -2},
                 {-0.5, 0},
                 {7, 7},
                 {0.00001, 0},
                 {2147483647.9, 2147483647},
                 {-2147483648.0, INT_MIN}};
    for (const auto& c : cases)
        EXPECT_EQ(TValueServices::ToInt(c.in), c.out) << c.in;
    // Texts with an exponent and values beyond 32 bits are no integers.
    for (double bad : {1e20, 3e9, 0.000001, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(TValueServices::ToInt(bad), rimo::Error) << bad;
    // With another separator only whole numbers pass.
    rimo::formatSettings().decimalSeparator = u',';
    EXPECT_EQ(TValueServices::ToInt(7), 7);
    EXPECT_THROW(TValueServices::ToInt(2.5), rimo::Error);
}

TEST(ValueServices, GeneralNumberText)
{
    struct Case
    {
        double in;
        const char* text;
    } cases[] = {
        {2.9, "2.9"},         {-2.9, "-2.9"},     {0, "0"},
        {1e20, "1E20"},       {1e15, "1E15"},     {123456789012345.0, "123456789012345"},
        {0.00001, "0.00001"}, {0.000001, "1E-6"}, {1.0 / 3, "0.333333333333333"},
        {-1.5e-7, "-1.5E-7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rimo::generalNumberText(c.in, u'.'), c.text) << c.in;
    EXPECT_EQ(rimo::generalNumberText(2.5, u','), "2,5");
}

TEST(ValueServices, MaxMin)
{
    EXPECT_EQ(TValueServices::Max(3, 5), 5);
    EXPECT_EQ(TValueServices::Max(5, 3), 5);
    EXPECT_EQ(TValueServices::Min(3, 5), 3);
    EXPECT_EQ(TValueServices::Min(-1, -7), -7);
}

TEST(ValueServices, Scramblers)
{
    EXPECT_EQ(rimo::FindXOR("AB"), "CF");
    EXPECT_EQ(rimo::FindXOR("CF"), "AB");
    EXPECT_EQ(rimo::FindXORSimple("AB"), "@C");
    EXPECT_EQ(TValueServices::FindXOR("AB"), "CF");
    EXPECT_EQ(TValueServices::FindXORSimple("@C"), "AB");
    EXPECT_EQ(rimo::FindXOR(""), "");
    // The key wraps at 65536: position 32768 is combined with 0.
    const QString long_(40000, u'A');
    const QString scrambled = rimo::FindXOR(long_);
    EXPECT_EQ(scrambled[32767], u'A');
    EXPECT_EQ(scrambled[32768].unicode(), u'A' ^ 2);
    EXPECT_EQ(rimo::FindXOR(scrambled), long_);
    const QString persian = QString::fromUtf8("\xd9\xbe\xd9\x8a\xd8\xa7\xd9\x85 \xf0\x9f\x90\x84");
    EXPECT_EQ(rimo::FindXOR(rimo::FindXOR(persian)), persian);
    EXPECT_EQ(rimo::FindXORSimple(rimo::FindXORSimple(persian)), persian);
}

TEST(ValueServices, Tones)
{
    RecordingServices s;
    s.WarningSound();
    EXPECT_EQ(s.tone.tones, (QList<QPair<int, int>>{{1200, 50}, {900, 100}}));
    EXPECT_EQ(s.tone.silences, 1);
    s.Sound(15, 100); // the player decides; a silent device still waits as long
    EXPECT_EQ(s.tone.tones.last(), qMakePair(15, 100));
    s.NoSound();
    EXPECT_EQ(s.tone.silences, 2);
}
