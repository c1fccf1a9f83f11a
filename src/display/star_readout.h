// The size of a star the user points at, as the windows show it: the picked
// guide star (beside its cross) and the photometry object.
#pragma once

#include <string>

#include "processing/star_measure.h"

// The picked guide star's measure, taken when it is picked.
extern StarMeasure picked_star_size;

// Measures the star at (x, y) of the displayed frame (`width1` x `height1`),
// searching `radius` samples about it.
StarMeasure measure_frame_star(const unsigned short* frame, int x, int y, int radius);

// "HFD 4.21 px (3.47")  FWHM 3.30 px (2.72")", arcseconds when the focal
// length is known; "Star saturated" or "No star" when it was refused.
// `binned_frame` picks the pixel size the arcseconds use.
std::string star_readout(const StarMeasure& m, bool binned_frame);
