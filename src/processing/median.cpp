// The thresholded median. The median of each neighbourhood comes from a
// selection network (Batcher's odd-even merge sort, padded to a power of two
// and pruned to the one output needed), built at compile time and run on 16
// pixels at once, so every step is one vector min or max. The
// neighbourhood's maximum and minimum come from running column extremes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "processing/filter_simd.h"
#include "processing/filters.h"
#include "processing/median3_avx2.h"

#if defined(__GNUC__) && !defined(__clang__)
// The lane type is used only inside the cloned functions.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {
enum class Op : std::uint8_t { exchange, min_only, max_only };
struct Step {
    std::uint16_t lo = 0, hi = 0; // the smaller value goes to lo, the larger to hi
    Op op = Op::exchange;
};

// Networks are built at compile time in fixed arrays: at most 64 wires and
// 543 comparators (Batcher's count for 64).
constexpr int max_wires = 64;
constexpr std::size_t max_steps = 544;

struct FixedNetwork {
    std::array<Step, max_steps> steps {};
    std::size_t count = 0;
    int output = 0; // the slot holding the median
};

struct Comparators {
    std::array<std::pair<int, int>, max_steps> pairs {};
    std::size_t count = 0;
};

// Batcher's odd-even merge sort for `size` (a power of two) wires.
constexpr Comparators odd_even_merge_sort(int size)
{
    Comparators out;
    for (int p = 1; p < size; p *= 2)
        for (int k = p; k >= 1; k /= 2)
            for (int j = k % p; j + k < size; j += 2 * k)
                for (int i = 0; i < std::min(k, size - j - k); ++i)
                    if ((i + j) / (2 * p) == (i + j + k) / (2 * p))
                        out.pairs[out.count++] = { i + j, i + j + k };
    return out;
}

// The network for the median of `n` inputs with `low` padding wires below
// every input and the rest above: constant wires are folded away and steps
// that cannot reach the median output are dropped.
constexpr FixedNetwork prune(int n, int low)
{
    int size = 1;
    while (size < n)
        size *= 2;
    // wire -> physical slot (0..n-1), or -1 for "below all", -2 "above all".
    std::array<int, max_wires> slot {};
    for (int w = 0; w < size; ++w)
        slot[w] = w < low ? -1 : (w < low + n ? w - low : -2);
    FixedNetwork raw;
    const Comparators all = odd_even_merge_sort(size);
    for (std::size_t c = 0; c < all.count; ++c) {
        const auto [a, b] = all.pairs[c];
        const int sa = slot[a], sb = slot[b];
        if (sa == -1 || sb == -2)
            continue; // already in order
        if (sa == -2 || sb == -1) {
            std::swap(slot[a], slot[b]);
            continue;
        }
        raw.steps[raw.count++]
            = { static_cast<std::uint16_t>(sa), static_cast<std::uint16_t>(sb), Op::exchange };
    }
    FixedNetwork net;
    net.output = slot[low + n / 2];
    std::array<bool, max_wires> live {};
    live[net.output] = true;
    for (std::size_t r = raw.count; r-- > 0;) {
        Step s = raw.steps[r];
        const bool lo = live[s.lo], hi = live[s.hi];
        if (!lo && !hi)
            continue;
        s.op = lo && hi ? Op::exchange : (lo ? Op::min_only : Op::max_only);
        live[s.lo] = live[s.hi] = true;
        net.steps[net.count++] = s;
    }
    for (std::size_t i = 0, j = net.count; i + 1 < j; ++i, --j)
        std::swap(net.steps[i], net.steps[j - 1]);
    return net;
}

// All padding below the inputs: other splits save at most one step.
constexpr std::array<FixedNetwork, 3> networks = { prune(9, 0), prune(25, 0), prune(49, 0) };

constexpr int strip = 128;
// 16 samples at a time; the compiler maps it onto whatever the clone has.
// Only sample alignment is assumed, so the strips may sit anywhere.
using Lanes = unsigned short __attribute__((vector_size(32), aligned(2), may_alias));
constexpr int lanes_per_strip = strip / 16;

QUILLON_INLINE Lanes lanes_min(Lanes u, Lanes v)
{
    return u < v ? u : v;
}
QUILLON_INLINE Lanes lanes_max(Lanes u, Lanes v)
{
    return u < v ? v : u;
}

