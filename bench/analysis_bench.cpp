#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "app/state.h"
#include "display/photometry.h"
#include "display/plots.h"
#include "processing/centroid.h"
#include "store/buffers.h"

namespace {
// A flat sky with one star of a 3 x 3 core at (100, 100) of the binned frame.
void star_field()
{
    reset_program_state();
    std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(1000));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            image_int[(100 + dy) * width1 + 100 + dx] = (dx == 0 && dy == 0) ? 40000 : 20000;
}
} // namespace

// The largest search window, as star picking with the widest star mask uses.
static void BM_find_centre_31x31(benchmark::State& state)
{
    star_field();
    for (auto _ : state) {
        benchmark::DoNotOptimize(find_centre(102, 101, image_int, 15));
        benchmark::DoNotOptimize(xcent);
    }
}
BENCHMARK(BM_find_centre_31x31);

// The three snapping passes of a click in a guide frame while guiding.
static void BM_find_centre_guide_frame_three_passes(benchmark::State& state)
{
    reset_program_state();
    std::vector<unsigned short> guide(128 * 128, 2000);
    guide[60 * 128 + 70] = 50000;
    guiding = 1;
    for (auto _ : state) {
        int x = 64, y = 64;
        for (int pass = 0; pass < 3; ++pass) {
            find_centre(x, y, guide.data(), 8);
            x = xcent;
            y = ycent;
        }
        benchmark::DoNotOptimize(x + y);
    }
}
BENCHMARK(BM_find_centre_guide_frame_three_passes);

// The whole 3-D relief: 122 rows of 376 segments into the 644 x 384 bitmap.
static void BM_relief_full(benchmark::State& state)
{
    reset_program_state();
    for (std::size_t i = 0; i < frame_samples; ++i)
        image_int[i] = static_cast<unsigned short>((i * 2654435761u) >> 16);
    auto bitmap = relief_blank();
    for (auto _ : state) {
        int previous = 0;
        for (int r = relief_first_row; r <= relief_last_row; ++r)
            relief_draw_row(bitmap.data(), image_int, r, previous);
        benchmark::DoNotOptimize(bitmap.data());
    }
}
BENCHMARK(BM_relief_full);

// The largest photometry aperture (17 x 17).
static void BM_aperture_sum_17x17(benchmark::State& state)
{
    star_field();
    for (auto _ : state)
        benchmark::DoNotOptimize(aperture_sum(image_int, 100, 100, 8));
}
BENCHMARK(BM_aperture_sum_17x17);
