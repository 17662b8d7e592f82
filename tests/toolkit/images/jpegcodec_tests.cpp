// The JPEG codec: round trips, the colour spaces it reads or refuses, every kind of broken file
// failing, and saves that leave an existing file alone when they fail.
#include "fileaccess.h"
#include "imagefixtures.h"

#include "core/error.h"
#include "toolkit/images/jpegcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using rimo::Bitmap;

namespace {

int meanAbsoluteDifference(const Bitmap& a, const Bitmap& b)
{
    std::int64_t sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (std::size_t i = 0; i < a.rowBytes(); ++i)
            sum += std::abs(int{a.row(y)[i]} - int{b.row(y)[i]});
    }
    return static_cast<int>(sum / (std::int64_t{a.height()} * static_cast<std::int64_t>(a.rowBytes())));
}

// A valid colour JPEG of a smooth picture.
QByteArray sampleJpeg(int width = 48, int height = 32, int quality = 90)
{
    return rimo::encodeJpeg(imagetest::smoothBitmap(width, height), quality);
}

// The same file with its frame header claiming another size.
QByteArray withFrameSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

} // namespace

TEST(JpegCodecTest, RoundTripKeepsSizeAndColours)
{
    const Bitmap picture = imagetest::smoothBitmap(61, 35); // sizes that are no multiple of the blocks
    const Bitmap decoded = rimo::decodeJpeg(rimo::encodeJpeg(picture, 95));
    ASSERT_EQ(decoded.width(), 61);
    ASSERT_EQ(decoded.height(), 35);
    EXPECT_LE(meanAbsoluteDifference(picture, decoded), 2);
    // Blue, green and red stay in their places: the picture's corners differ per channel.
    const std::uint8_t* last = decoded.row(34) + 60 * 3;
    EXPECT_GT(last[0], 240); // blue ramps with x
    EXPECT_GT(last[1], 240); // green with y
    EXPECT_NEAR(last[2], 127, 6);
}

TEST(JpegCodecTest, GreyPictureDecodesToEqualChannels)
{
    const Bitmap decoded = rimo::decodeJpeg(imagetest::libjpegFile(20, 10, JCS_GRAYSCALE, JCS_GRAYSCALE));
    ASSERT_EQ(decoded.width(), 20);
    ASSERT_EQ(decoded.height(), 10);
    for (int y = 0; y < decoded.height(); ++y) {
        for (int x = 0; x < decoded.width(); ++x) {
            const std::uint8_t* p = decoded.row(y) + x * 3;
            ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
        }
    }
}

TEST(JpegCodecTest, BrokenFilesFailWithLibjpegsMessage)
{
    const QByteArray good = sampleJpeg();
    QByteArray badMarker = good;
    badMarker[badMarker.indexOf("\xFF\xC0") + 1] = '\x01'; // the frame header becomes an unknown marker
    QByteArray badHuffman = good;
    {
        // Fill the entropy-coded data with a code no table holds.
        const qsizetype scan = good.indexOf("\xFF\xDA");
        const qsizetype data = scan + 2 + ((uchar(good[scan + 2]) << 8) | uchar(good[scan + 3]));
        for (qsizetype i = data; i < good.size() - 2; ++i)
            badHuffman[i] = '\xFE';
    }
    struct Case
    {
        const char* name;
        QByteArray data;
        const char* message;
    };
    const Case cases[] = {
        {"empty", QByteArray(), "Empty input file"},
        {"not a JPEG", QByteArray("GIF89a and then some"), "Not a JPEG file"},
        {"truncated", good.left(good.size() / 2), "Premature end of JPEG file"},
        {"header only", good.left(good.indexOf("\xFF\xDA")), ""},
        {"damaged marker", badMarker, ""},
        {"damaged data", badHuffman, "Corrupt JPEG data"},
        {"CMYK", imagetest::libjpegFile(16, 16, JCS_CMYK, JCS_CMYK), "CMYK"},
        {"YCCK", imagetest::libjpegFile(16, 16, JCS_CMYK, JCS_YCCK), "CMYK"},
        {"65500 x 65500 header", withFrameSize(good, 65500, 65500), "too large"},
    };
    for (const Case& c : cases) {
        try {
            rimo::decodeJpeg(c.data);
            ADD_FAILURE() << c.name << " decoded";
        } catch (const rimo::Error& e) {
            EXPECT_FALSE(e.text().isEmpty()) << c.name;
            EXPECT_TRUE(e.text().contains(QLatin1String(c.message))) << c.name << ": " << e.what();
        }
    }
}

