// Aperture photometry on the displayed frame and the comparison image load.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Sum of the (2 * rad + 1)-square aperture centred on (x, y) of a frame of
// width1 x height1 samples; samples outside the frame count as absent.
std::uint32_t aperture_sum(const unsigned short* frame, int x, int y, int rad);

// Stores a measurement at (x, y) as the object, comparison or background
// according to ph_object.
void record_measurement(int x, int y, std::uint32_t sum);

// Starts a photometry run: 9 x 9 aperture, every measurement cleared.
void photometry_start();
// Chooses the aperture half-width; the measurements of the old one are
// cleared because sums of different apertures cannot be compared.
void set_aperture(int rad);
// The aperture button id (117, 114, 115, 116, 118, 119) that shows `rad`.
int aperture_button(int rad);
// The object button id (101, 102, 103) that shows `object`.
int object_button(char object);

// -2.5 log10((obj - back) / (comp - back)); false when either sum is zero or
// not above the background (no logarithm of zero or of a negative ratio).
bool magnitude_difference(std::uint32_t obj, std::uint32_t comp, std::uint32_t back, double* dm);

// The texts the photometry dialog shows for the current measurements.
struct PhotometryReadout {
    std::string obj_level, comp_level, back_level;
    std::string magnitude; // empty when no difference can be computed
    std::string cursor_value;
};
PhotometryReadout photometry_readout();

// Loads ComparisonFileName (a native or FITS file of this program in the
// current geometry): native samples into `comparisonptr`, FITS samples into
// `comparisonintptr` (the program passes the comparison buffer as both).
// 0 loaded, 11 cannot open, 12 not an acceptable file. The buffer is
// untouched unless the load succeeds.
int load_comparison_file(unsigned short* comparisonptr, unsigned short* comparisonintptr);
// The same from the whole file's bytes (what the fuzzers feed).
int comparison_file_from_bytes(
    std::span<const unsigned char> file, unsigned short* comparisonptr, unsigned short* comparisonintptr);
