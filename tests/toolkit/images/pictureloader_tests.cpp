// The picture loader: BMP files of every depth through Qt's reader, icons, the completeness checks
// that catch what Qt's readers let through, and the choice of decoder by extension.
#include "imagefixtures.h"

#include "core/error.h"
#include "toolkit/images/jpegcodec.h"
#include "toolkit/images/pictureloader.h"

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rimo::Bitmap;

namespace {

QImage colourfulImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x * y) & 0xFF));
    }
    return image.convertToFormat(format);
}

QRgb pixelOf(const Bitmap& b, int x, int y)
{
    const std::uint8_t* p = b.row(y) + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

void expectSamePixels(const Bitmap& bitmap, const QImage& image, const char* what)
{
    ASSERT_EQ(bitmap.width(), image.width()) << what;
    ASSERT_EQ(bitmap.height(), image.height()) << what;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(pixelOf(bitmap, x, y), image.pixel(x, y) | 0xFF000000u)
                << what << " at " << x << "," << y;
    }
}

} // namespace

TEST(PictureLoaderTest, ExtensionChoosesTheDecoderInAnyCase)
{
    using rimo::PictureFormat;
    const std::pair<const char*, PictureFormat> cases[] = {
        {"a.bmp", PictureFormat::Bmp},      {"A.BMP", PictureFormat::Bmp},
        {"x/y.Ico", PictureFormat::Ico},    {"p.jpg", PictureFormat::Jpeg},
        {"P.JPEG", PictureFormat::Jpeg},    {"p.JpG", PictureFormat::Jpeg},
        {"m.wmf", PictureFormat::Metafile}, {"M.EMF", PictureFormat::Metafile},
        {"p.png", PictureFormat::Unknown},  {"noextension", PictureFormat::Unknown},
        {"bmp", PictureFormat::Unknown},    {"a.jpg.txt", PictureFormat::Unknown},
    };
    for (const auto& [name, format] : cases)
        EXPECT_EQ(rimo::pictureFormatOf(QString::fromLatin1(name)), format) << name;
}

TEST(PictureLoaderTest, BmpFilesOfEveryDepthDecode)
{
    const QImage source = colourfulImage(13, 7, QImage::Format_RGB32);
    struct Case
    {
        const char* name;
        QImage image;
    };
    const Case cases[] = {
        {"24 bits", source.convertToFormat(QImage::Format_RGB888)},
        {"32 bits", source},
        {"8 bits", source.convertToFormat(QImage::Format_Indexed8)},
        {"1 bit", source.convertToFormat(QImage::Format_Mono)},
    };
    for (const Case& c : cases) {
        const QByteArray file = imagetest::qtFile(c.image, "bmp");
        expectSamePixels(rimo::decodeBmp(file), c.image.convertToFormat(QImage::Format_RGB32), c.name);
    }
    // RLE is read, not written, by Qt: the files are built by hand. Row y holds grey y, bottom up.
    for (const int bits : {8, 4}) {
        const Bitmap rle = rimo::decodeBmp(imagetest::rleBmp(5, 4, bits));
        ASSERT_EQ(rle.width(), 5);
        ASSERT_EQ(rle.height(), 4);
        const int step = bits == 8 ? 1 : 17;
        for (int y = 0; y < 4; ++y) {
            const int grey = (3 - y) * step;
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(pixelOf(rle, x, y), qRgb(grey, grey, grey)) << bits << " bits at " << x << "," << y;
        }
    }
}

