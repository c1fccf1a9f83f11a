// The comparison image load on files of the four accepted lengths (and of
// any other): it must never read past the bytes or touch the buffer unless
// the whole load succeeds.
#include <cstddef>
#include <cstdint>

#include "app/state.h"
#include "display/photometry.h"
#include "fuzz_file.h"
#include "store/buffers.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::size_t lengths[]
        = { native_binned_length, native_full_length, fits_binned_length, fits_full_length };
    static const bool started = [] {
        reset_program_state();
        return true;
    }();
    (void)started;
    if (size < 1)
        return 0;
    // The first byte chooses the geometry and the length; the rest is the
    // start of the file, zero-padded.
    fuzz_geometry((data[0] & 1) != 0);
    const auto file = fuzz_file_bytes(data, size, lengths[(data[0] >> 2) & 3]);
    comparison_int[0] = 0xABCD;
    const int r = comparison_file_from_bytes(file, comparison_int, comparison_int);
    if (r != 0 && r != 12)
        __builtin_trap();
    if (r != 0 && comparison_int[0] != 0xABCD)
        __builtin_trap();
    if (r == 0)
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
    return 0;
}
