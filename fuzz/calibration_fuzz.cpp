// The automatic dark/flat loader and the label drawing on arbitrary input:
// the file is cut or padded to one of the accepted lengths (or left short),
// the label text and FITS date fields are filled from the input.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "app/state.h"
#include "processing/calibration.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "store/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const std::string path = "/tmp/quillon-calibration-fuzz-" + std::to_string(getpid());
    reset_program_state();
    binned = data[0] & 1;
    ZQ_binned();
    point_buffers();

    static const std::uintmax_t lengths[]
        = { native_binned_length, fits_binned_length, native_full_length, fits_full_length };
    const std::uintmax_t length = (data[1] & 8) ? size : lengths[data[1] & 3];
    std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    bytes.resize(length, '\0');
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    auto_remove(0, path.c_str(), undo, image, undo);
    auto_flatfield(0, path.c_str(), save, image, save);
    std::remove(path.c_str());

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
