// A simulated mount behind the serial port: it answers the LX200 commands
// this program sends as an LX200-type mount does, and follows the guide-port
// control box's relay bytes. Moves act on a MountSky at the rates set here.
//
// Bytes come in with the program clock's time of their writing; replies
// become due a settable delay later and are taken by the port once due.
// Thread-safe: the pseudo-terminal server runs it on a thread of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "app/clock.h"
#include "sim/mount_sky.h"
#include "telescope/object_library.h"

namespace sim {

class SimulatedMount {
public:
    // The horizon is worked out at `wall_clock`'s time: a mount served on a
    // thread of its own is given that thread's clock, so nothing it does
    // reads the program clock another thread may swap. Without one it reads
    // the program clock.
    explicit SimulatedMount(MountSky& sky, Clock* wall_clock = nullptr);

    // ----- the wire
    // The line speed the port was set to; 0 when unknown (a pseudo-terminal),
    // then both the LX200 text and the box's bytes are heard. At another
    // speed than its own a device hears nothing.
    void set_baud(int bits_per_second);
    // Bytes the program wrote at `now_ms`.
    void receive(const char* data, int count, std::int64_t now_ms);
    // Takes up to `max_count` reply bytes due by `now_ms`.
    std::string take_replies(std::int64_t now_ms, std::size_t max_count);
    // Drops the reply bytes due by `now_ms` (a receive-queue clear).
    void drop_replies(std::int64_t now_ms);
    // When the next reply byte falls due; nothing when none is waiting.
    std::optional<std::int64_t> next_reply_due() const;
    // Brings the moves in progress up to `now_ms`.
    void advance_to(std::int64_t now_ms);

    // ----- settings
    // Pixels per second at the guide rate; the centre, find and slew rates
    // are 16, 64 and 512 times it. The control box drives at the guide rate.
    void set_guide_rate(double x_px_per_s, double y_px_per_s);
    // Pixels of motion lost when an axis reverses its direction.
    void set_backlash(double x_px, double y_px);
    // Milliseconds from a command to its reply being readable.
    void set_reply_delay(int ms);
    // A mount that hears but never answers.
    void set_answering(bool answering);
    // Some mounts answer :Sr and :Sd with '1'; this program reads no reply
    // to them, so by default none is sent.
    void set_answer_set_commands(bool answer);
    // Site latitude and east longitude in degrees (for the horizon).
    void set_site(double latitude_deg, double longitude_deg);
    // Go-tos below this altitude (above the horizon) are refused with '2'.
    void set_lower_limit(double altitude_deg);
    // Focuser steps lost when the focuser reverses (the optics stay put
    // while the play is taken up).
    void set_focuser_backlash(double steps);

    // ----- state, for tests and the running simulator
    char rate() const; // 'G', 'C', 'M' or 'S'
    double focuser_position(std::int64_t now_ms); // the motor's steps
    double focuser_optics(std::int64_t now_ms); // where the optics are, backlash taken off
    std::uint8_t box_byte() const; // the last relay byte heard
    // Altitude of (ra, dec) for the site at the wall clock's time.
    double altitude_of(double ra_hours, double dec_degrees) const;

private:
    struct Axis {
        int lx200_dir = 0; // -1, 0, +1 from :M / :Q
        int box_dir = 0; // from the relay byte
        int last_dir = 0; // direction of the last motion, for backlash
        double slack = 0.0; // backlash left to take up, in pixels
        double rate = 0.0; // guide rate, px/s
        double backlash = 0.0;
    };
    struct Target {
        std::string text; // the :LI description
        double ra_hours, dec_degrees;
    };

    void advance_locked(std::int64_t now_ms);
    double altitude_locked(double ra_hours, double dec_degrees) const;
    void move_axis(Axis& axis, double seconds, int dir, double multiplier, bool x);
    void hear_text(char c, std::int64_t now_ms);
    void hear_box(std::uint8_t byte, std::int64_t now_ms);
    void command(const std::string& text, std::int64_t now_ms);
    void reply(const std::string& text, std::int64_t now_ms);
    void select(char library, const std::string& digits);
    void go_to(std::int64_t now_ms);

    mutable std::mutex mutex_;
    MountSky& sky_;
    Clock* wall_clock_;
    int baud_ = 0;
    int reply_delay_ms_ = 0;
    bool answering_ = true;
    bool answer_set_commands_ = false;
    double latitude_ = 51.5, longitude_ = 0.0;
    double lower_limit_ = 0.0;

    std::string command_; // text since the last ':'
    bool in_command_ = false;
    std::deque<std::pair<std::int64_t, char>> replies_;
    std::int64_t last_ms_ = 0;
    bool started_ = false;
    Axis x_, y_;
    char rate_ = 'S';
    std::uint8_t box_byte_ = 0;
    int focus_dir_ = 0;
    bool focus_fast_ = true;
    double focus_position_ = 0.0;
    double focus_optics_ = 0.0;
    double focus_backlash_ = 0.0;
    double focus_slack_ = 0.0;
    int focus_last_dir_ = 0;
    std::optional<Target> target_;
    std::optional<double> set_ra_, set_dec_;
};

} // namespace sim
