// What the two serial telescope links share: the port number of the chosen
// "Com" port, the one way a port is opened, and the error check every serial
// result passes through. The LX200 link and the control box differ only in
// their line settings and their bytes.
#pragma once

#include <string>

// The serial port number for `slewcom` ('1'..'4' -> 0..3, anything else 4).
int port_for_slewcom(char com);

// Passes a non-negative serial result through. A negative one is shown as
// "ERROR <code> ", the port is released (the link counts as closed, so the
// next need opens it again) and -1 returned.
int ErrorCheck(int code);

// Opens the port of `slewcom` at `baud_code` (the serial library's table),
// 8N1, and when `set_lines` sets DTR and RTS. Sets Port and the line
// globals. True on success; false after "Open Communications Failed".
bool open_serial_link(int baud_code, bool set_lines);

// The text of the last serial failure ("ERROR -4 ", "Open Communications
// Failed"); empty before any.
const std::string& serial_link_error();
