// The LX200 serial link: timed guide moves, catalogue and coordinate go-to,
// hand moves and the focuser, over the installed SerialPort. Every command
// starts with "#", which ends anything left in the telescope's command
// buffer. All waits go through the core wait on the program clock.
#pragma once

#include <cstdint>

// The serial port number for `slewcom` ('1'..'4' -> 0..3, anything else 4).
int port_for_slewcom(char com);

// Opens the port for the LX200 at 9600 baud, 8N1, DTR and RTS set.
// 1 on success; 0 after showing "Open Communications Failed".
int drive_check();
// Releases the port.
void close_drive();
// Passes a non-negative serial result through. A negative one is shown as
// "ERROR <code> ", the port is released and -1 returned.
int ErrorCheck(int code);

// Opens the configured device once per run (connect on demand): reloads the
// settings, then the LX200 (drive_check) or the control box
// (interface_check). On an LX200 failure `telescope` becomes 'n' and
// "Sorry. No Connection to Telescope" is shown; `comfound` stays 0.
void comm_check();
// The variant guider training uses: also sets `gotcontrolbox` on every path
// but the LX200 failure.
void comm_check_training();

// One timed guide move in `slewdir` for `slew_time` ms (the control box when
// `telescope` is 'b'). 0, or -1 when the link failed (reported once).
int drive_slew();

// Catalogue go-to: `kind` 'm' Messier, 's' the telescope's star library
// (planets 901..909), anything else NGC. Returns the telescope's reply
// character ('0' accepted; 0 when nothing came) and leaves the object
// information in `move_error`.
char move_telescope(char kind, int number);
// Go-to typed coordinates (already validated). Returns the reply character;
// a refusal leaves the reason text in `move_error`.
char move_to_coord(std::int16_t rahr, std::int16_t ramin, std::int16_t decdeg, std::int16_t decmin);
// Reads the telescope's information on the current object into `move_error`.
void GetInfo();

// Hand moves at `tele_speed` in `move_direction`; stop_move stops all four.
void start_move();
void stop_move();
// The focuser at `focus_speed` in `focus_direction`; stop_focus stops it.
void start_focus();
void stop_focus();
