// The mount's side of the shared sky model: what the simulated telescope
// does moves the stars the simulated camera renders.
#pragma once

#include "sim/mount_sky.h"
#include "sim/sky_model.h"

namespace sim {

// Callers hold sky_mutex() (the simulated mount does).
class SkyModelSky : public MountSky {
public:
    explicit SkyModelSky(SkyModel& sky)
        : sky_(sky)
    {
    }
    void move_pointing(double dx_px, double dy_px) override { sky_.move_pointing(dx_px, dy_px); }
    void point_at(double ra_hours, double dec_degrees) override { sky_.point_at(ra_hours, dec_degrees); }
    double ra_hours() const override { return sky_.ra_hours(); }
    double dec_degrees() const override { return sky_.dec_degrees(); }
    void set_focus(double position) override { sky_.set_focus_position(position); }

private:
    SkyModel& sky_;
};

} // namespace sim
