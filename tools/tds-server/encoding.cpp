#include "tools/tds-server/encoding.h"

namespace rimo::tds {

namespace {

// Code page 1256, bytes 0x80..0xFF.
constexpr char16_t kCp1256High[128] = {
    0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0679, 0x2039, 0x0152,
    0x0686, 0x0698, 0x0688, 0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x06A9, 0x2122,
    0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA, 0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F, 0x06C1,
    0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D,
    0x062E, 0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7, 0x0637, 0x0638, 0x0639,
    0x063A, 0x0640, 0x0641, 0x0642, 0x0643, 0x00E0, 0x0644, 0x00E2, 0x0645, 0x0646, 0x0647, 0x0648, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A, 0x00EE, 0x00EF, 0x064B, 0x064C, 0x064D, 0x064E, 0x00F4,
    0x064F, 0x0650, 0x00F7, 0x0651, 0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2};

unsigned char toCp1256(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<unsigned char>(cp);
    for (int i = 0; i < 128; ++i)
        if (kCp1256High[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    return '?';
}

} // namespace

char32_t decodeUtf8(std::string_view s, size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + extra >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += extra + 1;
    // A surrogate on its own comes from UTF-16 a client sent that way; it is kept as sent.
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF && extra != 2))
        return 0xFFFD;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

size_t appendUtf16le(std::string& out, std::string_view utf8)
{
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            out.push_back('\0');
            ++i;
            ++units;
            continue;
        }
        char32_t cp = decodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            const char16_t hi = static_cast<char16_t>(0xD800 + (cp >> 10));
            const char16_t lo = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            out.push_back(static_cast<char>(hi & 0xFF));
            out.push_back(static_cast<char>(hi >> 8));
            out.push_back(static_cast<char>(lo & 0xFF));
            out.push_back(static_cast<char>(lo >> 8));
            units += 2;
        } else {
            out.push_back(static_cast<char>(cp & 0xFF));
            out.push_back(static_cast<char>(cp >> 8));
            ++units;
        }
    }
    return units;
}

size_t utf16Length(std::string_view utf8)
{
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            ++units;
            continue;
        }
        units += decodeUtf8(utf8, i) >= 0x10000 ? 2 : 1;
    }
    return units;
}

size_t codePointCount(std::string_view utf8)
{
    size_t n = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        decodeUtf8(utf8, i);
        ++n;
    }
    return n;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    const size_t n = bytes.size() / 2;
    for (size_t k = 0; k < n; ++k) {
        char32_t u = static_cast<unsigned char>(bytes[2 * k]) |
                     (static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
            const char32_t lo = static_cast<unsigned char>(bytes[2 * k + 2]) |
                                (static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k + 3])) << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++k;
            }
        }
        // A lone surrogate is kept as the three bytes of its own code (as WTF-8 does), so that it goes
        // back to the client as it came.
        appendUtf8(out, u);
    }
    return out;
}

std::string utf8ToCp1256(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size())
        out.push_back(static_cast<char>(toCp1256(decodeUtf8(utf8, i))));
    return out;
}

std::string cp1256ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(out, b < 0x80 ? char32_t(b) : char32_t(kCp1256High[b - 0x80]));
    }
    return out;
}

std::string narrowedToCp1256(std::string_view utf8)
{
    bool ascii = true;
    for (char c : utf8)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::string(utf8);
    return cp1256ToUtf8(utf8ToCp1256(utf8));
}

} // namespace rimo::tds
