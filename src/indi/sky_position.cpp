#include "indi/sky_position.h"

#include <cmath>
#include <cstdio>

#include <libnova/julian_day.h>
#include <libnova/precession.h>
#include <libnova/transform.h>
#include <libnova/angular_separation.h>

namespace {

constexpr double j2000_day = 2451545.0;

ln_equ_posn to_nova(const Equatorial& e)
{
    return { e.ra_hours * 15.0, e.dec_degrees };
}

Equatorial from_nova(const ln_equ_posn& p)
{
    double ra = std::fmod(p.ra / 15.0, 24.0);
    if (ra < 0)
        ra += 24.0;
    return { ra, p.dec };
}

Equatorial precess(const Equatorial& from, double from_day, double to_day)
{
    ln_equ_posn in = to_nova(from), out {};
    ln_get_equ_prec2(&in, from_day, to_day, &out);
    return from_nova(out);
}

} // namespace

double julian_day_now()
{
    return ln_get_julian_from_sys();
}

Equatorial precess_to_date(const Equatorial& j2000, double julian_day)
{
    return precess(j2000, j2000_day, julian_day);
}

Equatorial precess_to_j2000(const Equatorial& of_date, double julian_day)
{
    return precess(of_date, julian_day, j2000_day);
}

void horizontal(const Equatorial& of_date, const Site& site, double julian_day, double& altitude,
    double& azimuth)
{
    ln_equ_posn equ = to_nova(of_date);
    double lng = site.longitude_degrees;
    if (lng > 180.0)
        lng -= 360.0;
    ln_lnlat_posn observer { lng, site.latitude_degrees };
    ln_hrz_posn hrz {};
    ln_get_hrz_from_equ(&equ, &observer, julian_day, &hrz);
    altitude = hrz.alt;
    // libnova counts azimuth from the south.
    azimuth = std::fmod(hrz.az + 180.0, 360.0);
}

double separation_arcsec(const Equatorial& a, const Equatorial& b)
{
    ln_equ_posn pa = to_nova(a), pb = to_nova(b);
    return ln_get_angular_separation(&pa, &pb) * 3600.0;
}

std::string format_ra(double ra_hours)
{
    long s = std::lround(ra_hours * 3600.0) % (24 * 3600);
    if (s < 0)
        s += 24 * 3600;
    char text[32];
    std::snprintf(text, sizeof text, "%02ldh%02ldm%02lds", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string format_dec(double dec_degrees)
{
    const long s = std::lround(std::fabs(dec_degrees) * 3600.0);
    char text[32];
    std::snprintf(text, sizeof text, "%c%02ld\xC2\xB0%02ld'%02ld\"", dec_degrees < 0 ? '-' : '+', s / 3600,
        s / 60 % 60, s % 60);
    return text;
}
