#include "sim/sim_camera.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/clock.h"
#include "app/wait.h"
#include "sim/mount_sky.h"

// The exposure model
// ------------------
// The sensor is interlaced: field 0 is the even rows (0, 2, ... 578), field 1
// the odd rows. Each field's photosites collect light (sky, stars, dark
// current) from the moment the field last started, and hold it until a
// transfer moves it into the shielded vertical registers; the transfer also
// starts the field collecting afresh. So a field's exposure is the time from
// its last start (a wipe, or its previous transfer) to the transfer that
// moves it.
//
//   2/1 wipe        both fields start collecting now (their charge is dropped)
//   2/2 clear       the vertical registers are emptied (nothing else changes)
//   2/3 transfer    both fields move into the registers; a field read
//                   afterwards delivers field 0
//   2/4 transfer    field 1 alone moves; a field or window read delivers field 1
//   2/5 transfer    field 0 alone moves; a field or window read delivers field 0
//
// A transfer adds to what the registers hold, so two transfers without a
// clear between them sum. A read digitises the registers and empties them:
//   mode 0 (binned)  each 2 x 2 block of register charge, both fields, summed
//   mode 2 (field)   the 290 lines of the field the last transfer named
//   mode 1 (window)  128 field lines x 128 columns of that field
// A read whose bytes 1-2 hold an exposure E > 0 is timed by the camera: it
// empties the registers, starts the fields of the last transfer afresh, waits
// E ms, repeats that transfer and reads. Long exposures (bytes 1-2 = 0) are
// whatever the program timed between the starts and the transfer.
//
// What each read-out sequence of the exposure loop gets (E the exposure, D
// one field download, M the loop's download_time estimate):
//   binned, fast high resolution, focus and guide frames: wipe ... E ...
//     transfer 3 (or a camera-timed read); both fields hold E. Binned sums
//     both; the field and window reads deliver field 0.
//   single-exposure high resolution ("highres_intl"): wipe; at 1.02 M the
//     loop sends 4 then a clear, which restarts field 1; at E it sends 5 and
//     reads field 0 (E), then after one download 4 moves field 1, which
//     collected E + D - 1.02 M: E once the loop has measured D (a
//     program-timed exposure in tenths or finer has no mid-exposure 4, so
//     its odd rows collect E + D).
//   two-exposure high resolution ("highres_nonintl"): 3 and a field read
//     give field 0 of the first exposure; a clear, a wipe, the second
//     exposure, then 5 and 4 with no clear between put both fields in the
//     registers and the read delivers field 1 (the last named): E each.
//   self-guiding: the guide frames transfer field 1 (4) again and again,
//     each holding field 1's light since the one before (their reads carry
//     the main exposure's bytes, 0, so the camera does not time them), while
//     field 0 keeps the main exposure; at the end 5 moves field 0 (E). A binned read of it carries
//     field 0 alone (half the light of an unguided binned frame). With the
//     frame switch the halves trade places at mid-exposure: 5 and a field
//     read take field 0's first half, a wipe starts both afresh, the guide
//     frames move on to field 0 (5), and the final 4 moves field 1's second
//     half: E / 2 in each field.
//
// Units: charge and samples are ADU; the output is bias + charge + read
// noise, rounded and clamped to 0..65535 (bright stars saturate).

namespace sim {

namespace zq {
    WindowOrigin window_origin(unsigned char byte3, unsigned char byte5, bool guide_alignment)
    {
        // The program sends byte 3 = first line + 9 and byte 5 = (first column
        // + 24) / 3, the camera counting 9 lines and 8 column groups of 3 before
        // the sensor. Column groups start the window on a multiple of 3.
        int line = static_cast<int>(byte3) - 9;
        if (guide_alignment && line > 0)
            line += line % 10;
        return { line, static_cast<int>(byte5) * 3 - 24 };
    }
} // namespace zq

namespace {

    constexpr double moffat_beta = 3.0;
    constexpr std::size_t log_limit = 4096;

    std::uint64_t mix(std::uint64_t x)
    {
        x += 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }

    std::int64_t now()
    {
        return program_clock().now_ms();
    }

