#include "tools/tds-server/datetime.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace rimo::tds {

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

std::string datetimeText(int32_t days1900, uint32_t ticks)
{
    int64_t y;
    unsigned m, d;
    civilFromDays(daysFromCivil(1900, 1, 1) + days1900, y, m, d);
    const uint64_t ms = (static_cast<uint64_t>(ticks) * 10 + 1) / 3;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02llu:%02llu:%02llu.%03llu", static_cast<long long>(y),
                  m, d, static_cast<unsigned long long>((ms / 3600000) % 24),
                  static_cast<unsigned long long>((ms / 60000) % 60),
                  static_cast<unsigned long long>((ms / 1000) % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return buf;
}

std::string dateText(int64_t daysSince0001)
{
    int64_t y;
    unsigned m, d;
    civilFromDays(daysSince0001 + daysFromCivil(1, 1, 1), y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    return buf;
}

std::string timeText(uint64_t units, int scale)
{
    uint64_t div = 1;
    for (int i = 0; i < scale; ++i)
        div *= 10;
    const uint64_t secs = units / div;
    const uint64_t frac = units % div;
    char buf[48];
    std::snprintf(
        buf, sizeof buf, "%02llu:%02llu:%02llu", static_cast<unsigned long long>((secs / 3600) % 24),
        static_cast<unsigned long long>((secs / 60) % 60), static_cast<unsigned long long>(secs % 60));
    std::string out = buf;
    if (scale > 0) {
        // The fraction's digits, with its leading zeros.
        std::string digits(static_cast<size_t>(scale), '0');
        uint64_t f = frac;
        for (size_t i = digits.size(); i-- > 0 && f > 0; f /= 10)
            digits[i] = static_cast<char>('0' + f % 10);
        out += '.' + digits;
    }
    return out;
}

bool parseDateTime(std::string_view s, int64_t& days1970, int64_t& ms)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    auto num = [&](size_t& i, int digits, int& out) {
        out = 0;
        for (int k = 0; k < digits; ++k, ++i) {
            if (i >= s.size() || s[i] < '0' || s[i] > '9')
                return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    size_t i = 0;
    int y, m, d;
    if (!num(i, 4, y))
        return false;
    if (i < s.size() && (s[i] == '-' || s[i] == '/' || s[i] == '.')) {
        const char sep = s[i++];
        if (!num(i, 2, m) || i >= s.size() || s[i++] != sep || !num(i, 2, d))
            return false;
    } else if (!num(i, 2, m) || !num(i, 2, d)) {
        return false;
    }
    if (m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    days1970 = daysFromCivil(y, m, d);
    int64_t y2;
    unsigned m2, d2;
    civilFromDays(days1970, y2, m2, d2);
    if (static_cast<int>(m2) != m)
        return false;
    ms = 0;
    if (i == s.size())
        return true;
    if (s[i] != ' ' && s[i] != 'T')
        return false;
    ++i;
    int hh, mm, ss = 0;
    if (!num(i, 2, hh) || i >= s.size() || s[i++] != ':' || !num(i, 2, mm))
        return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!num(i, 2, ss))
            return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int frac = 0;
            int digits = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (digits < 3) {
                    frac = frac * 10 + (s[i] - '0');
                    ++digits;
                }
                ++i;
            }
            while (digits++ < 3)
                frac *= 10;
            ms = frac;
        }
    }
    if (i != s.size() || hh > 23 || mm > 59 || ss > 59)
        return false;
    ms += (hh * 3600 + mm * 60 + ss) * 1000LL;
    return true;
}

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kUnitsPerSecond = 10000000;

// A cursor over the text of a date: numbers, month names and separators.
struct DateReader
{
    std::string_view s;
    size_t i = 0;

    void blanks()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    }
    bool done() const { return i == s.size(); }
    bool at(char c) const { return i < s.size() && s[i] == c; }
    bool take(char c)
    {
        if (!at(c))
            return false;
        ++i;
        return true;
    }
    // Up to `most` digits; the count read is returned (0 when none).
    int number(int most, int64_t& out)
    {
        out = 0;
        int n = 0;
        while (n < most && i < s.size() && s[i] >= '0' && s[i] <= '9') {
            out = out * 10 + (s[i] - '0');
            ++i;
            ++n;
        }
        return n;
    }
    // An English month name or its first three letters; 0 when there is none here.
    int month()
    {
        static constexpr std::array<const char*, 12> kMonths = {
            "january", "february", "march",     "april",   "may",      "june",
            "july",    "august",   "september", "october", "november", "december"};
        size_t j = i;
        std::string word;
        while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j])))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(s[j++])));
        if (word.size() < 3)
            return 0;
        for (size_t m = 0; m < kMonths.size(); ++m) {
            const std::string_view full = kMonths[m];
            if (word == full || word == full.substr(0, 3)) {
                i = j;
                return static_cast<int>(m + 1);
            }
        }
        return 0;
    }
};

