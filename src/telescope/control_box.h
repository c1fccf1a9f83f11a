// The guide-port control box: single bytes that select a relay (east 0x01,
// north 0x02, south 0x04, west 0x08) and switch the drive on (0x10); 0x00
// switches everything off. Nothing is ever read back.
#pragma once

#include <memory>

#include "telescope/serial_link.h"
#include "telescope/telescope_link.h"

// Opens the port for the box at 300 baud, 8N1. 1 on success (sets
// `comfound` and `gotcontrolbox`); 0 after "Open Communications Failed".
int interface_check();
// Wake-up and reset: RTS and DTR cleared for 200 ms, set for 300 ms, then
// the bytes 0x0D 0x00 0x00.
void interface_CR();
// One timed pulse in `slewdir` for `slew_time` ms: direction byte, 1 ms,
// byte | 0x10, slew_time, 0x00, then 4 ms. 0, or -1 when a write failed
// (reported once; the port is then released).
int interface_slew();
// Starts a hand move in `slewdir`; it runs until CB_stop_move().
void CB_start_move();
void CB_stop_move();
// The first guider training of a run with the box exercises it before
// measuring: four 50 ms pulses north, south, east, west. Does nothing
// after the run's first training.
void control_box_first_exercise();

// The box as the telescope link of kind 'b': guide pulses and hand moves at
// the guide rate; no go-to, no focuser.
std::unique_ptr<TelescopeLink> make_control_box_link();
