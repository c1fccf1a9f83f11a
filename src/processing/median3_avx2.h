// The 3 x 3 thresholded median written directly for AVX2: the common case
// of the median filter (radius 1, power below 1) on frames at least 18
// pixels wide.
#pragma once

#include <cstdint>

#include "processing/filters.h"

// The power as a 32-bit binary fraction: power x 2^32 when that is a whole
// number below 2^32 (every power from 2^-9 up to, not including, 1), 0 for
// powers of 0 or less; otherwise -1.
std::int64_t median3_scaled_power(float power);

// Rows y0..y1 of the radius-1 median from `src` into `dst`, columns
// 1..width - 2, with the limit trunc(range x scaled / 2^32). Returns false,
// touching nothing, when the processor has no AVX2 or the frame is
// narrower than 18 pixels; the caller then takes the general path.
bool median3_rows_avx2(const unsigned short* src, unsigned short* dst, int width, int y0, int y1,
    std::uint32_t scaled, RowHook row_hook);
