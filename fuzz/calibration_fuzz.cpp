// The automatic dark/flat loader and the label drawing on arbitrary input:
// the file is cut or padded to one of the accepted lengths (or left as it
// is), the label text and FITS date fields are filled from the input.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "fuzz_file.h"
#include "processing/calibration.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::size_t lengths[]
        = { native_binned_length, fits_binned_length, native_full_length, fits_full_length };
    static const bool started = [] {
        reset_program_state();
        return true;
    }();
    (void)started;
    if (size < 2)
        return 0;
    fuzz_geometry((data[0] & 1) != 0);
    // The second byte chooses the length: one of the four, or the input's own.
    static std::vector<unsigned char> file; // kept between runs
    file.assign(data + 2, data + size);
    if ((data[1] & 8) == 0)
        file.resize(lengths[data[1] & 3], 0);
    undo[0] = 0xABCD;
    const int dark = calibration_file_from_bytes(file, undo);
    if (dark != calibration_ok && dark != calibration_bad_file)
        __builtin_trap();
    if (dark != calibration_ok && undo[0] != 0xABCD)
        __builtin_trap();
    if (dark == calibration_ok) {
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
        // The loaded frame as dark and as flat, as the exposure loop applies them.
        auto_remove(1, "", undo, image, undo);
        auto_flatfield(1, "", undo, image, undo);
    }

    // Label text and FITS date from the same bytes, each cut to its field.
    const std::size_t text = std::min<std::size_t>(size - 2, 40);
    char label[41] = {};
    std::memcpy(label, data + 2, text);
    std::memcpy(FITS_Time, data + 2, std::min<std::size_t>(size - 2, sizeof FITS_Time - 1));
    std::memcpy(FITS_Date, data + 2, std::min<std::size_t>(size - 2, sizeof FITS_Date - 1));
    auto_FITS_date = data[1] >> 7;
    do_label_image(1, label, image);
    mirror_image(image, trial);
    return 0;
}