// The limit trunc(range x power) in 32-bit lanes. The power is a
// single-precision value M / 2^S with a 24-bit M; splitting M into its high
// and low 12 bits keeps every product below 2^32 and the result exact:
// trunc(range x M / 2^S) = (range x Mh + (range x Ml >> 12)) >> (S - 12).
struct Limit {
    std::uint32_t high = 0, low = 0;
    int shift = -1; // -1: no such form, use the double product
};

Limit limit_of(float power)
{
    Limit limit;
    if (!(power > 0.0f)) {
        limit.shift = 0; // limit 0 for every range
        return limit;
    }
    int exponent = 0;
    const float fraction = std::frexp(power, &exponent);
    const auto mantissa = static_cast<std::uint32_t>(std::ldexp(fraction, 24));
    const int shift = 24 - exponent;
    if (shift < 12 || shift > 40)
        return limit;
    limit.high = mantissa >> 12;
    limit.low = mantissa & 0xFFF;
    limit.shift = shift - 12;
    return limit;
}

template <int R, std::size_t I> QUILLON_INLINE void fixed_step(Lanes* w)
{
    constexpr Step s = networks[R - 1].steps[I];
    if constexpr (s.op == Op::exchange) {
        const Lanes u = w[s.lo], v = w[s.hi];
        w[s.lo] = lanes_min(u, v);
        w[s.hi] = lanes_max(u, v);
    } else if constexpr (s.op == Op::min_only) {
        w[s.lo] = lanes_min(w[s.lo], w[s.hi]);
    } else {
        w[s.hi] = lanes_max(w[s.lo], w[s.hi]);
    }
}

template <int R, std::size_t... I> QUILLON_INLINE void fixed_steps(Lanes* w, std::index_sequence<I...>)
{
    // A braced list rather than a fold: hundreds of steps would nest too
    // deeply for some compilers. Its elements run in order.
    [[maybe_unused]] const int order[] = { (fixed_step<R, I>(w), 0)... };
}

// 16 samples from any sample address (the lane type may alias samples).
QUILLON_INLINE const Lanes* as_lanes(const unsigned short* p)
{
    return reinterpret_cast<const Lanes*>(p);
}

// The neighbourhood of 16 pixels from `centre` on, one vector per offset.
template <int R, std::size_t... K>
QUILLON_INLINE void load_window(Lanes* w, const unsigned short* centre, int width, std::index_sequence<K...>)
{
    constexpr int side = 2 * R + 1;
    ((w[K]
         = *as_lanes(centre + (static_cast<int>(K) / side - R) * width + (static_cast<int>(K) % side - R))),
        ...);
}

// Eight 32-bit lanes, signed: every value stays below 2^30 and signed
// compares are native; 16 samples go through as two halves.
using Half = unsigned short __attribute__((vector_size(16), aligned(2)));
using Wide = std::int32_t __attribute__((vector_size(32), aligned(4)));
using HalfMask = short __attribute__((vector_size(16), aligned(2)));
using Mask = short __attribute__((vector_size(32), aligned(2)));

// Lanes where |median - own| exceeds trunc(range x power), for 8 pixels.
QUILLON_INLINE HalfMask exceeds(Half range16, Half diff16, std::int32_t high, std::int32_t low, int shift)
{
    const Wide range = __builtin_convertvector(range16, Wide);
    const Wide t = (range * high + ((range * low) >> 12)) >> shift;
    return __builtin_convertvector(__builtin_convertvector(diff16, Wide) > t, HalfMask);
}

