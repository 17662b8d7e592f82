#include "core/error.h"
#include "db/msconnection.h"
#include "platform/testing/doubles.h"
#include "toolkit/multiherd/msconnectdialog2.h"
#include "toolkit/multiherd/multiuserform.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace rimo;

TEST(Chooser, ControlsAsLaidOut)
{
    TMultiUserForm w;
    EXPECT_EQ(w.size(), QSize(549, 417));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(w.font().families().value(0), "Tahoma");
    EXPECT_EQ(w.font().pointSize(), 8);
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowContextHelpButtonHint));

    EXPECT_EQ(w.StaticText1->geometry(), QRect(0, 0, 549, 17));
    EXPECT_EQ(w.StaticText1->text(), QStringLiteral("انتخاب مشتري جهت ورود ...."));
    EXPECT_EQ(w.StaticText1->alignment(), Qt::AlignCenter);
    EXPECT_EQ(w.StaticText1->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(w.StaticText1->palette().color(QPalette::Window), QColor(255, 255, 217));
    EXPECT_EQ(w.RadioGroup1->geometry(), QRect(0, 17, 481, 398));
    EXPECT_EQ(w.RadioGroup1->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(w.dxContainer1->geometry(), QRect(549 - 66, 17, 66, 400));
    EXPECT_EQ(w.dxButton1->size(), QSize(64, 32));
    EXPECT_EQ(w.dxButton1->y(), 1) << "top of the strip";
    EXPECT_EQ(w.dxButton1->text(), QStringLiteral("ورود"));
    EXPECT_TRUE(w.dxButton1->isDefault());
    EXPECT_EQ(w.Image1->size(), QSize(59, 80));
    EXPECT_GT(w.Image1->geometry().bottom(), 400 - 10) << "bottom of the strip";

    // The strip: white inside, green lines on all four sides.
    const QImage strip = w.dxContainer1->grab().toImage();
    const QColor green(128, 255, 0);
    EXPECT_EQ(strip.pixelColor(0, 200), green);
    EXPECT_EQ(strip.pixelColor(65, 200), green);
    EXPECT_EQ(strip.pixelColor(30, 0), green);
    EXPECT_EQ(strip.pixelColor(30, 399), green);
    EXPECT_EQ(strip.pixelColor(30, 200), QColor(Qt::white));

    // A picture, not a blank.
    const QImage picture = w.Image1->pixmap().toImage();
    EXPECT_EQ(picture.size(), QSize(59, 80));
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 4)
        for (int x = 0; x < picture.width(); x += 4)
            colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 4);
}

TEST(Chooser, ThreeColumnsOfThirteenPixelRowsFromTheRight)
{
    TMultiUserForm w;
    for (int i = 0; i < 70; ++i)
        w.RadioGroup1->addItem(QStringLiteral("گله %1").arg(i));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect first = w.RadioGroup1->visualItemRect(w.RadioGroup1->item(0));
    const QRect second = w.RadioGroup1->visualItemRect(w.RadioGroup1->item(1));
    EXPECT_EQ(first.height(), 13);
    EXPECT_EQ(second.top() - first.top(), 13);
    // 398 px hold 30 rows: the 31st entry starts the second column, to the left (right to left).
    const int perColumn = 398 / 13;
    const QRect nextColumn = w.RadioGroup1->visualItemRect(w.RadioGroup1->item(perColumn));
    const QRect thirdColumn = w.RadioGroup1->visualItemRect(w.RadioGroup1->item(2 * perColumn));
    EXPECT_EQ(nextColumn.top(), first.top());
    EXPECT_LT(nextColumn.right(), first.left());
    EXPECT_LT(thirdColumn.right(), nextColumn.left());
    EXPECT_GE(thirdColumn.left(), 0) << "three columns fit the list";
    EXPECT_NEAR(first.width(), 481 / 3, 2);

    // More names than three columns hold: the list scrolls sideways.
    EXPECT_EQ(w.RadioGroup1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    for (int i = 70; i < 100; ++i)
        w.RadioGroup1->addItem(QStringLiteral("گله %1").arg(i));
    EXPECT_EQ(w.RadioGroup1->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    w.RadioGroup1->clear();
    EXPECT_EQ(w.RadioGroup1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(Chooser, ChoosingNeedsASelection)
{
    TMultiUserForm w;
    w.RadioGroup1->addItems({QStringLiteral("دامداري الف"), QStringLiteral("دامداري ب")});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    // Nothing selected: "ورود", Enter and Escape leave the window open.
    w.dxButton1->click();
    QTest::keyClick(&w, Qt::Key_Return);
    QTest::keyClick(&w, Qt::Key_Enter);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);

    // A selection and Enter (the default button) choose it.
    w.RadioGroup1->setCurrentRow(1);
    QTest::keyClick(w.RadioGroup1, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.selectedName(), QStringLiteral("دامداري ب"));

    // A double-click on a name chooses it.
    w.setResult(QDialog::Rejected);
    w.RadioGroup1->clearSelection();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QPoint at = w.RadioGroup1->visualItemRect(w.RadioGroup1->item(0)).center();
    QTest::mouseClick(w.RadioGroup1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.RadioGroup1->viewport(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.selectedName(), QStringLiteral("دامداري الف"));
}

TEST(ConnectDialog, CaptionsPrefillAndAnswers)
{
    fakes::ScopedFakeDialogs dialogs;
    QObject owner;
    TConnectDialog* d = createMSConnectDialog2(&owner);
    TMSConnection c;
    c.LoginPrompt = true;
    c.ConnectDialog = d;
    c.Username = "sa";

    // The shown window: captions, prefilled values, then the user's entries are confirmed.
    QStringList seen;
    dialogs.execAnswers.push_back([&](QDialog& dlg) {
        auto* f = qobject_cast<TConnectForm*>(&dlg);
        if (!f)
            return int(QDialog::Rejected);
        seen << f->windowTitle() << f->lbUsername->text() << f->lbPassword->text() << f->lbServer->text()
             << f->lbDatabase->text() << f->btConnect->text() << f->btCancel->text();
        seen << f->edUsername->text() << f->edPassword->text() << f->edServer->text()
             << f->edDatabase->text();
        EXPECT_EQ(f->layoutDirection(), Qt::RightToLeft);
        EXPECT_EQ(f->edPassword->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(f->btConnect->isDefault());
        f->edServer->setText("central,1433");
        f->edPassword->setText("secret");
        f->edDatabase->setText("Other");
        f->btConnect->click();
        return f->result();
    });
    EXPECT_TRUE(d->Execute(c));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("اتصال به بانك اصلي"), QStringLiteral("نام كاربر"),
                                 QStringLiteral("رمز عبور"), QStringLiteral("سرور"), "Database",
                                 QStringLiteral("اتصال"), QStringLiteral("انصراف"), "sa", "", "", "master"}));
    EXPECT_EQ(c.Server, "central,1433");
    EXPECT_EQ(c.Password, "secret");
    EXPECT_EQ(c.Database, "Other");
    EXPECT_EQ(c.Username, "sa");

    // Cancelling: nothing changes and Connect fails without trying.
    dialogs.execAnswers.push_back([](QDialog& dlg) {
        auto* f = qobject_cast<TConnectForm*>(&dlg);
        f->edServer->setText("elsewhere");
        f->btCancel->click();
        return f->result();
    });
    EXPECT_THROW(c.Connect(), Error);
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.Server, "central,1433");
    EXPECT_EQ(dialogs.execTitles.size(), 2);
}
