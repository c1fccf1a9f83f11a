// The second-image load of merging and calibration, into trial.
#include "fuzz_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    const std::size_t length = size > 0 && (data[0] & 4)
        ? (small ? fits_binned_length : fits_full_length)
        : (small ? native_binned_length : native_full_length);
    second_image_from_bytes(fuzz_file_bytes(data, size, length), trial);
    return 0;
}
