#include "display/photometry.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"
#include "store/image_io.h"

std::uint32_t aperture_sum(const unsigned short* frame, int x, int y, int rad)
{
    std::uint32_t total = 0;
    for (int row = y - rad; row <= y + rad; ++row) {
        if (row < 0 || row >= height1)
            continue;
        for (int col = x - rad; col <= x + rad; ++col) {
            if (col < 0 || col >= width1)
                continue;
            total += frame[row * width1 + col];
        }
    }
    return total;
}

void record_measurement(int x, int y, std::uint32_t sum)
{
    if (ph_object == 'o') {
        obj_x = x;
        obj_y = y;
        obj_val = sum;
    } else if (ph_object == 'c') {
        comp_x = x;
        comp_y = y;
        comp_val = sum;
    } else {
        back_x = x;
        back_y = y;
        back_val = sum;
    }
}

namespace {
void clear_measurements()
{
    obj_x = obj_y = comp_x = comp_y = back_x = back_y = 0;
    obj_val = comp_val = back_val = 0;
}

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}
} // namespace

void photometry_start()
{
    cur_rad = 4;
    clear_measurements();
    mast_x = mast_y = mast_val = 0;
    back_select = 0;
    photometry = 1;
}

void set_aperture(int rad)
{
    cur_rad = rad;
    clear_measurements();
}

int aperture_button(int rad)
{
    switch (rad) {
    case 2:
        return 114;
    case 3:
        return 115;
    case 4:
        return 116;
    case 6:
        return 118;
    case 8:
        return 119;
    default:
        return 117;
    }
}

int object_button(char object)
{
    if (object == 'o')
        return 101;
    if (object == 'c')
        return 102;
    return 103;
}

bool magnitude_difference(std::uint32_t obj, std::uint32_t comp, std::uint32_t back, double* dm)
{
    if (obj == 0 || comp == 0 || obj <= back || comp <= back)
        return false;
    const float ratio = static_cast<float>(obj - back) / static_cast<float>(comp - back);
    *dm = -2.5 * std::log10(static_cast<double>(ratio));
    return true;
}

PhotometryReadout photometry_readout()
{
    PhotometryReadout out;
    const std::uint32_t n = static_cast<std::uint32_t>((2 * cur_rad + 1) * (2 * cur_rad + 1));
    out.obj_level = format("%7.0f", static_cast<double>(obj_val / n));
    out.comp_level = format("%7.0f", static_cast<double>(comp_val / n));
    // Before a background is chosen the image's most common level stands in.
    const double back_level = back_select ? static_cast<double>(back_val / n) : most_pop * 256.0;
    out.back_level = format("%7.0f", back_level);
    double dm = 0.0;
    if (magnitude_difference(obj_val, comp_val, back_val, &dm))
        out.magnitude = format("%2.2f", dm);
    out.cursor_value = format("%7.0f", static_cast<double>(mast_val));
    return out;
}

int load_comparison_file(unsigned short* comparisonptr, unsigned short* comparisonintptr)
{
    static std::vector<unsigned char> bytes; // one thread; kept for the next load
    std::uintmax_t length = 0;
    const FileRead read = read_file_start(ComparisonFileName, bytes, fits_full_length, &length);
    if (read == FileRead::cannot_open)
        return 11;
    if (read != FileRead::ok || length != bytes.size())
        return 12;
    return comparison_file_from_bytes(bytes, comparisonptr, comparisonintptr);
}

int comparison_file_from_bytes(
    std::span<const unsigned char> file, unsigned short* comparisonptr, unsigned short* comparisonintptr)
{
    const bool fits = kind_is_fits(kind_for_length(file.size()));
    switch (second_image_from_bytes(file, fits ? comparisonintptr : comparisonptr)) {
    case SecondLoad::ok:
        return 0;
    case SecondLoad::cannot_open:
        return 11;
    case SecondLoad::wrong_file:
    case SecondLoad::header_mismatch:
        return 12;
    }
    return 12;
}
