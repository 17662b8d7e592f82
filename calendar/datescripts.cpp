#include "calendar/datescripts.h"

#include "calendar/monthgrid.h"
#include "calendar/spelling.h"

namespace rimo::datescripts {

QString YearScript(int Year, TFormat Format, int CurrentYear)
{
    const int y = Year == 0 ? CurrentYear : Year;
    if (Format == fShort && y >= 1000 && y <= 9999)
        return SpellNumber(y % 100);
    return SpellNumber(y);
}

QString MonthScript(int Month, int CurrentMonth)
{
    return Month != 0 ? SpellNumber(Month) : SpellOrdinal(SpellNumber(CurrentMonth));
}

QString DayScript(int Day, int CurrentDay)
{
    return SpellNumber(Day == 0 ? CurrentDay : Day);
}

QString YMDScript(TMonthType MonthType, const QString& Divider, TDateKind Kind, int Year, int Month, int Day)
{
    const QString month = MonthType == mtAlphabet ? monthgrid::MonthName(Kind, Month) : SpellNumber(Month);
    return SpellOrdinal(SpellNumber(Day)) + Divider + month + Divider + SpellNumber(Year);
}

} // namespace rimo::datescripts
