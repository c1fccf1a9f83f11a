#include <benchmark/benchmark.h>

#include "app/state.h"
#include "store/buffers.h"

static void BM_copy_full_frame(benchmark::State& state)
{
    reset_program_state();
    binned = 0;
    ZQ_binned();
    for (auto _ : state) {
        backup_image(image, trial);
        benchmark::DoNotOptimize(trial[100]);
    }
}
BENCHMARK(BM_copy_full_frame);