// The median where it differs from the pixel by more than trunc(range x
// power), else the pixel itself, for 16 pixels.
QUILLON_INLINE Lanes keep_or_median(Lanes m, Lanes own, Lanes range, Limit limit)
{
    const auto high = static_cast<std::int32_t>(limit.high), low = static_cast<std::int32_t>(limit.low);
    const Lanes diff = m > own ? m - own : own - m;
    const HalfMask first = exceeds(__builtin_shufflevector(range, range, 0, 1, 2, 3, 4, 5, 6, 7),
        __builtin_shufflevector(diff, diff, 0, 1, 2, 3, 4, 5, 6, 7), high, low, limit.shift);
    const HalfMask second = exceeds(__builtin_shufflevector(range, range, 8, 9, 10, 11, 12, 13, 14, 15),
        __builtin_shufflevector(diff, diff, 8, 9, 10, 11, 12, 13, 14, 15), high, low, limit.shift);
    const Mask replace
        = __builtin_shufflevector(first, second, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return replace ? m : own;
}

// Row `y` for x0..x1 (at least 16 pixels), 16 pixels at a time; the last
// group overlaps the one before rather than run short (each output depends
// on `src` alone). Radius 1 takes its extremes from the window itself,
// larger radii from `top` and `bottom`.
template <int R>
QUILLON_INLINE void fixed_row(const unsigned short* src, int width, int y, int x0, int x1,
    const unsigned short* top, const unsigned short* bottom, unsigned short* dst, Limit limit)
{
    constexpr int side = 2 * R + 1;
    constexpr FixedNetwork net = networks[R - 1];
    const unsigned short* row = src + static_cast<std::ptrdiff_t>(y) * width;
    unsigned short* out = dst + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = x0;; x += 16) {
        x = std::min(x, x1 - 15);
        Lanes w[side * side];
        load_window<R>(w, row + x, width, std::make_index_sequence<side * side>());
        Lanes hi, lo;
        if constexpr (R == 1) {
            hi = w[0];
            lo = lanes_min(w[0], Lanes {} + 65000); // the minimum starts at 65000
            for (int k = 1; k < side * side; ++k) {
                hi = lanes_max(hi, w[k]);
                lo = lanes_min(lo, w[k]);
            }
        } else {
            hi = *as_lanes(top + x);
            lo = *as_lanes(bottom + x);
        }
        const Lanes own = w[side * side / 2];
        fixed_steps<R>(w, std::make_index_sequence<net.count>());
        const Lanes m = w[net.output];
        const Lanes result = keep_or_median(m, own, hi - lo, limit);
        __builtin_memcpy(out + x, &result, sizeof result);
        if (x == x1 - 15)
            break;
    }
}

// Radius 1 by sorted columns: each column of three is sorted once per row
// (shared by the three pixels that use it); the median of the nine is then
// the median of the largest low, the middle middle and the smallest high,
// and the extremes are the largest high and the smallest low.
QUILLON_INLINE Lanes median3(Lanes a, Lanes b, Lanes c)
{
    return lanes_max(lanes_min(a, b), lanes_min(lanes_max(a, b), c));
}

QUILLON_CLONES void sort_columns(const unsigned short* src, int width, int y, unsigned short* __restrict low,
    unsigned short* __restrict mid, unsigned short* __restrict high)
{
    const unsigned short* __restrict a = src + static_cast<std::ptrdiff_t>(y - 1) * width;
    const unsigned short* __restrict b = a + width;
    const unsigned short* __restrict c = b + width;
    for (int x = 0; x < width; ++x) {
        const unsigned short lo1 = std::min(a[x], b[x]), hi1 = std::max(a[x], b[x]);
        low[x] = std::min(lo1, c[x]);
        const unsigned short hi2 = std::max(lo1, c[x]);
        mid[x] = std::min(hi1, hi2);
        high[x] = std::max(hi1, hi2);
    }
}

QUILLON_CLONES void sorted_row1(const unsigned short* src, int width, int y, int x0, int x1,
    const unsigned short* low, const unsigned short* mid, const unsigned short* high, unsigned short* dst,
    Limit limit)
{
    const unsigned short* row = src + static_cast<std::ptrdiff_t>(y) * width;
    unsigned short* out = dst + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = x0;; x += 16) {
        x = std::min(x, x1 - 15);
        const Lanes l0 = *as_lanes(low + x - 1), l1 = *as_lanes(low + x), l2 = *as_lanes(low + x + 1);
        const Lanes m0 = *as_lanes(mid + x - 1), m1 = *as_lanes(mid + x), m2 = *as_lanes(mid + x + 1);
        const Lanes h0 = *as_lanes(high + x - 1), h1 = *as_lanes(high + x), h2 = *as_lanes(high + x + 1);
        const Lanes m = median3(
            lanes_max(lanes_max(l0, l1), l2), median3(m0, m1, m2), lanes_min(lanes_min(h0, h1), h2));
        const Lanes hi = lanes_max(lanes_max(h0, h1), h2);
        const Lanes lo = lanes_min(lanes_min(lanes_min(l0, l1), l2), Lanes {} + 65000); // starts at 65000
        const Lanes own = *as_lanes(row + x);
        const Lanes result = keep_or_median(m, own, hi - lo, limit);
        __builtin_memcpy(out + x, &result, sizeof result);
        if (x == x1 - 15)
            break;
    }
}

