#include "telescope/control_box.h"

#include <cstdint>

#include "app/clock.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/wait.h"
#include "telescope/lx200.h"
#include "telescope/serial_port.h"

namespace {

constexpr int queue_size = 1024;
constexpr char drive_on = 0x10;

std::int64_t now()
{
    return program_clock().now_ms();
}

int put(char byte)
{
    return ErrorCheck(serial_port().putc(Port, byte));
}

// The relay byte of a direction letter; 0 for a letter that names none.
char relay_for(char direction)
{
    switch (direction) {
    case 'n':
        return 0x02;
    case 'e':
        return 0x01;
    case 'w':
        return 0x08;
    case 's':
        return 0x04;
    default:
        return 0;
    }
}

} // namespace

int interface_check()
{
    SerialPort& port = serial_port();
    Port = port_for_slewcom(slewcom);
    Baud = 1;
    Parity = 0;
    StopBits = 0;
    DataBits = 8;
    // As for the LX200: after the first failure the port is released and
    // the later steps could only repeat it.
    const bool opened = ErrorCheck(port.reset(Port, queue_size, queue_size)) >= 0
        && ErrorCheck(port.baud(Port, Baud)) >= 0
        && ErrorCheck(port.parms(Port, Parity, StopBits, DataBits)) >= 0;
    if (!opened) {
        messages(50, "Open Communications Failed");
        return 0;
    }
    comfound = 1;
    gotcontrolbox = 1;
    return 1;
}

void interface_CR()
{
    SerialPort& port = serial_port();
    port.rx_clear(Port);
    port.rts(Port, serial_clear);
    port.dtr(Port, serial_clear);
    wait_ms(200);
    port.rts(Port, serial_set);
    port.dtr(Port, serial_set);
    wait_ms(300);
    // One failed write releases the port; the rest would only repeat it.
    if (put(0x0D) >= 0 && put(0x00) >= 0)
        put(0x00);
}

int interface_slew()
{
    std::int64_t t = now() + 1;
    const char relay = relay_for(slewdir);
    if (relay == 0)
        return 0;
    int result = put(relay);
    if (result >= 0) {
        wait_until(t);
        t = now() + slew_time;
        result = put(static_cast<char>(relay | drive_on));
        wait_until(t);
    }
    // The drive goes off even after a failed write: a relay that did close
    // must not stay closed. On a released port this write fails quietly.
    const int off = serial_port().putc(Port, 0x00);
    if (result >= 0 && off < 0)
        result = ErrorCheck(off);
    wait_ms(4);
    return result < 0 ? -1 : 0;
}

void CB_start_move()
{
    const std::int64_t t = now() + 1;
    // The relay follows the letter in slewdir, which callers take from the
    // swappable e, w, n, s.
    const char relay = relay_for(slewdir);
    if (relay == 0)
        return;
    if (put(relay) < 0)
        return;
    wait_until(t);
    put(static_cast<char>(relay | drive_on));
}

void CB_stop_move()
{
    put(0x00);
}

void control_box_first_exercise()
{
    if (telescope != 'b' || !fst_run)
        return;
    fst_run = 0;
    slew_time = 50;
    for (char direction : { n, s, e, w }) {
        slewdir = direction;
        interface_slew();
    }
}
