#include "platform/testing/doubles.h"
#include "toolkit/dialoghelpers/inputdialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Dialogs : public TInputDialogs
{
public:
    QStringList switches;
    void SwitchToFarsi() override { switches << QStringLiteral("fa"); }
    void SwitchToEnglish() override { switches << QStringLiteral("en"); }
};

// An exec answer that types `text` into the dialog's edit box and closes it with `result`.
std::function<int(QDialog&)> typeAndClose(const QString& text, int result = QDialog::Accepted)
{
    return [text, result](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("input"))->setText(text);
        return result;
    };
}

struct UnitCase
{
    int cx, cy, n, x, y;
};

TEST(DialogUnits, RoundToNearestWithHalvesUp)
{
    const UnitCase cases[] = {
        {7, 14, 4, 7, 7},       {7, 14, 8, 14, 14},  {7, 14, 180, 315, 315}, {7, 14, 1, 2, 2},
        {6, 13, 2, 3, 3},       {6, 13, 1, 2, 2},    {5, 12, 3, 4, 5},       {6, 13, 14, 21, 23},
        {8, 16, 164, 328, 328}, {5, 11, 50, 63, 69},
    };
    for (const UnitCase& c : cases) {
        const rimo::DialogUnits u{c.cx, c.cy};
        EXPECT_EQ(u.x(c.n), c.x) << c.cx << " " << c.n;
        EXPECT_EQ(u.y(c.n), c.y) << c.cy << " " << c.n;
    }
}

TEST(DialogUnits, MeasuredOnTheLettersWithoutRemainder)
{
    const QFont font = rimo::inputDialogFont();
    EXPECT_EQ(font.pointSize(), 9);
    const QFontMetrics m(font);
    const rimo::DialogUnits u = rimo::dialogUnits(font);
    const int width =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(u.cx, width / 52);
    EXPECT_EQ(u.cy, m.height());
}

TEST(InputDialogs, LaidOutInDialogUnits)
{
    rimo::fakes::ScopedFakeDialogs fake;
    fake.execAnswers.push_back([](QDialog& d) {
        const rimo::DialogUnits u = rimo::dialogUnits(d.font());
        auto* label = d.findChild<QLabel*>(QStringLiteral("prompt"));
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("input"));
        auto* ok = d.findChild<QPushButton*>(QStringLiteral("ok"));
        auto* cancel = d.findChild<QPushButton*>(QStringLiteral("cancel"));
        EXPECT_EQ(d.windowTitle(), QStringLiteral("سوال"));
        EXPECT_EQ(d.layoutDirection(), Qt::RightToLeft);
        EXPECT_EQ(d.width(), u.x(180));
        EXPECT_EQ(label->pos(), QPoint(u.x(8), u.y(8)));
        EXPECT_LE(label->width(), u.x(164));
        EXPECT_EQ(edit->geometry(),
                  QRect(u.x(8), label->geometry().bottom() + 6, u.x(164), edit->sizeHint().height()));
        EXPECT_EQ(ok->geometry(), QRect(u.x(38), edit->geometry().bottom() + 16, u.x(50), u.y(14)));
        EXPECT_EQ(cancel->geometry(), QRect(u.x(92), edit->geometry().bottom() + 16, u.x(50), u.y(14)));
        EXPECT_EQ(ok->text(), QStringLiteral("قبول"));
        EXPECT_EQ(cancel->text(), QStringLiteral("انصراف"));
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(d.height(), ok->geometry().bottom() + 14);
        return QDialog::Rejected;
    });
    Dialogs dialogs;
    QString value = QStringLiteral("x");
    EXPECT_FALSE(dialogs.InQuery(QStringLiteral("نام گروه را وارد كنيد"), value));
    EXPECT_EQ(value, QStringLiteral("x"));
}

TEST(InputDialogs, BlankOkShowsAgainThenAccepts)
{
    rimo::fakes::ScopedFakeDialogs fake;
    QStringList startTexts;
    const auto seen = [&](QDialog& d) {
        startTexts << d.findChild<QLineEdit*>(QStringLiteral("input"))->text();
    };
    fake.execAnswers.push_back([&](QDialog& d) {
        seen(d);
        return typeAndClose(QStringLiteral("  \t"))(d);
    });
    fake.execAnswers.push_back([&](QDialog& d) {
        seen(d);
        return typeAndClose(QStringLiteral("گاو"))(d);
    });
    Dialogs dialogs;
    QString value = QStringLiteral("old");
    EXPECT_TRUE(dialogs.InQuery(QStringLiteral("p"), value));
    EXPECT_EQ(value, QStringLiteral("گاو"));
    // Shown again as it was: the blank text still in the box.
    EXPECT_EQ(startTexts, (QStringList{QStringLiteral("old"), QStringLiteral("  \t")}));
    EXPECT_EQ(dialogs.switches, QStringList{QStringLiteral("fa")});
}

