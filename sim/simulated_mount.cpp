#include "sim/simulated_mount.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/clock.h"

namespace sim {
namespace {

    constexpr double pi = 3.14159265358979323846;
    constexpr int info_length = 32; // an :LI text is 32 characters and "#"
    constexpr double focuser_fast_steps_per_s = 100.0;
    constexpr double focuser_slow_steps_per_s = 10.0;

    double rate_multiplier(char rate)
    {
        switch (rate) {
        case 'C':
            return 16.0;
        case 'M':
            return 64.0;
        case 'S':
            return 512.0;
        default:
            return 1.0;
        }
    }

    // "05:35.0", "05:35:20" -> hours; nullopt when it is not a time.
    std::optional<double> parse_ra(const std::string& text)
    {
        int h = 0, m = 0;
        char sep = 0;
        double rest = 0.0;
        if (std::sscanf(text.c_str(), " %d:%d%c%lf", &h, &m, &sep, &rest) < 2)
            return std::nullopt;
        double minutes = m;
        if (sep == '.')
            minutes += std::atof(text.substr(text.find('.')).c_str());
        else if (sep == ':')
            minutes += rest / 60.0;
        if (h < 0 || h > 23 || m < 0 || m > 59)
            return std::nullopt;
        return h + minutes / 60.0;
    }

    // "-05*23", "+41*16:00" (or the degree sign 0xDF) -> degrees.
    std::optional<double> parse_dec(const std::string& text)
    {
        std::size_t i = text.find_first_not_of(' ');
        if (i == std::string::npos)
            return std::nullopt;
        double sign = 1.0;
        if (text[i] == '-' || text[i] == '+') {
            sign = text[i] == '-' ? -1.0 : 1.0;
            ++i;
        }
        int d = 0, m = 0, sec = 0;
        const std::string body = text.substr(i);
        if (std::sscanf(body.c_str(), "%d%*c%d:%d", &d, &m, &sec) < 2)
            return std::nullopt;
        if (d < 0 || d > 90 || m < 0 || m > 59)
            return std::nullopt;
        return sign * (d + m / 60.0 + sec / 3600.0);
    }

    std::string info_text(std::string text)
    {
        text.resize(info_length, ' ');
        return text + "#";
    }

    std::string coordinates_text(double ra_hours, double dec_degrees)
    {
        const int ra_tenths = static_cast<int>(std::lround(ra_hours * 600.0)) % (24 * 600);
        const int dec_minutes = static_cast<int>(std::lround(std::fabs(dec_degrees) * 60.0));
        char text[48];
        std::snprintf(text, sizeof text, "RA %02d:%02d.%d DEC %c%02d*%02d", ra_tenths / 600,
            ra_tenths / 10 % 60, ra_tenths % 10, dec_degrees < 0 ? '-' : '+', dec_minutes / 60,
            dec_minutes % 60);
        return text;
    }

} // namespace

std::recursive_mutex& sky_mutex()
{
    static std::recursive_mutex m;
    return m;
}

SimulatedMount::SimulatedMount(MountSky& sky, Clock* wall_clock)
    : sky_(sky)
    , wall_clock_(wall_clock)
{
    x_.rate = 5.0;
    y_.rate = 4.0;
}

void SimulatedMount::set_baud(int bits_per_second)
{
    std::lock_guard lock(mutex_);
    baud_ = bits_per_second;
}

void SimulatedMount::receive(const char* data, int count, std::int64_t now_ms)
{
    std::lock_guard lock(mutex_);
    advance_locked(now_ms);
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<std::uint8_t>(data[i]);
        // The box's bytes are all control bytes; LX200 commands are text.
        if (byte < 0x20) {
            if (baud_ == 0 || baud_ == 300)
                hear_box(byte, now_ms);
        } else if (baud_ == 0 || baud_ == 9600) {
            hear_text(static_cast<char>(byte), now_ms);
        }
    }
}

