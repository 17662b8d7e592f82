// libFuzzer target for the three settings files end to end: the bytes are written to a file and
// read back through the bounded whole-file reader, then decoded as the single-herd file and as the
// saved central connection. Settings that the single-herd file can hold must read back unchanged
// after encoding.
#include "core/error.h"
#include "core/wholefile.h"
#include "toolkit/multiherd/multiconnectfile.h"
#include "toolkit/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("WTimes.DLL"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return 0;
    }
    // A limit from the first byte as well as the real one: both sides of the bound get used.
    const qint64 limit = size > 0 ? data[0] * 16 : rimo::kWholeFileLimit;
    for (const qint64 l : {limit, rimo::kWholeFileLimit}) {
        QByteArray read;
        try {
            read = rimo::readWholeFile(path, l);
        } catch (const rimo::Error&) {
            if (bytes.size() <= l)
                __builtin_trap(); // a file within the limit must be read
            continue;
        }
        if (read != bytes)
            __builtin_trap();
        const QStringList settings = rimo::readScrambledSettings(read);
        if (settings.size() != 4)
            __builtin_trap();
        (void)rimo::decodeMultiConnect(read);
        if (!rimo::findUnstorableCharacter(settings)) {
            QByteArray encoded;
            try {
                encoded = rimo::encodeScrambledSettings(settings);
            } catch (const rimo::Error&) {
                continue; // refused: fine, as long as nothing is written that reads back wrong
            }
            if (rimo::readScrambledSettings(encoded) != settings)
                __builtin_trap();
        }
    }
    return 0;
}
