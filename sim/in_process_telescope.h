// The simulated telescope on a sky model, installed as the program's serial
// port for the life of the object (the null port again afterwards): what an
// end-to-end test of go-to, training or guiding sets up in one line.
#pragma once

#include "sim/in_process_port.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model.h"
#include "sim/sky_model_sky.h"

namespace sim {

class InProcessTelescope {
public:
    // Serves Com 1 (`slewcom` '1'); `sky` is usually shared_sky(), which the
    // simulated camera renders.
    explicit InProcessTelescope(SkyModel& sky)
        : sky_(sky)
        , mount_(sky_)
        , port_(mount_)
    {
        set_serial_port(&port_);
    }
    ~InProcessTelescope() { set_serial_port(nullptr); }
    InProcessTelescope(const InProcessTelescope&) = delete;
    InProcessTelescope& operator=(const InProcessTelescope&) = delete;

    SimulatedMount& mount() { return mount_; }
    InProcessSerialPort& port() { return port_; }

private:
    SkyModelSky sky_;
    SimulatedMount mount_;
    InProcessSerialPort port_;
};

} // namespace sim
