#include "toolkit/images/imageservices.h"

#include "core/error.h"
#include "toolkit/images/pictureloader.h"
#include "toolkit/images/resample.h"

std::unique_ptr<rimo::JpegImage> TImageServices::ReduceJpgSize(const QString& InFileName,
                                                               const QString& OutFileName, std::uint16_t ToW,
                                                               std::uint16_t ToH)
{
    rimo::Bitmap source;
    if (!rimo::LoadJpegIntoBitmap(source, InFileName))
        return nullptr;
    // Checked here rather than left to the encoder so the message names the request.
    if (ToW == 0 || ToH == 0)
        throw rimo::Error(QStringLiteral("Cannot reduce %1 to %2 x %3 pixels: a JPEG picture cannot be empty")
                              .arg(InFileName)
                              .arg(ToW)
                              .arg(ToH));
    rimo::Bitmap destination(ToW, ToH);
    rimo::ResampleBitmap(source, destination);
    auto image = std::make_unique<rimo::JpegImage>(std::move(destination), kReducedQuality);
    image->saveToFile(OutFileName);
    return image;
}

std::unique_ptr<rimo::JpegImage> TImageServices::ConvertBMP2JPG(const QString& FileName)
{
    return std::make_unique<rimo::JpegImage>(rimo::readBmpFile(FileName));
}

std::unique_ptr<rimo::Bitmap> TImageServices::ConvertJPG2BMP(const QString& FileName)
{
    return std::make_unique<rimo::Bitmap>(rimo::readPictureFile(FileName));
}
