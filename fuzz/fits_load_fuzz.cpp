// The FITS reader, in the current geometry, on headers of any content.
#include "fuzz_file.h"
#include "store/fits_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    const std::string path
        = write_fuzz_file("fits", data, size, small ? fits_binned_length : fits_full_length);
    LoadFITSFile(path.c_str(), 3, image);
    return 0;
}
