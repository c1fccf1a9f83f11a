#include "telescope/control_box.h"

#include <cstdint>

#include "app/clock.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/wait.h"
#include "telescope/serial_port.h"

namespace {

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
    if (!open_serial_link(1, false))
        return 0;
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
    if (!fst_run)
        return;
    fst_run = 0;
    slew_time = 50;
    for (char direction : { n, s, e, w }) {
        slewdir = direction;
        interface_slew();
    }
}

namespace {

class ControlBoxLink : public TelescopeLink {
public:
    char kind() const override { return 'b'; }
    // Whether a box is really attached cannot be known (it never answers):
    // the link counts as open once the port was tried, whatever it said.
    bool open() override
    {
        interface_check();
        return true;
    }
    void close() override { serial_port().done(Port); }
    void wake() override { interface_CR(); }
    void before_training() override { control_box_first_exercise(); }

    bool guide_pulse(char direction, int ms) override
    {
        slewdir = direction;
        slew_time = ms;
        return interface_slew() == 0;
    }
    // The box's relays drive at the guide rate whatever rate is chosen.
    void start_move(char direction, char /*rate*/) override
    {
        slewdir = direction;
        CB_start_move();
    }
    void stop_move() override { CB_stop_move(); }

    std::string last_error() const override { return serial_link_error(); }
};

} // namespace

std::unique_ptr<TelescopeLink> make_control_box_link()
{
    return std::make_unique<ControlBoxLink>();
}