std::string SimulatedMount::take_replies(std::int64_t now_ms, std::size_t max_count)
{
    std::lock_guard lock(mutex_);
    std::string out;
    while (!replies_.empty() && out.size() < max_count && replies_.front().first <= now_ms) {
        out += replies_.front().second;
        replies_.pop_front();
    }
    return out;
}

void SimulatedMount::drop_replies(std::int64_t now_ms)
{
    std::lock_guard lock(mutex_);
    while (!replies_.empty() && replies_.front().first <= now_ms)
        replies_.pop_front();
}

std::optional<std::int64_t> SimulatedMount::next_reply_due() const
{
    std::lock_guard lock(mutex_);
    if (replies_.empty())
        return std::nullopt;
    return replies_.front().first;
}

void SimulatedMount::advance_to(std::int64_t now_ms)
{
    std::lock_guard lock(mutex_);
    advance_locked(now_ms);
}

void SimulatedMount::set_guide_rate(double x_px_per_s, double y_px_per_s)
{
    std::lock_guard lock(mutex_);
    x_.rate = x_px_per_s;
    y_.rate = y_px_per_s;
}

void SimulatedMount::set_backlash(double x_px, double y_px)
{
    std::lock_guard lock(mutex_);
    x_.backlash = x_px;
    y_.backlash = y_px;
}

void SimulatedMount::set_reply_delay(int ms)
{
    std::lock_guard lock(mutex_);
    reply_delay_ms_ = ms;
}

void SimulatedMount::set_answering(bool answering)
{
    std::lock_guard lock(mutex_);
    answering_ = answering;
}

void SimulatedMount::set_answer_set_commands(bool answer)
{
    std::lock_guard lock(mutex_);
    answer_set_commands_ = answer;
}

void SimulatedMount::set_site(double latitude_deg, double longitude_deg)
{
    std::lock_guard lock(mutex_);
    latitude_ = latitude_deg;
    longitude_ = longitude_deg;
}

void SimulatedMount::set_lower_limit(double altitude_deg)
{
    std::lock_guard lock(mutex_);
    lower_limit_ = altitude_deg;
}

char SimulatedMount::rate() const
{
    std::lock_guard lock(mutex_);
    return rate_;
}

void SimulatedMount::set_focuser_backlash(double steps)
{
    std::lock_guard lock(mutex_);
    focus_backlash_ = std::max(0.0, steps);
}

double SimulatedMount::focuser_optics(std::int64_t now_ms)
{
    std::lock_guard lock(mutex_);
    advance_locked(now_ms);
    return focus_optics_;
}

double SimulatedMount::focuser_position(std::int64_t now_ms)
{
    std::lock_guard lock(mutex_);
    advance_locked(now_ms);
    return focus_position_;
}

std::uint8_t SimulatedMount::box_byte() const
{
    std::lock_guard lock(mutex_);
    return box_byte_;
}

double SimulatedMount::altitude_of(double ra_hours, double dec_degrees) const
{
    std::lock_guard lock(mutex_);
    return altitude_locked(ra_hours, dec_degrees);
}

double SimulatedMount::altitude_locked(double ra_hours, double dec_degrees) const
{
    // Local sidereal time from the wall time.
    Clock& clock = wall_clock_ != nullptr ? *wall_clock_ : program_clock();
    const double days = static_cast<double>(clock.now_seconds()) / 86400.0 + 2440587.5 - 2451545.0;
    const double gmst = std::fmod(18.697374558 + 24.06570982441908 * days, 24.0);
    const double hour_angle = (gmst + longitude_ / 15.0 - ra_hours) * 15.0 * pi / 180.0;
    const double lat = latitude_ * pi / 180.0, dec = dec_degrees * pi / 180.0;
    const double sin_alt
        = std::sin(dec) * std::sin(lat) + std::cos(dec) * std::cos(lat) * std::cos(hour_angle);
    return std::asin(std::clamp(sin_alt, -1.0, 1.0)) * 180.0 / pi;
}

