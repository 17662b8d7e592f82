// The resampler against the worked cases of its contract and against the plain transcription of its
// steps (imagefixtures.cpp) on random sizes.
#include "imagefixtures.h"

#include "core/error.h"
#include "toolkit/images/resample.h"

#include <gtest/gtest.h>
#include <random>

using imagetest::plainResample;
using imagetest::randomBitmap;
using rimo::Bitmap;
using rimo::ResampleBitmap;

namespace {

Bitmap resampled(const Bitmap& src, int width, int height)
{
    Bitmap dst(width, height);
    ResampleBitmap(src, dst);
    return dst;
}

Bitmap plainResampled(const Bitmap& src, int width, int height)
{
    Bitmap dst(width, height);
    plainResample(src, dst);
    return dst;
}

std::string pixelText(const Bitmap& b, int x, int y)
{
    const std::uint8_t* p = b.row(y) + x * 3;
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

} // namespace

TEST(MulDivTest, RoundsHalvesUpWithAWideIntermediate)
{
    EXPECT_EQ(rimo::MulDiv(1, 65536, 4), 16384u);
    EXPECT_EQ(rimo::MulDiv(32768, 1, 65536), 1u); // exactly a half
    EXPECT_EQ(rimo::MulDiv(32767, 1, 65536), 0u);
    EXPECT_EQ(rimo::MulDiv(65535, 65536, 65536), 65535u); // the product needs 32 bits
    EXPECT_EQ(rimo::MulDiv(65535, 65536, 1), 65535u * 65536u);
    EXPECT_EQ(rimo::MulDiv(3, 5, 2), 8u); // 7.5
}

TEST(ResampleTest, SameSizeIsAnExactCopy)
{
    const Bitmap src = randomBitmap(37, 23, 1);
    Bitmap dst(37, 23);
    ResampleBitmap(src, dst);
    EXPECT_TRUE(dst == src);
}

TEST(ResampleTest, UniformColourStaysExactAtAnySize)
{
    struct Case
    {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{1, 1, 9, 7},   {2, 1, 4, 1},       {10, 10, 3, 3},
                          {7, 5, 64, 48}, {640, 480, 33, 17}, {3, 200, 300, 2}};
    for (const std::uint8_t v :
         {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{128}, std::uint8_t{254}, std::uint8_t{255}}) {
        for (const Case& c : cases) {
            const Bitmap src =
                imagetest::uniformBitmap(c.sw, c.sh, v, static_cast<std::uint8_t>(255 - v), 77);
            EXPECT_TRUE(resampled(src, c.dw, c.dh) == imagetest::uniformBitmap(c.dw, c.dh, v, 255 - v, 77))
                << int{v} << " " << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
        }
    }
}

TEST(ResampleTest, BlackWhitePairEnlargedToFourReadsQuarterSteps)
{
    Bitmap src = imagetest::uniformBitmap(2, 1, 0, 0, 0);
    src.row(0)[3] = src.row(0)[4] = src.row(0)[5] = 255;
    const Bitmap dst = resampled(src, 4, 1);
    const int expected[] = {0, 63, 127, 191};
    for (int x = 0; x < 4; ++x) {
        for (int channel = 0; channel < 3; ++channel)
            EXPECT_EQ(dst.row(0)[x * 3 + channel], expected[x]) << "pixel " << x << " channel " << channel;
    }
}

TEST(ResampleTest, FirstDestinationPixelIsTheFirstSourcePixel)
{
    const Bitmap src = randomBitmap(50, 40, 2);
    for (const auto& [w, h] : {std::pair{7, 9}, std::pair{120, 3}, std::pair{49, 41}}) {
        const Bitmap dst = resampled(src, w, h);
        EXPECT_EQ(pixelText(dst, 0, 0), pixelText(src, 0, 0)) << w << "x" << h;
    }
}

TEST(ResampleTest, OnePixelWideOrHighSourceUsesItsOneColumnOrRow)
{
    // One column: every destination row is that column's value, repeated across.
    const Bitmap column = randomBitmap(1, 9, 3);
    const Bitmap wide = resampled(column, 6, 20);
    EXPECT_TRUE(wide == plainResampled(column, 6, 20));
    for (int y = 0; y < wide.height(); ++y) {
        for (int x = 1; x < wide.width(); ++x)
            EXPECT_EQ(pixelText(wide, x, y), pixelText(wide, 0, y)) << x << "," << y;
    }
    // One row: every destination row is the same.
    const Bitmap row = randomBitmap(9, 1, 4);
    const Bitmap high = resampled(row, 20, 6);
    EXPECT_TRUE(high == plainResampled(row, 20, 6));
    for (int y = 1; y < high.height(); ++y) {
        for (int x = 0; x < high.width(); ++x)
            EXPECT_EQ(pixelText(high, x, y), pixelText(high, x, 0)) << x << "," << y;
    }
    // A single pixel fills everything.
    const Bitmap dot = imagetest::uniformBitmap(1, 1, 9, 8, 7);
    EXPECT_TRUE(resampled(dot, 5, 3) == imagetest::uniformBitmap(5, 3, 9, 8, 7));
}

TEST(ResampleTest, EmptyDestinationGetsNoPixelsAndEmptySourceIsRefused)
{
    const Bitmap src = randomBitmap(8, 8, 5);
    for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        Bitmap dst(w, h);
        EXPECT_NO_THROW(ResampleBitmap(src, dst));
        EXPECT_EQ(dst.width(), w);
        EXPECT_EQ(dst.height(), h);
        EXPECT_NO_THROW(ResampleBitmap(Bitmap(0, 3), dst)) << "nothing to fill, nothing to read";
    }
    for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        Bitmap dst(4, 4);
        EXPECT_THROW(ResampleBitmap(Bitmap(w, h), dst), rimo::Error) << w << "x" << h;
    }
}

