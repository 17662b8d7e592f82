// The desktop-entry reader on any bytes: reading never fails, writing what was read and reading it
// again gives the same file, every value survives its escapes, and an Exec line that splits
// quotes back to the same arguments.
#include "fuzzcheck.h"
#include "platform/desktopentry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace rimo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const DesktopEntryFile file = DesktopEntryFile::parse(bytes);
    const QByteArray written = file.toBytes();
    const DesktopEntryFile again = DesktopEntryFile::parse(written);
    FUZZ_CHECK(again.toBytes() == written);
    FUZZ_CHECK(again.groups() == file.groups());

    for (const QString& group : file.groups()) {
        for (const QString& key : file.keys(group)) {
            const QString value = file.value(group, key);
            FUZZ_CHECK(again.value(group, key) == value);
            FUZZ_CHECK(unescapeDesktopValue(escapeDesktopValue(value)) == value);
            FUZZ_CHECK(splitDesktopList(joinDesktopList(splitDesktopList(value))) == splitDesktopList(value));
            if (const auto args = splitExecLine(value, {QStringLiteral("/tmp/a b")})) {
                const auto back = splitExecLine(execLine(*args));
                FUZZ_CHECK(back.has_value() && *back == *args);
            }
        }
    }
    // A copy with one more value written is still a file the reader takes without a new fault.
    DesktopEntryFile edited = file;
    if (edited.setValue(QStringLiteral("Desktop Entry"), QStringLiteral("Exec"),
                        QString::fromUtf8(bytes.left(64)))) {
        const DesktopEntryFile reread = DesktopEntryFile::parse(edited.toBytes());
        FUZZ_CHECK(reread.errors().size() == again.errors().size());
    }
    return 0;
}
