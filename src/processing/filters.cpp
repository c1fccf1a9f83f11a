// Unsharp mask, vertical smoothing, gradient removal and the commands' work
// on the global buffers. The convolution engine is in convolution.cpp, the
// median in median.cpp.
#include "processing/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/host.h"
#include "app/state.h"
#include "processing/contrast.h"
#include "processing/filter_simd.h"

#if QUILLON_AVX2_KERNELS
#include <immintrin.h>
#endif
#include "store/buffers.h"

namespace {
void advance_progress_window()
{
    host().progress_update();
    ++progress;
}

void advance_progress()
{
    ++progress;
}

int first_row_of(const unsigned short* frame)
{
    return frame_labelled(frame) ? 10 : 0;
}

// One row of the unsharp mask: `cols` holds the vertical sums of the box's
// rows for every column; the box sum at x is the sum of 2·rad + 1 of them,
// built in `box` one column offset at a time so the loops vectorise.
QUILLON_CLONES void unsharp_row(const std::int32_t* __restrict cols, const unsigned short* __restrict s,
    unsigned short* __restrict out, std::int32_t* __restrict box, std::int32_t* __restrict scratch, int from,
    int to, int rad, int pwr, double divisor)
{
    const int n = to - from + 1;
    const std::int32_t* first = cols + from - rad;
    // The sum of k = 2·rad + 1 neighbouring columns from sums of 1, 2, 4 and
    // 8 columns, one pass each: a handful of vector passes for any radius.
    const int k = 2 * rad + 1;
    const int span = n + k; // columns any partial sum below may reach
    const std::int32_t* parts[32] = { first };
    int top = 0;
    for (int level = 1, width = 2; width <= k; ++level, width *= 2) {
        top = level;
        std::int32_t* next = scratch + static_cast<std::ptrdiff_t>(level - 1) * span;
        const std::int32_t* prev = parts[level - 1];
        const int half = width / 2;
        const int count = span - width;
        for (int x = 0; x < count; ++x)
            next[x] = prev[x] + prev[x + half];
        parts[level] = next;
    }
    for (int x = 0; x < n; ++x)
        box[x] = 0;
    int offset = 0;
    for (int level = top; level >= 0; --level) {
        if (!(k & (1 << level)))
            continue;
        const std::int32_t* part = parts[level] + offset;
        for (int x = 0; x < n; ++x)
            box[x] += part[x];
        offset += 1 << level;
    }
    const unsigned short* own = s + from;
    unsigned short* dst = out + from;
    // Single precision gives the same truncated mean as the double division
    // while the divisor is at most 225 (radius 7): the sums stay below 2^24
    // and a fraction of at least 1/225 cannot round up to the next integer.
    if (divisor <= 225.0) {
        const auto d = static_cast<float>(divisor);
        for (int x = 0; x < n; ++x) {
            const auto mean = static_cast<std::int32_t>(static_cast<float>(box[x]) / d);
            const std::int32_t p = own[x];
            const std::int32_t v = p + (p - mean) * pwr;
            dst[x] = v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
        }
        return;
    }
    for (int x = 0; x < n; ++x) {
        const auto mean = static_cast<std::int32_t>(box[x] / divisor);
        const std::int32_t p = own[x];
        const std::int32_t v = p + (p - mean) * pwr;
        dst[x] = v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
    }
}

QUILLON_CLONES void add_row(std::int32_t* cols, const unsigned short* add, const unsigned short* sub, int n)
{
    for (int x = 0; x < n; ++x)
        cols[x] += static_cast<std::int32_t>(add[x]) - static_cast<std::int32_t>(sub[x]);
}

// The vertical sums of the 2·rad + 1 rows around y0, column by column: where
// the running sums of both unsharp paths start.
void sum_columns(const unsigned short* src, int width, int y0, int rad, std::int32_t* cols)
{
    for (int i = -rad; i <= rad; ++i) {
        const unsigned short* row = src + static_cast<std::ptrdiff_t>(y0 + i) * width;
        for (int x = 0; x < width; ++x)
            cols[x] += row[x];
    }
}

#if QUILLON_AVX2_KERNELS
#define QUILLON_AVX2_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline

// Inclusive prefix sum of eight 32-bit lanes, plus `carry` in every lane.
QUILLON_AVX2_INLINE __m256i prefix8(__m256i v, __m256i carry)
{
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
    // The low half's total into every lane of the high half.
    const __m256i low_total = _mm256_permute2x128_si256(_mm256_shuffle_epi32(v, 0xFF), v, 0x08);
    return _mm256_add_epi32(_mm256_add_epi32(v, low_total), carry);
}

// Brings the vertical sums to the next row (when `Update`) and sets
// prefix[x] to the sum of cols[0 .. x - 1]. The prefix wraps modulo 2^32; a
// difference of two of them is still the exact box sum.
template <bool Update>
[[gnu::target("avx2")]] void column_prefix(std::int32_t* cols, std::uint32_t* prefix,
    const unsigned short* add, const unsigned short* sub, int width)
{
    __m256i carry = _mm256_setzero_si256();
    const __m256i last = _mm256_set1_epi32(7);
    prefix[0] = 0;
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        auto* at = reinterpret_cast<__m256i*>(cols + x);
        __m256i c = _mm256_loadu_si256(at);
        if constexpr (Update) {
            const __m256i a
                = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(add + x)));
            const __m256i s
                = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sub + x)));
            c = _mm256_sub_epi32(_mm256_add_epi32(c, a), s);
            _mm256_storeu_si256(at, c);
        }
        const __m256i p = prefix8(c, carry);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(prefix + x + 1), p);
        carry = _mm256_permutevar8x32_epi32(p, last);
    }
    std::uint32_t run = prefix[x];
    for (; x < width; ++x) {
        if constexpr (Update)
            cols[x] += static_cast<std::int32_t>(add[x]) - static_cast<std::int32_t>(sub[x]);
        run += static_cast<std::uint32_t>(cols[x]);
        prefix[x + 1] = run;
    }
}

