#include "toolkit/sysinfo/systemreports.h"

#include "board/messageboardform.h"
#include "core/error.h"
#include "core/formatsettings.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>

namespace {

const QString kComputerTitle = QStringLiteral("گزارش مشخصات كامپيوتر");
const QString kClockTitle = QStringLiteral("ساعتهاي جهان");
const QString kKiloBytes = QStringLiteral("  كيلو بايت  ");
constexpr int kMaxLayouts = 16;

// A time of day as "h:mm" or "h:mm:ss" (hours below 24).
std::optional<int> secondsOfTime(const QString& text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || values[i] < 0)
            return std::nullopt;
    }
    if (values[0] > 23 || values[1] > 59 || values[2] > 59)
        return std::nullopt;
    return values[0] * 3600 + values[1] * 60 + values[2];
}

} // namespace

namespace rimo {

QList<ReportRow> systemPropertyRows(const QString& today, QSize screen, SystemFacts& facts)
{
    QList<ReportRow> rows;
    rows.append({QStringLiteral("گزارش سيستم"), today});
    rows.append({QStringLiteral("ارتفاع صفحه نمايش"), QString::number(screen.height())});
    rows.append({QStringLiteral("عرض صفحه نمايش"), QString::number(screen.width())});
    const std::optional<quint32> serial = facts.rootFileSystemId();
    rows.append({QStringLiteral("HDD Serial"),
                 serial && *serial != 0 ? QString::number(*serial) : QStringLiteral("Not Detect")});
    const QStringList languages = facts.keyboardLanguages();
    for (qsizetype i = 0; i < languages.size() && i < kMaxLayouts; ++i)
        rows.append({QStringLiteral("زبان"), languages[i]});
    // In 64 bits: the machine's memory is past what a 32-bit count of bytes holds.
    const MemoryFacts memory = facts.memory().value_or(MemoryFacts{});
    const quint64 load =
        memory.totalBytes == 0 ? 0 : (memory.totalBytes - memory.availableBytes) * 100 / memory.totalBytes;
    rows.append({QStringLiteral("درصد حافظه در حال استفاده"), QString::number(load)});
    rows.append({QStringLiteral("حافظه اصلي سيستم"), QString::number(memory.totalBytes / 1024) + kKiloBytes});
    rows.append({QStringLiteral("برنامه فعلي در حال اجرا"),
                 QString::number(facts.addressSpaceBytes() / 1024) + kKiloBytes});
    const FormatSettings& fmt = formatSettings();
    rows.append({QStringLiteral("فرمت تاريخ كوتاه"), fmt.shortDateFormat});
    rows.append({QStringLiteral("فرمت تاريخ بلند"), fmt.longDateFormat});
    rows.append({QStringLiteral("فرمت ساعت كوتاه"), fmt.shortTimeFormat});
    rows.append({QStringLiteral("فرمت ساعت بلند"), fmt.longTimeFormat});
    return rows;
}

namespace {

struct ZoneDisplay
{
    QString places; // what follows the ")"
    QString offset; // "+03:30", "-05:00"; "" for a display without one
};

// "(UTC+03:30) Tehran": the clock name goes, the places follow the ")", the offset precedes it.
ZoneDisplay zoneDisplay(const QString& display)
{
    QString rest = display.mid(4);
    const qsizetype close = rest.indexOf(u')');
    const QString places = rest.mid(close + 1, 100);
    if (close >= 0)
        rest.remove(close, 100);
    return {places, rest};
}

// The signed seconds of an offset text; raises rimo::Error when it is no time.
int offsetSeconds(const QString& offset)
{
    const std::optional<int> seconds = secondsOfTime(offset.mid(1));
    if (!seconds)
        throw Error(QStringLiteral("'%1' is not a valid time").arg(offset.mid(1)));
    return offset.at(0) == u'+' ? *seconds : -*seconds;
}

} // namespace

std::optional<ReportRow> worldClockRow(const ZoneFacts& zone, const QDateTime& utcNow)
{
    // The short name is what stands before "Standard Time", found in any letter case, so that
    // "gmt standard time" is skipped like "GMT Standard Time".
    const qsizetype standard = zone.key.indexOf(u"Standard Time", 0, Qt::CaseInsensitive);
    const QString start = standard < 0 ? QString() : zone.key.left(standard);
    const QString shortName = start.trimmed();
    for (const char16_t* skipped : {u"GMT", u"Greenwich", u"Greenland", u"GTB"}) {
        if (shortName.compare(QStringView(skipped), Qt::CaseInsensitive) == 0)
            return std::nullopt;
    }
    const ZoneDisplay display = zoneDisplay(zone.display);
    const QString label = start + u'(' + display.places + u')' + u'[' + display.offset + u']';
    if (display.offset.isEmpty())
        return std::nullopt;
    const QDateTime zoneTime = utcNow.addSecs(offsetSeconds(display.offset));
    return ReportRow{label, zoneTime.time().toString(QStringLiteral("HH:mm:ss"))};
}

QString tehranTime(const std::optional<QList<ZoneFacts>>& zones, const QDateTime& utcNow)
{
    int offset = kTehranOffsetSeconds;
    for (const ZoneFacts& zone : zones.value_or(QList<ZoneFacts>())) {
        if (zone.key.compare(u"Iran Standard Time", Qt::CaseInsensitive) != 0)
            continue;
        const ZoneDisplay display = zoneDisplay(zone.display);
        if (!display.offset.isEmpty() && secondsOfTime(display.offset.mid(1)))
            offset = offsetSeconds(display.offset);
        break;
    }
    return utcNow.addSecs(offset).time().toString(QStringLiteral("HH:mm"));
}

} // namespace rimo

void TSystemReports::GetSystemPeroperties()
{
    TMessageBoardForm& board = reportBoard();
    board.StartRecording(false, kComputerTitle);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize();
    for (const rimo::ReportRow& row : rimo::systemPropertyRows(reportToday(), size, *platform().systemFacts))
        board.PostThisMessage(row.first, row.second);
    board.StopRecording();
}

void TSystemReports::ShowTimes()
{
    TMessageBoardForm& board = reportBoard();
    board.StartRecording(false, kClockTitle);
    // Every row from one universal time and its zone's offset: the machine's own clock may run on
    // any zone (often UTC on a server), so "local time is Tehran" holds nowhere in particular.
    const QDateTime utcNow = platform().clock->utcNow();
    const std::optional<QList<rimo::ZoneFacts>> zones = platform().systemFacts->zones();
    // The report shows times in the program's formats, and puts them back as it always has.
    rimo::imposeProgramFormats();
    board.PostThisMessage(QStringLiteral("Iran(Tehran)"), rimo::tehranTime(zones, utcNow));
    if (zones) {
        for (const rimo::ZoneFacts& zone : *zones) {
            if (const auto row = rimo::worldClockRow(zone, utcNow))
                board.PostThisMessage(row->first, row->second);
        }
    }
    board.StopRecording();
}

QString TSystemReports::GetVersion()
{
    return QStringLiteral(RIMO_VERSION_TEXT);
}

bool TSystemReports::EnumWindowsProc(quint32 Wnd, qint32)
{
    // The window source lists only visible or minimised top-level application windows without
    // an owner, which is the selection the Windows listing made from window styles.
    for (const rimo::WindowEntry& w : platform().windows->windows()) {
        if (w.handle != Wnd)
            continue;
        const QString title = w.caption.left(200);
        if (title != u"GDI+ Window")
            reportWindowList().addItem(title);
        break;
    }
    return true;
}
