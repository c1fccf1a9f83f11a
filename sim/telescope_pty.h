// The simulated telescope for the running program: a pseudo-terminal served
// by a thread of its own, its slave linked as <data root>/ports/COM<n>, so
// the program reaches it through the real serial layer like a mount on a
// USB adapter.
#pragma once

#include <string>

#include "sim/simulated_mount.h"

namespace sim {

class TelescopePty {
public:
    explicit TelescopePty(SimulatedMount& mount);
    ~TelescopePty();
    TelescopePty(const TelescopePty&) = delete;
    TelescopePty& operator=(const TelescopePty&) = delete;

    // Opens the pseudo-terminal, links it as Com `com` and starts serving.
    // False (with the reason in error()) when it cannot, or when the entry
    // is the user's own link to something else, which is left alone.
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
// Serves simulated_mount() as Com 1 for the rest of the run. The program
// calls this at start when QUILLON_SIMULATOR=1; false when it cannot (the
// reason goes to standard error).
bool start_simulated_telescope_pty();

} // namespace sim