    void put_sample(std::vector<unsigned char>& out, std::size_t index, std::uint16_t v)
    {
        out[2 * index] = static_cast<unsigned char>(v & 0xff);
        out[2 * index + 1] = static_cast<unsigned char>(v >> 8);
    }

} // namespace

void FrameNoise::seed(std::uint64_t s)
{
    rng_.seed(s);
    left_ = 0;
}

const std::vector<double>& FrameNoise::table()
{
    // The normal quantile at the middle of each of 65,536 equal slices,
    // found by bisection on erfc to 1e-11, and computed once.
    static const std::vector<double> quantiles = [] {
        std::vector<double> q(65536);
        for (std::size_t i = 0; i < q.size(); ++i) {
            const double p = (static_cast<double>(i) + 0.5) / 65536.0;
            double lo = -8, hi = 8;
            for (int k = 0; k < 40; ++k) {
                const double mid = 0.5 * (lo + hi);
                (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p ? lo : hi) = mid;
            }
            q[i] = 0.5 * (lo + hi);
        }
        return q;
    }();
    return quantiles;
}

SimCamera::SimCamera(SkyModel& sky, const SensorSettings& settings)
    : sky_(sky)
    , settings_(settings)
{
    const std::size_t pixels = std::size_t(zq::width) * zq::height;
    dark_.resize(pixels);
    registers_.resize(pixels);
    scratch_.resize(pixels);
    // The dark frame is a property of this sensor: fixed by the seed.
    std::mt19937_64 rng(mix(settings_.seed ^ 0xda3e39cb94b95bdbULL));
    for (float& d : dark_)
        d = static_cast<float>(
            std::max(0.0, settings_.dark_adu_per_s * (1.0 + settings_.dark_spread * gaussian(rng))));
    for (int i = 0; i < settings_.hot_pixels; ++i) {
        HotPixel h;
        h.x = static_cast<int>(rng() % zq::width);
        h.y = static_cast<int>(rng() % zq::height);
        const double u = static_cast<double>(rng() >> 11) / 9007199254740992.0;
        h.adu_per_s
            = settings_.hot_min_adu_per_s + u * (settings_.hot_max_adu_per_s - settings_.hot_min_adu_per_s);
        dark_[std::size_t(h.y) * zq::width + h.x] = static_cast<float>(h.adu_per_s);
        hot_.push_back(h);
    }
    reset();
}

void SimCamera::reset()
{
    clear_registers();
    faults_ = {};
    last_transfer_ = 3;
    gone_ = false;
    read_pending_ = false;
    commands_received_ = 0;
    block_reads_ = 0;
    noise_.seed(mix(settings_.seed));
    clear_log();
    wipe(3);
}

void SimCamera::clear_registers()
{
    // The loop clears the registers every few milliseconds in a long focus
    // exposure: skip the work when they hold nothing.
    if (!registers_empty_)
        std::fill(registers_.begin(), registers_.end(), 0.0f);
    registers_empty_ = true;
    held_ms_ = {};
}

void SimCamera::clear_log()
{
    commands_.clear();
    reads_.clear();
}

CameraDiscovery SimCamera::discover()
{
    CameraDiscovery d;
    if (gone_)
        return d;
    open_ = true;
    d.command_channel = true;
    d.command_handle = 1;
    d.records.push_back({ 0x04b4, "Quillon Simulator", 0x8613, "ZQ1 Camera (simulated)" });
    if (!faults_.no_data_channel) {
        d.data_channel = true;
        d.data_handle = 2;
        d.records.push_back({ 0x04b4, "Quillon Simulator", 0x8613, "ZQ1 BlockIO (simulated)" });
    }
    return d;
}

void SimCamera::close()
{
    open_ = false;
}

TransferResult SimCamera::write_report(const unsigned char* report, std::size_t length)
{
    if (!open_ || gone_)
        return { 0, ENODEV, true };
    if (faults_.disconnect_after_commands > 0 && commands_received_ >= faults_.disconnect_after_commands) {
        gone_ = true;
        return { 0, ENODEV, true };
    }
    // The command interface takes report 0 with an 8-byte payload.
    if (report == nullptr || length < 9 || report[0] != 0)
        return { 0, EINVAL, false };
    ++commands_received_;
    CameraCommand c;
    c.ms = now();
    std::memcpy(c.bytes.data(), report + 1, 8);
    commands_.push_back(c);
    if (commands_.size() > log_limit)
        commands_.pop_front();

    const auto& b = c.bytes;
    if (b[0] == 2) {
        switch (b[1]) {
        case 1:
            wipe(3);
            break;
        case 2:
            clear_registers();
            break;
        case 3:
        case 4:
        case 5:
            last_transfer_ = b[1];
            transfer(fields_of_last_transfer());
            break;
        default:
            break; // other control commands do nothing
        }
    } else if (b[0] == 4) {
        read_pending_ = true;
        pending_ = b;
    }
    return { length, 0, false };
}

TransferResult SimCamera::read_report(unsigned char* buffer, std::size_t length)
{
    if (!open_ || gone_)
        return { 0, ENODEV, true };
    // The camera sends no input reports of interest: an empty report 0.
    if (buffer != nullptr)
        std::memset(buffer, 0, length);
    return { length, 0, false };
}

int SimCamera::fields_of_last_transfer() const
{
    // Bit 0: field 0 (even rows), bit 1: field 1 (odd rows).
    return last_transfer_ == 4 ? 2 : last_transfer_ == 5 ? 1 : 3;
}

void SimCamera::wipe(int fields)
{
    // The simulated telescope's thread moves the same sky.
    std::lock_guard sky_lock(sky_mutex());
    const std::int64_t t = now();
    double ix = 0, iy = 0;
    sky_.offset_integral(t, ix, iy);
    for (int f = 0; f < 2; ++f) {
        if ((fields & (1 << f)) == 0)
            continue;
        start_ms_[f] = t;
        start_ix_[f] = ix;
        start_iy_[f] = iy;
    }
}

void SimCamera::transfer(int fields)
{
    std::lock_guard sky_lock(sky_mutex());
    const std::int64_t t = now();
    double ix = 0, iy = 0;
    sky_.offset_integral(t, ix, iy);
    // One draw of the seeing per transfer: fields moved together saw the
    // same sky.
    std::int64_t longest = 0;
    for (int f = 0; f < 2; ++f)
        if ((fields & (1 << f)) != 0)
            longest = std::max(longest, t - start_ms_[f]);
    double jx = 0, jy = 0;
    sky_.jitter(longest, jx, jy);
    for (int f = 0; f < 2; ++f) {
        if ((fields & (1 << f)) == 0 || t <= start_ms_[f])
            continue;
        // Where the stars stood on average while the field collected: drift
        // and guide moves alike.
        const double span = static_cast<double>(t - start_ms_[f]);
        expose_field(f, start_ms_[f], t, (ix - start_ix_[f]) / span + jx, (iy - start_iy_[f]) / span + jy);
        held_ms_[f] += span;
    }
    wipe(fields);
}

void SimCamera::expose_field(int field, std::int64_t t0, std::int64_t t1, double dx, double dy)
{
    if (t1 <= t0)
        return;
    const double seconds = static_cast<double>(t1 - t0) / 1000.0;
    const double sky = sky_.sky_rate();
    for (int y = field; y < zq::height; y += 2) {
        float* row = &scratch_[std::size_t(y) * zq::width];
        const float* dark = &dark_[std::size_t(y) * zq::width];
        for (int x = 0; x < zq::width; ++x)
            row[x] = static_cast<float>((sky + dark[x]) * seconds);
    }

    // Moffat profile: I(r) ~ (1 + r^2 / a^2)^-beta. Each star's stamp is
    // normalised over both fields, so a field gets its own share of the light
    // and the total never depends on where the star falls on the pixels. The
    // stamp is a disc reaching out to where the wing falls below a tenth of
    // an ADU per second, so bright stars keep their halo and faint ones cost
    // little.
    const double fwhm = sky_.star_fwhm();
    const double alpha = fwhm / (2.0 * std::sqrt(std::pow(2.0, 1.0 / moffat_beta) - 1.0));
    const double inv_a2 = 1.0 / (alpha * alpha);
    const double peak_share = (moffat_beta - 1.0) / (3.14159265358979323846 * alpha * alpha);
    std::vector<double> stamp;
    for (const SensorStar& s : sky_.stars_on_sensor(dx, dy, 60)) {
        const double wing = std::cbrt(std::max(1.0, s.flux * peak_share / 0.1)) - 1.0;
        const int radius = std::clamp(static_cast<int>(std::ceil(alpha * std::sqrt(wing))),
            static_cast<int>(std::ceil(2.0 * fwhm)), 60);
        const int side = 2 * radius + 1;
        const int cx = static_cast<int>(std::lround(s.x));
        const int cy = static_cast<int>(std::lround(s.y));
        if (cx + radius < 0 || cx - radius >= zq::width || cy + radius < 0 || cy - radius >= zq::height)
            continue;
        stamp.assign(std::size_t(side) * side, 0.0);
        double total = 0;
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i) {
                if ((i - radius) * (i - radius) + (j - radius) * (j - radius) > radius * radius)
                    continue;
                const double rx = cx - radius + i - s.x;
                const double ry = cy - radius + j - s.y;
                const double q = 1.0 + (rx * rx + ry * ry) * inv_a2;
                const double v = 1.0 / (q * q * q); // beta = 3
                stamp[std::size_t(j) * side + i] = v;
                total += v;
            }
        const double scale = s.flux * seconds / total;
        for (int j = 0; j < side; ++j) {
            const int y = cy - radius + j;
            if (y < 0 || y >= zq::height || (y & 1) != field)
                continue;
            for (int i = 0; i < side; ++i) {
                const int x = cx - radius + i;
                if (x < 0 || x >= zq::width)
                    continue;
                scratch_[std::size_t(y) * zq::width + x]
                    += static_cast<float>(stamp[std::size_t(j) * side + i] * scale);
            }
        }
    }

