// The core work of a display rebuild: 16 -> 8 bit reduction in the display
// layout, palette, and the bitmap file written and renamed into place.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/state.h"
#include "display/pipeline.h"
#include "store/buffers.h"

namespace {
// The bitmap goes to $BENCH_DIR (e.g. /dev/shm to leave the disk out) or
// the temporary folder.
void use_scratch_home()
{
    static const std::string home = [] {
        const char* chosen = std::getenv("BENCH_DIR");
        const std::filesystem::path base
            = chosen != nullptr ? std::filesystem::path(chosen) : std::filesystem::temp_directory_path();
        const auto folder = base / "quillon-display-bench";
        std::filesystem::create_directories(folder);
        return folder.string();
    }();
    setenv("QUILLON_HOME", home.c_str(), 1);
}

void fill_gradient()
{
    for (std::size_t i = 0; i < frame_samples; ++i)
        image_int[i] = static_cast<unsigned short>((i * 37) & 0xFFFF);
}

void rebuild_core(benchmark::State& state)
{
    for (auto _ : state) {
        DisplayImage();
        const int result = write_bitmap();
        if (result != 0) {
            state.SkipWithError("bitmap write failed");
            break;
        }
        benchmark::DoNotOptimize(pixels_bmp[100]);
    }
}
} // namespace

static void BM_display_full_frame(benchmark::State& state)
{
    use_scratch_home();
    reset_program_state();
    binned = 0;
    ZQ_binned();
    fill_gradient();
    stretch_palette = static_cast<int>(state.range(0));
    rebuild_core(state);
}
BENCHMARK(BM_display_full_frame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_display_binned_resampled(benchmark::State& state)
{
    use_scratch_home();
    reset_program_state();
    binned = 1;
    ZQ_binned();
    Geo = 1;
    fill_gradient();
    rebuild_core(state);
}
BENCHMARK(BM_display_binned_resampled)->Unit(benchmark::kMillisecond);

static void BM_display_binned_enlarged(benchmark::State& state)
{
    use_scratch_home();
    reset_program_state();
    binned = 1;
    ZQ_binned();
    Big = 1;
    fill_gradient();
    rebuild_core(state);
}
BENCHMARK(BM_display_binned_enlarged)->Unit(benchmark::kMillisecond);
