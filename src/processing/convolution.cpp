// The convolution engine. The program's own kernels run through loops built
// for each kernel at compile time (constant coefficients become adds, shifts
// and constant divisions, and the row loop vectorises); any other kernel in
// `mask` goes through the plain loop. Both give the same integers.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "processing/filter_simd.h"
#include "processing/filters.h"

// clang-format off
constexpr int kernel_table[6][25] = {
    {1, 2, 1, 2, 4, 2, 1, 2, 1},
    {0, 1, 2, 1, 0,  1, 4, 8, 4, 1,  2, 8, 16, 8, 2,  1, 4, 8, 4, 1,  0, 1, 2, 1, 0},
    {0, -1, 0, -1, 5, -1, 0, -1, 0},
    {-1, -1, -1, -1, -1,  -1, -1, -1, -1, -1,  -1, -1, 25, -1, -1,  -1, -1, -1, -1, -1,  -1, -1, -1, -1, -1},
    {0, -1, -1, -1, 0,  -1, 1, 1, 1, -1,  -1, 1, 5, 1, -1,  -1, 1, 1, 1, -1,  0, -1, -1, -1, 0},
    {0, 0, -1, 0, 0,  0, -1, -1, -1, 0,  -1, -1, 1, 1, 1,  0, 1, 1, 1, 0,  0, 0, 1, 0, 0},
};
// clang-format on
constexpr int kernel_radius[6] = { 1, 2, 1, 2, 2, 2 };
constexpr int kernel_divisor[6] = { 16, 80, 1, 1, 1, 1 };

const int (&filter_kernels)[6][25] = kernel_table;

namespace {
QUILLON_INLINE unsigned short clamp_sample(std::int32_t v)
{
    return v > 65280 ? 65535 : (v < 0 ? 0 : static_cast<unsigned short>(v));
}

struct Rows {
    const unsigned short* src;
    unsigned short* dst;
    int width, first, last; // rows first..last inclusive
    RowHook hook;
};

template <int M, int I> QUILLON_INLINE std::int32_t term(const unsigned short* centre, int width)
{
    constexpr int r = kernel_radius[M];
    constexpr int side = 2 * r + 1;
    constexpr int c = kernel_table[M][I];
    if constexpr (c == 0)
        return 0;
    else
        return c * static_cast<std::int32_t>(centre[(I / side - r) * width + (I % side - r)]);
}

template <int M, std::size_t... I> QUILLON_INLINE void fixed_rows(const Rows& a, std::index_sequence<I...>)
{
    constexpr int r = kernel_radius[M];
    constexpr int d = kernel_divisor[M];
    constexpr bool non_negative = ((kernel_table[M][I] >= 0) && ...);
    for (int y = a.first; y <= a.last; ++y) {
        if (a.hook)
            a.hook();
        const unsigned short* s = a.src + static_cast<std::ptrdiff_t>(y) * a.width;
        unsigned short* out = a.dst + static_cast<std::ptrdiff_t>(y) * a.width;
        const int w = a.width;
        for (int x = r; x < w - r; ++x) {
            const std::int32_t sum = (term<M, I>(s + x, w) + ...);
            std::int32_t v;
            if constexpr (d == 1)
                v = sum;
            else if constexpr (non_negative)
                v = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) / d);
            else
                v = sum / d;
            out[x] = clamp_sample(v);
        }
    }
}

template <int M> QUILLON_INLINE void fixed_kernel(const Rows& a)
{
    constexpr int side = 2 * kernel_radius[M] + 1;
    fixed_rows<M>(a, std::make_index_sequence<side * side>());
}

QUILLON_CLONES void kernel0(const Rows& a)
{
    fixed_kernel<0>(a);
}
QUILLON_CLONES void kernel1(const Rows& a)
{
    fixed_kernel<1>(a);
}
QUILLON_CLONES void kernel2(const Rows& a)
{
    fixed_kernel<2>(a);
}
QUILLON_CLONES void kernel3(const Rows& a)
{
    fixed_kernel<3>(a);
}
QUILLON_CLONES void kernel4(const Rows& a)
{
    fixed_kernel<4>(a);
}
QUILLON_CLONES void kernel5(const Rows& a)
{
    fixed_kernel<5>(a);
}

void plain_rows(const Rows& a, int rad, const int* kernel, int divisor)
{
    const int w = a.width;
    for (int y = a.first; y <= a.last; ++y) {
        if (a.hook)
            a.hook();
        for (int x = rad; x < w - rad; ++x) {
            std::int32_t sum = 0;
            int k = 0;
            for (int i = -rad; i <= rad; ++i)
                for (int j = -rad; j <= rad; ++j)
                    sum += kernel[k++] * static_cast<std::int32_t>(a.src[(y + i) * w + x + j]);
            a.dst[y * w + x] = clamp_sample(sum / divisor);
        }
    }
}
} // namespace

void convolve_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, const int* kernel, int divisor, RowHook row_hook)
{
    if (rad < 1 || divisor == 0)
        return;
    const Rows rows { src, dst, width, first_row + rad, height - rad - 1, row_hook };
    if (rows.first > rows.last || width <= 2 * rad)
        return;
    using Fixed = void (*)(const Rows&);
    static constexpr Fixed fixed[6] = { kernel0, kernel1, kernel2, kernel3, kernel4, kernel5 };
    for (int m = 0; m < 6; ++m) {
        const int side = 2 * rad + 1;
        if (rad == kernel_radius[m] && divisor == kernel_divisor[m]
            && std::equal(kernel, kernel + side * side, kernel_table[m])) {
            fixed[m](rows);
            return;
        }
    }
    plain_rows(rows, rad, kernel, divisor);
}
