#include <benchmark/benchmark.h>

#include "app/state.h"
#include "processing/calibration.h"
#include "store/buffers.h"

#if __has_include(<opencv2/core.hpp>)
#include <opencv2/core.hpp>
#define QUILLON_BENCH_OPENCV 1
#endif

namespace {
void full_frame_with_pattern()
{
    reset_program_state();
    binned = 0;
    ZQ_binned();
    point_buffers();
    for (int i = 0; i < width1 * height1; ++i)
        image[i] = static_cast<unsigned short>(i * 31);
}
} // namespace

// The View menu's mirror of a full 752 x 580 frame (trial as scratch).
static void BM_mirror_full_frame(benchmark::State& state)
{
    full_frame_with_pattern();
    for (auto _ : state) {
        mirror_image(image, trial);
        benchmark::DoNotOptimize(image[100]);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * full_width * full_height * 2);
}
BENCHMARK(BM_mirror_full_frame);

#ifdef QUILLON_BENCH_OPENCV
// The same frame flipped left-right by OpenCV into a second buffer, the
// yardstick for the mirror.
static void BM_opencv_flip_full_frame(benchmark::State& state)
{
    full_frame_with_pattern();
    cv::Mat source(full_height, full_width, CV_16UC1, image);
    cv::Mat flipped(full_height, full_width, CV_16UC1, trial);
    for (auto _ : state) {
        cv::flip(source, flipped, 1);
        benchmark::DoNotOptimize(trial[100]);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * full_width * full_height * 2);
}
BENCHMARK(BM_opencv_flip_full_frame);
#endif
