// Simulator scenes the guiding tests share: one placed guide star on an
// otherwise empty sky, seen by a sensor without hot pixels (which the
// centroid could otherwise take for the star).
#pragma once

#include "sim/sky_model.h"

inline sim::SkySettings empty_sky()
{
    sim::SkySettings s;
    s.stars_per_megapixel = 0; // the placed guide star alone
    return s;
}

inline sim::SensorSettings sensor_without_hot_pixels()
{
    sim::SensorSettings c;
    c.hot_pixels = 0;
    return c;
}