    registers_empty_ = false;
    for (int y = field; y < zq::height; y += 2) {
        float* row = &scratch_[std::size_t(y) * zq::width];
        float* reg = &registers_[std::size_t(y) * zq::width];
        for (int x = 0; x < zq::width; ++x) {
            double v = row[x];
            if (settings_.shot_noise && v > 0)
                v = std::max(0.0, v + std::sqrt(v) * noise_.next());
            reg[x] += static_cast<float>(v);
        }
    }
}

double SimCamera::sample(double charge)
{
    double v = settings_.bias + charge;
    if (settings_.read_noise > 0)
        v += settings_.read_noise * noise_.next();
    return std::clamp(std::round(v), 0.0, 65535.0);
}

std::vector<unsigned char> SimCamera::read_out(int mode, const std::array<unsigned char, 8>& command)
{
    const int field = last_transfer_ == 4 ? 1 : 0;
    auto reg
        = [this](int y, int x) { return static_cast<double>(registers_[std::size_t(y) * zq::width + x]); };
    std::vector<unsigned char> out;
    if (mode == 0) {
        out.resize(zq::binned_bytes);
        for (int r = 0; r < zq::binned_rows; ++r)
            for (int s = 0; s < zq::binned_row_samples; ++s) {
                const int by = r - zq::binned_first_row;
                const int bx = s - zq::binned_first_sample;
                double charge = 0;
                if (by >= 0 && by < zq::height / 2 && bx >= 0 && bx < zq::width / 2)
                    charge = reg(2 * by, 2 * bx) + reg(2 * by, 2 * bx + 1) + reg(2 * by + 1, 2 * bx)
                        + reg(2 * by + 1, 2 * bx + 1);
                put_sample(out, std::size_t(r) * zq::binned_row_samples + s,
                    static_cast<std::uint16_t>(sample(charge)));
            }
    } else if (mode == 2) {
        out.resize(zq::field_bytes);
        for (int r = 0; r < zq::field_rows; ++r)
            for (int s = 0; s < zq::field_row_samples; ++s) {
                const int line = r - zq::field_first_row;
                const int x = s - zq::field_first_sample;
                double charge = 0;
                if (line >= 0 && line < zq::field_lines && x >= 0 && x < zq::width)
                    charge = reg(2 * line + field, x);
                put_sample(out, std::size_t(r) * zq::field_row_samples + s,
                    static_cast<std::uint16_t>(sample(charge)));
            }
    } else {
        out.resize(zq::window_bytes);
        // Lines and columns past the sensor read as overscan: bias and noise.
        const zq::WindowOrigin o
            = zq::window_origin(command[3], command[5], settings_.window_guide_alignment);
        for (int r = 0; r < zq::window_size; ++r)
            for (int c = 0; c < zq::window_size; ++c) {
                const int line = o.line + r;
                const int x = o.column + c;
                double charge = 0;
                if (line >= 0 && line < zq::field_lines && x >= 0 && x < zq::width)
                    charge = reg(2 * line + field, x);
                put_sample(
                    out, std::size_t(r) * zq::window_size + c, static_cast<std::uint16_t>(sample(charge)));
            }
    }
    clear_registers();
    return out;
}

