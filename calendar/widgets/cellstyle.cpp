#include "calendar/widgets/cellstyle.h"

namespace rimo::calendarcell {

CellLook cellLook(TUserInterface ui, bool showCellInColor, const CellColors& custom, TDateKind kind, int col,
                  int row, bool selected, bool outside)
{
    const bool even = row % 2 == 0;
    CellLook look{};
    if (ui == uiDefault) {
        look.font = selected ? kRed : kBlack;
        look.brush = !showCellInColor ? kWhite : even ? kEvenRow : kOddRow;
    } else {
        look.font = selected ? custom.selectedFont : custom.font;
        look.brush = even ? custom.firstRow : custom.secondRow;
    }
    look.bold = selected;
    if (outside) {
        look.brush = ui == uiDefault ? kDisabled : custom.disabled;
        look.font = kGrey;
    } else if (!selected && col == (kind == dkSolar ? 6 : 0)) {
        look.font = kMaroon;
    }
    return look;
}

} // namespace rimo::calendarcell
