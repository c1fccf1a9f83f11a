// Processing on a full 752 x 580 frame, each beside OpenCV doing the same job
// in the same run. Run: ./build/bench/quillon_bench --benchmark_filter='Kernel|Unsharp|Median|OpenCV'
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "app/state.h"
#include "processing/contrast.h"
#include "processing/filters.h"
#include "store/buffers.h"

#if __has_include(<opencv2/imgproc.hpp>)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#define QUILLON_HAVE_OPENCV 1
#endif

namespace {
constexpr int W = 752, H = 580;

// A star field on a sky gradient with noise, fixed seed.
const std::vector<unsigned short>& test_frame()
{
    static const std::vector<unsigned short> frame = [] {
        std::vector<unsigned short> f(static_cast<std::size_t>(W) * H + 4);
        std::mt19937 rng(1234);
        std::normal_distribution<double> noise(0.0, 300.0);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                double v = 2000.0 + 5.0 * x + 3.0 * y + noise(rng);
                f[static_cast<std::size_t>(y) * W + x]
                    = static_cast<unsigned short>(std::clamp(v, 0.0, 65535.0));
            }
        std::uniform_int_distribution<int> px(0, W - 1), py(0, H - 1), amp(3000, 60000);
        for (int s = 0; s < 400; ++s)
            f[static_cast<std::size_t>(py(rng)) * W + px(rng)] = static_cast<unsigned short>(amp(rng));
        return f;
    }();
    return frame;
}

void full_frame()
{
    reset_program_state();
    binned = 0;
    ZQ_binned();
    point_buffers();
}

void BM_Kernel(benchmark::State& state)
{
    full_frame();
    const int m = static_cast<int>(state.range(0));
    static constexpr int radius[6] = { 1, 2, 1, 2, 2, 2 };
    static constexpr int divisor[6] = { 16, 80, 1, 1, 1, 1 };
    const auto& src = test_frame();
    std::vector<unsigned short> dst = src;
    for (auto _ : state) {
        convolve_frame(src.data(), dst.data(), W, H, 0, radius[m], mask[m], divisor[m]);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_Kernel)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

void BM_Unsharp(benchmark::State& state)
{
    full_frame();
    const auto& src = test_frame();
    std::vector<unsigned short> dst = src;
    const int rad = static_cast<int>(state.range(0));
    for (auto _ : state) {
        unsharp_frame(src.data(), dst.data(), W, H, 0, rad, 1);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_Unsharp)->Arg(3)->Arg(7)->Unit(benchmark::kMicrosecond);

void BM_Median(benchmark::State& state)
{
    full_frame();
    const auto& src = test_frame();
    std::vector<unsigned short> dst = src;
    const int rad = static_cast<int>(state.range(0));
    for (auto _ : state) {
        median_frame(src.data(), dst.data(), W, H, 0, rad, 0.6f);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_Median)->DenseRange(1, 3)->Unit(benchmark::kMicrosecond);

void BM_ContrastStretch(benchmark::State& state)
{
    full_frame();
    fill_log_table();
    for (auto _ : state) {
        std::copy(test_frame().begin(), test_frame().end(), image);
        apply_stretch_table(image);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_ContrastStretch)->Unit(benchmark::kMicrosecond);

#ifdef QUILLON_HAVE_OPENCV
// Ours run on one thread; so does OpenCV here.
cv::Mat frame_mat()
{
    cv::setNumThreads(1);
    return cv::Mat(H, W, CV_16U, const_cast<unsigned short*>(test_frame().data()));
}

void BM_OpenCV_filter2D(benchmark::State& state)
{
    full_frame();
    cv::Mat src = frame_mat(), dst;
    const int m = static_cast<int>(state.range(0));
    static constexpr int radius[6] = { 1, 2, 1, 2, 2, 2 };
    static constexpr int divisor[6] = { 16, 80, 1, 1, 1, 1 };
    const int side = 2 * radius[m] + 1;
    cv::Mat kernel(side, side, CV_32F);
    for (int k = 0; k < side * side; ++k)
        kernel.at<float>(k / side, k % side) = static_cast<float>(mask[m][k]) / divisor[m];
    for (auto _ : state) {
        cv::filter2D(src, dst, CV_16U, kernel);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_OpenCV_filter2D)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

void BM_OpenCV_unsharp(benchmark::State& state)
{
    const int rad = static_cast<int>(state.range(0));
    cv::Mat src = frame_mat(), mean, dst;
    for (auto _ : state) {
        cv::blur(src, mean, cv::Size(2 * rad + 1, 2 * rad + 1));
        cv::addWeighted(src, 2.0, mean, -1.0, 0.0, dst);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_OpenCV_unsharp)->Arg(3)->Arg(7)->Unit(benchmark::kMicrosecond);

// OpenCV's 16-bit median takes only sizes 3 and 5.
void BM_OpenCV_medianBlur(benchmark::State& state)
{
    const int rad = static_cast<int>(state.range(0));
    cv::Mat src = frame_mat(), dst;
    for (auto _ : state) {
        cv::medianBlur(src, dst, 2 * rad + 1);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_OpenCV_medianBlur)->DenseRange(1, 2)->Unit(benchmark::kMicrosecond);
#endif
} // namespace
