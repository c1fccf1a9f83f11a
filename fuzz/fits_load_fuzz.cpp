// The FITS reader, in the current geometry, on headers of any content.
#include "fuzz_file.h"
#include "store/fits_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    fits_file_from_bytes(fuzz_file_bytes(data, size, small ? fits_binned_length : fits_full_length), image);
    return 0;
}
