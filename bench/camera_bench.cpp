#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/state.h"
#include "camera/readout.h"
#include "store/buffers.h"

// The unpack of one full-resolution field (290 rows picked out of the block
// into every second frame row) beside one plain copy of the same bytes.
static void BM_unpack_field(benchmark::State& state)
{
    reset_program_state();
    std::vector<unsigned char> block(field_block_bytes, 0x5a);
    auto* frame = reinterpret_cast<unsigned char*>(image_int);
    for (auto _ : state) {
        unpack_field(block.data(), frame, 1);
        benchmark::DoNotOptimize(image_int[1000]);
    }
    state.SetBytesProcessed(state.iterations() * 290 * 752 * 2);
}
BENCHMARK(BM_unpack_field);

static void BM_memcpy_field(benchmark::State& state)
{
    std::vector<unsigned char> block(field_block_bytes, 0x5a);
    auto* frame = reinterpret_cast<unsigned char*>(image_int);
    constexpr std::size_t kept = 290 * 752 * 2;
    for (auto _ : state) {
        std::memcpy(frame, block.data() + field_first_byte, kept);
        benchmark::DoNotOptimize(image_int[1000]);
    }
    state.SetBytesProcessed(state.iterations() * kept);
}
BENCHMARK(BM_memcpy_field);

static void BM_unpack_binned(benchmark::State& state)
{
    reset_program_state();
    std::vector<unsigned char> block(binned_block_bytes, 0x5a);
    for (auto _ : state) {
        unpack_binned(block.data(), reinterpret_cast<unsigned char*>(image_int));
        benchmark::DoNotOptimize(image_int[1000]);
    }
}
BENCHMARK(BM_unpack_binned);
