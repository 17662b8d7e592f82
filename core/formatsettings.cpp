#include "core/formatsettings.h"

#include <QLocale>

namespace rimo {

FormatSettings& formatSettings()
{
    static FormatSettings settings = [] {
        const QLocale system = QLocale::system();
        FormatSettings s;
        s.shortDateFormat = system.dateFormat(QLocale::ShortFormat);
        s.longDateFormat = system.dateFormat(QLocale::LongFormat);
        s.shortTimeFormat = system.timeFormat(QLocale::ShortFormat);
        s.longTimeFormat = system.timeFormat(QLocale::LongFormat);
        const QString point = system.decimalPoint();
        s.decimalSeparator = point.isEmpty() ? QChar(u'.') : point.front();
        return s;
    }();
    return settings;
}

void imposeProgramFormats()
{
    FormatSettings& fmt = formatSettings();
    fmt.shortDateFormat = fmt.longDateFormat = QStringLiteral("dd/mm/yyyy");
    fmt.shortTimeFormat = fmt.longTimeFormat = QStringLiteral("HH:mm:ss");
}

} // namespace rimo
