#pragma once
// The message board's own user-visible texts.

#include <QString>

namespace rimo::boardtexts {
inline const QString BackButton = QStringLiteral("برگشت");
inline const QString SaveReportButton = QStringLiteral("ذخيره گزارش");
inline const QString RowCountPrefix = QStringLiteral("تعداد سطر : ");
inline const QString ReportFilter = QStringLiteral("فايلهاي گزارش|*.Txt|همه فايلها|*.*");
inline const QString EmptyList = QStringLiteral("ليست خالي است");
// Title of the continuation rows of a long value.
inline const QString ContinuationTitle = QStringLiteral(" .. ");
} // namespace rimo::boardtexts
