// The FITS reader, in the current geometry, on headers of any content.
#include "fuzz_file.h"
#include "store/fits_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    const auto file = fuzz_file_bytes(data, size, small ? fits_binned_length : fits_full_length);
    if (fits_file_from_bytes(file, image) == 0)
        fuzz_check_accepted(file, true);
    return 0;
}
