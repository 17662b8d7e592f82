#pragma once
// Real Qt dialogs behind the dialog seam.

#include "platform/dialogs.h"

namespace rimo {

class QtDialogs : public Dialogs
{
public:
    int messageBox(const MessageBoxRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString existingDirectory(const DirectoryDialogRequest& request) override;
    int exec(QDialog& dialog) override;
};

// The program's messages break lines with a lone CR (as Windows dialogs show it), which Qt's
// labels ignore: CR LF, CR and LF each become one line break.
QString withQtLineBreaks(const QString& text);

// "a|*.x|b|*.*" -> "a (*.x);;b (*.*)"
QString qtFilterFromWindowsFilter(const QString& filter);

} // namespace rimo
