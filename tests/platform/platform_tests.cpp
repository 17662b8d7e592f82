#include "platform/guard.h"
#include "platform/linuxservices.h"
#include "platform/qtdialogs.h"
#include "platform/qttranslation.h"
#include "platform/testing/doubles.h"
#include "platform/uifont.h"
#include "platform/windowskeys.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace rimo;

TEST(Platform, XkbGroupsFromSymbolsName)
{
    struct Case
    {
        const char* symbols;
        QStringList groups;
    } cases[] = {
        {"pc+us+inet(evdev)", {"us"}},
        {"pc+us+ir:2+inet(evdev)", {"us", "ir"}},
        {"pc+ir+us:2+inet(evdev)+group(alt_shift_toggle)", {"ir", "us"}},
        {"pc+de(nodeadkeys)+ir:3", {"de", "", "ir"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xkbGroupLayouts(QString::fromLatin1(c.symbols)), c.groups) << c.symbols;
}

TEST(Platform, WindowsLayoutIdsMapToXkbLayouts)
{
    EXPECT_EQ(xkbLayoutForWindowsId("00000429"), "ir");
    EXPECT_EQ(xkbLayoutForWindowsId("A0000429"), "ir");
    EXPECT_EQ(xkbLayoutForWindowsId("00000409"), "us");
    EXPECT_EQ(xkbLayoutForWindowsId("00000401"), "");
}

TEST(Platform, KeyboardSwitchWithoutDisplayDoesNothing)
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    XkbKeyboardLayouts kb;
    EXPECT_EQ(kb.loadAndActivate("00000429"), 0u);
    kb.unload(0);
    if (!saved.isEmpty())
        qputenv("DISPLAY", saved);
}

TEST(Platform, LinuxReportsNonWindowsPlatform)
{
    const auto facts = LinuxOsVersionSource().query();
    ASSERT_TRUE(facts.has_value());
    EXPECT_NE(facts->platform, 1);
    EXPECT_NE(facts->platform, 2);
}

TEST(Platform, DefaultsFillOnlyWhatIsMissingAndTheClockIsTheSystems)
{
    auto clock = std::make_shared<fakes::FixedClock>();
    PlatformServices given;
    given.clock = clock;
    const PlatformServices kept = withLinuxDefaults(given);
    EXPECT_EQ(kept.clock, clock);
    ASSERT_TRUE(kept.keyboard && kept.osVersion && kept.beeper && kept.shellOpener && kept.tone);

    const PlatformServices filled = withLinuxDefaults({});
    ASSERT_TRUE(filled.clock);
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime now = filled.clock->now();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST(Platform, WindowsFilterBecomesQtFilter)
{
    EXPECT_EQ(qtFilterFromWindowsFilter(QStringLiteral("فايلهاي گزارش|*.Txt|همه فايلها|*.*")),
              QStringLiteral("فايلهاي گزارش (*.Txt);;همه فايلها (*.*)"));
}

TEST(Platform, EscapedErrorReachesTheApplicationErrorBox)
{
    fakes::ScopedFakeDialogs fake;
    setApplicationTitle("Rimo1");
    auto handler = guarded([] { throw Error(QStringLiteral("Invalid object name 'FirstRec'.")); });
    handler();
    runGuarded([] { throw std::runtime_error("plain"); });
    ASSERT_EQ(fake.messages.size(), 2);
    EXPECT_EQ(fake.messages[0].caption, "Rimo1");
    EXPECT_EQ(fake.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(fake.messages[0].text, "Invalid object name 'FirstRec'.");
    EXPECT_EQ(fake.messages[1].text, "plain");
}

TEST(Platform, MessageBoxShowsEveryKindOfLineBreak)
{
    const struct
    {
        QString given, shown;
    } cases[] = {
        {QStringLiteral("a\rb"), QStringLiteral("a\nb")},
        {QStringLiteral("a\r\nb"), QStringLiteral("a\nb")},
        {QStringLiteral("a\nb"), QStringLiteral("a\nb")},
        {QStringLiteral("a\r\rb\r"), QStringLiteral("a\n\nb\n")},
        {QStringLiteral("a\n\rb"), QStringLiteral("a\n\nb")}, // LF CR is two breaks
        {QStringLiteral("ab"), QStringLiteral("ab")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withQtLineBreaks(c.given), c.shown) << c.given.toStdString();

    // The real box: a lone CR starts a second line, and the text is shown as plain text.
    const auto labelHeight = [](const QString& text) {
        int height = -1;
        QString shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                height = label->sizeHint().height();
                shown = label->text();
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << "server texts are no markup";
            }
            box->buttons().front()->click();
        });
        MessageBoxRequest r;
        r.caption = QStringLiteral("t");
        r.text = text;
        r.buttons = {QStringLiteral("OK")};
        r.escapeButton = 0;
        EXPECT_EQ(QtDialogs().messageBox(r), 0);
        EXPECT_EQ(shown, withQtLineBreaks(text));
        return height;
    };
    const int one = labelHeight(QStringLiteral("<b>a</b>"));
    ASSERT_GT(one, 0);
    EXPECT_GE(labelHeight(QStringLiteral("<b>a</b>\rb")), one * 3 / 2);
    EXPECT_GE(labelHeight(QStringLiteral("a\r\nb\nc")), one * 5 / 2);
}

// Two answering buttons and no escape button: Qt's box refuses to close; a box asked to be
// closable ends on Escape or its close box with -1, and the hidden closer never shows.
TEST(Platform, AMessageBoxClosableWithoutAButtonGivesMinusOne)
{
    for (const bool byEscape : {false, true}) {
        int shownButtons = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shownButtons = 0;
            for (QAbstractButton* b : box->buttons())
                shownButtons += b->isVisible() ? 1 : 0;
            if (byEscape)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->close();
            // A box that refused to close is answered, so that a fault fails instead of hanging.
            QTimer::singleShot(0, [guard = QPointer<QMessageBox>(box)] {
                if (guard && guard->isVisible())
                    guard->buttons().front()->click();
            });
        });
        MessageBoxRequest r;
        r.icon = MessageIcon::Question;
        r.text = QStringLiteral("q");
        r.buttons = {QStringLiteral("a"), QStringLiteral("b")};
        r.closableWithoutButton = true;
        EXPECT_EQ(QtDialogs().messageBox(r), -1) << byEscape;
        EXPECT_EQ(shownButtons, 2) << byEscape;
    }
}