// Eight results of the unsharp mask from column x on, before packing: the
// box sum from two prefix sums, the mean as floor(sum x magic / 2^32).
QUILLON_AVX2_INLINE __m256i unsharp8(
    const std::uint32_t* prefix, const unsigned short* s, int x, int rad, __m256i magic, __m256i power)
{
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x + rad + 1));
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(prefix + x - rad));
    const __m256i box = _mm256_sub_epi32(hi, lo);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(box, magic), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(box, 32), magic);
    const __m256i mean = _mm256_blend_epi32(even, odd, 0xAA);
    const __m256i p = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
    const __m256i v = _mm256_add_epi32(p, _mm256_mullo_epi32(_mm256_sub_epi32(p, mean), power));
    // Above 65280 becomes 65535 (or more, which the packing saturates).
    return _mm256_or_si256(v, _mm256_srli_epi32(_mm256_cmpgt_epi32(v, _mm256_set1_epi32(65280)), 16));
}

// Columns from..to of one row, at least 16 of them; the last group of 16
// overlaps the one before rather than run short.
[[gnu::target("avx2")]] void unsharp_span(const std::uint32_t* prefix, const unsigned short* s,
    unsigned short* out, int from, int to, int rad, int pwr, std::uint32_t magic)
{
    const __m256i m = _mm256_set1_epi32(static_cast<int>(magic));
    const __m256i power = _mm256_set1_epi32(pwr);
    for (int x = from;; x += 16) {
        x = std::min(x, to - 15);
        const __m256i a = unsharp8(prefix, s, x, rad, m, power);
        const __m256i b = unsharp8(prefix, s, x + 8, rad, m, power);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
        if (x == to - 15)
            break;
    }
}

