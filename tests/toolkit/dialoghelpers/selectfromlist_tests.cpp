#include "sqlfixture.h"

#include <QComboBox>
#include <QDialog>

namespace {

class SelectFromListTest : public SqlFixture
{
protected:
    static void SetUpTestSuite()
    {
        startServer("CREATE TABLE T (Id int PRIMARY KEY, Name nvarchar(50) NULL);"
                    "INSERT INTO T VALUES (1, 'زرد'), (2, 'سفيد'), (3, 'سياه');");
    }
    // The entries of the dialog's list.
    static QStringList entries(QDialog& d)
    {
        auto* combo = d.findChild<QComboBox*>(QStringLiteral("input"));
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }
    static std::function<int(QDialog&)> choose(int index, int result = QDialog::Accepted)
    {
        return [index, result](QDialog& d) {
            d.findChild<QComboBox*>(QStringLiteral("input"))->setCurrentIndex(index);
            return result;
        };
    }
    rimo::fakes::RecordingKeyboard& keyboard()
    {
        return static_cast<rimo::fakes::RecordingKeyboard&>(*tools->platform().keyboard);
    }
};

TEST_F(SelectFromListTest, RowsAfterABlankEntryAndTheBlankRefused)
{
    QStringList seen;
    int chosenAtStart = -1;
    dialogs.execAnswers.push_back([&](QDialog& d) {
        seen = entries(d);
        chosenAtStart = d.findChild<QComboBox*>(QStringLiteral("input"))->currentIndex();
        return choose(0)(d);
    });
    dialogs.execAnswers.push_back(choose(3));
    QString value = QStringLiteral("سفيد");
    EXPECT_TRUE(tools->SelectFromList(QStringLiteral("رنگ"), "Select Name, Id From T Where Id>0", value));
    EXPECT_EQ(value, QStringLiteral("سياه"));
    EXPECT_EQ(seen, (QStringList{" ", "زرد", "سفيد", "سياه"}));
    EXPECT_EQ(chosenAtStart, 2) << "the incoming value starts chosen";
    EXPECT_EQ(dialogs.execTitles, (QStringList{"ليست انتخابي", "ليست انتخابي"}));
    EXPECT_TRUE(keyboard().calls.join(u',').contains(QStringLiteral("00000429")));
    EXPECT_TRUE(t4r("SelectFromList.Txt").isNull()) << "no trace while tracing is off";
}

TEST_F(SelectFromListTest, NoRowsOffersOnlyTheBlankEntry)
{
    dialogs.execAnswers.push_back([&](QDialog& d) {
        EXPECT_EQ(entries(d), QStringList{" "});
        return int(QDialog::Accepted);
    });
    dialogs.execAnswers.push_back(choose(0, QDialog::Rejected));
    QString value = QStringLiteral("v");
    EXPECT_FALSE(tools->SelectFromList(QStringLiteral("p"), "Select Name From T Where Id>10", value));
    EXPECT_EQ(value, QStringLiteral("v"));
    EXPECT_EQ(dialogs.execTitles.size(), 2) << "OK on the blank entry shows it again";
}

TEST_F(SelectFromListTest, AFailingQueryShowsTheMessageWithoutADialog)
{
    TSqlServices::SqlTraceEnabled = true;
    QString value = QStringLiteral("v");
    EXPECT_FALSE(tools->SelectFromList(QStringLiteral("p"), "Select Name From Missing", value));
    EXPECT_TRUE(dialogs.execTitles.isEmpty());
    EXPECT_EQ(takeMessages(), QStringList{QStringLiteral("خطا در اجراي دستور تشكيل ليست ")});
    EXPECT_TRUE(t4r("SelectFromList.Txt").contains("Select Name From Missing"));
    EXPECT_EQ(value, QStringLiteral("v"));
}

TEST_F(SelectFromListTest, TracingWritesTheStatement)
{
    TSqlServices::SqlTraceEnabled = true;
    QString value;
    EXPECT_FALSE(tools->SelectFromList(QStringLiteral("p"), "Select Name From T", value));
    EXPECT_TRUE(t4r("SelectFromList.Txt").contains("Select Name From T"));
}

// Through the toolkit object, each dialog switches the real keyboard service before it shows.
TEST_F(SelectFromListTest, EachInputDialogSwitchesTheKeyboardFirst)
{
    QStringList atShow;
    for (int i = 0; i < 3; ++i)
        dialogs.execAnswers.push_back([&](QDialog&) {
            atShow << keyboard().calls.join(u',');
            keyboard().calls.clear();
            return int(QDialog::Rejected);
        });
    QString value;
    keyboard().calls.clear();
    EXPECT_FALSE(tools->InQueryEng(QStringLiteral("p"), value));
    EXPECT_FALSE(tools->InQuery(QStringLiteral("p"), value));
    EXPECT_FALSE(tools->PassInQuery(QStringLiteral("p"), value));
    ASSERT_EQ(atShow.size(), 3);
    EXPECT_TRUE(atShow[0].contains(QStringLiteral("00000409"))) << atShow[0].toStdString();
    EXPECT_FALSE(atShow[0].contains(QStringLiteral("00000429")));
    EXPECT_TRUE(atShow[1].contains(QStringLiteral("00000429"))) << atShow[1].toStdString();
    EXPECT_TRUE(atShow[2].contains(QStringLiteral("00000429"))) << atShow[2].toStdString();
    EXPECT_TRUE(keyboard().calls.isEmpty()) << "not switched back";
}

} // namespace
