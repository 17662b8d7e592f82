// Persian number words: the speller's joiners, teens and groups, and the ordinal form.
#include "calendar/spelling.h"
#include "core/error.h"

#include <gtest/gtest.h>

using namespace rimo;

namespace {

const QString J = QStringLiteral(" و ");

} // namespace

TEST(Spelling, Numbers)
{
    struct Case
    {
        int n;
        QString words;
    } cases[] = {
        {0, QStringLiteral("صفر")},
        {1, QStringLiteral("يك ")},
        {10, QStringLiteral("ده ")},
        {19, QStringLiteral("نوزده ")},
        {20, QStringLiteral("بيست ")},
        {21, QStringLiteral("بيست ") + J + QStringLiteral("يك ")},
        {100, QStringLiteral("صد ")},
        {110, QStringLiteral("صد ") + J + QStringLiteral("ده ")},
        {305, QStringLiteral("سيصد ") + J + QStringLiteral("پنج ")},
        {999, QStringLiteral("نهصد ") + J + QStringLiteral("نود ") + J + QStringLiteral("نه ")},
        {1000, QStringLiteral("يك هزار ")},
        {1001, QStringLiteral("يك هزار ") + J + QStringLiteral("يك ")},
        {1389, QStringLiteral("يك هزار ") + J + QStringLiteral("سيصد ") + J + QStringLiteral("هشتاد ") + J +
                   QStringLiteral("نه ")},
        {2000, QStringLiteral("دو هزار ")},
        {12000, QStringLiteral("دوازده هزار ")},
        {110000, QStringLiteral("صد ") + J + QStringLiteral("ده هزار ")},
        {1000000, QStringLiteral("يك ميليون ")},
        {1000001, QStringLiteral("يك ميليون ") + J + QStringLiteral("يك ")},
        {2001000, QStringLiteral("دو ميليون ") + J + QStringLiteral("يك هزار ")},
        {1000000000, QStringLiteral("يك ميليارد ")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpellNumber(c.n), c.words) << c.n;
}

TEST(Spelling, LargestNumberAndNegatives)
{
    const QString words = SpellNumber(2147483647);
    EXPECT_TRUE(words.startsWith(QStringLiteral("دو ميليارد "))) << words.toStdString();
    EXPECT_TRUE(words.endsWith(QStringLiteral("هفت ")));
    EXPECT_THROW(SpellNumber(-1), Error);
}

TEST(Spelling, Ordinals)
{
    const QString mark = QStringLiteral("م ");
    EXPECT_EQ(SpellOrdinal(QStringLiteral("چهار ")), QStringLiteral("چهار ").trimmed() + mark);
    EXPECT_EQ(SpellOrdinal(QStringLiteral("  يازده ")), QStringLiteral("يازده ").trimmed() + mark);
    // Applied literally: three gives the words of three plus the ordinal letter.
    EXPECT_EQ(SpellOrdinal(SpellNumber(3)), QStringLiteral("سه ").trimmed() + mark);
    EXPECT_EQ(SpellOrdinal(SpellNumber(30)), QStringLiteral("سي ").trimmed() + mark);
    EXPECT_EQ(SpellOrdinal(QString()), mark);
}
