// The sky the simulated camera sees and the simulated mount moves. One model
// is shared by both, so a guide pulse sent to the mount moves the stars the
// camera renders next.
//
// The mount side (this block of the interface) is fixed; the camera side
// (rendering a field into sensor samples) is added beside it.
#pragma once

#include <cstdint>

namespace sim {

// Axes: x runs along the sensor's columns (right ascension), y along its
// rows (declination), both in full-resolution pixels.
class SkyModel {
public:
    // ----- the mount's view
    // Moves the pointing by a guide or hand move, in full-resolution pixels.
    void move_pointing(double dx_px, double dy_px);
    // Points at new coordinates (a go-to): the field changes to the one
    // around (ra_hours, dec_degrees).
    void point_at(double ra_hours, double dec_degrees);
    double ra_hours() const;
    double dec_degrees() const;
    // The pointing error that drift and moves have built up, in pixels.
    double offset_x() const;
    double offset_y() const;
    // Drift of an unguided mount in pixels per second (RA, Dec).
    void set_drift(double x_px_per_s, double y_px_per_s);
    // Seeing: random jitter of the star positions per frame, pixels RMS.
    void set_seeing_jitter(double rms_px);
    // Brings drift up to `now_ms` of the program clock.
    void advance_to(std::int64_t now_ms);
};

} // namespace sim
