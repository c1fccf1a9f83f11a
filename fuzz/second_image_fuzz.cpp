// The second-image load of merging and calibration, into trial.
#include "fuzz_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    // Bit 2 picks the FITS lengths, bit 3 then the full frame's standard
    // length (as other programs write it) instead of this program's.
    std::size_t length = small ? native_binned_length : native_full_length;
    if (size > 0 && (data[0] & 4))
        length = small ? fits_binned_length : ((data[0] & 8) ? fits_full_standard_length : fits_full_length);
    const auto file = fuzz_file_bytes(data, size, length);
    if (second_image_from_bytes(file, trial) == SecondLoad::ok)
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
    return 0;
}