TEST(Platform, TheFakeBoxClosesAsQtWould)
{
    fakes::ScopedFakeDialogs fake;
    MessageBoxRequest r;
    r.buttons = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    r.defaultButton = 1;
    struct Case
    {
        int escape;
        bool closable;
        int expected;
        int refused;
    };
    for (const Case c : {Case{2, false, 2, 0}, Case{-1, true, -1, 0}, Case{-1, false, 1, 1}}) {
        fake.refusedCloses = 0;
        r.escapeButton = c.escape;
        r.closableWithoutButton = c.closable;
        fake.messageAnswers = {fakes::FakeDialogs::Closed};
        EXPECT_EQ(dialogs().messageBox(r), c.expected) << c.escape << c.closable;
        EXPECT_EQ(fake.refusedCloses, c.refused) << c.escape << c.closable;
    }
}

TEST(Platform, TheDialogSeamKeepsTheTextAsGiven)
{
    fakes::ScopedFakeDialogs fake;
    MessageBoxRequest r;
    r.text = QStringLiteral("a\rb\r\nc");
    dialogs().messageBox(r);
    ASSERT_EQ(fake.messages.size(), 1);
    EXPECT_EQ(fake.messages[0].text, r.text);
}

// The windows are laid out for Tahoma's metrics; with fonts-wine installed the window font
// must be that Tahoma, bold included, and it must carry the Persian letters the texts use.
TEST(Platform, WindowFontIsTahomaWhenThePackageIsThere)
{
    const QStringList files = rimo::bundledTahomaFiles();
    if (!QFile::exists(files.front()) && !QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        GTEST_SKIP() << "no Tahoma on this system and fonts-wine not installed";
    const QFont font = rimo::tahomaFont();
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(QFontInfo(font).pointSize(), 8);
    QFont bold = font;
    bold.setBold(true);
    EXPECT_EQ(QFontInfo(bold).family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(QFontInfo(bold).bold());
    const QFontMetrics fm(font);
    for (const QChar c : QStringLiteral("ليست خالي است گچپژک"))
        EXPECT_TRUE(c.isSpace() || fm.inFont(c))
            << "missing U+" << QString::number(c.unicode(), 16).toStdString();
    // Narrower than the DejaVu Sans fallback: the board column was sized for this width.
    EXPECT_LT(fm.horizontalAdvance(QStringLiteral("Update Firstrec Set MilkPeriod=3")),
              QFontMetrics(QFont(QStringLiteral("DejaVu Sans"), 8))
                  .horizontalAdvance(QStringLiteral("Update Firstrec Set MilkPeriod=3")));
}

TEST(Platform, MissingFontFilesLeaveTheFallbacks)
{
    // Nothing to load: the answer is whether a Tahoma was known before, never a crash.
    EXPECT_EQ(rimo::ensureTahoma({QStringLiteral("/nonexistent/tahoma.ttf")}),
              QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
    const QStringList families = rimo::tahomaFont().families();
    EXPECT_EQ(families.value(1), QStringLiteral("DejaVu Sans"));
}

// Enter on a focused push button presses it in any window, and a memo hands Tab on, once the
// Windows keys are installed; windows made before and after the installation alike.
TEST(Platform, WindowsKeysPressFocusedButtonsAndLetTabLeaveMemos)
{
    QWidget before;
    auto* memo = new QPlainTextEdit(&before);
    auto* next = new QPushButton(QStringLiteral("next"), &before);
    memo->setGeometry(0, 0, 100, 50);
    next->setGeometry(0, 60, 100, 20);
    rimo::installWindowsKeys();
    rimo::installWindowsKeys(); // a second call changes nothing
    before.show();
    before.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&before));
    memo->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return memo->hasFocus(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(memo->toPlainText(), QString());

    int pressed = 0;
    QObject::connect(next, &QPushButton::clicked, [&] { ++pressed; });
    QTest::keyClick(next, Qt::Key_Return);
    QTest::keyClick(next, Qt::Key_Enter);
    EXPECT_EQ(pressed, 2);

    QWidget after;
    auto* later = new QPushButton(QStringLiteral("later"), &after);
    int laterPressed = 0;
    QObject::connect(later, &QPushButton::clicked, [&] { ++laterPressed; });
    after.show();
    QTest::keyClick(later, Qt::Key_Return);
    EXPECT_EQ(laterPressed, 1);
}

TEST(Platform, QtPersianTextsKeepTheLayoutLeftToRight)
{
    EXPECT_FALSE(rimo::installQtPersianTexts(QStringLiteral("/nonexistent")));
    if (!rimo::installQtPersianTexts())
        GTEST_SKIP() << "qt6-translations-l10n not installed";
    QCoreApplication::processEvents(); // the language change is delivered later
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    QWidget plain;
    EXPECT_EQ(plain.layoutDirection(), Qt::LeftToRight);
}
