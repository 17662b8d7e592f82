#pragma once
// The texts the month calendar shows: captions, hints and its one message.

#include <QString>

namespace rimo::calendarwidgettexts {

// hints of the caption bar in solar mode
inline const QString kPriorHint = QStringLiteral("سال قبل");
inline const QString kNextHint = QStringLiteral("سال بعد");
inline const QString kSwitchHint = QStringLiteral("ميلادي");
// the calendar switch: "C" while the solar calendar is shown, "ش" while the Gregorian one is
inline const QString kSwitchSolar = QStringLiteral("C");
inline const QString kSwitchGregorian = QStringLiteral("ش");
// year label, today label (%1 the year, the date)
inline const QString kYearSolar = QStringLiteral("%1 سال");
inline const QString kYearHint = QStringLiteral("سال جاري - كليك كنيد");
inline const QString kTodaySolar = QStringLiteral("%1 : امروز");
// the date setter's refusal; the zero-width non-joiner keeps "نمي" apart from "باشد"
inline const QString kInvalidSolar =
    QStringLiteral(".تاريخ وارد شده معتبر نمي\u200Cباشد، لطفاً تاريخ صحيح را وارد نمائيد");
inline const QString kPriorHintEn = QStringLiteral("Prior Year");
inline const QString kNextHintEn = QStringLiteral("Next Year");
inline const QString kSwitchHintEn = QStringLiteral("Persian");
inline const QString kYearGregorian = QStringLiteral("Year %1");
inline const QString kTodayGregorian = QStringLiteral("Today : %1");
inline const QString kInvalidGregorian = QStringLiteral("Invalid date, Enter correct date please.");
inline const QString kAbout = QStringLiteral("Solar month calendar of the Rimo1 toolkit");

} // namespace rimo::calendarwidgettexts
