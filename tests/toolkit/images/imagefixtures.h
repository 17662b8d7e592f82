#pragma once
// Pictures the image tests make for themselves: random and smooth bitmaps, JPEG files in colour
// spaces the codec under test never writes (grey, CMYK, YCCK), hand-built BMP files, and the plain
// transcription of the resampler's steps that the fast one is held to.

#include "toolkit/images/bitmap.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <jpeglib.h>

namespace imagetest {

// Noise from a fixed seed.
rimo::Bitmap randomBitmap(int width, int height, std::uint32_t seed);
// Smooth colour ramps (what a photograph looks like to a JPEG coder).
rimo::Bitmap smoothBitmap(int width, int height);
rimo::Bitmap uniformBitmap(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r);

// The resampler's steps written out one by one, without any hoisting.
void plainResample(const rimo::Bitmap& src, rimo::Bitmap& dst);

// A JPEG file in `space` (JCS_GRAYSCALE: one byte per pixel; JCS_CMYK: four), written with libjpeg
// directly; `stored` is the colour space inside the file (JCS_YCCK for CMYK input makes a YCCK file).
QByteArray libjpegFile(int width, int height, J_COLOR_SPACE space, J_COLOR_SPACE stored, int quality = 90);

// The luminance and chrominance quantisation tables of a JPEG file, in natural order.
struct QuantTables
{
    std::uint16_t luma[64];
    std::uint16_t chroma[64];
};
QuantTables quantTablesOf(const QByteArray& jpeg);
// The JPEG standard's example tables (Annex K), which quality 50 uses unscaled.
extern const std::uint16_t kStandardLuma[64];
extern const std::uint16_t kStandardChroma[64];

// An RLE BMP (`bits` 8 or 4) of `width` (at least 4) x `height` with a grey palette, each row grey
// level (row index) as stored, bottom up: three literal pixels, a run for the rest, an end-of-line;
// then the end-of-bitmap mark.
QByteArray rleBmp(int width, int height, int bits = 8);
// A BMP file as Qt writes it for `image`.
QByteArray qtFile(const QImage& image, const char* format);

// The quality ImageMagick's identify estimates for a JPEG file ("%Q"); empty when identify is not
// installed.
QString identifiedQuality(const QString& path);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data);

} // namespace imagetest