TEST(InputDialogs, PasswordAcceptsSpacesAndShowsStars)
{
    rimo::fakes::ScopedFakeDialogs fake;
    fake.execAnswers.push_back(typeAndClose(QString()));
    fake.execAnswers.push_back([](QDialog& d) {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("input"));
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("دريافت رمز ورود"));
        edit->setText(QStringLiteral("ab"));
        d.show();
        EXPECT_EQ(edit->displayText(), QStringLiteral("**"));
        d.hide();
        edit->setText(QStringLiteral("  "));
        return int(QDialog::Accepted);
    });
    Dialogs dialogs;
    QString value = QStringLiteral("s");
    EXPECT_TRUE(dialogs.PassInQuery(QStringLiteral("p"), value));
    EXPECT_EQ(value, QStringLiteral("  "));
    EXPECT_TRUE(fake.execAnswers.empty()) << "the empty text was refused once";
}

TEST(InputDialogs, CancelKeepsValueAndKeyboardPerDialog)
{
    rimo::fakes::ScopedFakeDialogs fake;
    Dialogs dialogs;
    QString value = QStringLiteral("v");
    fake.execAnswers.push_back(typeAndClose(QStringLiteral("new"), QDialog::Rejected));
    EXPECT_FALSE(dialogs.InQueryEng(QStringLiteral("p"), value));
    fake.execAnswers.push_back(typeAndClose(QStringLiteral("new"), QDialog::Rejected));
    EXPECT_FALSE(dialogs.PassInQuery(QStringLiteral("p"), value));
    fake.execAnswers.push_back(typeAndClose(QStringLiteral("new"), QDialog::Rejected));
    EXPECT_FALSE(dialogs.InQuery(QStringLiteral("p"), value));
    fake.execAnswers.push_back([](QDialog&) { return int(QDialog::Rejected); });
    EXPECT_FALSE(dialogs.InQueryCombo(QStringLiteral("p"), value, {QStringLiteral("a")}));
    EXPECT_EQ(value, QStringLiteral("v"));
    EXPECT_EQ(dialogs.switches, (QStringList{"en", "fa", "fa", "fa"}));
    EXPECT_EQ(fake.execTitles, (QStringList{"دريافت ورودي", "دريافت رمز ورود", "سوال", "سوال"}));
}

TEST(InputDialogs, LongValueStartsCutAndTypingStopsAt255)
{
    rimo::fakes::ScopedFakeDialogs fake;
    const QString longValue = QString(300, u'ب');
    fake.execAnswers.push_back([&](QDialog& d) {
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("input"));
        EXPECT_EQ(edit->text(), longValue.left(255));
        EXPECT_EQ(edit->selectedText(), longValue.left(255));
        edit->setText(QString(250, u'a'));
        edit->end(false);
        QTest::keyClicks(edit, QStringLiteral("bcdefghij"));
        EXPECT_EQ(edit->text(), QString(250, u'a') + QStringLiteral("bcdef"));
        return int(QDialog::Accepted);
    });
    Dialogs dialogs;
    QString value = longValue;
    EXPECT_TRUE(dialogs.InQuery(QStringLiteral("p"), value));
    EXPECT_EQ(value.size(), 255);
}

TEST(InputDialogs, ComboWithoutTheAllGroupsEntry)
{
    rimo::fakes::ScopedFakeDialogs fake;
    const QString all = QStringLiteral(".همه گروهها.");
    const QStringList list{QStringLiteral("الف"), all, QStringLiteral("ب"), all};
    fake.execAnswers.push_back([&](QDialog& d) {
        auto* combo = d.findChild<QComboBox*>(QStringLiteral("input"));
        EXPECT_FALSE(combo->isEditable());
        EXPECT_FALSE(combo->hasFrame());
        EXPECT_EQ(combo->maxVisibleItems(), 10);
        EXPECT_EQ(combo->height(), 22);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        // Only the first such entry goes.
        EXPECT_EQ(items, (QStringList{QStringLiteral("الف"), QStringLiteral("ب"), all}));
        // An unmatched value chooses nothing: OK on it is refused.
        EXPECT_EQ(combo->currentIndex(), -1);
        return int(QDialog::Accepted);
    });
    fake.execAnswers.push_back([](QDialog& d) {
        d.findChild<QComboBox*>(QStringLiteral("input"))->setCurrentIndex(1);
        return int(QDialog::Accepted);
    });
    Dialogs dialogs;
    QString value = QStringLiteral("none of them");
    EXPECT_TRUE(dialogs.InQueryCombo(QStringLiteral("p"), value, list));
    EXPECT_EQ(value, QStringLiteral("ب"));
    EXPECT_EQ(list.size(), 4);
    EXPECT_EQ(list[1], all);

    fake.execAnswers.push_back([](QDialog& d) {
        EXPECT_EQ(d.findChild<QComboBox*>(QStringLiteral("input"))->currentText(), QStringLiteral("ب"));
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(dialogs.InQueryCombo(QStringLiteral("p"), value, list));
    EXPECT_EQ(value, QStringLiteral("ب"));
}

} // namespace
