// The toolkit's date picking for edit boxes.
#include "calendar/solarcalendar.h"
#include "calendar/widgets/datepickernew.h"
#include "platform/dialogs.h"
#include "toolkit/tools.h"
#include "widgets/xfbitbtn.h"

#include <QVariant>
#include <algorithm>

void TTools::PickDateFromDate(QObject* Sender)
{
    if (!Sender)
        return;
    TDatePickerNew picker(nullptr, m_platform.clock, m_platform.beeper);
    const QString text = Sender->property("text").toString();
    if (!RemoveRLBLank(text).isEmpty() && IsValidDate(text)) {
        const QString completed = CompleateDate(text);
        Sender->setProperty("text", completed);
        // Year, month and day are read between the dividers: a year of five digits, which the
        // check accepts, does not shift the month and day.
        const QStringList parts = completed.split(QLatin1Char('/'));
        picker.Calndr->GotoYear(parts.value(0).toInt());
        picker.Calndr->GotoMonth(parts.value(1).toInt());
        // A day the month lacks (Esfand 30 of a common year, 1389/07/31) opens on the month's
        // last day, as the month control treats it, rather than on the day the calendar had.
        const int day = parts.value(2).toInt();
        const int length =
            rimo::DaysOfMonth(picker.Calndr->DateKind(), static_cast<quint16>(picker.Calndr->Year()),
                              static_cast<quint16>(picker.Calndr->Month()));
        picker.Calndr->GotoDay(length > 0 ? std::min(day, length) : day);
    }
    if (rimo::dialogs().exec(picker) == mrOk)
        Sender->setProperty("text", picker.Calndr->GetDateWithDiv(QStringLiteral("/")));
}

void TTools::PickDateFromDateOld(QObject* /*Sender*/) {}
