// The toolkit's three picture services: what they write, what they return, and their failure rules.
#include "imagefixtures.h"

#include "core/error.h"
#include "toolkit/images/imageservices.h"
#include "toolkit/images/resample.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using rimo::Bitmap;

namespace {

class ImageServicesTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    // A photograph-like JPEG at quality 90 under `name`; returns its bytes.
    QByteArray makeJpeg(const char* name, int width = 64, int height = 48)
    {
        const QByteArray data = rimo::encodeJpeg(imagetest::smoothBitmap(width, height), 90);
        imagetest::writeFile(path(name), data);
        return data;
    }
};

void expectStandardTables(const QByteArray& jpeg)
{
    const imagetest::QuantTables tables = imagetest::quantTablesOf(jpeg);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(tables.luma[i], imagetest::kStandardLuma[i]) << i;
        ASSERT_EQ(tables.chroma[i], imagetest::kStandardChroma[i]) << i;
    }
}

} // namespace

TEST_F(ImageServicesTest, ReduceJpgSizeResamplesAndWritesQualityFifty)
{
    const QByteArray in = makeJpeg("in.jpg");
    const auto image = TImageServices::ReduceJpgSize(path("in.jpg"), path("out.jpg"), 20, 30);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 20);
    EXPECT_EQ(image->height(), 30);
    EXPECT_EQ(image->compressionQuality(), 50);
    // Exactly the decoded input, resampled, encoded at 50.
    Bitmap expected(20, 30);
    imagetest::plainResample(rimo::decodeJpeg(in), expected);
    EXPECT_TRUE(image->picture() == expected);
    const QByteArray out = imagetest::readFile(path("out.jpg"));
    EXPECT_EQ(out, rimo::encodeJpeg(expected, 50));
    expectStandardTables(out);
}

TEST_F(ImageServicesTest, ReduceJpgSizeAtTheSameSizeReencodes)
{
    const QByteArray in = makeJpeg("in.jpg");
    const QByteArray expected = rimo::encodeJpeg(rimo::decodeJpeg(in), 50);
    ASSERT_TRUE(TImageServices::ReduceJpgSize(path("in.jpg"), path("out.jpg"), 64, 48));
    EXPECT_EQ(imagetest::readFile(path("out.jpg")), expected);
    // The input as its own output.
    ASSERT_TRUE(TImageServices::ReduceJpgSize(path("in.jpg"), path("in.jpg"), 64, 48));
    EXPECT_EQ(imagetest::readFile(path("in.jpg")), expected);
    expectStandardTables(expected);
    EXPECT_EQ(files(), (QStringList{QStringLiteral("in.jpg"), QStringLiteral("out.jpg")}));
    const QString quality = imagetest::identifiedQuality(path("out.jpg"));
    if (!quality.isEmpty()) {
        EXPECT_EQ(quality, QStringLiteral("50"));
    }
}

TEST_F(ImageServicesTest, ReduceJpgSizeWithUnreadableInputDoesNothing)
{
    // Noise, so that most of the file is entropy-coded data and the cut falls inside it.
    const QByteArray noisy = rimo::encodeJpeg(imagetest::randomBitmap(200, 150, 3), 90);
    imagetest::writeFile(path("cut.jpg"), noisy.left(noisy.size() * 3 / 4));
    imagetest::writeFile(path("empty.jpg"), QByteArray());
    imagetest::writeFile(path("cmyk.jpg"), imagetest::libjpegFile(16, 16, JCS_CMYK, JCS_CMYK));
    imagetest::writeFile(path("bitmap.jpg"), imagetest::qtFile(QImage(4, 4, QImage::Format_RGB32), "bmp"));
    const QStringList before = files();
    for (const char* name : {"missing.jpg", "cut.jpg", "empty.jpg", "cmyk.jpg", "bitmap.jpg"}) {
        std::unique_ptr<rimo::JpegImage> image;
        EXPECT_NO_THROW(image = TImageServices::ReduceJpgSize(path(name), path("out.jpg"), 10, 10)) << name;
        EXPECT_FALSE(image) << name;
        // A zero size does not matter when there is nothing to read.
        EXPECT_NO_THROW(image = TImageServices::ReduceJpgSize(path(name), path("out.jpg"), 0, 10)) << name;
        EXPECT_FALSE(image) << name;
    }
    EXPECT_EQ(files(), before);
}

