// Feeds arbitrary bytes to the picture loader's BMP and icon readers (Qt's readers behind the checks
// that the file holds the data its headers announce). Each must fail with rimo::Error or give a
// picture whose every row can be read.

#include "fuzz_images_support.h"
#include "toolkit/images/pictureloader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The icon reader is a Qt plugin, found through the application's library paths.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (auto decode : {rimo::decodeBmp, rimo::decodeIco}) {
        try {
            checkDecoded(decode(bytes));
        } catch (const rimo::Error&) {
        }
    }
    return 0;
}
