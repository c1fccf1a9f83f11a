// The FITS reader, in the current geometry, on headers of any content.
#include "fuzz_file.h"
#include "store/fits_file.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool small = fuzz_binned(data, size);
    fuzz_geometry(small);
    // Padded to the shortest length the reader takes (header and samples; a
    // longer file is read the same way), so one byte short is refused.
    const std::size_t samples = small ? binned_width * binned_height : full_width * full_height;
    const auto file = fuzz_file_bytes(data, size, fits_header_length + 2 * samples);
    if (fits_file_from_bytes(file, image) == 0)
        fuzz_check_accepted(file, true);
    return 0;
}
