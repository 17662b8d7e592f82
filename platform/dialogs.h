#pragma once
// The one seam every modal window of the program goes through. The Qt implementation
// shows real dialogs; tests install a double that records what was asked and answers
// from a script, so no test ever waits on a modal window.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QDialog;
class QWidget;

namespace rimo {

enum class MessageIcon { None, Information, Warning, Critical, Question };

struct MessageBoxRequest
{
    MessageIcon icon = MessageIcon::Information;
    QString caption;
    QString text;
    QStringList buttons;   // captions, left to right in reading order
    int defaultButton = 0; // index into buttons
    int escapeButton = -1; // index returned on Escape or close; -1 when none
    // Without an escape button a box refuses Escape and its close box, unless this is set:
    // then closing it returns -1.
    bool closableWithoutButton = false;
    bool rightToLeft = false;
    bool arabicCharset = false; // font with the Arabic character set (Tahoma falls back to an Arabic font)
    QWidget* parent = nullptr;  // the owner the box stacks above; the active window when none
};

struct FileDialogRequest
{
    QString caption;
    QString filter;       // Windows-style "name|pattern|name|pattern"
    QString proposedName; // file name proposed to the user
    QString folder;
    QString defaultSuffix;
    QWidget* parent = nullptr; // the owner the dialog stacks above; the active window when none
};

struct DirectoryDialogRequest
{
    QString caption;
    QString folder;            // where the chooser starts
    QWidget* parent = nullptr; // the owner the dialog stacks above; the active window when none
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Returns the index of the pressed button, or escapeButton when closed otherwise (-1 for a
    // box closableWithoutButton).
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    // Returns the chosen file name, empty on cancel.
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    // An application-modal chooser of existing folders only; the chosen folder, empty on cancel.
    virtual QString existingDirectory(const DirectoryDialogRequest& request) = 0;
    // Runs a program-made modal window (connect dialog, chooser, ...) and returns its result code.
    // A dialog without a parent is owned by the active window while it runs.
    virtual int exec(QDialog& dialog) = 0;
};

// The process-wide seam. Until a program or test installs one, a Qt implementation is used.
Dialogs& dialogs();
// Installs `d` (not owned); nullptr restores the Qt implementation.
void setDialogs(Dialogs* d);

// The application's standard error box: stop icon, the error's text, the application title.
// `parent` is the window the error belongs to, so a window manager stacks the box above it.
void showApplicationError(const QString& text, QWidget* parent = nullptr);

// The application title (the caption of the standard error box, the program's name towards
// the desktop).
QString applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace rimo
