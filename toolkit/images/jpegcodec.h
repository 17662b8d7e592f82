#pragma once
// JPEG through libjpeg-turbo, decoded straight into and encoded straight from blue-green-red rows.
// Every libjpeg error and every corrupt-data warning is a failure: libjpeg-turbo would otherwise
// read a truncated file "successfully", grey-filled.

#include "toolkit/images/bitmap.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace rimo {

// The quality libjpeg uses when none is set.
constexpr int kDefaultJpegQuality = 75;

// Decodes a JPEG file held in memory. Grey pictures come out as 24 bits; CMYK and YCCK ones are
// refused (libjpeg-turbo does not turn them into RGB, and their inks need a colour profile to look
// right). Raises rimo::Error with libjpeg's message.
Bitmap decodeJpeg(const QByteArray& data);
// Reads and decodes a JPEG file; raises rimo::Error for file and decoding errors.
Bitmap readJpegFile(const QString& fileName);
// Encodes at `quality` (1 to 100; values outside are clamped) with libjpeg's other defaults.
// Raises rimo::Error for an empty bitmap and for libjpeg's errors.
QByteArray encodeJpeg(const Bitmap& bitmap, int quality);
// Replaces `fileName` with `data` through a temporary file renamed into place, so that a failed
// write leaves an existing file as it was. Raises rimo::Error with the file error.
void writeFileReplacing(const QString& fileName, const QByteArray& data);

// Loads the JPEG file `name` into `bitmap` (which takes the picture's size): false, with the bitmap
// left as it was, for any failure.
bool LoadJpegIntoBitmap(Bitmap& bitmap, const QString& name);
// Saves `bitmap` as a JPEG file at `quality`, replacing `name`; true, or raises rimo::Error.
bool SaveBitmapAsJpeg(const Bitmap& bitmap, const QString& name, std::uint8_t quality);

// A JPEG image: a picture and the quality it is compressed with when saved.
class JpegImage
{
public:
    explicit JpegImage(Bitmap picture, int quality = kDefaultJpegQuality)
        : m_picture(std::move(picture)), m_quality(quality)
    {
    }

    const Bitmap& picture() const { return m_picture; }
    int width() const { return m_picture.width(); }
    int height() const { return m_picture.height(); }
    int compressionQuality() const { return m_quality; }
    void setCompressionQuality(int quality) { m_quality = quality; }

    // The JPEG file's bytes; raises rimo::Error as encodeJpeg does.
    QByteArray encoded() const { return encodeJpeg(m_picture, m_quality); }
    // Raises rimo::Error; an existing file survives a failed save.
    void saveToFile(const QString& fileName) const { writeFileReplacing(fileName, encoded()); }

private:
    Bitmap m_picture;
    int m_quality;
};

} // namespace rimo
