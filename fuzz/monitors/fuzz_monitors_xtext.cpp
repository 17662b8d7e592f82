// The X title and class decoders on any property bytes: never more than 259 UTF-16 units and
// never half of a surrogate pair at the end.
#include "fuzzcheck.h"
#include "platform/xtext.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace rimo;

namespace {
void checkText(const QString& s)
{
    FUZZ_CHECK(s.size() <= xtext::kMaxTextLength);
    FUZZ_CHECK(s.isEmpty() || !s.back().isHighSurrogate());
    FUZZ_CHECK(!s.contains(QChar(0)));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (auto encoding : {xtext::Encoding::Latin1, xtext::Encoding::Utf8, xtext::Encoding::CompoundText})
        checkText(xtext::decodeTitle(bytes, encoding));
    const QString cls = xtext::classOfWmClass(bytes);
    checkText(cls);
    if (bytes.find('\0') == std::string_view::npos)
        FUZZ_CHECK(cls.isEmpty());
    // Latin-1 keeps one unit per byte up to the first NUL.
    const size_t nul = bytes.find('\0');
    const size_t plain = nul == std::string_view::npos ? size : nul;
    FUZZ_CHECK(xtext::decodeTitle(bytes, xtext::Encoding::Latin1).size() ==
               static_cast<qsizetype>(std::min<size_t>(plain, xtext::kMaxTextLength)));
    return 0;
}
