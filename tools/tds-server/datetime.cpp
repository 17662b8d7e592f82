#include "tools/tds-server/datetime.h"

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

} // namespace rimo::tds
