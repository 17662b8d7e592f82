#pragma once
// Texts of the central connect dialog and the herd chooser.

#include <QString>

namespace rimo::texts {
inline const QString ConnectDialogCaption = QStringLiteral("اتصال به بانك اصلي");
inline const QString ConnectUserLabel = QStringLiteral("نام كاربر");
inline const QString ConnectPasswordLabel = QStringLiteral("رمز عبور");
inline const QString ConnectServerLabel = QStringLiteral("سرور");
inline const QString ConnectDatabaseLabel = QStringLiteral("Database");
inline const QString ConnectButton = QStringLiteral("اتصال");
inline const QString ConnectCancelButton = QStringLiteral("انصراف");
inline const QString ChooserPrompt = QStringLiteral("انتخاب مشتري جهت ورود ....");
inline const QString ChooserEnterButton = QStringLiteral("ورود");
} // namespace rimo::texts