TEST_F(ImageServicesTest, ReduceJpgSizeFailuresRaiseAndKeepTheOldOutput)
{
    makeJpeg("in.jpg");
    const QByteArray old("previous output");
    imagetest::writeFile(path("out.jpg"), old);
    EXPECT_THROW(TImageServices::ReduceJpgSize(path("in.jpg"), path("out.jpg"), 0, 10), rimo::Error);
    EXPECT_THROW(TImageServices::ReduceJpgSize(path("in.jpg"), path("out.jpg"), 10, 0), rimo::Error);
    EXPECT_EQ(imagetest::readFile(path("out.jpg")), old);
    // The output's folder is a file.
    EXPECT_THROW(
        TImageServices::ReduceJpgSize(path("in.jpg"), path("out.jpg") + QStringLiteral("/x.jpg"), 5, 5),
        rimo::Error);
    EXPECT_EQ(imagetest::readFile(path("out.jpg")), old);
    EXPECT_EQ(files(), (QStringList{QStringLiteral("in.jpg"), QStringLiteral("out.jpg")}));
}

TEST_F(ImageServicesTest, ConvertBmp2JpgHoldsThePictureAtDefaultQuality)
{
    QImage image(9, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x)
            image.setPixel(x, y, qRgb(x * 20, y * 40, 200));
    }
    // Forced to BMP: the extension does not matter.
    imagetest::writeFile(path("picture.dat"), imagetest::qtFile(image, "bmp"));
    const auto jpeg = TImageServices::ConvertBMP2JPG(path("picture.dat"));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->compressionQuality(), 75);
    EXPECT_TRUE(jpeg->picture() == Bitmap::fromImage(image));

    imagetest::writeFile(path("rle.bmp"), imagetest::rleBmp(6, 3));
    EXPECT_EQ(TImageServices::ConvertBMP2JPG(path("rle.bmp"))->width(), 6);
}

TEST_F(ImageServicesTest, ConvertBmp2JpgRaisesForBadFiles)
{
    const QByteArray bmp = imagetest::qtFile(QImage(30, 20, QImage::Format_RGB32), "bmp");
    const QByteArray rle = imagetest::rleBmp(30, 20);
    imagetest::writeFile(path("cut.bmp"), bmp.left(bmp.size() - 100));
    imagetest::writeFile(path("cutrle.bmp"), rle.left(rle.size() - 30));
    imagetest::writeFile(path("photo.bmp"), rimo::encodeJpeg(imagetest::smoothBitmap(8, 8), 80));
    imagetest::writeFile(path("empty.bmp"), QByteArray());
    for (const char* name : {"missing.bmp", "cut.bmp", "cutrle.bmp", "photo.bmp", "empty.bmp"}) {
        try {
            TImageServices::ConvertBMP2JPG(path(name));
            ADD_FAILURE() << name << " converted";
        } catch (const rimo::Error& e) {
            EXPECT_TRUE(e.text().contains(QLatin1String(name))) << e.what();
        }
    }
}

TEST_F(ImageServicesTest, ConvertJpg2BmpReadsEveryKnownKind)
{
    const Bitmap picture = imagetest::smoothBitmap(10, 6);
    imagetest::writeFile(path("p.BMP"), imagetest::qtFile(picture.toImage(), "bmp"));
    imagetest::writeFile(path("p.Ico"),
                         imagetest::qtFile(picture.toImage().convertToFormat(QImage::Format_ARGB32), "ico"));
    imagetest::writeFile(path("p.JPG"), rimo::encodeJpeg(picture, 100));
    for (const char* name : {"p.BMP", "p.Ico"}) {
        const auto bitmap = TImageServices::ConvertJPG2BMP(path(name));
        ASSERT_TRUE(bitmap);
        EXPECT_TRUE(*bitmap == picture) << name;
    }
    const auto fromJpeg = TImageServices::ConvertJPG2BMP(path("p.JPG"));
    EXPECT_EQ(fromJpeg->width(), 10);
    EXPECT_EQ(fromJpeg->height(), 6);
    imagetest::writeFile(path("p.wmf"), QByteArray("\xD7\xCD\xC6\x9A", 4));
    EXPECT_THROW(TImageServices::ConvertJPG2BMP(path("p.wmf")), rimo::Error);
    EXPECT_THROW(TImageServices::ConvertJPG2BMP(path("missing.ico")), rimo::Error);
}
