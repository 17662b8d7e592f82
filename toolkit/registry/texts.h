#pragma once
// The registry services' fixed texts.

#include <QString>

namespace rimo::registrytexts {

inline const QString ExplorerKey = QStringLiteral("Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer");
inline const QString ShellFolders = QStringLiteral("Shell Folders");
inline const QString RunKey = QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
inline const QString StartupListTitle = QStringLiteral("ليست برنامه هاي Startup ويندوز");
inline const QString NoAssociation = QStringLiteral("عدم ثبت پسوندها");
inline const QString TypeCaption = QStringLiteral("گزارشگير پلوند");
inline const QString ExecuteCaption = QStringLiteral("   اجرا با پلوند");
inline const QString EditCaption = QStringLiteral("    ويرايش با پلوند");
inline const QString InsertCaption = QStringLiteral("    اضافه به ليست");

} // namespace rimo::registrytexts
