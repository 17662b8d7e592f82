// Text conversions used on the wire: UTF-8 (SQLite storage) to and from UTF-16LE (TDS strings)
// and the Arabic Windows code page 1256 (varchar/char values under the server's collation).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rimo::tds {

// Appends the UTF-16LE bytes of a UTF-8 text to out; invalid UTF-8 bytes become U+FFFD.
// Returns the number of UTF-16 units written.
size_t appendUtf16le(std::string& out, std::string_view utf8);
// UTF-16LE bytes (odd trailing byte ignored) to UTF-8; lone surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
// Number of UTF-16 units a UTF-8 text needs.
size_t utf16Length(std::string_view utf8);
// Number of code points in a UTF-8 text.
size_t codePointCount(std::string_view utf8);

// Code page 1256: characters it lacks become '?', as a server does when it narrows text.
std::string utf8ToCp1256(std::string_view utf8);
std::string cp1256ToUtf8(std::string_view bytes);
// A UTF-8 text as a varchar value holds it: each character the code page lacks becomes '?'.
std::string narrowedToCp1256(std::string_view utf8);

// Decodes one code point at s[i], advancing i; invalid sequences yield U+FFFD and advance by one.
char32_t decodeUtf8(std::string_view s, size_t& i);
void appendUtf8(std::string& out, char32_t cp);

} // namespace rimo::tds