void SimulatedMount::advance_locked(std::int64_t now_ms)
{
    if (!started_) {
        started_ = true;
        last_ms_ = now_ms;
        return;
    }
    if (now_ms <= last_ms_)
        return;
    const double seconds = static_cast<double>(now_ms - last_ms_) / 1000.0;
    last_ms_ = now_ms;
    const double multiplier = rate_multiplier(rate_);
    move_axis(x_, seconds, x_.lx200_dir, multiplier, true);
    move_axis(y_, seconds, y_.lx200_dir, multiplier, false);
    move_axis(x_, seconds, x_.box_dir, 1.0, true);
    move_axis(y_, seconds, y_.box_dir, 1.0, false);
    if (focus_dir_ != 0) {
        const double steps = seconds * (focus_fast_ ? focuser_fast_steps_per_s : focuser_slow_steps_per_s);
        focus_position_ += focus_dir_ * steps;
        // A reversal first takes up the focuser's play; the optics move only
        // with what is left.
        if (focus_last_dir_ != 0 && focus_dir_ != focus_last_dir_)
            focus_slack_ = focus_backlash_;
        focus_last_dir_ = focus_dir_;
        const double taken = std::min(steps, focus_slack_);
        focus_slack_ -= taken;
        focus_optics_ += focus_dir_ * (steps - taken);
        std::lock_guard sky_lock(sky_mutex());
        sky_.set_focus(focus_optics_);
    }
}

void SimulatedMount::move_axis(Axis& axis, double seconds, int dir, double multiplier, bool x)
{
    if (dir == 0)
        return;
    // A reversal first takes up the gears' play.
    if (axis.last_dir != 0 && dir != axis.last_dir)
        axis.slack = axis.backlash;
    axis.last_dir = dir;
    double distance = seconds * axis.rate * multiplier;
    const double taken = std::min(distance, axis.slack);
    axis.slack -= taken;
    distance -= taken;
    if (distance <= 0.0)
        return;
    std::lock_guard sky_lock(sky_mutex());
    if (x)
        sky_.move_pointing(dir * distance, 0.0);
    else
        sky_.move_pointing(0.0, dir * distance);
}

void SimulatedMount::hear_box(std::uint8_t byte, std::int64_t)
{
    if (byte == 0x0D) // the wake-up's carriage return selects nothing
        return;
    box_byte_ = byte;
    const bool drive = (byte & 0x10) != 0;
    x_.box_dir = drive ? ((byte & 0x01) ? 1 : 0) - ((byte & 0x08) ? 1 : 0) : 0;
    y_.box_dir = drive ? ((byte & 0x02) ? 1 : 0) - ((byte & 0x04) ? 1 : 0) : 0;
}

void SimulatedMount::hear_text(char c, std::int64_t now_ms)
{
    // ':' opens a command; inside one it is part of a time ("05:35.0").
    if (c == ':' && !in_command_) {
        in_command_ = true;
        command_.clear();
    } else if (c == '#') {
        if (in_command_)
            command(command_, now_ms);
        in_command_ = false;
        command_.clear();
    } else if (in_command_ && command_.size() < 64) {
        command_ += c;
    }
}

void SimulatedMount::reply(const std::string& text, std::int64_t now_ms)
{
    if (!answering_)
        return;
    for (char c : text)
        replies_.emplace_back(now_ms + reply_delay_ms_, c);
}

void SimulatedMount::select(char library, const std::string& digits)
{
    const int number = std::atoi(digits.c_str());
    if (auto object = find_object(library, number)) {
        char text[64];
        std::snprintf(text, sizeof text, "%s %s MAG %.1f", object->name.c_str(), object->kind.c_str(),
            object->magnitude);
        target_ = Target { text, object->ra_hours, object->dec_degrees };
    } else {
        target_.reset();
    }
}

