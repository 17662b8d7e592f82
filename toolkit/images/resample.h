#pragma once
// The bilinear resampler of 24-bit bitmaps in 16.16 fixed point. Its weights, integer steps and edge
// rule are fixed so that results match pixel for pixel: see resample.cpp.

#include "toolkit/images/bitmap.h"

#include <cstdint>

namespace rimo {

// a * b / d with a 64-bit intermediate, halves rounded away from zero (the platform's MulDiv on
// non-negative values). `d` must not be 0; the result must fit in 32 bits.
constexpr std::uint32_t MulDiv(std::uint32_t a, std::uint32_t b, std::uint32_t d)
{
    return static_cast<std::uint32_t>((std::uint64_t{a} * b + d / 2) / d);
}

// The largest source or destination side: the source position runs in 16.16 fixed point in 32 bits.
constexpr int kMaxResampleSide = 65536;

// Fills `dst`, already sized, from `src`. The same size copies; a destination without pixels gets
// none. Raises rimo::Error for an empty source with a non-empty destination (there is nothing to
// sample) and for a side beyond kMaxResampleSide.
void ResampleBitmap(const Bitmap& src, Bitmap& dst);

} // namespace rimo
