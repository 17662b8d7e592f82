#pragma once
// Shared pieces of the picture fuzz targets: an invariant check that stops the run, and a resample
// of whatever decoded, so random picture sizes reach the resampler too.

#include "core/error.h"
#include "fuzzcheck.h"
#include "toolkit/images/resample.h"

#include <cstdio>
#include <cstdlib>

inline void checkDecoded(const rimo::Bitmap& bitmap)
{
    FUZZ_CHECK(!bitmap.isEmpty());
    FUZZ_CHECK(std::int64_t{bitmap.width()} * bitmap.height() <= rimo::Bitmap::kMaxPixels);
    // A corner pixel is readable (ASan checks the row storage).
    volatile std::uint8_t last = bitmap.row(bitmap.height() - 1)[bitmap.rowBytes() - 1];
    (void)last;
    for (const auto& [w, h] : {std::pair{7, 5}, std::pair{bitmap.width() + 3, 2}}) {
        rimo::Bitmap small(w, h);
        try {
            rimo::ResampleBitmap(bitmap, small);
        } catch (const rimo::Error&) {
            FUZZ_CHECK(bitmap.width() > rimo::kMaxResampleSide || bitmap.height() > rimo::kMaxResampleSide ||
                       w > rimo::kMaxResampleSide);
        }
    }
}
