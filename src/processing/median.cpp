// The thresholded median. The median of each neighbourhood comes from a
// selection network (Batcher's odd-even merge sort, padded to a power of two
// and pruned to the one output needed) run on a whole strip of pixels at a
// time, so every step is one vectorised min or max over the strip. The
// neighbourhood's maximum and minimum come from running column extremes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "processing/filter_simd.h"
#include "processing/filters.h"

#if defined(__GNUC__) && !defined(__clang__)
// The lane type is used only inside the cloned functions.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {
enum class Op : std::uint8_t { exchange, min_only, max_only };
struct Step {
    std::uint16_t lo, hi; // the smaller value goes to lo, the larger to hi
    Op op;
};

struct Network {
    std::vector<Step> steps;
    int output = 0; // the slot holding the median
};

// Batcher's odd-even merge sort for `size` (a power of two) wires.
std::vector<std::pair<int, int>> odd_even_merge_sort(int size)
{
    std::vector<std::pair<int, int>> out;
    for (int p = 1; p < size; p *= 2)
        for (int k = p; k >= 1; k /= 2)
            for (int j = k % p; j + k < size; j += 2 * k)
                for (int i = 0; i < std::min(k, size - j - k); ++i)
                    if ((i + j) / (2 * p) == (i + j + k) / (2 * p))
                        out.emplace_back(i + j, i + j + k);
    return out;
}

// The network for the median of `n` inputs with `low` padding wires below
// every input and the rest above: constant wires are folded away and steps
// that cannot reach the median output are dropped.
Network prune(int n, int low)
{
    int size = 1;
    while (size < n)
        size *= 2;
    const int high = size - n - low;
    // wire -> physical slot (0..n-1), or -1 for "below all", -2 "above all".
    std::vector<int> slot(size);
    for (int w = 0; w < size; ++w)
        slot[w] = w < low ? -1 : (w < low + n ? w - low : -2);
    (void)high;
    std::vector<Step> raw;
    for (auto [a, b] : odd_even_merge_sort(size)) {
        const int sa = slot[a], sb = slot[b];
        if (sa == -1 || sb == -2)
            continue; // already in order
        if (sa == -2 || sb == -1) {
            std::swap(slot[a], slot[b]);
            continue;
        }
        raw.push_back({ static_cast<std::uint16_t>(sa), static_cast<std::uint16_t>(sb), Op::exchange });
    }
    Network net;
    net.output = slot[low + n / 2];
    std::vector<bool> live(static_cast<std::size_t>(n), false);
    live[net.output] = true;
    std::vector<Step> kept;
    for (auto it = raw.rbegin(); it != raw.rend(); ++it) {
        Step s = *it;
        const bool lo = live[s.lo], hi = live[s.hi];
        if (!lo && !hi)
            continue;
        s.op = lo && hi ? Op::exchange : (lo ? Op::min_only : Op::max_only);
        live[s.lo] = live[s.hi] = true;
        kept.push_back(s);
    }
    std::reverse(kept.begin(), kept.end());
    net.steps = std::move(kept);
    return net;
}

// The smallest pruned network over every split of the padding.
Network best_network(int n)
{
    int size = 1;
    while (size < n)
        size *= 2;
    Network best = prune(n, 0);
    for (int low = 1; low <= size - n; ++low) {
        Network candidate = prune(n, low);
        if (candidate.steps.size() < best.steps.size())
            best = std::move(candidate);
    }
    return best;
}

const Network& network_for(int rad)
{
    static const std::array<Network, 3> nets = { best_network(9), best_network(25), best_network(49) };
    return nets[static_cast<std::size_t>(rad - 1)];
}

constexpr int strip = 128;
// 16 samples at a time; the compiler maps it onto whatever the clone has.
// Only sample alignment is assumed, so the strips may sit anywhere.
using Lanes = unsigned short __attribute__((vector_size(32), aligned(2)));
constexpr int lanes_per_strip = strip / 16;

QUILLON_INLINE Lanes lanes_min(Lanes u, Lanes v)
{
    return u < v ? u : v;
}
QUILLON_INLINE Lanes lanes_max(Lanes u, Lanes v)
{
    return u < v ? v : u;
}

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

// The limit trunc(range x power) as (range x mantissa) >> shift: the power is
// a single-precision value, so the product is exact in 64 bits.
struct Limit {
    std::uint64_t mantissa;
    int shift;
};

Limit limit_of(float power)
{
    if (!(power > 0.0f))
        return { 0, 0 };
    int exponent = 0;
    const float fraction = std::frexp(power, &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 24));
    const int shift = 24 - exponent;
    if (shift < 0 || shift > 40) // out of the dialog's range: no fast form
        return { 0, -1 };
    return { mantissa, shift };
}

// Decides each pixel of a strip from its median, range and own value.
QUILLON_CLONES void threshold_strip(const unsigned short* __restrict median,
    const unsigned short* __restrict top, const unsigned short* __restrict bottom,
    const unsigned short* __restrict own, unsigned short* __restrict out, int count, Limit limit,
    double power)
{
    if (limit.shift >= 0) {
        for (int l = 0; l < count; ++l) {
            const auto range = static_cast<std::uint64_t>(top[l] - bottom[l]);
            const auto t = static_cast<std::int32_t>((range * limit.mantissa) >> limit.shift);
            const std::int32_t diff = median[l] - own[l];
            out[l] = (diff < 0 ? -diff : diff) > t ? median[l] : own[l];
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
    const Network& net = network_for(rad);
    const int side = 2 * rad + 1;
    const int n = side * side;
    std::vector<Lanes> wires(static_cast<std::size_t>(n) * lanes_per_strip);
    auto* wire_samples = reinterpret_cast<unsigned short*>(wires.data());
    std::vector<unsigned short> col_hi(static_cast<std::size_t>(width)), col_lo(col_hi.size());
    std::vector<unsigned short> top(col_hi.size()), bottom(col_hi.size());
    // The product of the range and the single-precision power is exact in
    // double precision, so truncating it gives the same limit everywhere.
    const double p = static_cast<double>(power);
    const Limit limit = limit_of(power);
    for (int y = y0; y <= y1; ++y) {
        if (row_hook)
            row_hook();
        row_extremes(src, width, y, rad, col_hi.data(), col_lo.data(), top.data(), bottom.data());
        for (int x = x0; x <= x1; x += strip) {
            const int count = std::min(strip, x1 - x + 1);
            int k = 0;
            for (int i = -rad; i <= rad; ++i)
                for (int j = -rad; j <= rad; ++j, ++k)
                    std::memcpy(wire_samples + static_cast<std::size_t>(k) * strip,
                        src + static_cast<std::ptrdiff_t>(y + i) * width + x + j,
                        static_cast<std::size_t>(count) * sizeof(unsigned short));
            run_steps(wires.data(), net.steps.data(), net.steps.size());
            threshold_strip(wire_samples + static_cast<std::size_t>(net.output) * strip, top.data() + x,
                bottom.data() + x, src + static_cast<std::ptrdiff_t>(y) * width + x,
                dst + static_cast<std::ptrdiff_t>(y) * width + x, count, limit, p);
        }
    }
}
