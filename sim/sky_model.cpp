#include "sim/sky_model.h"

#include <algorithm>
#include <cmath>

#include "app/clock.h"

namespace sim {

namespace {

    constexpr double tile_px = 256;
    constexpr double sensor_centre_x = 376;
    constexpr double sensor_centre_y = 290;
    constexpr int sensor_width = 752;
    constexpr int sensor_height = 580;
    constexpr double pi = 3.14159265358979323846;

    std::uint64_t splitmix(std::uint64_t x)
    {
        x += 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }

    // Uniform in (0, 1], never 0, so it can be inverted and logged.
    double uniform(std::mt19937_64& rng)
    {
        return (static_cast<double>(rng() >> 11) + 1.0) * (1.0 / 9007199254740992.0);
    }

} // namespace

double gaussian(std::mt19937_64& rng)
{
    // Box-Muller; one of the pair is enough here.
    const double a = uniform(rng);
    const double b = uniform(rng);
    return std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * pi * b);
}

SkyModel::SkyModel()
    : SkyModel(SkySettings {})
{
}

SkyModel::SkyModel(const SkySettings& settings)
    : settings_(settings)
{
    reset();
}

void SkyModel::configure(const SkySettings& settings)
{
    settings_ = settings;
    reset();
}

void SkyModel::reset()
{
    ra_hours_ = 0;
    dec_degrees_ = 0;
    offset_x_ = offset_y_ = 0;
    drift_x_ = drift_y_ = 0;
    jitter_rms_ = 0;
    transparency_ = 1;
    have_time_ = false;
    last_ms_ = 0;
    integral_x_ = integral_y_ = 0;
    jitter_rng_.seed(splitmix(settings_.seed ^ 0x6a09e667f3bcc909ULL));
    placed_.clear();
}

void SkyModel::place_star(double x, double y, double flux_adu_per_s)
{
    double u0 = 0, v0 = 0;
    target_plane(u0, v0);
    placed_.push_back({ x - sensor_centre_x + u0, y - sensor_centre_y + v0, flux_adu_per_s });
}

void SkyModel::sync() const
{
    catch_up(program_clock().now_ms());
}

void SkyModel::advance_to(std::int64_t now_ms)
{
    catch_up(now_ms);
}

// Drift is a function of time alone, so catching up with the clock is not a
// change a caller could see: the getters may do it.
void SkyModel::catch_up(std::int64_t now_ms) const
{
    if (!have_time_ || now_ms < last_ms_) {
        // First reading, or another clock was installed: start counting here.
        have_time_ = true;
        last_ms_ = now_ms;
        return;
    }
    const double dt = static_cast<double>(now_ms - last_ms_);
    // The offset grows linearly between readings, so its integral is exact.
    integral_x_ += offset_x_ * dt + 0.5 * drift_x_ * dt * dt / 1000.0;
    integral_y_ += offset_y_ * dt + 0.5 * drift_y_ * dt * dt / 1000.0;
    offset_x_ += drift_x_ * dt / 1000.0;
    offset_y_ += drift_y_ * dt / 1000.0;
    last_ms_ = now_ms;
}

void SkyModel::move_pointing(double dx_px, double dy_px)
{
    sync();
    offset_x_ += dx_px;
    offset_y_ += dy_px;
}

void SkyModel::point_at(double ra_hours, double dec_degrees)
{
    sync();
    ra_hours_ = ra_hours;
    dec_degrees_ = std::fmax(-90.0, std::fmin(90.0, dec_degrees));
    // A go-to lands on its target; the mount's errors build up anew.
    offset_x_ = offset_y_ = 0;
}

double SkyModel::ra_hours() const
{
    sync();
    const double c = std::cos(dec_degrees_ * pi / 180.0);
    const double ra = ra_hours_ - offset_x_ * settings_.arcsec_per_pixel / 3600.0 / std::fmax(c, 1e-6) / 15.0;
    return ra - 24.0 * std::floor(ra / 24.0);
}

double SkyModel::dec_degrees() const
{
    sync();
    return dec_degrees_ + offset_y_ * settings_.arcsec_per_pixel / 3600.0;
}

