// Where a catalogue position stands tonight: J2000 to the equinox of date
// (mounts' EQUATORIAL_EOD_COORD), and its altitude at a site, both with
// libnova, the library INDI's own drivers use.
#pragma once

#include <string>

struct Equatorial {
    double ra_hours = 0;
    double dec_degrees = 0;
};

struct Site {
    double latitude_degrees = 0;
    double longitude_degrees = 0; // east positive, as INDI gives it (0..360 or -180..180)
};

// The Julian day of the system clock now.
double julian_day_now();

// Precession of a J2000 mean position to the mean equinox of `julian_day`.
Equatorial precess_to_date(const Equatorial& j2000, double julian_day);
// The inverse: a position of date back to J2000.
Equatorial precess_to_j2000(const Equatorial& of_date, double julian_day);

// Altitude and azimuth (north 0, east 90) in degrees of a position of date
// seen from `site` at `julian_day`.
void horizontal(const Equatorial& of_date, const Site& site, double julian_day, double& altitude,
    double& azimuth);

// Great-circle distance between two positions, in arc seconds.
double separation_arcsec(const Equatorial& a, const Equatorial& b);

// "05h35m17s" and "-05°23'28\"": coordinates as the telescope dialog shows them.
std::string format_ra(double ra_hours);
std::string format_dec(double dec_degrees);
