// A mount (and optionally a focuser) on an INDI server, driven through the
// standard telescope properties: go-to by EQUATORIAL_EOD_COORD, timed guide
// pulses, hand moves at a slew rate, focuser motion, abort. Runs on the
// program's thread; every wait for the server goes through the core's wait
// with the host's pump, so a key still stops it and the window repaints.
// Failures come back as one clear text in error().
#pragma once

#include <cstdint>
#include <string>

#include "indi/indi_client.h"
#include "indi/sky_position.h"

// What the telescope dialog shows of the mount.
struct MountStatus {
    bool known = false; // the mount has reported coordinates
    Equatorial of_date;
    bool have_horizontal = false;
    double altitude = 0, azimuth = 0;
    bool slewing = false, tracking = false, parked = false;
    bool connected = false;
};

enum class GotoOutcome { arrived, refused, aborted, failed };

class IndiMount {
public:
    IndiMount(IndiClient& client, std::string mount_device, std::string focuser_device = {});

    // Waits for the mount device to appear, connects it when it is not
    // connected and waits for its first coordinates. False with error().
    bool open(int timeout_ms = 10000);
    const std::string& error() const { return error_; }
    const std::string& mount_device() const { return mount_; }
    const std::string& focuser_device() const { return focuser_; }

    // A timed guide pulse: 'n', 's', 'e' or 'w' for `ms` milliseconds as
    // TELESCOPE_TIMED_GUIDE_NS / _WE. Returns when the mount reports the
    // pulse done and has reported its coordinates since, so a frame taken
    // next sees the move. False on a link fault (server gone, mount
    // disconnected, Alert, no answer); the pulse is then cancelled.
    bool pulse(char direction, int ms);
    // Whether the server and the mount are still there and not in Alert.
    bool healthy();

    // Hand moves: TELESCOPE_SLEW_RATE's element `rate_index` (0 slowest;
    // beyond the last means the last), then TELESCOPE_MOTION_NS / _WE.
    bool start_move(char direction, int rate_index);
    bool stop_move();

    // A go-to of a J2000 position: precessed to the equinox of date,
    // refused below the horizon when the mount gives its site, abortable by
    // a key. A mount that ends away from the target (more than
    // `goto_tolerance_arcsec`) is sent on again, twice at most.
    GotoOutcome goto_j2000(const Equatorial& target, const std::string& name);
    void abort_motion();
    // The target of the last go-to, of date.
    const Equatorial& last_target() const { return target_; }

    // The mount's coordinates of date, and all the dialog shows.
    bool coordinates(Equatorial& of_date);
    MountStatus status();

    // The focuser: FOCUS_MOTION inward (direction < 0) or outward, for
    // FOCUS_TIMER's `ms`, or REL_FOCUS_POSITION steps where it has no timer.
    bool start_focus(int direction, bool fast);
    bool stop_focus();

    static constexpr double goto_tolerance_arcsec = 20.0;

private:
    // Waits until `done` holds, pumping; false at the deadline, on a key
    // press (when `key_stops`), or when the link fails (error_ set).
    template <class Done> bool wait_for(Done done, int timeout_ms, bool key_stops);
    bool link_fault();
    std::uint64_t serial_of(const std::string& device, const std::string& property);

    IndiClient& client_;
    std::string mount_, focuser_;
    std::string error_;
    Equatorial target_;
    bool key_pressed_ = false;
};
