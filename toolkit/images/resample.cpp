#include "toolkit/images/resample.h"

#include "core/error.h"

#include <cstdint>
#include <vector>

// The filter: with xscale = MulDiv(src width - 1, 65536, dst width) (and yscale alike), destination
// column k samples the source at sx = k * xscale in 16.16 fixed point, between columns x0 = sx >> 16
// and x0 + 1 (x0 again at the last column), with fraction fx = sx & 0xFFFF; rows likewise with fy.
// Row A weighs 65536 - fy and row B fy + 1, so the two add up to 65537 and a uniform value v comes
// back as (v * 65537) >> 16 = v. Each row weight w splits into w1 = MulDiv(fx, w, 65536) for the right
// column and w - w1 for the left one, and a channel is the sum of the four products shifted right by
// 16. The largest sum, 255 * 65537, fits in 32 bits.
//
// This version keeps the arithmetic and reorders the work so that a compiler can vectorise it. For
// each pair of source rows it gathers, once, the four neighbours of every destination byte into
// contiguous arrays (an enlargement reuses them for several destination rows); each destination row
// is then one pass over plain arrays with the column fractions repeated per byte. The tests hold it
// to a plain transcription of the steps on random sizes.

namespace rimo {

namespace {

// The four neighbours of each destination byte, for one pair of source rows.
struct Neighbours
{
    std::vector<std::uint8_t> a0, a1, b0, b1;
};

void gather(const std::uint8_t* a, const std::uint8_t* b, const std::vector<std::uint32_t>& left,
            const std::vector<std::uint32_t>& right, Neighbours& n)
{
    std::size_t i = 0;
    for (std::size_t k = 0; k < left.size(); ++k) {
        for (std::size_t ch = 0; ch < Bitmap::kBytesPerPixel; ++ch, ++i) {
            n.a0[i] = a[left[k] + ch];
            n.a1[i] = a[right[k] + ch];
            n.b0[i] = b[left[k] + ch];
            n.b1[i] = b[right[k] + ch];
        }
    }
}

// One destination row. wA1 = MulDiv(fx, wA, 65536) is (fx * wA + 32768) >> 16: fx < 65536 and
// wA <= 65536, so the product and the half fit in 32 bits (likewise for wB).
[[gnu::target_clones("avx2", "default")]] void blendRow(const Neighbours& n, const std::uint32_t* fx,
                                                        std::uint32_t wA, std::uint32_t wB, std::uint8_t* out,
                                                        std::size_t bytes)
{
    const std::uint8_t* a0 = n.a0.data();
    const std::uint8_t* a1 = n.a1.data();
    const std::uint8_t* b0 = n.b0.data();
    const std::uint8_t* b1 = n.b1.data();
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

    Neighbours neighbours{std::vector<std::uint8_t>(rowBytes), std::vector<std::uint8_t>(rowBytes),
                          std::vector<std::uint8_t>(rowBytes), std::vector<std::uint8_t>(rowBytes)};
    std::uint32_t gatheredRow = UINT32_MAX;
    std::uint32_t sy = 0;
    for (std::uint32_t r = 0; r < dstH; ++r) {
        const std::uint32_t y0 = sy >> 16;
        const std::uint32_t fy = sy & 0xFFFF;
        if (y0 != gatheredRow) {
            const std::uint8_t* a = src.row(static_cast<int>(y0));
            const std::uint8_t* b = y0 < srcH - 1 ? src.row(static_cast<int>(y0 + 1)) : a;
            gather(a, b, left, right, neighbours);
            gatheredRow = y0;
        }
        blendRow(neighbours, fx.data(), 65536 - fy, fy + 1, dst.row(static_cast<int>(r)), rowBytes);
        sy += yscale;
    }
}

} // namespace rimo
