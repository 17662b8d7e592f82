#include "toolkit/images/pictureloader.h"

#include "core/error.h"
#include "core/wholefile.h"
#include "toolkit/images/jpegcodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cstdint>
#include <cstdlib>

namespace rimo {

namespace {

std::uint32_t le16(const QByteArray& d, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData()) + at;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}

std::uint32_t le32(const QByteArray& d, qsizetype at)
{
    return le16(d, at) | le16(d, at + 2) << 16;
}

std::int64_t signed32(std::uint32_t v)
{
    return static_cast<std::int32_t>(v);
}

// Bytes of one row of `width` pixels at `bitCount` bits, padded to 4 bytes as in every DIB.
std::int64_t dibStride(std::int64_t width, std::int64_t bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// offset + stride * rows, saturated: the header fields come from the file and may be anything.
std::int64_t bytesNeeded(std::int64_t offset, std::int64_t stride, std::int64_t rows)
{
    std::int64_t area = 0;
    std::int64_t total = 0;
    if (__builtin_mul_overflow(stride, rows, &area) || __builtin_add_overflow(offset, area, &total))
        return INT64_MAX;
    return total;
}

QString truncatedText(std::int64_t needed, qsizetype held)
{
    return QStringLiteral("the file is cut short: its header announces %1 bytes, it holds %2")
        .arg(needed)
        .arg(held);
}

// Walks an RLE4 or RLE8 stream from `at`: complete when it reaches the end-of-bitmap mark or has
// ended `height` rows before the file ends.
QString rleShortfall(const QByteArray& d, std::int64_t at, std::int64_t height, bool rle8)
{
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData());
    const std::int64_t size = d.size();
    std::int64_t line = 0;
    while (line < height) {
        if (at + 2 > size)
            return QStringLiteral("the file is cut short: its RLE data stops at row %1 of %2")
                .arg(line)
                .arg(height);
        const unsigned count = p[at];
        const unsigned code = p[at + 1];
        at += 2;
        if (count > 0)
            continue; // a run of one value
        if (code == 0) {
            ++line;
        } else if (code == 1) {
            return {};
        } else if (code == 2) {
            if (at + 2 > size)
                return truncatedText(at + 2, d.size());
            line += p[at + 1];
            at += 2;
        } else {
            // Literal pixels, padded to a 16-bit boundary.
            const std::int64_t bytes = rle8 ? code : (code + 1) / 2;
            at += (bytes + 1) & ~std::int64_t{1};
            if (at > size)
                return truncatedText(at, d.size());
        }
    }
    return {};
}

Bitmap decodeWithQt(const QByteArray& file, const char* format)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    const QImage image = reader.read();
    if (image.isNull())
        throw Error(reader.errorString());
    return Bitmap::fromImage(image);
}

Bitmap withFileName(const QString& fileName, Bitmap (*decode)(const QByteArray&))
{
    const QByteArray data = readWholeFile(fileName, kImageFileLimit);
    try {
        return decode(data);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Cannot load %1: %2").arg(fileName, e.text()));
    }
}

} // namespace

PictureFormat pictureFormatOf(const QString& fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"bmp")
        return PictureFormat::Bmp;
    if (ext == u"ico")
        return PictureFormat::Ico;
    if (ext == u"jpg" || ext == u"jpeg")
        return PictureFormat::Jpeg;
    if (ext == u"wmf" || ext == u"emf")
        return PictureFormat::Metafile;
    return PictureFormat::Unknown;
}

