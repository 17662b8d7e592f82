#pragma once
// The Persian texts of the date and time entry checks.

#include <QString>

namespace rimo::datetexts {

// Date message: DatePrefix + text + NotValid + CR + reason; time message: TimePrefix + ...
inline const QString DatePrefix = QStringLiteral(" تاريخ  ");
inline const QString TimePrefix = QStringLiteral(" ساعت  ");
inline const QString NotValid = QStringLiteral("  صحيح نمي باشد");
inline const QString LineBreak = QStringLiteral("\r");

inline const QString SlashCount = QStringLiteral("تعداد / صحيح نيست");
inline const QString DateDigits = QStringLiteral("جهت تاريخ از اعداد 0 تا 9 استفاده كنيد");
inline const QString DateEntry = QStringLiteral("اشكال در ورود تاريخ"); // shown alone, without the frame
inline const QString BadMonth = QStringLiteral("ماه صحيح نيست");
inline const QString BadDay = QStringLiteral("روز صحيح نيست");
// For a date the calendar cannot convert: a year of fewer than four digits or beyond it.
inline const QString BadYear = QStringLiteral("سال صحيح نيست");

inline const QString ColonCount = QStringLiteral("تعداد \":\" درست نيست");
inline const QString TimeCharacters = QStringLiteral("علامتهاي مجاز اعداد 1 تا 9 و علامت \":\" مي باشد");
inline const QString TimeEntry = QStringLiteral("اشكال در ورود ساعت");
inline const QString BadHour = QStringLiteral("ساعت صحيح نيست");
inline const QString BadMinute = QStringLiteral("دقيقه صحيح نيست");

// Clock message: NowPrefix + time + NowReset.
inline const QString NowPrefix = QStringLiteral("ساعت ");
inline const QString NowReset = QStringLiteral("    صحيح نمي باشد . ساعت به 00:00  تغيير يافت");

} // namespace rimo::datetexts
