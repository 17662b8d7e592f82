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

// "a|*.x|b|*.*" -> "a (*.x);;b (*.*)"
QString qtFilterFromWindowsFilter(const QString& filter);

} // namespace rimo
