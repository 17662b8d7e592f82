#include "platform/linuxsystemfacts.h"

#include "platform/linuxservices.h"

#include <QFile>
#include <QLocale>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cstring>
#include <sys/resource.h>
#include <sys/statfs.h>

namespace rimo {

namespace {

// The Windows zone keys the world clock lists, with the places their display texts name.
struct ZonePlaces
{
    const char* key;
    const char* places;
};
constexpr ZonePlaces kZonePlaces[] = {
    {"Afghanistan Standard Time", "Kabul"},
    {"Alaskan Standard Time", "Alaska"},
    {"Arab Standard Time", "Kuwait, Riyadh"},
    {"Arabian Standard Time", "Abu Dhabi, Muscat"},
    {"Arabic Standard Time", "Baghdad"},
    {"Atlantic Standard Time", "Atlantic Time (Canada)"},
    {"AUS Eastern Standard Time", "Canberra, Melbourne, Sydney"},
    {"Azerbaijan Standard Time", "Baku"},
    {"Bangladesh Standard Time", "Dhaka"},
    {"Caucasus Standard Time", "Yerevan"},
    {"Central Asia Standard Time", "Astana"},
    {"Central Europe Standard Time", "Belgrade, Bratislava, Budapest, Ljubljana, Prague"},
    {"Central European Standard Time", "Sarajevo, Skopje, Warsaw, Zagreb"},
    {"Central Standard Time", "Central Time (US & Canada)"},
    {"China Standard Time", "Beijing, Chongqing, Hong Kong, Urumqi"},
    {"E. Africa Standard Time", "Nairobi"},
    {"Eastern Standard Time", "Eastern Time (US & Canada)"},
    {"Egypt Standard Time", "Cairo"},
    {"FLE Standard Time", "Helsinki, Kyiv, Riga, Sofia, Tallinn, Vilnius"},
    {"Georgian Standard Time", "Tbilisi"},
    {"GMT Standard Time", "Dublin, Edinburgh, Lisbon, London"},
    {"Greenland Standard Time", "Greenland"},
    {"Greenwich Standard Time", "Monrovia, Reykjavik"},
    {"GTB Standard Time", "Athens, Bucharest"},
    {"Hawaiian Standard Time", "Hawaii"},
    {"India Standard Time", "Chennai, Kolkata, Mumbai, New Delhi"},
    {"Iran Standard Time", "Tehran"},
    {"Israel Standard Time", "Jerusalem"},
    {"Jordan Standard Time", "Amman"},
    {"Korea Standard Time", "Seoul"},
    {"Mountain Standard Time", "Mountain Time (US & Canada)"},
    {"Nepal Standard Time", "Kathmandu"},
    {"New Zealand Standard Time", "Auckland, Wellington"},
    {"Pacific Standard Time", "Pacific Time (US & Canada)"},
    {"Pakistan Standard Time", "Islamabad, Karachi"},
    {"Romance Standard Time", "Brussels, Copenhagen, Madrid, Paris"},
    {"Russian Standard Time", "Moscow, St. Petersburg"},
    {"SA Pacific Standard Time", "Bogota, Lima, Quito, Rio Branco"},
    {"SE Asia Standard Time", "Bangkok, Hanoi, Jakarta"},
    {"Singapore Standard Time", "Kuala Lumpur, Singapore"},
    {"South Africa Standard Time", "Harare, Pretoria"},
    {"Tokyo Standard Time", "Osaka, Sapporo, Tokyo"},
    {"Turkey Standard Time", "Istanbul"},
    {"UTC", "Coordinated Universal Time"},
    {"W. Europe Standard Time", "Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"},
    {"West Asia Standard Time", "Ashgabat, Tashkent"},
};

// The X keyboard map's symbols name ("pc+us+ir:2+inet(evdev)"); empty without an X server.
QString xkbSymbolsName()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return {};
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    QString symbols;
    if (XkbDescPtr desc = XkbAllocKeyboard()) {
        if (XkbGetNames(display, XkbSymbolsNameMask, desc) == Success && desc->names &&
            desc->names->symbols) {
            if (char* name = XGetAtomName(display, desc->names->symbols)) {
                symbols = QString::fromLatin1(name);
                XFree(name);
            }
        }
        XkbFreeKeyboard(desc, 0, True);
    }
    XCloseDisplay(display);
    return symbols;
}

} // namespace

