#pragma once
// The picture loader: opens a picture file and chooses the decoder by the file's extension, in any
// letter case. BMP and ICO go through Qt's readers, each after a check that the file holds the data
// its headers announce (Qt's readers return a picture cut short without complaint); JPEG goes through
// libjpeg-turbo. Windows metafiles have no decoder here.

#include "toolkit/images/bitmap.h"

#include <QByteArray>
#include <QString>

namespace rimo {

enum class PictureFormat { Bmp, Ico, Jpeg, Metafile, Unknown };

// "bmp", "ico", "jpg"/"jpeg" and "wmf"/"emf", compared without regard to case.
PictureFormat pictureFormatOf(const QString& fileName);

// Why a BMP file's pixel data is incomplete (uncompressed rows past the end, an RLE stream that
// ends before its last row), or "" when it is complete or the header is too short to tell.
QString bmpDataShortfall(const QByteArray& file);
// The same for an icon file: each directory entry's image inside the file and, for bitmap images,
// the colour rows inside the entry.
QString icoDataShortfall(const QByteArray& file);

// Decoders of files held in memory; each raises rimo::Error with the reason.
Bitmap decodeBmp(const QByteArray& file);
Bitmap decodeIco(const QByteArray& file);

// Reads a file through Qt's reader forced to BMP; raises rimo::Error.
Bitmap readBmpFile(const QString& fileName);
// Reads any picture file the loader knows; raises rimo::Error (a missing file, an unknown or
// undecodable extension, damaged data).
Bitmap readPictureFile(const QString& fileName);

} // namespace rimo
