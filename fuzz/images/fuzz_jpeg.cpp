// Feeds arbitrary bytes to the JPEG decoder. It must fail with rimo::Error or give a picture whose
// every row can be read; a small decoded picture must survive a re-encode and decode at its size.

#include "fuzz_images_support.h"
#include "toolkit/images/jpegcodec.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    rimo::Bitmap bitmap;
    try {
        bitmap = rimo::decodeJpeg(bytes);
    } catch (const rimo::Error&) {
        return 0;
    }
    checkDecoded(bitmap);
    if (std::int64_t{bitmap.width()} * bitmap.height() <= 4096) {
        const rimo::Bitmap again = rimo::decodeJpeg(rimo::encodeJpeg(bitmap, 50));
        FUZZ_CHECK(again.width() == bitmap.width() && again.height() == bitmap.height());
    }
    return 0;
}
