#pragma once
// The Persian texts of the statement services, the script runner and the settings table.

#include <QString>

namespace rimo::sqltexts {

inline const QString Cr = QStringLiteral("\r");

// The board line of a failed statement, and the caption of ShowExceptMsg.
inline const QString Error = QStringLiteral("خطا");
inline const QString ProgrammingFault = QStringLiteral("اشكال در برنامه نويسي");
// Followed by CR and the count statement.
inline const QString CountFailed =
    QStringLiteral("اشكال در اجرا دستور . با برنامه نويس تماس بگيريد.- شمارش - ");
inline const QString VersionFailed = QStringLiteral("خطا در دريافت نسخه اسكيوال سرور");

// ShowExceptMsg.
inline const QString TooLong = QStringLiteral("(بدليل طولاني بودن ادامه دستور نمايش داده نمي شود)");
inline const QString DuplicateNote = QStringLiteral("نكته : احتمالا پيام در مورد اطلاعات تكراري است ");
inline const QString Rule = QStringLiteral("_____________________________________");
inline const QString SystemMessage = QStringLiteral("پيام اصلي سيستم :");

// The script runner.
inline const QString FileNotFound = QStringLiteral("فايل پيدا نشد");
inline const QString BatchDone = QStringLiteral("موفقيت در");
inline const QString BatchFailed = QStringLiteral("خطا در ");
inline const QString SummaryAbout = QStringLiteral(" در مورد ");
inline const QString SummaryErrors =
    QStringLiteral(" خطا وجود داشته است . گزارش را ذخيره و با شركت ورناس براي هماهنگي بيشتر تماس بگيريد ");
// A script with nothing left to run once its comment lines are gone; followed by CR and the title.
inline const QString NothingToRun = QStringLiteral("در فايل دستوري براي اجرا نيست");

// The settings table.
inline const QString VersionReport = QStringLiteral("گزارش مشخصات نرم افزار");
inline const QString VersionReportFailed = QStringLiteral("امكان نمايش كنترل نسخ نيست");

} // namespace rimo::sqltexts
