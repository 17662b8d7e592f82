#pragma once
// Decoders of the X window properties the window monitor lists: titles and class names.

#include <QString>
#include <string_view>

namespace rimo::xtext {

// The monitor's limit for titles and class names, in UTF-16 units.
constexpr int kMaxTextLength = 259;

enum class Encoding { Latin1, Utf8, CompoundText };

// A title property's bytes as text, cut to kMaxTextLength units. Decoding stops at the first
// NUL; compound text is read for its Latin-1 part (its escape sequences are dropped).
QString decodeTitle(std::string_view bytes, Encoding encoding);
// The class half of WM_CLASS ("instance\0class\0"), cut to kMaxTextLength units; empty when
// the property holds no second string.
QString classOfWmClass(std::string_view bytes);
// Cuts to kMaxTextLength units, never leaving half of a surrogate pair at the end.
QString cutText(QString text);

} // namespace rimo::xtext
