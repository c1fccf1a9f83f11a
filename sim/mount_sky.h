// What the simulated mount does to the sky. In the program it moves the
// shared sky model the simulated camera renders (SkyModelSky); tests and a
// program without the camera simulator keep the pointing in a PointingRecord.
#pragma once

#include <mutex>

namespace sim {

// Sign convention: a move east makes the stars' x grow, north their y, so a
// star left of its reference (the guider's positive RA error) is brought back
// by an east pulse, as the guider expects.
class MountSky {
public:
    virtual ~MountSky() = default;
    // Moves the field by a guide or hand move, in full-resolution pixels.
    virtual void move_pointing(double dx_px, double dy_px) = 0;
    // A go-to: the field becomes the one around these coordinates.
    virtual void point_at(double ra_hours, double dec_degrees) = 0;
    virtual double ra_hours() const = 0;
    virtual double dec_degrees() const = 0;
    // The focuser moved the optics to `position` (focuser steps); a sky that
    // draws no defocus ignores it.
    virtual void set_focus(double /*position*/) { }
};

// A pointing of its own: the coordinates of the last go-to and the moves
// since, summed.
class PointingRecord : public MountSky {
public:
    double ra = 0.0, dec = 0.0;
    double offset_x = 0.0, offset_y = 0.0;
    int goto_count = 0;

    void move_pointing(double dx_px, double dy_px) override
    {
        offset_x += dx_px;
        offset_y += dy_px;
    }
    void point_at(double ra_hours, double dec_degrees) override
    {
        ra = ra_hours;
        dec = dec_degrees;
        offset_x = offset_y = 0.0;
        ++goto_count;
    }
    double ra_hours() const override { return ra; }
    double dec_degrees() const override { return dec; }
};

// Held by whoever touches the shared sky model: the simulated telescope's
// pseudo-terminal thread moves it while the program's thread renders frames.
// Recursive, as the camera's transfer ends with a wipe.
std::recursive_mutex& sky_mutex();

} // namespace sim
