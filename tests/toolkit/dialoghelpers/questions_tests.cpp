#include "platform/testing/doubles.h"
#include "toolkit/dialoghelpers/questions.h"

#include <gtest/gtest.h>

namespace {

using rimo::fakes::FakeDialogs;

// Every answer of AskYesNoAll, closing the box included.
TEST(Questions, AskYesNoAllGivesTheButtonsResults)
{
    const struct
    {
        int pressed, result;
    } cases[] = {{0, 6}, {1, 7}, {2, 9}, {3, 10}, {FakeDialogs::Closed, 2}};
    for (const auto& c : cases) {
        rimo::fakes::ScopedFakeDialogs dialogs;
        dialogs.messageAnswers = {c.pressed};
        EXPECT_EQ(TQuestions::AskYesNoAll(QStringLiteral("حذف شود؟")), c.result) << c.pressed;
        ASSERT_EQ(dialogs.messages.size(), 1);
        const rimo::MessageBoxRequest& r = dialogs.messages[0];
        EXPECT_EQ(r.caption, QStringLiteral("سوال"));
        EXPECT_EQ(r.text, QStringLiteral("حذف شود؟"));
        EXPECT_EQ(r.buttons, (QStringList{QStringLiteral("بله"), QStringLiteral("خير"),
                                          QStringLiteral("خير به همه"), QStringLiteral("بله به همه ")}));
        EXPECT_EQ(r.icon, rimo::MessageIcon::Question);
        EXPECT_TRUE(r.rightToLeft);
        EXPECT_TRUE(r.arabicCharset);
        EXPECT_TRUE(r.closableWithoutButton);
        EXPECT_EQ(r.escapeButton, -1) << "no button may stand for closing";
        EXPECT_EQ(dialogs.refusedCloses, 0);
    }
}

TEST(Questions, AskYesNoAndChartOrFr3)
{
    rimo::fakes::ScopedFakeDialogs dialogs;
    dialogs.messageAnswers = {0, 1, FakeDialogs::Closed, 0, 1, 2, FakeDialogs::Closed};
    EXPECT_EQ(TQuestions::AskYesNo(QStringLiteral("q")), 6);
    EXPECT_EQ(TQuestions::AskYesNo(QStringLiteral("q")), 7);
    EXPECT_EQ(TQuestions::AskYesNo(QStringLiteral("q")), 2);
    EXPECT_EQ(TQuestions::ChartOrFr3(), 6);
    EXPECT_EQ(TQuestions::ChartOrFr3(), 7);
    EXPECT_EQ(TQuestions::ChartOrFr3(), 2);
    EXPECT_EQ(TQuestions::ChartOrFr3(), 2);
    ASSERT_EQ(dialogs.messages.size(), 7);
    EXPECT_EQ(dialogs.messages[0].buttons, (QStringList{QStringLiteral("بله"), QStringLiteral("خير")}));
    const rimo::MessageBoxRequest& chart = dialogs.messages[3];
    EXPECT_EQ(chart.caption, QStringLiteral("لطفاانتخاب كنيد"));
    EXPECT_EQ(chart.text, QStringLiteral("تمايل داريد گزارش نمايش داده شود يا نمودار؟"));
    EXPECT_EQ(chart.buttons,
              (QStringList{QStringLiteral("گزارش"), QStringLiteral("نمودار"), QStringLiteral("هيچكدام")}));
    EXPECT_EQ(chart.defaultButton, 0);
    EXPECT_TRUE(chart.closableWithoutButton);
}

} // namespace
