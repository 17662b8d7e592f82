#pragma once
// The picture services of the toolkit object: shrinking or enlarging a JPEG photograph, a bitmap
// file to a JPEG image, and any known picture file to a bitmap. The toolkit object inherits them;
// the work is done by the plain units beside this file. Returned objects belong to the caller.

#include "toolkit/images/bitmap.h"
#include "toolkit/images/jpegcodec.h"

#include <QString>
#include <cstdint>
#include <memory>

class TImageServices
{
public:
    // The quality of every picture ReduceJpgSize writes.
    static constexpr int kReducedQuality = 50;

    virtual ~TImageServices() = default;

    // Resamples the JPEG file InFileName to ToW x ToH and saves it as OutFileName at quality 50
    // (InFileName may be OutFileName). A missing or unreadable input writes nothing, raises nothing
    // and gives null; otherwise the saved image. A zero ToW or ToH, and an output that cannot be
    // written, raise rimo::Error with nothing written.
    static std::unique_ptr<rimo::JpegImage> ReduceJpgSize(const QString& InFileName,
                                                          const QString& OutFileName, std::uint16_t ToW,
                                                          std::uint16_t ToH);
    // The bitmap file read by the BMP reader, as a JPEG image at the default quality (75).
    // Raises rimo::Error with the reader's text.
    static std::unique_ptr<rimo::JpegImage> ConvertBMP2JPG(const QString& FileName);
    // Any picture file the loader knows (bmp, ico, jpg, jpeg) as a bitmap. Raises rimo::Error.
    static std::unique_ptr<rimo::Bitmap> ConvertJPG2BMP(const QString& FileName);
};