TransferResult SimCamera::read_block(unsigned char* buffer, std::size_t length)
{
    if (!open_ || gone_)
        return { 0, ENODEV, true };
    if (!read_pending_ || pending_[7] > 2)
        return { 0, ETIMEDOUT, false }; // nothing asked for, or a mode the camera lacks: no data comes
    ++block_reads_;
    read_pending_ = false;
    const std::array<unsigned char, 8> command = pending_;
    const int mode = command[7];
    const int exposure = command[1] + 256 * command[2];
    if (exposure > 0) {
        // The camera times short exposures itself: a fresh exposure of the
        // fields the last transfer moved, then that transfer again.
        clear_registers();
        wipe(fields_of_last_transfer());
        wait_ms(exposure);
        transfer(fields_of_last_transfer());
    }
    ReadRecord rec;
    rec.ms = now();
    rec.mode = mode;
    rec.camera_exposure_ms = exposure;
    rec.field = last_transfer_ == 4 ? 1 : 0;
    rec.integrated_ms = held_ms_;
    reads_.push_back(rec);
    if (reads_.size() > log_limit)
        reads_.pop_front();

    // The data flows for the download time from here; rendering it counts
    // as part of that time on the real clock.
    const std::int64_t flow_start = now();
    std::vector<unsigned char> data = read_out(mode, command);
    const int download = mode == 0 ? settings_.binned_download_ms
        : mode == 2                ? settings_.field_download_ms
                                   : settings_.window_download_ms;
    wait_until(flow_start + download);
    if (faults_.timed_out_block_read > 0 && block_reads_ == faults_.timed_out_block_read)
        return { 0, ETIMEDOUT, false };
    std::size_t n = std::min(length, data.size());
    if (faults_.short_block_read > 0 && block_reads_ == faults_.short_block_read)
        n /= 2;
    if (buffer != nullptr)
        std::memcpy(buffer, data.data(), n);
    return { n, 0, false };
}

