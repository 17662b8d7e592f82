#pragma once
// The system information reports of the toolkit object: the computer's properties and a world
// clock on the message board, the program's version text, and one step of listing the titles of
// top-level windows. The toolkit object inherits them and supplies its platform services (the
// system facts and the clock among them), the board, today's solar date and its window list.

#include "platform/services.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <optional>

class TMessageBoardForm;
class QListWidget;

class TSystemReports
{
public:
    virtual ~TSystemReports() = default;

    virtual const rimo::PlatformServices& platform() const = 0;

    void GetSystemPeroperties();
    // Tehran first (as hh:mm), then every zone, all from the clock's universal time; also puts
    // the program's date and time formats back. An offset that is no time raises rimo::Error
    // with the rows posted so far left on the board and the recording not ended.
    void ShowTimes();
    void ShowSystemInformation() {}
    // The program's version, four numbers ("0.1.0.0").
    static QString GetVersion();
    // Adds the title of the listed window Wnd to the window list unless it is "GDI+ Window";
    // always true, so that a listing goes on. lParam is not used.
    bool EnumWindowsProc(quint32 Wnd, qint32 lParam);

protected:
    virtual TMessageBoardForm& reportBoard() = 0;
    virtual QString reportToday() = 0;
    virtual QListWidget& reportWindowList() = 0;
};

namespace rimo {

using ReportRow = QPair<QString, QString>;

// The computer properties rows, in order.
QList<ReportRow> systemPropertyRows(const QString& today, QSize screen, SystemFacts& facts);

// The world-clock row of a zone at the universal time `utcNow`; std::nullopt for the zones the
// report skips (the GMT family, displays without an offset). Raises rimo::Error when the offset
// is no time.
std::optional<ReportRow> worldClockRow(const ZoneFacts& zone, const QDateTime& utcNow);

// Iran's standard time, +03:30 (Iran keeps no summer time).
inline constexpr int kTehranOffsetSeconds = 3 * 3600 + 30 * 60;

// Tehran's time of day at the universal time `utcNow`, as hh:mm: by the offset of the zone
// "Iran Standard Time" when the zones list one that reads, so that the report's first row and
// its Iran row agree, else by kTehranOffsetSeconds.
QString tehranTime(const std::optional<QList<ZoneFacts>>& zones, const QDateTime& utcNow);

} // namespace rimo