// The unsharp mask for radius 1..7 written for AVX2: per row, one pass
// moves the vertical sums and takes their prefix sums, a second forms each
// box from two prefix sums and divides by multiplying. floor(n x ceil(2^32
// / d) / 2^32) is floor(n / d) for every box sum n < 2^16 d when d <= 256,
// the same integer the division in double gives. False (nothing touched)
// without AVX2 or outside those radii.
bool unsharp_rows_avx2(const unsigned short* src, unsigned short* dst, int width, int y0, int y1, int x0,
    int x1, int rad, int pwr, RowHook row_hook)
{
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    // The power is bounded so (p - mean) x power stays in 32 bits.
    if (!has_avx2 || rad > 7 || pwr < -32767 || pwr > 32767)
        return false;
    const int d = (2 * rad + 1) * (2 * rad + 1);
    const auto magic = static_cast<std::uint32_t>((std::uint64_t { 1 } << 32) / static_cast<unsigned>(d) + 1);
    std::vector<std::int32_t> cols(static_cast<std::size_t>(width), 0);
    std::vector<std::uint32_t> prefix(static_cast<std::size_t>(width) + 1, 0);
    sum_columns(src, width, y0, rad, cols.data());
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        if (y > y0)
            column_prefix<true>(cols.data(), prefix.data(),
                src + static_cast<std::ptrdiff_t>(y + rad) * width,
                src + static_cast<std::ptrdiff_t>(y - rad - 1) * width, width);
        else
            column_prefix<false>(cols.data(), prefix.data(), nullptr, nullptr, width);
        const unsigned short* s = src + static_cast<std::ptrdiff_t>(y) * width;
        unsigned short* out = dst + static_cast<std::ptrdiff_t>(y) * width;
        if (x1 - x0 + 1 >= 16) {
            unsharp_span(prefix.data(), s, out, x0, x1, rad, pwr, magic);
            continue;
        }
        for (int x = x0; x <= x1; ++x) {
            const auto mean = static_cast<std::int32_t>(
                (prefix[x + rad + 1] - prefix[x - rad]) / static_cast<unsigned>(d));
            const std::int32_t p = s[x];
            const std::int32_t v = p + (p - mean) * pwr;
            out[x] = v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
        }
    }
    return true;
}
#else
bool unsharp_rows_avx2(const unsigned short*, unsigned short*, int, int, int, int, int, int, int, RowHook)
{
    return false;
}
#endif
} // namespace

void unsharp_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, int pwr, RowHook row_hook)
{
    const int y0 = first_row + rad;
    const int y1 = height - rad - 1;
    // The sliding box as defined stops one column short of the convolution's.
    const int x0 = rad;
    const int x1 = width - 2 - rad;
    if (rad < 1 || y0 > y1)
        return;
    if (unsharp_rows_avx2(src, dst, width, y0, y1, x0, x1, rad, pwr, row_hook))
        return;
    // The mean divides by (2·rad + 1)² held as a double.
    const double divisor = std::pow(2.0 * rad + 1.0, 2.0);
    // Running vertical sums: one row added and one removed per output row.
    std::vector<std::int32_t> cols(static_cast<std::size_t>(width), 0);
    std::vector<std::int32_t> box(static_cast<std::size_t>(width), 0);
    int levels = 0;
    while ((2 << levels) <= 2 * rad + 1)
        ++levels;
    std::vector<std::int32_t> scratch(static_cast<std::size_t>(levels) * (width + 2 * rad + 1), 0);
    sum_columns(src, width, y0, rad, cols.data());
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        if (y > y0)
            add_row(cols.data(), src + static_cast<std::ptrdiff_t>(y + rad) * width,
                src + static_cast<std::ptrdiff_t>(y - rad - 1) * width, width);
        if (x0 <= x1)
            unsharp_row(cols.data(), src + static_cast<std::ptrdiff_t>(y) * width,
                dst + static_cast<std::ptrdiff_t>(y) * width, box.data(), scratch.data(), x0, x1, rad, pwr,
                divisor);
    }
}

void run_enhance(int rad, int masknum, int divisor)
{
    point_buffers();
    std::snprintf(progress_caption, sizeof progress_caption, "%s", "FILTER PROGRESS");
    host().progress_open();
    backup_image(image, trial);
    const int st = first_row_of(image);
    progress = st + rad;
    if (masknum >= 0 && masknum < 6)
        convolve_frame(
            image, trial, width1, height1, st, rad, mask[masknum], divisor, advance_progress_window);
    copy_image(image, trial);
    host().progress_close();
}

