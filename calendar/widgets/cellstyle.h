#pragma once
// The month calendar's kinds and the look of one day cell, as plain values: the control's
// painting asks cellLook for every cell, and the tests ask it without a window.

#include "calendar/solarcalendar.h"
#include "widgets/tcolor.h"

enum TMonthObject { moPopupMenu, moComboBox, moNone };
enum TMonthPosition { mpBottomRight, mpBottomCenter, mpRightYear, mpLeftYear };
enum TUserInterface { uiDefault, uiCustom };
enum TMonthCaption { mcSaturday, mcSunday, mcMonday, mcTuesday, mcWednesday, mcThursday, mcFriday };
// A set of TMonthCaption: bit n for the member of ordinal n (grid column n).
using TMonthCaptionSet = quint8;

constexpr TMonthCaptionSet monthCaptions(std::initializer_list<TMonthCaption> members)
{
    TMonthCaptionSet set = 0;
    for (TMonthCaption m : members)
        set |= TMonthCaptionSet(1u << m);
    return set;
}
constexpr TMonthCaptionSet kAllMonthCaptions = 0x7F;

namespace rimo::calendarcell {

constexpr TColor kBlack = rgbColor(0, 0, 0);
constexpr TColor kWhite = rgbColor(255, 255, 255);
constexpr TColor kRed = rgbColor(255, 0, 0);
constexpr TColor kGrey = rgbColor(128, 128, 128);
constexpr TColor kMaroon = rgbColor(128, 0, 0);
constexpr TColor kNavy = rgbColor(0, 0, 128);
constexpr TColor kBlue = rgbColor(0, 0, 255);
constexpr TColor kGreen = rgbColor(0, 128, 0);
// The row colours and the disabled colour of the default interface.
constexpr TColor kEvenRow = 14811129;
constexpr TColor kOddRow = 16772063;
constexpr TColor kDisabled = 15790335;

struct CellColors
{
    TColor disabled = kDisabled;
    TColor firstRow = kEvenRow;
    TColor secondRow = kOddRow;
    TColor font = kBlack;
    TColor selectedFont = kRed;
};

struct CellLook
{
    TColor brush;
    TColor font;
    bool bold;
};

// `outside`: the cell holds no day of the shown month. The weekend column (Friday, column 6, of
// the solar grid; Sunday, column 0, of the Gregorian one) draws its days in maroon.
CellLook cellLook(TUserInterface ui, bool showCellInColor, const CellColors& custom, TDateKind kind, int col,
                  int row, bool selected, bool outside);

} // namespace rimo::calendarcell