double SkyModel::offset_x() const
{
    sync();
    return offset_x_;
}

double SkyModel::offset_y() const
{
    sync();
    return offset_y_;
}

void SkyModel::set_drift(double x_px_per_s, double y_px_per_s)
{
    sync();
    drift_x_ = x_px_per_s;
    drift_y_ = y_px_per_s;
}

void SkyModel::set_seeing_jitter(double rms_px)
{
    jitter_rms_ = std::fmax(0.0, rms_px);
}

void SkyModel::offset_integral(std::int64_t now_ms, double& ix, double& iy)
{
    advance_to(now_ms);
    ix = integral_x_;
    iy = integral_y_;
}

void SkyModel::jitter(std::int64_t ms, double& jx, double& jy)
{
    jx = jy = 0;
    if (jitter_rms_ <= 0)
        return;
    const double rms
        = jitter_rms_ / std::sqrt(1.0 + static_cast<double>(std::max<std::int64_t>(ms, 0)) / 1000.0);
    jx = rms * gaussian(jitter_rng_);
    jy = rms * gaussian(jitter_rng_);
}

void SkyModel::target_plane(double& u0, double& v0) const
{
    const double scale = 3600.0 / settings_.arcsec_per_pixel;
    u0 = ra_hours_ * 15.0 * std::cos(dec_degrees_ * pi / 180.0) * scale;
    v0 = -dec_degrees_ * scale;
}

void SkyModel::stars_of_tile(std::int64_t tu, std::int64_t tv, std::vector<SensorStar>& out) const
{
    std::uint64_t h = splitmix(settings_.seed);
    h = splitmix(h ^ static_cast<std::uint64_t>(tu));
    h = splitmix(h ^ (static_cast<std::uint64_t>(tv) * 0x9e3779b97f4a7c15ULL));
    std::mt19937_64 rng(h);
    // Poisson count about the tile's mean.
    const double mean = settings_.stars_per_megapixel * tile_px * tile_px / 1e6;
    const double limit = std::exp(-mean);
    int count = 0;
    for (double p = uniform(rng); p > limit && count < 1000; p *= uniform(rng))
        ++count;
    for (int i = 0; i < count; ++i) {
        SensorStar s;
        s.x = (static_cast<double>(tu) + uniform(rng)) * tile_px;
        s.y = (static_cast<double>(tv) + uniform(rng)) * tile_px;
        // Counts rise steeply toward faint stars: N(> F) grows as 1 / sqrt(F).
        const double r = uniform(rng);
        s.flux = std::fmin(settings_.faintest_flux / (r * r), settings_.brightest_flux);
        out.push_back(s);
    }
}

std::vector<SensorStar> SkyModel::stars_on_sensor(double dx, double dy, double margin) const
{
    double u0 = 0, v0 = 0;
    target_plane(u0, v0);
    // Plane coordinates of the sensor's corners (with the margin).
    const double left = u0 - sensor_centre_x - dx - margin;
    const double right = u0 - sensor_centre_x - dx + sensor_width + margin;
    const double top = v0 - sensor_centre_y - dy - margin;
    const double bottom = v0 - sensor_centre_y - dy + sensor_height + margin;
    std::vector<SensorStar> plane = placed_;
    if (settings_.target_flux > 0)
        plane.push_back({ u0, v0, settings_.target_flux });
    for (auto tv = static_cast<std::int64_t>(std::floor(top / tile_px));
         tv <= static_cast<std::int64_t>(std::floor(bottom / tile_px)); ++tv)
        for (auto tu = static_cast<std::int64_t>(std::floor(left / tile_px));
             tu <= static_cast<std::int64_t>(std::floor(right / tile_px)); ++tu)
            stars_of_tile(tu, tv, plane);
    std::vector<SensorStar> out;
    for (const SensorStar& s : plane) {
        if (s.x < left || s.x > right || s.y < top || s.y > bottom)
            continue;
        out.push_back({ s.x - u0 + sensor_centre_x + dx, s.y - v0 + sensor_centre_y + dy, s.flux * transparency_ });
    }
    return out;
}

SkyModel& shared_sky()
{
    static SkyModel sky;
    return sky;
}

} // namespace sim