void unsharp_mask(int rad, int pwr)
{
    point_buffers();
    std::snprintf(progress_caption, sizeof progress_caption, "%s", "UNSHARP MASK PROGRESS");
    host().progress_open();
    backup_image(image, trial);
    const int st = first_row_of(image);
    progress = 0;
    unsharp_frame(image, trial, width1, height1, st, rad, pwr, advance_progress_window);
    copy_image(image, trial);
    host().progress_close();
}

void run_median_enhance(unsigned short* fredptr, unsigned short* trialptr, unsigned short* undoptr)
{
    const int st = first_row_of(fredptr);
    undo_image(fredptr, undoptr);
    backup_image(fredptr, trialptr);
    const int rad = std::clamp(static_cast<int>(white), 1, 3);
    // The power is held in single precision: 0.7 is 0.699999988.
    const auto power = static_cast<float>(black * 0.1);
    progress = st + rad;
    median_frame(fredptr, trialptr, width1, height1, st, rad, power, advance_progress);
    copy_image(fredptr, trialptr);
    char text[history_text];
    std::snprintf(
        text, sizeof text, "Median Filter : rad %u ,power %1.1f", static_cast<unsigned>(white), black * 0.1);
    append_history(text);
}

void venetian_blind(unsigned short* fredptr, unsigned short* undoptr)
{
    undo_image(fredptr, undoptr);
    venetian_flipflop = venetian_flipflop ? 0 : 1;
    const int st = first_row_of(fredptr);
    const int w = width1;
    auto pair = [&](int y, int other) {
        unsigned short* out = fredptr + static_cast<std::ptrdiff_t>(y) * w;
        const unsigned short* a = undoptr + static_cast<std::ptrdiff_t>(y) * w;
        const unsigned short* b = undoptr + static_cast<std::ptrdiff_t>(other) * w;
        for (int x = 0; x < w - 1; ++x)
            out[x] = static_cast<unsigned short>((a[x] + b[x]) / 2);
    };
    if (venetian_flipflop == 1) {
        for (int y = st; y <= height1 - 2; ++y)
            pair(y, y + 1);
    } else {
        for (int y = height1 - 1; y >= st + 1; --y)
            pair(y, y - 1);
    }
    append_history("Vertical Smoothing Filter");
}

namespace {
// Mode of sample / 16 over a 40 x 40 box: the first bin with the strictly
// largest count among bins first..4095, `first` when none is occupied.
int box_mode(const unsigned short* frame, int row, int col, int first)
{
    std::vector<int> bins(4096, 0);
    for (int y = row; y < row + 40; ++y)
        for (int x = col; x < col + 40; ++x)
            ++bins[frame[static_cast<std::ptrdiff_t>(y) * width1 + x] >> 4];
    int best = first;
    int best_count = 0;
    for (int k = first; k < 4096; ++k) {
        if (bins[k] > best_count) {
            best_count = bins[k];
            best = k;
        }
    }
    return best;
}
} // namespace

void gradient_filter(unsigned short* fredptr)
{
    const int right = binned ? 320 : 700;
    const int down = binned ? 240 : 520;
    const double n = binned ? 109044.0 : 436160.0;
    const int a = box_mode(fredptr, 10, 20, 0);
    const int b = box_mode(fredptr, 10, right, 0);
    const int c = box_mode(fredptr, down, 20, 1);
    const int d = box_mode(fredptr, down, right, 1);
    const int m = std::min({ a, b, c, d });
    const double a1 = (a - m) * 16.0, b1 = (b - m) * 16.0, c1 = (c - m) * 16.0, d1 = (d - m) * 16.0;
    const double hf = static_cast<double>(height1f);
    const double wf = static_cast<double>(width1f);
    const int st = first_row_of(fredptr);
    for (int y = st; y < height1; ++y) {
        unsigned short* row = fredptr + static_cast<std::ptrdiff_t>(y) * width1;
        for (int x = 0; x < width1; ++x) {
            const double g = (hf - y) * (wf - x) * a1 / n + (hf - y) * x * b1 / n + (wf - x) * y * c1 / n
                + static_cast<double>(y) * x * d1 / n;
            row[x] = row[x] > g ? static_cast<unsigned short>(row[x] - static_cast<int>(g)) : 0;
        }
    }
}
