#pragma once
// Program-wide number, date and time format settings. The toolkit fixes the date and
// time formats at creation and the decimal separator when its configuration is
// re-applied; every conversion of the program reads them from here.

#include <QChar>
#include <QString>

namespace rimo {

struct FormatSettings
{
    QString shortDateFormat;
    QString longDateFormat;
    QString shortTimeFormat;
    QString longTimeFormat;
    QChar decimalSeparator;
};

// Starts from the system's locale; the toolkit changes it.
FormatSettings& formatSettings();

} // namespace rimo
