// The 3 x 3 thresholded median, 16 pixels per step with no branches.
// Each row's columns of three are sorted once into low, middle and high
// (shared by the three pixels that use each column); the median of the nine
// is then the median of the largest low, the middle middle and the smallest
// high, and the extremes are the largest high and the smallest low.
#include "processing/median3_avx2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "processing/filter_simd.h"

std::int64_t median3_scaled_power(float power)
{
    if (!(power > 0.0f))
        return 0; // limit 0 for every range; a negative limit acts the same
    const double scaled = std::ldexp(static_cast<double>(power), 32);
    if (scaled >= 4294967296.0 || scaled != std::floor(scaled))
        return -1;
    return static_cast<std::int64_t>(scaled);
}

#if QUILLON_AVX2_KERNELS
#include <immintrin.h>

namespace {
#define QUILLON_AVX2_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline

QUILLON_AVX2_INLINE __m256i load(const unsigned short* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
QUILLON_AVX2_INLINE void store(unsigned short* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Sorts each column of rows a, b, c. At least 16 columns: the last group
// overlaps the one before rather than run short.
[[gnu::target("avx2")]] void sort_columns(const unsigned short* a, const unsigned short* b,
    const unsigned short* c, int width, unsigned short* low, unsigned short* mid, unsigned short* high)
{
    for (int x = 0;; x += 16) {
        x = std::min(x, width - 16);
        const __m256i va = load(a + x), vb = load(b + x), vc = load(c + x);
        const __m256i lo1 = _mm256_min_epu16(va, vb), hi1 = _mm256_max_epu16(va, vb);
        const __m256i hi2 = _mm256_max_epu16(lo1, vc);
        store(low + x, _mm256_min_epu16(lo1, vc));
        store(mid + x, _mm256_min_epu16(hi1, hi2));
        store(high + x, _mm256_max_epu16(hi1, hi2));
        if (x == width - 16)
            break;
    }
}

// Row `own` for columns 1..width - 2 from its sorted columns.
[[gnu::target("avx2")]] void median_row(const unsigned short* low, const unsigned short* mid,
    const unsigned short* high, const unsigned short* own_row, unsigned short* out, int width,
    std::uint32_t scaled)
{
    const __m256i p_high = _mm256_set1_epi16(static_cast<short>(scaled >> 16));
    const __m256i p_low = _mm256_set1_epi16(static_cast<short>(scaled & 0xFFFF));
    const __m256i ones = _mm256_set1_epi16(-1), zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i floor_min = _mm256_set1_epi16(static_cast<short>(65000)); // the minimum starts at 65000
    const int last = width - 17;
    for (int x = 1;; x += 16) {
        x = std::min(x, last);
        const __m256i l0 = load(low + x - 1), l1 = load(low + x), l2 = load(low + x + 1);
        const __m256i m0 = load(mid + x - 1), m1 = load(mid + x), m2 = load(mid + x + 1);
        const __m256i h0 = load(high + x - 1), h1 = load(high + x), h2 = load(high + x + 1);
        const __m256i low_max = _mm256_max_epu16(_mm256_max_epu16(l0, l1), l2);
        const __m256i high_min = _mm256_min_epu16(_mm256_min_epu16(h0, h1), h2);
        const __m256i mid_med
            = _mm256_max_epu16(_mm256_min_epu16(m0, m1), _mm256_min_epu16(_mm256_max_epu16(m0, m1), m2));
        const __m256i median = _mm256_max_epu16(_mm256_min_epu16(low_max, mid_med),
            _mm256_min_epu16(_mm256_max_epu16(low_max, mid_med), high_min));
        const __m256i top = _mm256_max_epu16(_mm256_max_epu16(h0, h1), h2);
        const __m256i bottom = _mm256_min_epu16(_mm256_min_epu16(_mm256_min_epu16(l0, l1), l2), floor_min);
        const __m256i range = _mm256_sub_epi16(top, bottom);
        const __m256i own = load(own_row + x);
        const __m256i diff = _mm256_or_si256(_mm256_subs_epu16(median, own), _mm256_subs_epu16(own, median));
        // range x scaled is a 48-bit number in three 16-bit words; the limit
        // is its top word, plus the carry out of the middle word's sum.
        const __m256i top_word = _mm256_mulhi_epu16(range, p_high);
        const __m256i middle = _mm256_mullo_epi16(range, p_high);
        const __m256i middle_carry = _mm256_mulhi_epu16(range, p_low);
        // No carry where middle_carry <= 65535 - middle: -1 there, else 0.
        const __m256i no_carry
            = _mm256_cmpeq_epi16(_mm256_subs_epu16(middle_carry, _mm256_xor_si256(middle, ones)), zero);
        const __m256i limit = _mm256_add_epi16(_mm256_add_epi16(top_word, one), no_carry);
        const __m256i keep = _mm256_cmpeq_epi16(_mm256_subs_epu16(diff, limit), zero);
        store(out + x, _mm256_blendv_epi8(median, own, keep));
        if (x == last)
            break;
    }
}
} // namespace

bool median3_rows_avx2(const unsigned short* src, unsigned short* dst, int width, int y0, int y1,
    std::uint32_t scaled, RowHook row_hook)
{
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    if (!has_avx2 || width < 18)
        return false;
    std::vector<unsigned short> sorted(3 * static_cast<std::size_t>(width));
    unsigned short* low = sorted.data();
    unsigned short* mid = low + width;
    unsigned short* high = mid + width;
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        const unsigned short* row = src + static_cast<std::ptrdiff_t>(y) * width;
        sort_columns(row - width, row, row + width, width, low, mid, high);
        median_row(low, mid, high, row, dst + static_cast<std::ptrdiff_t>(y) * width, width, scaled);
    }
    return true;
}
#else
bool median3_rows_avx2(const unsigned short*, unsigned short*, int, int, int, std::uint32_t, RowHook)
{
    return false;
}
#endif
