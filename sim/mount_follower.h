// Makes the simulated sky follow a mount the simulator does not own (an
// INDI mount on a server): each position the mount reports moves the sky
// model's pointing, so the simulated camera's stars move with the mount's
// guide pulses, hand moves and go-tos.
#pragma once

namespace sim {

class SkyModel;

class MountFollower {
public:
    explicit MountFollower(SkyModel& sky);
    // A position the mount reports. A small step moves the field by the
    // step (the sky model's drift keeps running); a jump (a slew) points
    // the field at the new place. Small steps move the field, not the sky
    // model's own idea of its coordinates, which only jumps set.
    // While the mount slews (`slewing`), and at the first report after a
    // slew, the field is pointed at the report.
    void reported(double ra_hours, double dec_degrees, bool slewing = false);
    // Forgets the last report: the next one points the field.
    void reset() { have_ = false; }

    // Steps larger than this (degrees) are go-tos, not guide or hand moves.
    static constexpr double jump_degrees = 0.25;

private:
    SkyModel& sky_;
    bool have_ = false;
    bool slewed_ = false;
    double ra_ = 0, dec_ = 0;
};

} // namespace sim
