#include "tools/tds-server/precisetime.h"

#include "tools/tds-server/datetime.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

namespace rimo::tds {

namespace {

int64_t firstDay()
{
    return daysFromCivil(1, 1, 1);
}

int64_t lastDay()
{
    return daysFromCivil(9999, 12, 31);
}

std::string fraction(int64_t units, int digits)
{
    std::string out(7, '0');
    int64_t f = units % 10000000;
    for (size_t i = 7; i-- > 0; f /= 10)
        out[i] = static_cast<char>('0' + f % 10);
    return out.substr(0, static_cast<size_t>(digits));
}

std::string formatted(const PreciseTime& t, SqlType type, int digits)
{
    const int64_t secs = t.units / 10000000;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    std::string out = buf;
    if (digits > 0)
        out += '.' + fraction(t.units, digits);
    if (type == SqlType::Time)
        return out;
    int64_t y;
    unsigned m, d;
    civilFromDays(t.days1970, y, m, d);
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u ", static_cast<long long>(y), m, d);
    out = buf + out;
    if (type == SqlType::DateTimeOffset) {
        const int a = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
        std::snprintf(buf, sizeof buf, " %c%02d:%02d", t.offsetMinutes < 0 ? '-' : '+', a / 60, a % 60);
        out += buf;
    }
    return out;
}

// The collation of datetimeoffset columns; texts that are no datetimeoffset (none are kept) go by bytes.
int collateOffsets(void*, int na, const void* a, int nb, const void* b)
{
    int error = 0;
    const auto ta = readPreciseTime(std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                                    SqlType::DateTimeOffset, 7, error);
    const auto tb = readPreciseTime(std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)),
                                    SqlType::DateTimeOffset, 7, error);
    if (ta && tb) {
        const int64_t ua = utcUnits(*ta);
        const int64_t ub = utcUnits(*tb);
        return ua < ub ? -1 : ua > ub ? 1 : 0;
    }
    const int c = std::memcmp(a, b, static_cast<size_t>(na < nb ? na : nb));
    return c != 0 ? c : na - nb;
}

} // namespace

bool isPreciseTimeType(SqlType type)
{
    return type == SqlType::Time || type == SqlType::DateTime2 || type == SqlType::DateTimeOffset;
}

int64_t utcUnits(const PreciseTime& t)
{
    return (t.days1970 - firstDay()) * kUnitsPerDay + t.units - t.offsetMinutes * kUnitsPerMinute;
}

std::optional<PreciseTime> readPreciseTime(std::string_view text, SqlType type, int scale, int& error)
{
    error = 241;
    DateTimeParts p;
    if (!readDateTimeText(text, 7, true, p))
        return std::nullopt;
    PreciseTime t{p.days1970, p.units, type == SqlType::DateTimeOffset ? p.offsetMinutes.value_or(0) : 0};
    int64_t step = 1;
    for (int k = scale; k < 7; ++k)
        step *= 10;
    t.units = (t.units + step / 2) / step * step;
    if (t.units >= kUnitsPerDay) {
        t.units -= kUnitsPerDay;
        ++t.days1970;
    }
    if (type == SqlType::Time) {
        t.days1970 = daysFromCivil(1900, 1, 1);
        return t;
    }
    const int64_t utcDay = (utcUnits(t) >= 0 ? utcUnits(t) / kUnitsPerDay : -1) + firstDay();
    if (t.days1970 < firstDay() || t.days1970 > lastDay() || utcDay > lastDay() || utcDay < firstDay()) {
        error = 242;
        return std::nullopt;
    }
    return t;
}

std::string keptPreciseText(const PreciseTime& t, SqlType type)
{
    return formatted(t, type, 7);
}

std::string shownPreciseText(const PreciseTime& t, SqlType type, int scale)
{
    return formatted(t, type, scale);
}

std::optional<std::string> storedPreciseTime(std::string_view text, SqlType type, int scale, int& error)
{
    const auto t = readPreciseTime(text, type, scale, error);
    if (!t)
        return std::nullopt;
    return keptPreciseText(*t, type);
}

std::optional<std::string> preciseWireText(uint8_t tdsType, int scale, std::string_view bytes)
{
    auto le = [&](size_t from, size_t n) {
        uint64_t v = 0;
        for (size_t k = n; k-- > 0;)
            v = (v << 8) | static_cast<uint8_t>(bytes[from + k]);
        return v;
    };
    const size_t timeLen = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    if (scale < 0 || scale > 7 ||
        bytes.size() != timeLen + (tdsType == 0x29 ? 0 : 3) + (tdsType == 0x2B ? 2 : 0))
        return std::nullopt;
    uint64_t units = le(0, timeLen);
    for (int k = scale; k < 7; ++k)
        units *= 10;
    if (units >= static_cast<uint64_t>(kUnitsPerDay))
        return std::nullopt;
    PreciseTime t;
    t.units = static_cast<int64_t>(units);
    SqlType kind = SqlType::Time;
    if (tdsType != 0x29) {
        kind = tdsType == 0x2A ? SqlType::DateTime2 : SqlType::DateTimeOffset;
        t.days1970 = static_cast<int64_t>(le(timeLen, 3)) + firstDay();
        // Three bytes count beyond 9999-12-31: refused before the instant is worked out from them.
        if (t.days1970 > lastDay())
            return std::nullopt;
    }
    if (tdsType == 0x2B) {
        const int offset = static_cast<int16_t>(static_cast<uint16_t>(le(timeLen + 3, 2)));
        if (offset < -14 * 60 || offset > 14 * 60)
            return std::nullopt;
        // The local time is the UTC instant moved by the offset.
        const int64_t local = utcUnits(t) + offset * kUnitsPerMinute;
        if (local < 0)
            return std::nullopt;
        t.days1970 = local / kUnitsPerDay + firstDay();
        t.units = local % kUnitsPerDay;
        t.offsetMinutes = offset;
    }
    if (t.days1970 > lastDay())
        return std::nullopt;
    return keptPreciseText(t, kind);
}

void registerPreciseTimeCollation(sqlite3* db)
{
    sqlite3_create_collation(db, "RIMO_DTO", SQLITE_UTF8, nullptr, collateOffsets);
}

} // namespace rimo::tds
