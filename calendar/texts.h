#pragma once
// The Persian units of a day count written as years, months and days.

#include <QString>

namespace rimo::calendartexts {

inline const QString Years = QStringLiteral(" سال ");
inline const QString Months = QStringLiteral(" ماه ");
inline const QString Days = QStringLiteral(" روز ");

} // namespace rimo::calendartexts
