// How sharp a star is: its half-flux diameter (HFD) and FWHM, measured on a
// 16-bit frame. The HFD is the diameter of the circle, about the star's
// sub-pixel centroid, that holds half of the star's light above the local
// background (a sigma-clipped mean of a ring outside the star). It stays
// meaningful far from focus, where a star is a wide disc or a ring and has
// no clear peak, so focusing and autofocus go by it.
//
// Frames may have rows further apart than columns: a focus or guide window
// holds every other sensor row (one field), so a row step there is two
// column widths. `row_pitch` gives the row step in column widths, and every
// size comes back in column widths (full-resolution pixels across).
#pragma once

#include <string>

struct StarFrame {
    const unsigned short* data = nullptr;
    int width = 0; // samples per row (the row stride)
    int height = 0;
    double row_pitch = 1.0; // distance between rows, in column widths
    // A sample at or above this is clipped: a star holding one is refused.
    int saturation = 65535;
};

enum class StarResult {
    measured,
    no_star, // nothing stands out of the background's noise
    saturated, // the star's core reached the saturation level
};

struct StarMeasure {
    StarResult result = StarResult::no_star;
    double x = 0; // centroid: column, and row in the frame's own rows
    double y = 0;
    double hfd = 0; // half-flux diameter, column widths
    double fwhm = 0; // full width at half maximum, column widths
    double flux = 0; // light above the background within the aperture
    double background = 0; // per sample
    double noise = 0; // background's standard deviation per sample
    int peak = 0; // brightest sample of the star
    bool ok() const { return result == StarResult::measured; }
};

// Measures the star nearest (x, y) within `search` samples (rows scaled by
// the pitch): its brightest sample there is taken as its core.
StarMeasure measure_star(const StarFrame& frame, double x, double y, int search);

// Finds the brightest star of the whole frame whose core is not clipped and
// measures it. Saturated stars are passed over; when every star is clipped
// the result says `saturated`, when there is none `no_star`.
StarMeasure measure_brightest_star(const StarFrame& frame);

// "HFD 4.21 px (3.47")": a size in pixels, and in arcseconds when the
// image scale is known (`arcsec_per_px` > 0).
std::string star_size_text(const char* name, double px, double arcsec_per_px);