int64_t expandYear(int64_t y, int digits)
{
    if (digits == 2)
        return y < 50 ? 2000 + y : 1900 + y; // SQL Server's two-digit year cutoff, 2049
    return y;
}

bool validDate(int64_t y, int64_t m, int64_t d)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    int64_t y2;
    unsigned m2, d2;
    civilFromDays(daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)), y2, m2, d2);
    return static_cast<int64_t>(m2) == m;
}

// The date part: yyyymmdd, yyyy-mm-dd (also / and .), mm/dd/yy[yy] (also - and .), "Mar 15 2011",
// "15 March 2011". False when the text holds none of them.
bool readDate(DateReader& r, int64_t& y, int64_t& m, int64_t& d)
{
    if (int mon = r.month()) {
        r.blanks();
        int64_t a = 0;
        const int da = r.number(2, a);
        if (da == 0)
            return false;
        r.take(',');
        r.blanks();
        int64_t yy = 0;
        const int dy = r.number(4, yy);
        if (dy != 2 && dy != 4)
            return false;
        y = expandYear(yy, dy);
        m = mon;
        d = a;
        return true;
    }
    int64_t a = 0;
    const int da = r.number(8, a);
    if (da == 8 && !r.at('-') && !r.at('/') && !r.at('.')) {
        y = a / 10000;
        m = a / 100 % 100;
        d = a % 100;
        return true;
    }
    if (da == 0)
        return false;
    if (r.at(' ')) {
        // "15 March 2011"
        r.blanks();
        const int mon = r.month();
        if (mon == 0 || da > 2)
            return false;
        r.take(',');
        r.blanks();
        int64_t yy = 0;
        const int dy = r.number(4, yy);
        if (dy != 2 && dy != 4)
            return false;
        y = expandYear(yy, dy);
        m = mon;
        d = a;
        return true;
    }
    if (!r.at('-') && !r.at('/') && !r.at('.'))
        return false;
    const char sep = r.s[r.i++];
    int64_t b = 0;
    int64_t c = 0;
    const int db = r.number(2, b);
    if (db == 0 || !r.take(sep))
        return false;
    const int dc = r.number(4, c);
    if (da == 4) { // a year first is always year, month, day
        if (dc == 0 || dc > 2)
            return false;
        y = a;
        m = b;
        d = c;
        return true;
    }
    if (da > 2 || (dc != 2 && dc != 4))
        return false;
    y = expandYear(c, dc); // mdy
    m = a;
    d = b;
    return true;
}

// The time part: h[h]:mm[:ss[.fffffff]] with an optional AM or PM, or "h AM", in 100 ns units since
// midnight. At most `maxFraction` digits of a fraction are read; seven digits, the form every date and
// time parameter arrives in, are always read (and rounded by the caller).
bool readTime(DateReader& r, int64_t& units, int maxFraction)
{
    int64_t h = 0, mi = 0, sec = 0;
    int64_t frac = 0;
    if (r.number(2, h) == 0)
        return false;
    const bool colon = r.take(':');
    if (colon) {
        if (r.number(2, mi) != 2)
            return false;
        if (r.take(':')) {
            if (r.number(2, sec) != 2)
                return false;
            if (r.take('.') || r.take(':')) {
                int digits = 0;
                while (r.i < r.s.size() && std::isdigit(static_cast<unsigned char>(r.s[r.i]))) {
                    if (digits < 7)
                        frac = frac * 10 + (r.s[r.i] - '0');
                    ++r.i;
                    ++digits;
                }
                if (digits > maxFraction && digits != 7)
                    return false;
                for (int k = digits; k < 7; ++k)
                    frac *= 10;
            }
        }
    }
    r.blanks();
    const bool meridiem = r.i + 1 < r.s.size() && (r.at('A') || r.at('a') || r.at('P') || r.at('p')) &&
                          (r.s[r.i + 1] == 'M' || r.s[r.i + 1] == 'm');
    if (!colon && !meridiem)
        return false; // a bare number is no time
    if (meridiem) {
        const bool pm = r.at('P') || r.at('p');
        r.i += 2;
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + (pm ? 12 : 0);
    }
    if (h > 23 || mi > 59 || sec > 59)
        return false;
    units = ((h * 60 + mi) * 60 + sec) * kUnitsPerSecond + frac;
    return true;
}