QUILLON_CLONES void fixed_row1(const unsigned short* src, int width, int y, int x0, int x1,
    const unsigned short* top, const unsigned short* bottom, unsigned short* dst, Limit limit)
{
    fixed_row<1>(src, width, y, x0, x1, top, bottom, dst, limit);
}
QUILLON_CLONES void fixed_row2(const unsigned short* src, int width, int y, int x0, int x1,
    const unsigned short* top, const unsigned short* bottom, unsigned short* dst, Limit limit)
{
    fixed_row<2>(src, width, y, x0, x1, top, bottom, dst, limit);
}
QUILLON_CLONES void fixed_row3(const unsigned short* src, int width, int y, int x0, int x1,
    const unsigned short* top, const unsigned short* bottom, unsigned short* dst, Limit limit)
{
    fixed_row<3>(src, width, y, x0, x1, top, bottom, dst, limit);
}

// Rows too short for 16 lanes: the same network read from its table, on
// strips of samples held in memory.
QUILLON_CLONES void run_steps(Lanes* wires, const Step* steps, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k) {
        Lanes* a = wires + steps[k].lo * lanes_per_strip;
        Lanes* b = wires + steps[k].hi * lanes_per_strip;
        switch (steps[k].op) {
        case Op::exchange:
            for (int l = 0; l < lanes_per_strip; ++l) {
                const Lanes u = a[l], v = b[l];
                a[l] = lanes_min(u, v);
                b[l] = lanes_max(u, v);
            }
            break;
        case Op::min_only:
            for (int l = 0; l < lanes_per_strip; ++l)
                a[l] = lanes_min(a[l], b[l]);
            break;
        case Op::max_only:
            for (int l = 0; l < lanes_per_strip; ++l)
                b[l] = lanes_max(a[l], b[l]);
            break;
        }
    }
}

// The neighbourhood's maximum and minimum for every x of row `y` with a full
// neighbourhood: column extremes over the rows, then over the columns. The
// minimum starts at 65000.
QUILLON_CLONES void row_extremes(const unsigned short* src, int width, int y, int rad,
    unsigned short* __restrict col_hi, unsigned short* __restrict col_lo, unsigned short* __restrict top,
    unsigned short* __restrict bottom)
{
    const unsigned short* first = src + static_cast<std::ptrdiff_t>(y - rad) * width;
    for (int x = 0; x < width; ++x) {
        col_hi[x] = first[x];
        col_lo[x] = std::min<unsigned short>(first[x], 65000);
    }
    for (int i = -rad + 1; i <= rad; ++i) {
        const unsigned short* __restrict row = src + static_cast<std::ptrdiff_t>(y + i) * width;
        for (int x = 0; x < width; ++x) {
            col_hi[x] = std::max(col_hi[x], row[x]);
            col_lo[x] = std::min(col_lo[x], row[x]);
        }
    }
    const int n = width - 2 * rad;
    for (int x = 0; x < n; ++x) {
        top[x + rad] = col_hi[x];
        bottom[x + rad] = col_lo[x];
    }
    for (int c = 1; c <= 2 * rad; ++c)
        for (int x = 0; x < n; ++x) {
            top[x + rad] = std::max(top[x + rad], col_hi[x + c]);
            bottom[x + rad] = std::min(bottom[x + rad], col_lo[x + c]);
        }
}

// Decides each pixel of a run from its median, range and own value.
QUILLON_CLONES void threshold_run(const unsigned short* __restrict median,
    const unsigned short* __restrict top, const unsigned short* __restrict bottom,
    const unsigned short* __restrict own, unsigned short* __restrict out, int count, Limit limit,
    double power)
{
    if (limit.shift >= 0) {
        const std::uint32_t high = limit.high, low = limit.low;
        const int shift = limit.shift;
        for (int l = 0; l < count; ++l) {
            const std::uint32_t range = static_cast<std::uint32_t>(top[l] - bottom[l]);
            const std::uint32_t t = (range * high + ((range * low) >> 12)) >> shift;
            const std::uint32_t m = median[l], p = own[l];
            const std::uint32_t diff = m > p ? m - p : p - m;
            out[l] = static_cast<unsigned short>(diff > t ? m : p);
        }
    } else {
        for (int l = 0; l < count; ++l) {
            const auto t = static_cast<std::int32_t>((top[l] - bottom[l]) * power);
            const std::int32_t diff = median[l] - own[l];
            out[l] = (diff < 0 ? -diff : diff) > t ? median[l] : own[l];
        }
    }
}
} // namespace