void SimulatedMount::go_to(std::int64_t now_ms)
{
    if (!target_) {
        reply("2No Object Selected#", now_ms);
        return;
    }
    const double altitude = altitude_locked(target_->ra_hours, target_->dec_degrees);
    if (altitude < 0.0) {
        reply("1Object Below Horizon#", now_ms);
        return;
    }
    if (altitude < lower_limit_) {
        reply("2Object Below Higher#", now_ms);
        return;
    }
    x_.lx200_dir = y_.lx200_dir = 0;
    {
        std::lock_guard sky_lock(sky_mutex());
        sky_.point_at(target_->ra_hours, target_->dec_degrees);
    }
    reply("0", now_ms);
}

void SimulatedMount::command(const std::string& text, std::int64_t now_ms)
{
    if (text.empty())
        return;
    const char op = text[0];
    const char arg = text.size() > 1 ? text[1] : 0;
    const std::string rest = text.size() > 2 ? text.substr(2) : std::string();
    auto axis_of = [&](char d) -> Axis* {
        return d == 'e' || d == 'w' ? &x_ : d == 'n' || d == 's' ? &y_ : nullptr;
    };
    auto sign_of = [](char d) { return d == 'e' || d == 'n' ? 1 : -1; };

    if (op == 'R' && (arg == 'G' || arg == 'C' || arg == 'M' || arg == 'S') && text.size() == 2) {
        rate_ = arg;
    } else if (op == 'M' && text.size() == 2 && axis_of(arg) != nullptr) {
        axis_of(arg)->lx200_dir = sign_of(arg);
    } else if (op == 'M' && arg == 'S' && text.size() == 2) {
        go_to(now_ms);
    } else if (op == 'Q' && text.size() == 1) {
        x_.lx200_dir = y_.lx200_dir = 0;
    } else if (op == 'Q' && text.size() == 2 && axis_of(arg) != nullptr) {
        Axis* axis = axis_of(arg);
        if (axis->lx200_dir == sign_of(arg))
            axis->lx200_dir = 0;
    } else if (op == 'L' && (arg == 'M' || arg == 'C' || arg == 'S')) {
        select(arg, rest);
    } else if (op == 'L' && arg == 'I' && text.size() == 2) {
        reply(info_text(target_ ? target_->text : "NO OBJECT"), now_ms);
    } else if (op == 'S' && (arg == 'r' || arg == 'd')) {
        const auto value = arg == 'r' ? parse_ra(rest) : parse_dec(rest);
        if (value)
            (arg == 'r' ? set_ra_ : set_dec_) = *value;
        if (answer_set_commands_)
            reply(value ? "1" : "0", now_ms);
        if (value) {
            std::lock_guard sky_lock(sky_mutex());
            const double ra = set_ra_.value_or(sky_.ra_hours());
            const double dec = set_dec_.value_or(sky_.dec_degrees());
            target_ = Target { coordinates_text(ra, dec), ra, dec };
        }
    } else if (op == 'F' && text.size() == 2) {
        if (arg == '+' || arg == '-')
            focus_dir_ = arg == '+' ? 1 : -1;
        else if (arg == 'Q')
            focus_dir_ = 0;
        else if (arg == 'F' || arg == 'S')
            focus_fast_ = arg == 'F';
    } else if (op == 'G' && (arg == 'R' || arg == 'D') && text.size() == 2) {
        std::unique_lock sky_lock(sky_mutex());
        const std::string coords = coordinates_text(sky_.ra_hours(), sky_.dec_degrees());
        sky_lock.unlock();
        // "RA hh:mm.t DEC sdd*mm" -> "hh:mm.t#" or "sdd*mm#"
        reply(arg == 'R' ? coords.substr(3, 7) + "#" : coords.substr(15) + "#", now_ms);
    }
}

} // namespace sim