TEST(ResampleTest, SidesBeyondTheFixedPointRangeAreRefused)
{
    // 65537 columns would put the last source position past 32 bits of 16.16.
    Bitmap dst(3, 1);
    EXPECT_THROW(ResampleBitmap(Bitmap(rimo::kMaxResampleSide + 1, 1), dst), rimo::Error);
    Bitmap wide(rimo::kMaxResampleSide + 1, 1);
    EXPECT_THROW(ResampleBitmap(Bitmap(2, 1), wide), rimo::Error);
    // The largest side still works and reaches toward the last column without passing it.
    Bitmap ramp(rimo::kMaxResampleSide, 1);
    for (int x = 0; x < ramp.width(); ++x)
        ramp.row(0)[x * 3] = static_cast<std::uint8_t>(x * 255 / (ramp.width() - 1));
    const Bitmap small = resampled(ramp, 5, 1);
    EXPECT_TRUE(small == plainResampled(ramp, 5, 1));
    EXPECT_GE(small.row(0)[4 * 3], 200);
}

TEST(ResampleTest, MatchesThePlainStepsOnRandomSizes)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> side(1, 90);
    for (int i = 0; i < 400; ++i) {
        const int sw = side(random), sh = side(random), dw = side(random), dh = side(random);
        const Bitmap src = randomBitmap(sw, sh, static_cast<std::uint32_t>(i));
        ASSERT_TRUE(resampled(src, dw, dh) == plainResampled(src, dw, dh))
            << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
    // The benchmark's shapes, scaled down by ten, and a few odd large ones.
    for (const auto& [sw, sh, dw, dh] : {std::tuple{400, 300, 80, 60}, std::tuple{64, 48, 192, 144},
                                         std::tuple{1000, 7, 3, 999}, std::tuple{2, 2, 1500, 1}}) {
        const Bitmap src = randomBitmap(sw, sh, 99);
        ASSERT_TRUE(resampled(src, dw, dh) == plainResampled(src, dw, dh))
            << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}
