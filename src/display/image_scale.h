// The sky's scale on the sensor. The ZQ1's pixels are 8.6 x 8.3 µm (17.2 x
// 16.6 µm binned 2 x 2); with the telescope's focal length, kept in the text
// settings as `focal_length` (mm), that gives arcseconds per pixel. Figures
// shown in pixels are also shown in arcseconds when the focal length is set.
#pragma once

#include <string>

struct ImageScale {
    double x = 0; // arcseconds per pixel across
    double y = 0; // arcseconds per pixel down
    bool known() const { return x > 0 && y > 0; }
};

// Pixel size in micrometres for the binned (2 x 2) or full-resolution frame.
double pixel_width_um(bool binned_frame);
double pixel_height_um(bool binned_frame);

// The scale for a focal length in mm (unknown for <= 0).
ImageScale image_scale_for(double focal_length_mm, bool binned_frame);
// The scale for the stored focal length and the current frame geometry.
ImageScale current_image_scale();

// The stored focal length in mm (0 when not set) and the optional site name.
double focal_length_mm();
std::string site_name();