TEST(PictureLoaderTest, IncompleteBmpAndIcoFilesAreRefused)
{
    const QImage image = colourfulImage(16, 16, QImage::Format_RGB32);
    const QByteArray bmp = imagetest::qtFile(image, "bmp");
    const QByteArray rle = imagetest::rleBmp(16, 16);
    const QByteArray rle4 = imagetest::rleBmp(16, 16, 4);
    const QByteArray ico = imagetest::qtFile(colourfulImage(16, 16, QImage::Format_ARGB32), "ico");
    QByteArray badMagic = bmp;
    badMagic[0] = 'X';
    // Headers announcing 2^31 - 1 pixels each way: the byte count must not overflow.
    QByteArray bmpHuge = bmp;
    bmpHuge.replace(18, 8, QByteArray("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8));
    QByteArray icoHuge = ico;
    const qsizetype icoImage = static_cast<uchar>(ico[18]) | static_cast<uchar>(ico[19]) << 8;
    icoHuge.replace(icoImage + 4, 8, QByteArray("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8));
    EXPECT_FALSE(rimo::bmpDataShortfall(bmpHuge).isEmpty());
    EXPECT_FALSE(rimo::icoDataShortfall(icoHuge).isEmpty());
    QByteArray icoEntryPastEnd = ico;
    icoEntryPastEnd[6 + 8] = static_cast<char>(0xF0); // the first entry's size grows past the file
    struct Case
    {
        const char* name;
        QByteArray data;
        Bitmap (*decode)(const QByteArray&);
    };
    const Case cases[] = {
        {"bmp without its last row", bmp.left(bmp.size() - 16 * 4), rimo::decodeBmp},
        {"bmp cut in its header", bmp.left(20), rimo::decodeBmp},
        {"bmp with a wrong signature", badMagic, rimo::decodeBmp},
        {"empty bmp", QByteArray(), rimo::decodeBmp},
        {"RLE bmp cut before its last row", rle.left(rle.size() - 8), rimo::decodeBmp},
        {"RLE bmp cut inside a row", rle.left(rle.size() - 5), rimo::decodeBmp},
        {"RLE bmp cut inside its literal pixels", rle.left(rle.size() - 9), rimo::decodeBmp},
        {"RLE4 bmp cut before its last row", rle4.left(rle4.size() - 2 - 10), rimo::decodeBmp},
        {"RLE4 bmp cut inside its literal pixels", rle4.left(rle4.size() - 2 - 6), rimo::decodeBmp},
        {"ico cut in half", ico.left(ico.size() / 2), rimo::decodeIco},
        {"ico cut by a few bytes", ico.left(ico.size() - 3), rimo::decodeIco},
        {"ico cut in its directory", ico.left(10), rimo::decodeIco},
        {"ico entry past the end", icoEntryPastEnd, rimo::decodeIco},
        {"bmp of 2^31 x 2^31 pixels", bmpHuge, rimo::decodeBmp},
        {"ico of 2^31 x 2^30 pixels", icoHuge, rimo::decodeIco},
        {"empty ico", QByteArray(), rimo::decodeIco},
        {"ico of garbage", QByteArray(200, '\x07'), rimo::decodeIco},
    };
    // The complete files decode.
    EXPECT_NO_THROW(rimo::decodeBmp(bmp));
    EXPECT_NO_THROW(rimo::decodeBmp(rle));
    EXPECT_NO_THROW(rimo::decodeBmp(rle4));
    // Without its end-of-bitmap mark the stream is still whole: every row has ended.
    EXPECT_TRUE(rimo::bmpDataShortfall(rle4.left(rle4.size() - 2)).isEmpty());
    expectSamePixels(rimo::decodeIco(ico), image, "icon");
    for (const Case& c : cases)
        EXPECT_THROW(c.decode(c.data), rimo::Error) << c.name;
    EXPECT_TRUE(rimo::bmpDataShortfall(bmp.left(bmp.size() - 1)).contains(QStringLiteral("cut short")));
    EXPECT_TRUE(rimo::bmpDataShortfall(bmp).isEmpty());
}

TEST(PictureLoaderTest, ReadPictureFileByExtension)
{
    QTemporaryDir dir;
    const QImage image = colourfulImage(12, 9, QImage::Format_RGB32);
    const QByteArray bmp = imagetest::qtFile(image, "bmp");
    const QByteArray ico = imagetest::qtFile(image.convertToFormat(QImage::Format_ARGB32), "ico");
    const QByteArray jpg = rimo::encodeJpeg(imagetest::smoothBitmap(12, 9), 90);
    for (const auto& [name, data] :
         {std::pair{"a.bmp", bmp}, std::pair{"B.BMP", bmp}, std::pair{"c.ico", ico}, std::pair{"D.ICO", ico},
          std::pair{"e.jpg", jpg}, std::pair{"F.JPEG", jpg}}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        imagetest::writeFile(path, data);
        const Bitmap bitmap = rimo::readPictureFile(path);
        EXPECT_EQ(bitmap.width(), 12) << name;
        EXPECT_EQ(bitmap.height(), 9) << name;
    }
    expectSamePixels(rimo::readPictureFile(dir.filePath(QStringLiteral("B.BMP"))), image, "B.BMP");
}

TEST(PictureLoaderTest, ReadPictureFileFailuresSayWhy)
{
    QTemporaryDir dir;
    const QByteArray jpg = rimo::encodeJpeg(imagetest::smoothBitmap(12, 9), 90);
    const QByteArray bmp = imagetest::qtFile(colourfulImage(8, 8, QImage::Format_RGB32), "bmp");
    struct Case
    {
        const char* name;
        QByteArray data; // null: no file is made
        const char* message;
    };
    const Case cases[] = {
        {"missing.jpg", QByteArray(), "missing.jpg"},
        {"missing.bmp", QByteArray(), "missing.bmp"},
        {"drawing.wmf", QByteArray("\xD7\xCD\xC6\x9A"), "metafile"},
        {"DRAWING.EMF", QByteArray("\x01\x00\x00\x00"), "metafile"},
        {"picture.png", QByteArray("\x89PNG"), "unknown picture file extension"},
        {"picture", jpg, "unknown picture file extension"},
        {"cut.jpg", jpg.left(jpg.size() / 2), "Premature end of JPEG file"},
        {"CUT.JPEG", jpg.left(jpg.size() - 10), "Premature end of JPEG file"},
        {"bmp-in-disguise.jpg", bmp, "Not a JPEG file"},
        {"cut.bmp", bmp.left(bmp.size() - 10), "cut short"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        if (!c.data.isNull())
            imagetest::writeFile(path, c.data);
        try {
            rimo::readPictureFile(path);
            ADD_FAILURE() << c.name << " loaded";
        } catch (const rimo::Error& e) {
            EXPECT_TRUE(e.text().contains(QLatin1String(c.message), Qt::CaseInsensitive))
                << c.name << ": " << e.what();
        }
    }
}
