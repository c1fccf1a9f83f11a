#include "telescope/serial_link.h"

#include <cstdio>

#include "app/messages.h"
#include "app/state.h"
#include "telescope/serial_port.h"

namespace {
constexpr int queue_size = 1024;
std::string last_error;
} // namespace

int port_for_slewcom(char com)
{
    switch (com) {
    case '1':
        return 0;
    case '2':
        return 1;
    case '3':
        return 2;
    case '4':
        return 3;
    default:
        return 4;
    }
}

int ErrorCheck(int code)
{
    if (code >= 0)
        return code;
    char text[32];
    std::snprintf(text, sizeof text, "ERROR %d ", code);
    last_error = text;
    messages(50, text);
    serial_port().done(Port);
    // The port is gone: the next telescope operation opens it again instead
    // of writing to a released port for the rest of the run.
    comfound = 0;
    return -1;
}

bool open_serial_link(int baud_code, bool set_lines)
{
    SerialPort& port = serial_port();
    Port = port_for_slewcom(slewcom);
    Baud = baud_code;
    Parity = 0;
    StopBits = 0;
    DataBits = 8;
    // After a failed step ErrorCheck has released the port; the later steps
    // could only repeat the same error, so the set-up stops there.
    bool opened = ErrorCheck(port.reset(Port, queue_size, queue_size)) >= 0
        && ErrorCheck(port.baud(Port, Baud)) >= 0;
    if (opened && set_lines)
        opened = ErrorCheck(port.dtr(Port, serial_set)) >= 0 && ErrorCheck(port.rts(Port, serial_set)) >= 0;
    opened = opened && ErrorCheck(port.parms(Port, Parity, StopBits, DataBits)) >= 0;
    if (!opened) {
        last_error = "Open Communications Failed";
        messages(50, last_error.c_str());
        return false;
    }
    return true;
}

const std::string& serial_link_error()
{
    return last_error;
}