QHash<QString, QString> xkbLayoutLanguageCodes(const QByteArray& evdevXml)
{
    // Only the layouts' own configItem counts: variants carry their own name and languages.
    QHash<QString, QString> codes;
    QXmlStreamReader xml(evdevXml);
    QStringList path;
    QString layout;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path.append(xml.name().toString());
            const QString where = path.join(u'/');
            if (where.endsWith(u"layout/configItem/name")) {
                layout = xml.readElementText().trimmed();
                path.removeLast();
            } else if (where.endsWith(u"layout/configItem/languageList/iso639Id")) {
                const QString code = xml.readElementText().trimmed();
                path.removeLast();
                if (!layout.isEmpty() && !codes.contains(layout))
                    codes.insert(layout, code);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (!path.isEmpty())
                path.removeLast();
            if (xml.name() == u"layout")
                layout.clear();
        }
    }
    return codes;
}

QString englishLanguageName(const QString& iso639)
{
    const QLocale::Language language = QLocale::codeToLanguage(iso639);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return iso639;
    return QLocale::languageToString(language);
}

std::optional<MemoryFacts> parseMemInfo(const QByteArray& meminfo)
{
    std::optional<quint64> total;
    quint64 available = 0;
    for (const QByteArray& line : meminfo.split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        bool ok = false;
        const quint64 kb = parts[1].toULongLong(&ok);
        if (!ok)
            continue;
        if (parts[0] == "MemTotal:")
            total = kb * 1024;
        else if (parts[0] == "MemAvailable:")
            available = kb * 1024;
    }
    if (!total)
        return std::nullopt;
    return MemoryFacts{*total, std::min(available, *total)};
}

QString zoneDisplay(int offsetSeconds, const QString& places)
{
    if (offsetSeconds == 0)
        return QStringLiteral("(UTC) ") + places;
    const int minutes = std::abs(offsetSeconds) / 60;
    return QStringLiteral("(UTC%1%2:%3) %4")
        .arg(QChar(offsetSeconds < 0 ? u'-' : u'+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
        .arg(places);
}

QList<ZoneFacts> windowsZones(const QDateTime& utcNow)
{
    QList<ZoneFacts> zones;
    for (const ZonePlaces& z : kZonePlaces) {
        const QString key = QString::fromLatin1(z.key);
        const QByteArray iana =
            key == u"UTC" ? QByteArray("UTC") : QTimeZone::windowsIdToDefaultIanaId(z.key);
        const QTimeZone zone(iana);
        if (iana.isEmpty() || !zone.isValid())
            continue;
        zones.append({key, zoneDisplay(zone.standardTimeOffset(utcNow), QString::fromUtf8(z.places))});
    }
    std::sort(zones.begin(), zones.end(), [](const ZoneFacts& a, const ZoneFacts& b) {
        return a.key.compare(b.key, Qt::CaseInsensitive) < 0;
    });
    return zones;
}

std::optional<quint32> LinuxSystemFacts::rootFileSystemId()
{
    struct statfs info
    {
    };
    if (::statfs("/", &info) != 0)
        return std::nullopt;
    // f_fsid is two 32-bit words; `stat -f -c %i` prints the first as the high half, so the
    // first half of its text is this number in hex.
    int words[2];
    static_assert(sizeof(words) == sizeof(info.f_fsid));
    std::memcpy(words, &info.f_fsid, sizeof(words));
    const quint32 id = static_cast<quint32>(words[0]);
    if (id == 0)
        return std::nullopt;
    return id;
}

QStringList LinuxSystemFacts::keyboardLanguages()
{
    const QStringList layouts = xkbGroupLayouts(xkbSymbolsName());
    if (layouts.isEmpty())
        return {};
    QFile evdev(QStringLiteral("/usr/share/X11/xkb/rules/evdev.xml"));
    const QHash<QString, QString> codes =
        evdev.open(QIODevice::ReadOnly) ? xkbLayoutLanguageCodes(evdev.readAll()) : QHash<QString, QString>();
    QStringList names;
    for (const QString& layout : layouts) {
        if (!layout.isEmpty())
            names.append(englishLanguageName(codes.value(layout, layout)));
    }
    return names;
}

std::optional<MemoryFacts> LinuxSystemFacts::memory()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseMemInfo(file.readAll());
}

quint64 LinuxSystemFacts::addressSpaceBytes()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return limit.rlim_cur;
    // The user half of a 64-bit address space (47 bits on x86-64 and most others).
    return sizeof(void*) == 8 ? (quint64(1) << 47) : (quint64(1) << 31);
}

std::optional<QList<ZoneFacts>> LinuxSystemFacts::zones()
{
    return windowsZones(QDateTime::currentDateTimeUtc());
}

} // namespace rimo
