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

// The program's date and time formats, whatever the system's: day first with "/", and the
// 24-hour clock with seconds. The decimal separator is left as it is.
void imposeProgramFormats();

// Puts the settings back as they were when it was made. Every test that changes them, itself or
// by creating the toolkit object, holds one, so no test sees another's formats.
class ScopedFormatSettings
{
public:
    ScopedFormatSettings() : m_saved(formatSettings()) {}
    ~ScopedFormatSettings() { formatSettings() = m_saved; }
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    FormatSettings m_saved;
};

} // namespace rimo