void median_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, float power, RowHook row_hook)
{
    if (rad < 1 || rad > 3)
        return;
    const int y0 = first_row + rad, y1 = height - rad - 1;
    const int x0 = rad, x1 = width - rad - 1;
    if (y0 > y1 || x0 > x1)
        return;
    // Every sample lies within the range, so no pixel differs from its
    // median by more than the range: a power of 1 or more changes nothing.
    if (power >= 1.0f) {
        for (int y = y0; y <= y1; ++y) {
            if (row_hook)
                row_hook();
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y) * width + x0;
            std::memcpy(dst + at, src + at, static_cast<std::size_t>(x1 - x0 + 1) * sizeof(unsigned short));
        }
        return;
    }
    if (rad == 1) {
        const std::int64_t scaled = median3_scaled_power(power);
        if (scaled >= 0
            && median3_rows_avx2(src, dst, width, y0, y1, static_cast<std::uint32_t>(scaled), row_hook))
            return;
    }
    const FixedNetwork& net = networks[static_cast<std::size_t>(rad - 1)];
    const int side = 2 * rad + 1;
    const int n = side * side;
    std::vector<unsigned short> wire_store(static_cast<std::size_t>(n) * strip);
    unsigned short* wire_samples = wire_store.data();
    auto* wires = reinterpret_cast<Lanes*>(wire_samples);
    std::vector<unsigned short> col_hi(static_cast<std::size_t>(width)), col_lo(col_hi.size());
    std::vector<unsigned short> top(col_hi.size()), bottom(col_hi.size()), median(col_hi.size());
    // The product of the range and the single-precision power is exact in
    // double precision, so truncating it gives the same limit everywhere.
    const double p = static_cast<double>(power);
    const Limit limit = limit_of(power);
    using FixedRow = void (*)(const unsigned short*, int, int, int, int, const unsigned short*,
        const unsigned short*, unsigned short*, Limit);
    constexpr FixedRow fixed[3] = { fixed_row1, fixed_row2, fixed_row3 };
    const bool vector_rows = x1 - x0 + 1 >= 16 && limit.shift >= 0;
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        if (vector_rows && rad == 1) {
            sort_columns(src, width, y, col_hi.data(), col_lo.data(), median.data());
            sorted_row1(src, width, y, x0, x1, col_hi.data(), col_lo.data(), median.data(), dst, limit);
            continue;
        }
        if (vector_rows) {
            if (rad > 1)
                row_extremes(src, width, y, rad, col_hi.data(), col_lo.data(), top.data(), bottom.data());
            fixed[rad - 1](src, width, y, x0, x1, top.data(), bottom.data(), dst, limit);
            continue;
        }
        row_extremes(src, width, y, rad, col_hi.data(), col_lo.data(), top.data(), bottom.data());
        for (int x = x0; x <= x1; x += strip) {
            const int count = std::min(strip, x1 - x + 1);
            int k = 0;
            for (int i = -rad; i <= rad; ++i)
                for (int j = -rad; j <= rad; ++j, ++k)
                    std::memcpy(wire_samples + static_cast<std::size_t>(k) * strip,
                        src + static_cast<std::ptrdiff_t>(y + i) * width + x + j,
                        static_cast<std::size_t>(count) * sizeof(unsigned short));
            run_steps(wires, net.steps.data(), net.count);
            std::memcpy(median.data() + x, wire_samples + static_cast<std::size_t>(net.output) * strip,
                static_cast<std::size_t>(count) * sizeof(unsigned short));
        }
        threshold_run(median.data() + x0, top.data() + x0, bottom.data() + x0,
            src + static_cast<std::ptrdiff_t>(y) * width + x0,
            dst + static_cast<std::ptrdiff_t>(y) * width + x0, x1 - x0 + 1, limit, p);
    }
}
