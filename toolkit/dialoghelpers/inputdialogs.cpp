#include "inputdialogs.h"

#include "platform/dialogs.h"
#include "platform/uifont.h"
#include "toolkit/services/valueservices.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <functional>

namespace {

constexpr int MaxInput = 255;

// The shared window: prompt, the given control under it and the two buttons, in dialog units.
void layOut(QDialog& dialog, const QString& caption, const QString& prompt, QWidget* control)
{
    dialog.setFont(rimo::inputDialogFont());
    dialog.setWindowTitle(caption);
    dialog.setLayoutDirection(Qt::RightToLeft);
    const rimo::DialogUnits u = rimo::dialogUnits(dialog.font());

    auto* label = new QLabel(prompt, &dialog);
    label->setObjectName(QStringLiteral("prompt"));
    label->setWordWrap(true);
    const int labelWidth = u.x(164);
    const QRect text =
        label->fontMetrics().boundingRect(QRect(0, 0, labelWidth, 10000), Qt::TextWordWrap, prompt);
    label->setGeometry(u.x(8), u.y(8), std::min(labelWidth, text.width()), text.height());

    control->setParent(&dialog);
    control->setGeometry(u.x(8), label->geometry().bottom() + 1 + 5, u.x(164),
                         control->height() > 0 && control->property("fixedHeight").toBool()
                             ? control->height()
                             : control->sizeHint().height());

    const int buttonTop = control->geometry().bottom() + 1 + 15;
    auto* ok = new QPushButton(QStringLiteral("قبول"), &dialog);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(u.x(38), buttonTop, u.x(50), u.y(14));
    auto* cancel = new QPushButton(QStringLiteral("انصراف"), &dialog);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(u.x(92), buttonTop, u.x(50), u.y(14));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    dialog.setFixedSize(u.x(180), ok->geometry().bottom() + 1 + 13);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    control->setFocus();
}

// Shows the dialog until it is cancelled or accepted with a text that passes `accepts`.
bool run(QDialog& dialog, const std::function<QString()>& text,
         const std::function<bool(const QString&)>& accepts, QString& Value)
{
    for (;;) {
        if (rimo::dialogs().exec(dialog) != QDialog::Accepted)
            return false;
        const QString entered = text();
        if (accepts(entered)) {
            Value = entered;
            return true;
        }
    }
}

bool notBlank(const QString& text)
{
    return !TValueServices::IsBlank(text);
}

bool editQuery(const QString& caption, const QString& prompt, QString& Value, bool password,
               const std::function<bool(const QString&)>& accepts)
{
    QDialog dialog;
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("input"));
    edit->setMaxLength(MaxInput);
    edit->setText(Value.left(MaxInput));
    edit->selectAll();
    if (password) {
        edit->setEchoMode(QLineEdit::Password);
        // Qt's own mask is a bullet; the program's password boxes show "*".
        edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    layOut(dialog, caption, prompt, edit);
    return run(
        dialog, [edit] { return edit->text(); }, accepts, Value);
}

} // namespace

QFont rimo::inputDialogFont()
{
    QFont font = tahomaFont();
    font.setPointSize(9);
    return font;
}

rimo::DialogUnits rimo::dialogUnits(const QFont& font)
{
    const QFontMetrics m(font);
    const int letters =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {letters / 52, m.height()};
}

bool TInputDialogs::InQuery(const QString& APrompt, QString& Value)
{
    SwitchToFarsi();
    return editQuery(QStringLiteral("سوال"), APrompt, Value, false, notBlank);
}

bool TInputDialogs::InQueryEng(const QString& APrompt, QString& Value)
{
    SwitchToEnglish();
    return editQuery(QStringLiteral("دريافت ورودي"), APrompt, Value, false, notBlank);
}

bool TInputDialogs::PassInQuery(const QString& APrompt, QString& Value)
{
    SwitchToFarsi();
    return editQuery(QStringLiteral("دريافت رمز ورود"), APrompt, Value, true,
                     [](const QString& text) { return !text.isEmpty(); });
}

bool TInputDialogs::InQueryCombo(const QString& APrompt, QString& Value, const QStringList& InSL)
{
    QStringList entries = InSL;
    entries.removeOne(QStringLiteral(".همه گروهها."));
    QDialog dialog;
    auto* combo = new QComboBox;
    combo->setObjectName(QStringLiteral("input"));
    combo->setEditable(false);
    combo->setFrame(false);
    combo->setMaxVisibleItems(10);
    combo->addItems(entries);
    // A pick-only box starts on its first entry; an unmatched value chooses none, so that OK
    // cannot accept an entry the user never picked.
    combo->setCurrentIndex(static_cast<int>(entries.indexOf(Value)));
    combo->resize(combo->width(), 22);
    combo->setProperty("fixedHeight", true);
    layOut(dialog, QStringLiteral("سوال"), APrompt, combo);
    SwitchToFarsi();
    return run(
        dialog, [combo] { return combo->currentText(); }, notBlank, Value);
}

bool rimo::pickFromList(const QString& APrompt, const QStringList& entries, QString& Value)
{
    QDialog dialog;
    auto* combo = new QComboBox;
    combo->setObjectName(QStringLiteral("input"));
    combo->setEditable(false);
    combo->addItem(QStringLiteral(" "));
    combo->addItems(entries);
    const int match = combo->findText(Value.left(MaxInput), Qt::MatchExactly);
    combo->setCurrentIndex(match > 0 ? match : 0);
    layOut(dialog, QStringLiteral("ليست انتخابي"), APrompt, combo);
    return run(
        dialog, [combo] { return combo->currentText(); }, notBlank, Value);
}
