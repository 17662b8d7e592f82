#pragma once
// User-visible texts of the main window and the data module.

#include <QString>

namespace rimo::texts {
inline const QString AppTitle = QStringLiteral("Rimo1");
inline const QString CompanyBanner = QStringLiteral("\nشركت ورناس\n");
inline const QString Purpose =
    QStringLiteral("هدف برنامه : محاسبه مجدد رديف ركوردهاي رسمي و رديف كل ركوردها");
inline const QString LactationRebuildButton = QStringLiteral("بازسازي  شكم دامها در ركوردها");
inline const QString SequenceRebuildButton = QStringLiteral("بازسازي رديف ركورد رسمي و رديف ركورد كل");
inline const QString ExitButton = QStringLiteral("خروج");
inline const QString ConnectionError = QStringLiteral("خطا در اتصال");
} // namespace rimo::texts
