#pragma once
// What the month calendar shows, without a window: the 42 cells of a month, the month and
// day names of both calendars, and the captions of the weekday header.

#include "calendar/solarcalendar.h"

#include <QString>
#include <QStringList>
#include <array>

namespace rimo::monthgrid {

constexpr int kColumns = 7;
constexpr int kRows = 6;
constexpr int kCells = kColumns * kRows;

struct MonthGrid
{
    // Column of day 1: solar months count from Saturday (column 0), Gregorian ones from Sunday.
    int firstCell = -1;
    // Row by row, column 0 first. Days of the month, then (with a month selector) the last days
    // of the previous month before day 1 and 1, 2, 3 ... after the last day.
    std::array<QString, kCells> texts;
    // The cells before day 1 and after the last day.
    std::array<bool, kCells> outside{};
    // Cell index of the given day; -1 when the month has no such day (1389/07/31).
    int focusedCell = -1;
    int lastCol = -1;
    int lastRow = -1;
};

// Raises rimo::Error for a year the library cannot place (0, or beyond the conversion range
// of a solar year) or a month outside 1..12.
MonthGrid FillGrid(TDateKind Kind, quint16 Year, quint16 Month, quint16 Day, bool HasSelector);

// "فروردين ماه" .. "اسفند ماه" or "January" .. "December"; empty outside 1..12.
QString MonthName(TDateKind Kind, int Month);
QStringList MonthNames(TDateKind Kind);
// The name of a grid column's weekday: solar "شنبه" (0) .. "جمعه" (6), Gregorian "Sun" .. "Sat".
QString DayName(TDateKind Kind, int Column);
// The captions of the weekday header, from the right-hand label to the left-hand one.
QStringList WeekdayCaptions(TDateKind Kind);

// Whether a cell of the grid is in the given column set (bit 0 Saturday .. bit 6 Friday), the
// days a click may select.
constexpr bool ColumnEnabled(unsigned EnabledDays, int Column)
{
    return Column >= 0 && Column < kColumns && (EnabledDays >> Column & 1u) != 0;
}

} // namespace rimo::monthgrid
