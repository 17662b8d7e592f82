// The bitmap's storage: small rasters from the heap and large ones mapped from the system behave
// alike when made, copied, moved, compared and converted to and from QImage.
#include "imagefixtures.h"

#include "core/error.h"
#include "toolkit/images/bitmap.h"

#include <gtest/gtest.h>

using rimo::Bitmap;

TEST(BitmapTest, ValueSemanticsAtEverySize)
{
    // 1500 x 1000 (4.5 MB) is past the size from which rows are mapped rather than allocated.
    for (const auto& [w, h] :
         {std::pair{0, 0}, std::pair{0, 4}, std::pair{1, 1}, std::pair{13, 7}, std::pair{1500, 1000}}) {
        const Bitmap black(w, h);
        EXPECT_EQ(black.isEmpty(), w == 0 || h == 0);
        EXPECT_TRUE(black == imagetest::uniformBitmap(w, h, 0, 0, 0)) << w << "x" << h << " starts black";
        if (black.isEmpty())
            continue;
        const Bitmap original = imagetest::randomBitmap(w, h, 5);
        Bitmap copy = original;
        EXPECT_TRUE(copy == original);
        copy.row(h - 1)[copy.rowBytes() - 1] ^= 1;
        EXPECT_FALSE(copy == original) << "a copy owns its pixels";
        copy = original;
        EXPECT_TRUE(copy == original);
        Bitmap moved = std::move(copy);
        EXPECT_TRUE(moved == original);
        EXPECT_TRUE(copy.isEmpty()); // NOLINT(bugprone-use-after-move): a moved-from bitmap is empty
        EXPECT_TRUE(Bitmap::fromImage(original.toImage()) == original);
        moved.setSize(w, 1);
        EXPECT_TRUE(moved == imagetest::uniformBitmap(w, 1, 0, 0, 0));
    }
}

TEST(BitmapTest, ImpossibleSizesAreRefusedWithoutChange)
{
    Bitmap bitmap = imagetest::randomBitmap(4, 3, 1);
    const Bitmap before = bitmap;
    EXPECT_FALSE(bitmap.trySetSize(-1, 3));
    EXPECT_FALSE(bitmap.trySetSize(65500, 65500)); // 12.8 GB of pixels
    EXPECT_TRUE(bitmap == before);
    EXPECT_THROW(Bitmap(65500, 65500), rimo::Error);
    EXPECT_THROW(bitmap.setSize(3, -2), rimo::Error);
}

TEST(BitmapTest, FromImageKeepsColoursAndDropsAlpha)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    image.setPixel(2, 1, qRgba(200, 100, 50, 128));
    const Bitmap bitmap = Bitmap::fromImage(image);
    const std::uint8_t* p = bitmap.row(1) + 2 * 3;
    EXPECT_EQ(p[0], 50); // blue first
    EXPECT_EQ(p[1], 100);
    EXPECT_EQ(p[2], 200);
    EXPECT_EQ(bitmap.row(0)[0], 30);
}
