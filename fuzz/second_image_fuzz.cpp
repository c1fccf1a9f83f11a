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
    const auto file = fuzz_file_bytes(data, size, length);
    if (second_image_from_bytes(file, trial) == SecondLoad::ok)
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
    return 0;
}
