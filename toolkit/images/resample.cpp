#include "toolkit/images/resample.h"

#include "core/error.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// The filter: with xscale = MulDiv(src width - 1, 65536, dst width) (and yscale alike), destination
// column k samples the source at sx = k * xscale in 16.16 fixed point, between columns x0 = sx >> 16
// and x0 + 1 (x0 again at the last column), with fraction fx = sx & 0xFFFF; rows likewise with fy.
// Row A weighs 65536 - fy and row B fy + 1, so the two add up to 65537 and a uniform value v comes
// back as (v * 65537) >> 16 = v. Each row weight w splits into w1 = MulDiv(fx, w, 65536) for the right
// column and w - w1 for the left one, and a channel is the sum of the four products shifted right by
// 16. The largest sum, 255 * 65537, fits in 32 bits.
//
// This version keeps the arithmetic and reorders the work so that a compiler can vectorise it. Each
// source row it needs is gathered once into two contiguous arrays, the left and the right neighbour
// of every destination byte (an enlargement reuses them for several destination rows); each
// destination row is then one pass over plain arrays with the column fractions repeated per byte. The tests
// hold it to a plain transcription of the steps on random sizes.

namespace rimo {

namespace {

// One source row gathered for a destination row: for each destination byte, the byte of the left
// neighbour (x0) and of the right one (x1). One spare byte at the end takes the fourth byte of the
// last pixel's four-byte copy.
struct GatheredRow
{
    std::vector<std::uint8_t> left, right;
    std::uint32_t row = UINT32_MAX; // the source row held, UINT32_MAX for none
};

void gather(const Bitmap& src, std::uint32_t y, const std::vector<std::uint32_t>& left,
            const std::vector<std::uint32_t>& right, GatheredRow& g)
{
    const std::uint8_t* row = src.row(static_cast<int>(y));
    const std::size_t rowBytes = src.rowBytes();
    std::uint8_t* l = g.left.data();
    std::uint8_t* r = g.right.data();
    for (std::size_t k = 0; k < left.size(); ++k, l += Bitmap::kBytesPerPixel, r += Bitmap::kBytesPerPixel) {
        // Pixels copied four bytes at a time, except where that would read past the row.
        if (right[k] + 4 <= rowBytes) {
            std::memcpy(l, row + left[k], 4);
            std::memcpy(r, row + right[k], 4);
        } else {
            std::memcpy(l, row + left[k], Bitmap::kBytesPerPixel);
            std::memcpy(r, row + right[k], Bitmap::kBytesPerPixel);
        }
    }
    g.row = y;
}

// One destination row. wA1 = MulDiv(fx, wA, 65536) is (fx * wA + 32768) >> 16: fx < 65536 and
// wA <= 65536, so the product and the half fit in 32 bits (likewise for wB).
[[gnu::target_clones("avx2", "default")]] void blendRow(const GatheredRow& a, const GatheredRow& b,
                                                        const std::uint32_t* fx, std::uint32_t wA,
                                                        std::uint32_t wB, std::uint8_t* out,
                                                        std::size_t bytes)
{
    const std::uint8_t* a0 = a.left.data();
    const std::uint8_t* a1 = a.right.data();
    const std::uint8_t* b0 = b.left.data();
    const std::uint8_t* b1 = b.right.data();
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::uint32_t wA1 = (fx[i] * wA + 32768u) >> 16;
        const std::uint32_t wB1 = (fx[i] * wB + 32768u) >> 16;
        out[i] = static_cast<std::uint8_t>(
            (a0[i] * (wA - wA1) + a1[i] * wA1 + b0[i] * (wB - wB1) + b1[i] * wB1) >> 16);
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

    const std::size_t rowBytes = dst.rowBytes();
    std::vector<std::uint32_t> left(dstW), right(dstW), fx(rowBytes);
    std::uint32_t sx = 0;
    for (std::uint32_t k = 0; k < dstW; ++k) {
        const std::uint32_t x0 = sx >> 16;
        const std::uint32_t x1 = x0 < srcW - 1 ? x0 + 1 : x0;
        left[k] = x0 * Bitmap::kBytesPerPixel;
        right[k] = x1 * Bitmap::kBytesPerPixel;
        for (std::size_t ch = 0; ch < Bitmap::kBytesPerPixel; ++ch)
            fx[k * Bitmap::kBytesPerPixel + ch] = sx & 0xFFFF;
        sx += xscale;
    }

    // Rows A and B of the current destination row. Enlarging moves down one source row at a time,
    // so the old B is usually the new A and only one row is gathered.
    GatheredRow upper{std::vector<std::uint8_t>(rowBytes + 1), std::vector<std::uint8_t>(rowBytes + 1)};
    GatheredRow lower{std::vector<std::uint8_t>(rowBytes + 1), std::vector<std::uint8_t>(rowBytes + 1)};
    std::uint32_t sy = 0;
    for (std::uint32_t r = 0; r < dstH; ++r) {
        const std::uint32_t y0 = sy >> 16;
        const std::uint32_t fy = sy & 0xFFFF;
        if (upper.row != y0) {
            if (lower.row == y0)
                std::swap(upper, lower);
            else
                gather(src, y0, left, right, upper);
        }
        const bool lastRow = y0 == srcH - 1;
        if (!lastRow && lower.row != y0 + 1)
            gather(src, y0 + 1, left, right, lower);
        blendRow(upper, lastRow ? upper : lower, fx.data(), 65536 - fy, fy + 1, dst.row(static_cast<int>(r)),
                 rowBytes);
        sy += yscale;
    }
}

} // namespace rimo