QString bmpDataShortfall(const QByteArray& file)
{
    constexpr qsizetype fileHeader = 14;
    if (file.size() < fileHeader + 4 + 12)
        return {};
    const std::int64_t dataAt = le32(file, 10);
    const std::uint32_t infoSize = le32(file, 14);
    std::int64_t width, height, bitCount;
    std::uint32_t compression = 0;
    if (infoSize == 12) {
        width = le16(file, 18);
        height = le16(file, 20);
        bitCount = le16(file, 24);
    } else {
        if (file.size() < fileHeader + 40)
            return {};
        width = signed32(le32(file, 18));
        height = std::abs(signed32(le32(file, 22)));
        bitCount = le16(file, 28);
        compression = le32(file, 30);
    }
    enum { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };
    if (compression == Rle8 || compression == Rle4)
        return rleShortfall(file, dataAt, height, compression == Rle8);
    if (compression == Rgb || compression == BitFields || compression == AlphaBitFields) {
        const std::int64_t needed = bytesNeeded(dataAt, dibStride(std::abs(width), bitCount), height);
        if (needed > file.size())
            return truncatedText(needed, file.size());
    }
    return {};
}

QString icoDataShortfall(const QByteArray& file)
{
    if (file.size() < 6)
        return {};
    const std::int64_t count = le16(file, 4);
    const std::int64_t directoryEnd = 6 + 16 * count;
    if (directoryEnd > file.size())
        return truncatedText(directoryEnd, file.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const qsizetype entry = static_cast<qsizetype>(6 + 16 * i);
        const std::int64_t bytes = le32(file, entry + 8);
        const std::int64_t at = le32(file, entry + 12);
        if (at + bytes > file.size())
            return truncatedText(at + bytes, file.size());
        if (bytes < 40 || file.mid(static_cast<qsizetype>(at), 4) == "\x89PNG")
            continue; // PNG images are checked by their own reader
        const qsizetype dib = static_cast<qsizetype>(at);
        const std::int64_t infoSize = le32(file, dib);
        if (infoSize < 40)
            continue;
        const std::int64_t width = std::abs(signed32(le32(file, dib + 4)));
        // The height counts the colour rows and the transparency mask's rows.
        const std::int64_t height = std::abs(signed32(le32(file, dib + 8))) / 2;
        const std::int64_t bitCount = le16(file, dib + 14);
        const std::int64_t colorsUsed = le32(file, dib + 32);
        const std::int64_t palette =
            bitCount <= 8 ? (colorsUsed ? colorsUsed : std::int64_t{1} << bitCount) * 4 : 0;
        const std::int64_t needed = bytesNeeded(infoSize + palette, dibStride(width, bitCount), height);
        if (needed > bytes)
            return QStringLiteral("icon %1 is cut short: its header announces %2 bytes, its entry holds %3")
                .arg(i + 1)
                .arg(needed)
                .arg(bytes);
    }
    return {};
}

Bitmap decodeBmp(const QByteArray& file)
{
    // Checked before Qt allocates the picture its header announces; a file that is no BMP at all is
    // left to Qt's reader, whose message says so.
    if (file.startsWith("BM")) {
        const QString shortfall = bmpDataShortfall(file);
        if (!shortfall.isEmpty())
            throw Error(shortfall);
    }
    return decodeWithQt(file, "bmp");
}

Bitmap decodeIco(const QByteArray& file)
{
    // Checked first: the directory tells where each image lies before Qt reads any.
    const QString shortfall = icoDataShortfall(file);
    if (!shortfall.isEmpty())
        throw Error(shortfall);
    return decodeWithQt(file, "ico");
}

Bitmap readBmpFile(const QString& fileName)
{
    return withFileName(fileName, decodeBmp);
}

Bitmap readPictureFile(const QString& fileName)
{
    switch (pictureFormatOf(fileName)) {
    case PictureFormat::Bmp:
        return readBmpFile(fileName);
    case PictureFormat::Ico:
        return withFileName(fileName, decodeIco);
    case PictureFormat::Jpeg:
        return withFileName(fileName, decodeJpeg);
    case PictureFormat::Metafile:
        throw Error(
            QStringLiteral("Cannot load %1: Windows metafiles (wmf, emf) cannot be read here").arg(fileName));
    case PictureFormat::Unknown:
        break;
    }
    throw Error(QStringLiteral("Cannot load %1: unknown picture file extension \"%2\"")
                    .arg(fileName, QFileInfo(fileName).suffix()));
}

} // namespace rimo
