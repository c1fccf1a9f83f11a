#include "sim/mount_follower.h"

#include <cmath>
#include <mutex>

#include "sim/mount_sky.h"
#include "sim/sky_model.h"

namespace sim {

MountFollower::MountFollower(SkyModel& sky)
    : sky_(sky)
{
}

void MountFollower::reported(double ra_hours, double dec_degrees)
{
    std::lock_guard lock(sky_mutex());
    constexpr double pi = 3.14159265358979323846;
    const double dra_hours = std::remainder(ra_hours - ra_, 24.0);
    const double ddec = dec_degrees - dec_;
    const double c = std::cos(dec_degrees * pi / 180.0);
    const double step = std::hypot(dra_hours * 15.0 * c, ddec);
    if (!have_ || step > jump_degrees) {
        sky_.point_at(ra_hours, dec_degrees);
    } else {
        // The model reports its target less its offset: a mount that moves
        // to a higher right ascension or declination lowers the offset.
        const double scale = sky_.settings().arcsec_per_pixel;
        sky_.move_pointing(-dra_hours * 15.0 * 3600.0 * c / scale, -ddec * 3600.0 / scale);
    }
    have_ = true;
    ra_ = ra_hours;
    dec_ = dec_degrees;
}

} // namespace sim
