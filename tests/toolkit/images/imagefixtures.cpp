#include "imagefixtures.h"

#include "toolkit/images/resample.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <vector>

namespace imagetest {

rimo::Bitmap randomBitmap(int width, int height, std::uint32_t seed)
{
    rimo::Bitmap bitmap(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (std::size_t i = 0; i < bitmap.rowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(random());
    }
    return bitmap;
}

rimo::Bitmap smoothBitmap(int width, int height)
{
    rimo::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            p[2] = static_cast<std::uint8_t>((x + y) * 127 / std::max(1, width + height - 2));
        }
    }
    return bitmap;
}

rimo::Bitmap uniformBitmap(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    rimo::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
    return bitmap;
}

void plainResample(const rimo::Bitmap& src, rimo::Bitmap& dst)
{
    if (src.width() == dst.width() && src.height() == dst.height()) {
        dst = src;
        return;
    }
    const std::uint32_t srcW = src.width(), srcH = src.height();
    const std::uint32_t dstW = dst.width(), dstH = dst.height();
    if (dstW == 0 || dstH == 0)
        return;
    const std::uint32_t xscale = rimo::MulDiv(srcW - 1, 65536, dstW);
    const std::uint32_t yscale = rimo::MulDiv(srcH - 1, 65536, dstH);
    std::uint32_t sy = 0;
    for (std::uint32_t r = 0; r < dstH; ++r) {
        const std::uint32_t y0 = sy >> 16;
        const std::uint8_t* A = src.row(y0);
        const std::uint8_t* B = y0 < srcH - 1 ? src.row(y0 + 1) : src.row(y0);
        const std::uint32_t fy = sy & 0xFFFF;
        const std::uint32_t wB = fy + 1;
        const std::uint32_t wA = 65536 - fy;
        std::uint32_t sx = 0;
        for (std::uint32_t k = 0; k < dstW; ++k) {
            const std::uint32_t x0 = sx >> 16;
            const std::uint32_t x1 = x0 == srcW - 1 ? x0 : x0 + 1;
            const std::uint32_t fx = sx & 0xFFFF;
            const std::uint32_t wA1 = rimo::MulDiv(fx, wA, 65536);
            const std::uint32_t wA0 = wA - wA1;
            const std::uint32_t wB1 = rimo::MulDiv(fx, wB, 65536);
            const std::uint32_t wB0 = wB - wB1;
            for (int channel : {2, 1, 0}) { // red, green, blue
                dst.row(r)[k * 3 + channel] =
                    static_cast<std::uint8_t>((A[x0 * 3 + channel] * wA0 + A[x1 * 3 + channel] * wA1 +
                                               B[x0 * 3 + channel] * wB0 + B[x1 * 3 + channel] * wB1) >>
                                              16);
            }
            sx += xscale;
        }
        sy += yscale;
    }
}

QByteArray libjpegFile(int width, int height, J_COLOR_SPACE space, J_COLOR_SPACE stored, int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * info.input_components);
    while (info.next_scanline < info.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<unsigned char>(i * 7 + info.next_scanline * 3);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray file(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return file;
}

QuantTables quantTablesOf(const QByteArray& jpeg)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    QuantTables tables{};
    // libjpeg holds the tables in natural order (the file holds them in zigzag order).
    for (int i = 0; i < 64; ++i) {
        tables.luma[i] = info.quant_tbl_ptrs[0]->quantval[i];
        tables.chroma[i] = info.quant_tbl_ptrs[1]->quantval[i];
    }
    jpeg_destroy_decompress(&info);
    return tables;
}

const std::uint16_t kStandardLuma[64] = {
    16, 11,  10,  16, 24, 40, 51, 61, 12,  12,  14,  19,  26, 58, 60, 55,  14,  13,  16,  24, 40, 57,
    69, 56,  14,  17, 22, 29, 51, 87, 80,  62,  18,  22,  37, 56, 68, 109, 103, 77,  24,  35, 55, 64,
    81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
const std::uint16_t kStandardChroma[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                           24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                           99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

namespace {
void put16(QByteArray& d, std::uint32_t v)
{
    d.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8 & 0xFF));
}
void put32(QByteArray& d, std::uint32_t v)
{
    put16(d, v & 0xFFFF);
    put16(d, v >> 16);
}
} // namespace

QByteArray rleBmp(int width, int height, int bits)
{
    const bool rle8 = bits == 8;
    const int colours = rle8 ? 256 : 16;
    QByteArray stream;
    for (int y = 0; y < height; ++y) {
        const char value = static_cast<char>(rle8 ? y : (y << 4 | y));
        // Literal pixels, padded to 16 bits: three bytes in RLE8, two in RLE4.
        stream.append('\0').append('\3');
        stream.append(rle8 ? QByteArray(3, value).append('\0') : QByteArray(2, value));
        stream.append(static_cast<char>(width - 3)).append(value);
        stream.append('\0').append('\0');
    }
    stream.append('\0').append('\1');
    const std::uint32_t dataAt = 14 + 40 + colours * 4;
    QByteArray file("BM");
    put32(file, dataAt + stream.size());
    put32(file, 0);
    put32(file, dataAt);
    put32(file, 40);
    put32(file, width);
    put32(file, height);
    put16(file, 1);
    put16(file, static_cast<std::uint32_t>(bits));
    put32(file, rle8 ? 1 : 2); // BI_RLE8, BI_RLE4
    put32(file, stream.size());
    put32(file, 2835);
    put32(file, 2835);
    put32(file, static_cast<std::uint32_t>(colours));
    put32(file, 0);
    for (int i = 0; i < colours; ++i)
        put32(file, static_cast<std::uint32_t>(i * (rle8 ? 0x010101 : 0x111111)));
    return file + stream;
}

QByteArray qtFile(const QImage& image, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        throw std::runtime_error(writer.errorString().toStdString());
    return buffer.data();
}

QString identifiedQuality(const QString& path)
{
    const QString identify = QStandardPaths::findExecutable(QStringLiteral("identify"));
    if (identify.isEmpty())
        return {};
    QProcess process;
    process.start(identify, {QStringLiteral("-format"), QStringLiteral("%Q"), path});
    if (!process.waitForFinished(60000))
        return QStringLiteral("identify did not finish");
    return QString::fromLatin1(process.readAllStandardOutput().trimmed());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

} // namespace imagetest
