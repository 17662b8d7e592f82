// The program's formats and the guard that keeps a test's changes to itself.
#include "core/formatsettings.h"

#include <gtest/gtest.h>

using namespace rimo;

TEST(FormatSettings, ProgramFormatsAreImposedAndTheSeparatorKept)
{
    ScopedFormatSettings guard;
    FormatSettings& fmt = formatSettings();
    fmt = {QStringLiteral("M/d/yy"), QStringLiteral("dddd, MMMM d, yyyy"), QStringLiteral("h:mm AP"),
           QStringLiteral("h:mm:ss AP"), u','};
    imposeProgramFormats();
    EXPECT_EQ(fmt.shortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(fmt.longDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(fmt.shortTimeFormat, "HH:mm:ss");
    EXPECT_EQ(fmt.longTimeFormat, "HH:mm:ss");
    EXPECT_EQ(fmt.decimalSeparator, u',');
}

TEST(FormatSettings, GuardRestoresEverySettingAndNests)
{
    const FormatSettings before = formatSettings();
    {
        ScopedFormatSettings outer;
        formatSettings().decimalSeparator = before.decimalSeparator == u'.' ? u',' : u'.';
        {
            ScopedFormatSettings inner;
            imposeProgramFormats();
            formatSettings().longDateFormat = QStringLiteral("yyyy");
        }
        // The inner guard brings back what the outer scope had set, not the first state.
        EXPECT_NE(formatSettings().decimalSeparator, before.decimalSeparator);
        EXPECT_EQ(formatSettings().longDateFormat, before.longDateFormat);
        formatSettings().shortTimeFormat = QStringLiteral("x");
    }
    const FormatSettings after = formatSettings();
    EXPECT_EQ(after.shortDateFormat, before.shortDateFormat);
    EXPECT_EQ(after.longDateFormat, before.longDateFormat);
    EXPECT_EQ(after.shortTimeFormat, before.shortTimeFormat);
    EXPECT_EQ(after.longTimeFormat, before.longTimeFormat);
    EXPECT_EQ(after.decimalSeparator, before.decimalSeparator);
}
