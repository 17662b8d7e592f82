#include "platform/qtdialogs.h"

#include "platform/uifont.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFont>
#include <QMessageBox>
#include <QPushButton>

namespace rimo {

namespace {

Dialogs* g_installed = nullptr;
QString g_title;

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// A window manager stacks a dialog over the window it belongs to (its transient-for window);
// one without an owner may open behind a stay-on-top window, which then looks frozen.
QWidget* ownerFor(QWidget* requested)
{
    if (requested)
        return requested->window();
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    // Between one dialog closing and its owner getting the focus back no window is active; an
    // ownerless box would then open behind a stay-on-top window and leave it looking frozen.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return w;
    }
    return nullptr;
}

// Returns whether the dialog was given an owner.
bool attachToOwner(QDialog& dialog, QWidget* requested)
{
    if (dialog.parentWidget())
        return false;
    QWidget* owner = ownerFor(requested);
    if (!owner || owner == &dialog)
        return false;
    dialog.setParent(owner, dialog.windowFlags());
    return true;
}

} // namespace

Dialogs& dialogs()
{
    static QtDialogs qt;
    return g_installed ? *g_installed : qt;
}

void setDialogs(Dialogs* d)
{
    g_installed = d;
}

QString applicationTitle()
{
    return g_title;
}

void setApplicationTitle(const QString& title)
{
    g_title = title;
}

void showApplicationError(const QString& text, QWidget* parent)
{
    MessageBoxRequest r;
    r.parent = parent;
    r.icon = MessageIcon::Critical;
    r.caption = applicationTitle();
    r.text = text;
    r.buttons = {QStringLiteral("OK")};
    r.escapeButton = 0;
    dialogs().messageBox(r);
}

QString withQtLineBreaks(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

QString qtFilterFromWindowsFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(u';', u' '));
    return out.join(QStringLiteral(";;"));
}

int QtDialogs::messageBox(const MessageBoxRequest& request)
{
    QMessageBox box(toQtIcon(request.icon), request.caption, withQtLineBreaks(request.text));
    box.setTextFormat(Qt::PlainText);
    attachToOwner(box, request.parent);
    if (request.rightToLeft)
        box.setLayoutDirection(Qt::RightToLeft);
    if (request.arabicCharset) {
        box.setFont(tahomaFont());
    }
    QList<QPushButton*> buttons;
    for (const QString& caption : request.buttons)
        buttons << box.addButton(caption, QMessageBox::AcceptRole);
    if (request.defaultButton >= 0 && request.defaultButton < buttons.size())
        box.setDefaultButton(buttons[request.defaultButton]);
    if (request.escapeButton >= 0 && request.escapeButton < buttons.size())
        box.setEscapeButton(buttons[request.escapeButton]);
    else if (request.closableWithoutButton) {
        // A message box only closes through an escape button; a hidden one lets Escape and the
        // close box end it without answering any of the shown buttons.
        QPushButton* closer = box.addButton(QMessageBox::Cancel);
        closer->hide();
        box.setEscapeButton(closer);
    }
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return index >= 0 ? index : request.escapeButton;
}

QString QtDialogs::saveFileName(const FileDialogRequest& request)
{
    QFileDialog dlg(ownerFor(request.parent), request.caption, request.folder,
                    qtFilterFromWindowsFilter(request.filter));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    if (!request.defaultSuffix.isEmpty())
        dlg.setDefaultSuffix(request.defaultSuffix);
    dlg.selectFile(request.proposedName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().front();
}

QString QtDialogs::openFileName(const FileDialogRequest& request)
{
    return QFileDialog::getOpenFileName(ownerFor(request.parent), request.caption, request.folder,
                                        qtFilterFromWindowsFilter(request.filter));
}

QString QtDialogs::existingDirectory(const DirectoryDialogRequest& request)
{
    QFileDialog dlg(ownerFor(request.parent), request.caption, request.folder);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    dlg.setWindowModality(Qt::ApplicationModal);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().front();
}

int QtDialogs::exec(QDialog& dialog)
{
    // The caller owns the dialog: the owner is lent for the run only, so the owner's end never
    // deletes a dialog that lives on the caller's stack.
    const bool attached = attachToOwner(dialog, nullptr);
    const int result = dialog.exec();
    if (attached)
        dialog.setParent(nullptr, dialog.windowFlags());
    return result;
}

} // namespace rimo
