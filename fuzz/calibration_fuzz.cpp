// The automatic dark/flat loader, the flat field and the label drawing on
// arbitrary input: the file is cut or padded to one of the accepted lengths
// (or left as it is), the label text and FITS date fields are filled from the
// input, and the flat field divides samples taken from the input.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/state.h"
#include "fuzz_file.h"
#include "processing/calibration.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "store/image_io.h"

namespace {
// The flat field row by row on the input's own samples, on the rows they
// fill from row 10 (where the flat level is taken) instead of on whole frames
// of zeros: the frame reads the bytes little-endian, the flat big-endian, so
// the divisions see every mix of values the input holds. The level's rows
// are cleared past the input, so a run repeats exactly from its input.
void flat_field_input(const std::uint8_t* bytes, std::size_t length)
{
    constexpr std::size_t first = 10;
    const std::size_t filled = (length / 2 + width1 - 1) / width1;
    const std::size_t rows = std::min<std::size_t>(height1 - first, std::max<std::size_t>(10, filled));
    const std::size_t count = rows * width1;
    const std::size_t samples = std::min(length / 2, count);
    unsigned short* frame = image + first * width1;
    unsigned short* flat = save + first * width1;
    for (std::size_t i = 0; i < samples; ++i) {
        frame[i] = static_cast<unsigned short>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        flat[i] = static_cast<unsigned short>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    std::memset(frame + samples, 0, (count - samples) * sizeof *frame);
    std::memset(flat + samples, 0, (count - samples) * sizeof *flat);
    const double level = flat_level(save);
    for (std::size_t row = first; row < first + std::min(filled, rows); ++row)
        do_flat_field(image, save, level, static_cast<int>(row));
}
} // namespace

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
    // The second byte chooses the length: one of the four (whole only when
    // fuzz_whole_frame picks the input), or the input's own.
    std::size_t length = size - 2;
    if ((data[1] & 8) == 0) {
        length = lengths[data[1] & 3];
        if (!fuzz_whole_frame(data, size, length < native_full_length))
            --length;
    }
    const auto file = fuzz_padded(data + 2, size - 2, length);
    undo[0] = 0xABCD;
    const int dark = calibration_file_from_bytes(file, undo);
    if (dark != calibration_ok && dark != calibration_bad_file)
        __builtin_trap();
    if (dark != calibration_ok && undo[0] != 0xABCD)
        __builtin_trap();
    if (dark == calibration_ok) {
        fuzz_check_accepted(file, kind_is_fits(kind_for_length(file.size())));
        // The loaded frame as dark and as flat, as the exposure loop applies
        // them, and mirrored with or without a label.
        auto_remove(1, "", undo, image, undo);
        auto_flatfield(1, "", undo, image, undo);
        if (data[1] & 16)
            mirror_image(image, trial);
    }
    // The flat level sums ten whole rows: one input in four, picked by its
    // checksum, takes the flat field on its own samples.
    if ((fuzz_checksum(data, size) >> 20) % 4 == 0)
        flat_field_input(data + 2, size - 2);

    // Label text and FITS date from the same bytes, each cut to its field.
    const std::size_t text = std::min<std::size_t>(size - 2, 40);
    char label[41] = {};
    std::memcpy(label, data + 2, text);
    std::memcpy(FITS_Time, data + 2, std::min<std::size_t>(size - 2, sizeof FITS_Time - 1));
    std::memcpy(FITS_Date, data + 2, std::min<std::size_t>(size - 2, sizeof FITS_Date - 1));
    auto_FITS_date = data[1] >> 7;
    do_label_image(1, label, image);
    if (dark == calibration_ok && (data[1] & 16) == 0)
        mirror_image(image, trial);
    return 0;
}