// A time zone offset: "+hh:mm" or "-hh:mm" within 14 hours, or "Z" for UTC.
bool readOffset(DateReader& r, int& minutes)
{
    if (r.take('Z') || r.take('z')) {
        minutes = 0;
        return true;
    }
    if (!r.at('+') && !r.at('-'))
        return false;
    const int sign = r.s[r.i++] == '-' ? -1 : 1;
    int64_t h = 0, m = 0;
    if (r.number(2, h) != 2 || !r.take(':') || r.number(2, m) != 2 || m > 59 || h * 60 + m > 14 * 60)
        return false;
    minutes = sign * static_cast<int>(h * 60 + m);
    return true;
}

std::string formatInstant(int64_t days1970, int64_t ms)
{
    int64_t y;
    unsigned m, d;
    civilFromDays(days1970, y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld.%03lld", static_cast<long long>(y),
                  m, d, static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return buf;
}

} // namespace

// Rounds an instant as the type keeps it and checks the type's range.
std::optional<std::string> roundInstant(int64_t days, int64_t ms, SqlType type, int& error)
{
    if (type == SqlType::DateTime) {
        // 1/300 s ticks: .000, .003, .007, ...
        const int64_t ticks = (ms * 3 + 5) / 10;
        ms = (ticks * 10 + 1) / 3;
    } else if (type == SqlType::SmallDateTime) {
        // To the minute: 29.998 seconds and less round down, 29.999 and more up.
        const int64_t within = ms % 60000;
        ms = ms - within + (within >= 29999 ? 60000 : 0);
    } else if (type == SqlType::Date) {
        ms = 0;
    }
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++days;
    }
    int64_t y;
    unsigned mo, d;
    civilFromDays(days, y, mo, d);
    const bool inRange = type == SqlType::DateTime ? y >= 1753 && y <= 9999
                         : type == SqlType::SmallDateTime
                             ? days >= daysFromCivil(1900, 1, 1) &&
                                   (days < daysFromCivil(2079, 6, 6) ||
                                    (days == daysFromCivil(2079, 6, 6) && ms <= 23 * 3600000 + 59 * 60000))
                             : y >= 1 && y <= 9999;
    if (!inRange) {
        error = type == SqlType::Date ? 241 : 242;
        return std::nullopt;
    }
    return formatInstant(days, ms);
}

bool readDateTimeText(std::string_view text, int maxFraction, bool offsets, DateTimeParts& out)
{
    DateReader r{text};
    r.blanks();
    int64_t y = 1900, m = 1, d = 1;
    out = DateTimeParts();
    if (!r.done()) {
        const size_t start = r.i;
        if (!readDate(r, y, m, d)) {
            // A time alone is on 1900-01-01.
            r.i = start;
            y = 1900;
            m = 1;
            d = 1;
            if (!readTime(r, out.units, maxFraction))
                return false;
        } else if (!validDate(y, m, d)) {
            return false;
        } else if (r.take('T')) {
            // ISO 8601: the T joins a year-first date and a full time.
            if (!readTime(r, out.units, maxFraction))
                return false;
        } else {
            r.blanks();
            if (!r.done() && !r.at('+') && !r.at('-') && !readTime(r, out.units, maxFraction))
                return false;
        }
        r.blanks();
        if (offsets && !r.done()) {
            int minutes = 0;
            if (!readOffset(r, minutes))
                return false;
            out.offsetMinutes = minutes;
            r.blanks();
        }
        if (!r.done())
            return false;
    }
    if (!validDate(y, m, d))
        return false;
    out.days1970 = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    return true;
}

std::optional<std::string> storedDateTime(std::string_view text, SqlType type, int& error)
{
    error = 241;
    // datetime and smalldatetime read at most milliseconds; date takes what datetime2 would.
    const int maxFraction = type == SqlType::Date ? 7 : 3;
    DateTimeParts p;
    // A datetimeoffset parameter arrives as "YYYY-MM-DD HH:MM:SS.fffffff +hh:mm": compared with these
    // types it is taken at its local time. Other texts with an offset are refused, as SQL Server
    // refuses them for these types.
    const bool keptOffsetForm = text.size() == 34 && (text[28] == '+' || text[28] == '-');
    if (!readDateTimeText(text, maxFraction, keptOffsetForm, p))
        return std::nullopt;
    return roundInstant(p.days1970, (p.units + 5000) / 10000, type, error);
}

} // namespace rimo::tds
