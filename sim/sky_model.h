// The sky the simulated camera sees and the simulated mount moves. One model
// is shared by both, so a guide pulse sent to the mount moves the stars the
// camera renders next.
//
// Geometry. The sky is a plane of pixels: u along right ascension
// (ra in degrees x cos(dec) / plate scale), v along declination. It is cut
// into square tiles whose stars follow from the seed and the tile's index
// alone, so the same coordinates always show the same stars: a go-to
// elsewhere shows another field and going back shows the first again.
// The sensor's centre (column 376, row 290) looks at the go-to target; a
// star of the plane at (u, v) lands on the sensor at
//     column = u - u0 + 376 + offset_x,  row = v - v0 + 290 + offset_y
// so the pointing offset (drift, guide pulses, hand moves) moves every star
// on the sensor by exactly the offset. The mount's reported coordinates are
// the target less the offset (the image moves one way, the telescope the
// other).
//
// Time. Everything follows the program Clock: drift builds up between
// `advance_to` calls, and the mount's moves are stamped with the clock's
// time, so exposures on a ManualClock see the same sky every run.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace sim {

// A star on the sensor: centre in full-resolution pixels (pixel centres at
// whole numbers) and its light in ADU per second, all pixels together.
struct SensorStar {
    double x = 0;
    double y = 0;
    double flux = 0;
};

struct SkySettings {
    std::uint64_t seed = 20261208;
    double arcsec_per_pixel = 2.0; // plate scale of the full-resolution pixel
    double stars_per_megapixel = 180; // mean star density of the plane
    double faintest_flux = 150; // ADU/s of the faintest star
    double brightest_flux = 2.0e6; // cap of the bright end
    double sky_adu_per_s = 15; // background per full-resolution pixel
    double fwhm_px = 3.2; // seeing disc (Moffat, beta 3)
    // The object a go-to centres: a star this bright (ADU/s) at the target
    // itself, so every pointing has something to focus and guide on. 0: the
    // field holds only its seeded stars.
    double target_flux = 0;
};

// Axes: x runs along the sensor's columns (right ascension), y along its
// rows (declination), both in full-resolution pixels.
class SkyModel {
public:
    SkyModel();
    explicit SkyModel(const SkySettings& settings);

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
    // A passing cloud: the share of every star's light that gets through
    // (1 clear, 0.1 a thick cloud).
    void set_transparency(double share) { transparency_ = share; }
    double transparency() const { return transparency_; }

    // ----- the camera's view
    const SkySettings& settings() const { return settings_; }
    // New settings, and back to the start (see reset()).
    void configure(const SkySettings& settings);
    // Stars of the go-to field whose centres fall within `margin` pixels of
    // the sensor (752 x 580), placed with the offset (dx, dy) given.
    std::vector<SensorStar> stars_on_sensor(double dx, double dy, double margin) const;
    // The integral of the offset over time (pixel-milliseconds) up to
    // `now_ms`; the difference of two readings over the interval between
    // them is the mean offset an exposure of that interval sees, guide
    // pulses and drift included.
    void offset_integral(std::int64_t now_ms, double& ix, double& iy);
    // One draw of the seeing jitter for an exposure of `ms`: the star images
    // dance about their place, and a longer exposure averages the dance out.
    void jitter(std::int64_t ms, double& jx, double& jy);
    // Adds a star that lands on sensor column `x`, row `y` (full resolution)
    // while the mount is at the current target with no offset: a known guide
    // star for tests and demonstrations. Forgotten by reset().
    void place_star(double x, double y, double flux_adu_per_s);
    // The brightness of the moonless background per full-resolution pixel.
    double sky_rate() const { return settings_.sky_adu_per_s; }

    // Back to the start: target (0 h, 0 deg), no offset, no drift, no jitter,
    // the clock reference forgotten, the jitter sequence restarted.
    void reset();

private:
    void stars_of_tile(std::int64_t tu, std::int64_t tv, std::vector<SensorStar>& out) const;
    void target_plane(double& u0, double& v0) const;
    // Brings drift up to the program clock's now; the getters call it too,
    // so the mount reports where drift has taken it.
    void sync() const;
    void catch_up(std::int64_t now_ms) const;

    SkySettings settings_;
    double ra_hours_ = 0;
    double dec_degrees_ = 0;
    mutable double offset_x_ = 0;
    mutable double offset_y_ = 0;
    double drift_x_ = 0;
    double drift_y_ = 0;
    double jitter_rms_ = 0;
    double transparency_ = 1;
    mutable bool have_time_ = false;
    mutable std::int64_t last_ms_ = 0;
    mutable double integral_x_ = 0;
    mutable double integral_y_ = 0;
    std::mt19937_64 jitter_rng_;
    std::vector<SensorStar> placed_; // in sky-plane pixels
};

// The one sky the running program's simulated camera and telescope share.
SkyModel& shared_sky();

// A normal deviate from `rng`, the same on every standard library (the
// library's own distributions are not specified bit for bit).
double gaussian(std::mt19937_64& rng);

} // namespace sim
