#pragma once
// Qt's own Persian texts (standard buttons, file dialogs) from Debian's qt6-translations-l10n.
// The program's own texts are not translated; they are written as the windows show them.

#include <QString>

namespace rimo {

// Loads qtbase_fa from `folder` (Qt's translations folder when empty) into the application.
// Returns whether it was found. The application's layout direction stays left to right: every
// window sets its own direction, and the translation would otherwise turn the defaults around.
bool installQtPersianTexts(const QString& folder = QString());

} // namespace rimo
