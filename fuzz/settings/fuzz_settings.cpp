// libFuzzer target for the settings files beside the program: any bytes must decode to lines
// and four unscrambled settings without crashing.
#include "toolkit/settingsfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = rimo::decodeSettingsLines(bytes);
    const QStringList settings = rimo::readScrambledSettings(bytes);
    if (settings.size() != 4)
        __builtin_trap();
    (void)rimo::firstLines(lines, 4);
    return 0;
}
