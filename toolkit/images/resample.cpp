#include "toolkit/images/resample.h"

#include "core/error.h"

#include <vector>

// The filter: with xscale = MulDiv(src width - 1, 65536, dst width) (and yscale alike), destination
// column k samples the source at sx = k * xscale in 16.16 fixed point, between columns x0 = sx >> 16
// and x0 + 1 (x0 again at the last column), with fraction fx = sx & 0xFFFF; rows likewise with fy.
// Row A weighs 65536 - fy and row B fy + 1, so the two add up to 65537 and a uniform value v comes
// back as (v * 65537) >> 16 = v. Each row weight w splits into w1 = MulDiv(fx, w, 65536) for the right
// column and w - w1 for the left one, and a channel is the sum of the four products shifted right by
// 16. The largest sum, 255 * 65537, fits in 32 bits.
//
// This version keeps the arithmetic but hoists what depends only on the column (offsets, fractions)
// out of the row loop; the tests hold it to a plain transcription of the steps on random sizes.

namespace rimo {

namespace {

struct Column
{
    std::uint32_t left;  // byte offset of x0 in a row
    std::uint32_t right; // byte offset of x1
    std::uint32_t fx;
};

// MulDiv(fx, w, 65536) for fx < 65536 and w <= 65536: the product and the half fit in 32 bits.
inline std::uint32_t splitWeight(std::uint32_t fx, std::uint32_t w)
{
    return (fx * w + 32768u) >> 16;
}

void resampleRow(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t wA, std::uint32_t wB,
                 const std::vector<Column>& columns, std::uint8_t* out)
{
    for (const Column& c : columns) {
        const std::uint32_t wA1 = splitWeight(c.fx, wA);
        const std::uint32_t wA0 = wA - wA1;
        const std::uint32_t wB1 = splitWeight(c.fx, wB);
        const std::uint32_t wB0 = wB - wB1;
        const std::uint8_t* a0 = a + c.left;
        const std::uint8_t* a1 = a + c.right;
        const std::uint8_t* b0 = b + c.left;
        const std::uint8_t* b1 = b + c.right;
        for (int ch = 0; ch < Bitmap::kBytesPerPixel; ++ch)
            out[ch] =
                static_cast<std::uint8_t>((a0[ch] * wA0 + a1[ch] * wA1 + b0[ch] * wB0 + b1[ch] * wB1) >> 16);
        out += Bitmap::kBytesPerPixel;
    }
}

} // namespace

void ResampleBitmap(const Bitmap& src, Bitmap& dst)
{
    if (src.width() == dst.width() && src.height() == dst.height()) {
        dst = src;
        return;
    }
    if (dst.isEmpty())
        return;
    if (src.isEmpty()) {
        throw Error(QStringLiteral("Cannot resample an empty picture (%1 x %2) to %3 x %4 pixels")
                        .arg(src.width())
                        .arg(src.height())
                        .arg(dst.width())
                        .arg(dst.height()));
    }
    if (src.width() > kMaxResampleSide || src.height() > kMaxResampleSide || dst.width() > kMaxResampleSide ||
        dst.height() > kMaxResampleSide) {
        throw Error(
            QStringLiteral("Cannot resample pictures wider or higher than %1 pixels").arg(kMaxResampleSide));
    }

    const auto srcW = static_cast<std::uint32_t>(src.width());
    const auto srcH = static_cast<std::uint32_t>(src.height());
    const auto dstW = static_cast<std::uint32_t>(dst.width());
    const auto dstH = static_cast<std::uint32_t>(dst.height());
    const std::uint32_t xscale = MulDiv(srcW - 1, 65536, dstW);
    const std::uint32_t yscale = MulDiv(srcH - 1, 65536, dstH);

    std::vector<Column> columns(dstW);
    std::uint32_t sx = 0;
    for (Column& c : columns) {
        const std::uint32_t x0 = sx >> 16;
        const std::uint32_t x1 = x0 < srcW - 1 ? x0 + 1 : x0;
        c = {x0 * Bitmap::kBytesPerPixel, x1 * Bitmap::kBytesPerPixel, sx & 0xFFFF};
        sx += xscale;
    }

    std::uint32_t sy = 0;
    for (std::uint32_t r = 0; r < dstH; ++r) {
        const std::uint32_t y0 = sy >> 16;
        const std::uint32_t fy = sy & 0xFFFF;
        const std::uint8_t* a = src.row(static_cast<int>(y0));
        const std::uint8_t* b = y0 < srcH - 1 ? src.row(static_cast<int>(y0 + 1)) : a;
        resampleRow(a, b, 65536 - fy, fy + 1, columns, dst.row(static_cast<int>(r)));
        sy += yscale;
    }
}

} // namespace rimo