namespace {
    SimCamera* made_camera = nullptr;
}

SimCamera& simulated_camera()
{
    static SimCamera camera(shared_sky());
    made_camera = &camera;
    return camera;
}

void reset_simulation()
{
    shared_sky().configure(SkySettings {});
    if (made_camera != nullptr) {
        made_camera->reset();
        made_camera->close();
        made_camera->set_window_guide_alignment(false);
    }
}

namespace {
    // A number from the environment; false when unset or not a number.
    bool env_number(const char* text, double& v, char stop = '\0', const char** rest = nullptr)
    {
        if (text == nullptr)
            return false;
        char* end = nullptr;
        const double d = std::strtod(text, &end);
        if (end == text || *end != stop || !std::isfinite(d))
            return false;
        v = d;
        if (rest != nullptr)
            *rest = end + 1;
        return true;
    }
} // namespace

SimCamera& install_simulated_camera()
{
    // The running program's mount drifts a little and the seeing dances, so
    // guiding has work to do.
    SkyModel& sky = shared_sky();
    // The user's target sits in the middle of the field, inside the default
    // focus frame.
    SkySettings field;
    field.target_flux = 40000;
    // The focuser starts a little out of focus, so there is something to
    // focus (QUILLON_SIM_FOCUS: the best position, in focuser steps).
    field.focus_best = 40;
    double x = 0, y = 0;
    if (env_number(std::getenv("QUILLON_SIM_FOCUS"), x))
        field.focus_best = x;
    sky.configure(field);
    double dx = 0.03, dy = -0.015;
    const char* rest = nullptr;
    if (env_number(std::getenv("QUILLON_SIM_DRIFT"), x, ',', &rest) && env_number(rest, y))
        dx = x, dy = y;
    sky.set_drift(dx, dy);
    double seeing = 0.3;
    if (env_number(std::getenv("QUILLON_SIM_SEEING"), x) && x >= 0)
        seeing = x;
    sky.set_seeing_jitter(seeing);
    SimCamera& camera = simulated_camera();
    // The program's guider finds its star where the camera's read-out puts
    // the window lines; the running simulator follows it, so training and
    // guiding start on the star wherever it was picked.
    camera.set_window_guide_alignment(true);
    set_camera_transport(&camera);
    return camera;
}

} // namespace sim