TEST(JpegCodecTest, LoadJpegIntoBitmapGivesFalseAndKeepsTheBitmap)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.jpg"));
    const QByteArray good = sampleJpeg();
    imagetest::writeFile(broken, good.left(good.size() - 40));
    Bitmap bitmap = imagetest::uniformBitmap(3, 2, 1, 2, 3);
    EXPECT_FALSE(rimo::LoadJpegIntoBitmap(bitmap, broken));
    EXPECT_FALSE(rimo::LoadJpegIntoBitmap(bitmap, dir.filePath(QStringLiteral("missing.jpg"))));
    EXPECT_FALSE(rimo::LoadJpegIntoBitmap(bitmap, dir.path())); // a folder
    EXPECT_TRUE(bitmap == imagetest::uniformBitmap(3, 2, 1, 2, 3));

    const QString fine = dir.filePath(QStringLiteral("fine.jpg"));
    imagetest::writeFile(fine, good);
    EXPECT_TRUE(rimo::LoadJpegIntoBitmap(bitmap, fine));
    EXPECT_EQ(bitmap.width(), 48);
    EXPECT_EQ(bitmap.height(), 32);
}

TEST(JpegCodecTest, QualityFiftyUsesTheStandardTablesUnscaled)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("q50.jpg"));
    ASSERT_TRUE(rimo::SaveBitmapAsJpeg(imagetest::smoothBitmap(40, 24), path, 50));
    const imagetest::QuantTables tables = imagetest::quantTablesOf(imagetest::readFile(path));
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(tables.luma[i], imagetest::kStandardLuma[i]) << i;
        EXPECT_EQ(tables.chroma[i], imagetest::kStandardChroma[i]) << i;
    }
    const QString quality = imagetest::identifiedQuality(path);
    if (quality.isEmpty())
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    EXPECT_EQ(quality, QStringLiteral("50"));
}

TEST(JpegCodecTest, FailedSavesLeaveTheExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.jpg"));
    const QByteArray old = sampleJpeg();
    imagetest::writeFile(path, old);

    // Nothing to encode.
    EXPECT_THROW(rimo::SaveBitmapAsJpeg(Bitmap(0, 5), path, 50), rimo::Error);
    EXPECT_THROW(rimo::SaveBitmapAsJpeg(Bitmap(5, 0), path, 50), rimo::Error);
    // Too wide for JPEG.
    EXPECT_THROW(rimo::SaveBitmapAsJpeg(Bitmap(70000, 1), path, 50), rimo::Error);
    EXPECT_EQ(imagetest::readFile(path), old);

    // A folder that is a file, and a folder that does not exist.
    EXPECT_THROW(rimo::SaveBitmapAsJpeg(imagetest::smoothBitmap(8, 8), path + QStringLiteral("/x.jpg"), 50),
                 rimo::Error);
    EXPECT_THROW(
        rimo::SaveBitmapAsJpeg(imagetest::smoothBitmap(8, 8), dir.filePath(QStringLiteral("no/x.jpg")), 50),
        rimo::Error);

    // A full disk, played by a file size limit below the new file's size.
    const QByteArray big = rimo::encodeJpeg(imagetest::randomBitmap(200, 200, 7), 50);
    ASSERT_GT(big.size(), 4096);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        rimo::SaveBitmapAsJpeg(imagetest::randomBitmap(200, 200, 7), path, 50);
    } catch (const rimo::Error&) {
        raised = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(raised);
    EXPECT_EQ(imagetest::readFile(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.jpg")})
        << "no leftovers";
}

TEST(JpegCodecTest, ReadOnlyFolderRaisesAndKeepsTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.jpg"));
    const QByteArray old = sampleJpeg();
    imagetest::writeFile(path, old);
    // As root the save runs with nobody's file access, in a folder nobody owns.
    rimo::testsupport::FileAccessAsUser user;
    ASSERT_TRUE(user.own(dir.path()));
    ASSERT_TRUE(user.own(path));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(user.enter());
    ASSERT_FALSE(QDir(dir.path()).mkdir(QStringLiteral("probe")))
        << "the folder must be read-only for the test to mean anything";
    EXPECT_THROW(rimo::SaveBitmapAsJpeg(imagetest::smoothBitmap(8, 8), path, 50), rimo::Error);
    user.leave();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(imagetest::readFile(path), old);
}

TEST(JpegCodecTest, JpegImageSavesAtItsQuality)
{
    const rimo::JpegImage image(imagetest::smoothBitmap(16, 16));
    EXPECT_EQ(image.compressionQuality(), rimo::kDefaultJpegQuality);
    EXPECT_EQ(image.encoded(), rimo::encodeJpeg(image.picture(), 75));
    rimo::JpegImage low(imagetest::smoothBitmap(16, 16), 10);
    EXPECT_LT(low.encoded().size(), image.encoded().size());
}
