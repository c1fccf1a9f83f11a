// The star measures on the frames they meet: a focus window with one star
// out of focus, and a full frame of stars, some clipped, where the
// brightest unsaturated one is found and measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "processing/star_measure.h"

namespace {

// Adds a Moffat (beta 3) star of `hfd` px and `flux` at (cx, cy); rows are
// `pitch` columns apart.
void add_star(std::vector<double>& sky, int w, int h, double pitch, double cx, double cy, double hfd, double flux)
{
    const double a = hfd / (2.0 * std::sqrt(std::sqrt(2.0) - 1.0));
    const double norm = 2.0 / (3.14159265358979 * a * a) * flux;
    const int r = static_cast<int>(6 * hfd) + 4;
    for (int y = std::max(0, static_cast<int>((cy * pitch - r) / pitch));
         y < std::min(h, static_cast<int>((cy * pitch + r) / pitch) + 1); ++y)
        for (int x = std::max(0, static_cast<int>(cx) - r); x < std::min(w, static_cast<int>(cx) + r + 1); ++x) {
            const double dx = x - cx, dy = (y - cy) * pitch;
            const double q = 1 + (dx * dx + dy * dy) / (a * a);
            sky[static_cast<std::size_t>(y) * w + x] += norm / (q * q * q);
        }
}

std::vector<unsigned short> to_frame(const std::vector<double>& sky, double noise, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise);
    std::vector<unsigned short> out(sky.size());
    for (std::size_t i = 0; i < sky.size(); ++i)
        out[i] = static_cast<unsigned short>(std::clamp(std::lround(1000 + sky[i] + n(rng)), 0L, 65535L));
    return out;
}

} // namespace

// A 128 x 128 focus window (field lines) with a star of the HFD given, px:
// near focus (the interpolated measure of small stars) and out of it.
static void BM_hfd_focus_frame(benchmark::State& state)
{
    std::vector<double> sky(128 * 128, 0.0);
    const double hfd = static_cast<double>(state.range(0));
    add_star(sky, 128, 128, 2.0, 64.3, 60.7, hfd, 4e5 * hfd * hfd / 64);
    const auto frame = to_frame(sky, 8, 1);
    const StarFrame f { frame.data(), 128, 128, 2.0, 65535 };
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_brightest_star(f));
}
BENCHMARK(BM_hfd_focus_frame)->Arg(4)->Arg(8)->Arg(20)->Unit(benchmark::kMicrosecond);

// A full 752 x 580 frame of 150 stars, the ten brightest clipped.
static void BM_hfd_full_frame_brightest_unsaturated(benchmark::State& state)
{
    std::vector<double> sky(752 * 580, 0.0);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 150; ++i) {
        const double flux = i < 10 ? 3e6 : 2e3 + 2e5 * u(rng) * u(rng);
        add_star(sky, 752, 580, 1.0, 20 + 712 * u(rng), 20 + 540 * u(rng), 3.5 + 2 * u(rng), flux);
    }
    const auto frame = to_frame(sky, 8, 2);
    const StarFrame f { frame.data(), 752, 580, 1.0, 65535 };
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_brightest_star(f));
}
BENCHMARK(BM_hfd_full_frame_brightest_unsaturated)->Unit(benchmark::kMicrosecond);
