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
    const std::string path = write_fuzz_file("second", data, size, length);
    trial_load(trial, trial, path.c_str());
    return 0;
}
