// The simulated telescope for the running program: a pseudo-terminal served
// by a thread of its own, its slave linked as <data root>/ports/COM<n>, so
// the program reaches it through the real serial layer like a mount on a
// USB adapter.
#pragma once

#include <string>

#include "app/clock.h"
#include "sim/simulated_mount.h"

namespace sim {

class TelescopePty {
public:
    // The serving thread times the mount's replies on a steady clock of its
    // own, or on `clock`; never on the program clock, which the program's
    // thread may swap (a test does) while this one reads it.
    explicit TelescopePty(SimulatedMount& mount);
    TelescopePty(SimulatedMount& mount, Clock& clock);
    ~TelescopePty();
    TelescopePty(const TelescopePty&) = delete;
    TelescopePty& operator=(const TelescopePty&) = delete;

    // Opens the pseudo-terminal, links it as Com `com` and starts serving.
    // False (with the reason in error()) when it cannot, or when the entry
    // is anything but the simulator's own link of an earlier run (a user's
    // link, even one whose device is unplugged, is left alone).
    bool start(int com = 1);
    // Stops serving and removes the link it made.
    void stop();
    bool running() const;
    const std::string& link_path() const { return link_; }
    const std::string& error() const { return error_; }

private:
    struct State;
    State* state_;
    SimulatedMount& mount_;
    std::string link_;
    std::string error_;
};

// The running program's simulated mount on shared_sky(), with its rates,
// backlash and site from QUILLON_SIM_MOUNT_RATE ("x,y" pixels per second at
// the guide rate, default 5,4), QUILLON_SIM_BACKLASH ("x,y" pixels, default
// 0,0) and QUILLON_SIM_LATITUDE (degrees, default 51.5).
SimulatedMount& simulated_mount();
// Starts `pty` on Com 1, or on the first of Com 2..5 it may use when Com 1
// is a link the simulator did not make. Returns the Com number, 0 when
// none; `notice` says why it is not on Com 1 and what to do.
int serve_first_free_com(TelescopePty& pty, std::string& notice);

// Serves simulated_mount() for the rest of the run on Com 1, or on the
// first of Com 2..5 that is free when <root>/ports/COM1 is a link the
// simulator did not make (left alone). The program calls this at start when
// QUILLON_SIMULATOR=1. Returns the Com number served, 0 when none; `notice`
// is the one message for the user when it is not Com 1 (why, and what to
// do), empty otherwise.
int start_simulated_telescope_pty(std::string& notice);
// Ends that service and joins its thread: the program calls this before it
// takes down the seams the mount's moves may still read.
void stop_simulated_telescope_pty();

} // namespace sim
