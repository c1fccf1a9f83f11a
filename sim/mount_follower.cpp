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

void MountFollower::reported(double ra_hours, double dec_degrees, bool slewing)
{
    std::lock_guard lock(sky_mutex());
    constexpr double pi = 3.14159265358979323846;
    const double dra_hours = std::remainder(ra_hours - ra_, 24.0);
    const double ddec = dec_degrees - dec_;
    const double c = std::cos(dec_degrees * pi / 180.0);
    const double step = std::hypot(dra_hours * 15.0 * c, ddec);
    if (!have_ || slewing || slewed_ || step > jump_degrees) {
        sky_.point_at(ra_hours, dec_degrees);
        slewed_ = slewing;
    } else {
        // The camera sits so that the guider's default directions hold: a
        // move to higher right ascension (an east pulse) raises x, and a
        // move to lower declination (a north pulse on a mount east of its
        // pier, as INDI's simulator starts) raises y. A camera turned
        // otherwise is what the direction swaps of the settings are for.
        const double scale = sky_.settings().arcsec_per_pixel;
        sky_.move_pointing(dra_hours * 15.0 * 3600.0 * c / scale, -ddec * 3600.0 / scale);
    }
    have_ = true;
    ra_ = ra_hours;
    dec_ = dec_degrees;
}

} // namespace sim
