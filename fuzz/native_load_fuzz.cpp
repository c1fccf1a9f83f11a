// The open command's loader: raw and FITS files recognised by length.
#include "fuzz_file.h"
#include "store/image_io.h"
#include "store/native_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(!small);
    const std::size_t length = size > 0 && (data[0] & 4)
        ? (small ? fits_binned_length : fits_full_length)
        : (small ? native_binned_length : native_full_length);
    const auto file = fuzz_file_bytes(data, size, length);
    if (image_file_from_bytes(file, image) == ImageLoad::ok)
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
    return 0;
}
