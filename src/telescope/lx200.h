// The LX200 serial link: timed guide moves, catalogue and coordinate go-to,
// hand moves and the focuser, over the installed SerialPort. Every command
// starts with "#", which ends anything left in the telescope's command
// buffer. All waits go through the core wait on the program clock.
//
// The functions below are the protocol, on the globals the dialogs set;
// make_lx200_link() is the same protocol as the program's TelescopeLink of
// kind 'l'.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "telescope/serial_link.h"
#include "telescope/telescope_link.h"

// Opens the port for the LX200 at 9600 baud, 8N1, DTR and RTS set.
// 1 on success; 0 after showing "Open Communications Failed".
int drive_check();
// Releases the port.
void close_drive();

// One timed LX200 guide move in `slewdir` for `slew_time` ms: the guide
// rate, 20 ms, the move, `slew_time` ms, its stop, then 4 ms. 0, or -1 when
// the link failed (reported once).
int lx200_slew();

// Catalogue go-to: `kind` 'm' Messier, 's' the telescope's star library
// (planets 901..909), anything else NGC. Returns the telescope's reply
// character ('0' accepted; 0 when nothing came or the link failed) and
// leaves the object information in `move_error`.
char move_telescope(char kind, int number);
// Go-to typed coordinates (already validated). Returns the reply character;
// a refusal leaves the reason text in `move_error`.
char move_to_coord(std::int16_t rahr, std::int16_t ramin, std::int16_t decdeg, std::int16_t decmin);
// What the telescope gave as its reason for refusing the last go-to; empty
// when it accepted.
const std::string& lx200_refusal();
// Reads the telescope's information on the current object into `move_error`.
void GetInfo();

// Hand moves at `tele_speed` in `move_direction`; stop_move stops all four.
void start_move();
void stop_move();
// The focuser at `focus_speed` in `focus_direction`; stop_focus stops it.
void start_focus();
void stop_focus();

// The LX200 as the telescope link of kind 'l'.
std::unique_ptr<TelescopeLink> make_lx200_link();
