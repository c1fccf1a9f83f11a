#include "telescope/lx200.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/state.h"
#include "app/text_field.h"
#include "app/wait.h"
#include "telescope/serial_port.h"

namespace {

// Replies are read in pieces of at most this many bytes (an LX200 object
// text is 32 characters and its "#").
constexpr int reply_length = 33;

std::string refusal;

std::int64_t now()
{
    return program_clock().now_ms();
}

int send(const std::string& command)
{
    return serial_port().puts(Port, command.data(), static_cast<int>(command.size()));
}

// One go-to or information exchange. The first failed send, read or clear
// is the link's failure: ErrorCheck says so once and releases the port, and
// the rest of the exchange is dropped, so a mount that vanished mid go-to
// is reported and reopened on the next need instead of written to for ever.
class Exchange {
public:
    bool failed() const { return failed_; }

    void send(const std::string& command)
    {
        if (!failed_)
            check(::send(command));
    }
    void rx_clear()
    {
        if (!failed_)
            check(serial_port().rx_clear(Port));
    }
    void wait_until(std::int64_t t) const
    {
        if (!failed_)
            ::wait_until(t);
    }
    // Reads whatever has arrived, up to `reply_length` bytes, as the new
    // text of `move_error`; nothing leaves it empty.
    void read_text()
    {
        if (failed_)
            return;
        char buffer[reply_length + 1];
        const int got = serial_port().gets(Port, buffer, reply_length);
        if (check(got))
            set_text(move_error, std::string_view(buffer, static_cast<std::size_t>(std::min(got, reply_length))));
    }
    // One byte of the reply; 0 when nothing has arrived.
    char read_char()
    {
        char c = 0;
        if (failed_)
            return 0;
        const int got = serial_port().gets(Port, &c, 1);
        check(got);
        return got == 1 ? c : 0;
    }

private:
    bool check(int result)
    {
        if (result >= 0)
            return true;
        ErrorCheck(result);
        failed_ = true;
        return false;
    }
    bool failed_ = false;
};

// Selects the guide rate, then moves in `direction` for `slew_time` ms.
// The first failed write is the link's failure; the rest are skipped.
int lx200_guide_move(char direction)
{
    std::int64_t t = now() + 20;
    const int rate = send("#:RG#");
    if (rate < 0) {
        ErrorCheck(rate);
        return -1;
    }
    wait_until(t);
    t = now() + slew_time;
    const int moved = send(std::string("#:M") + direction + "#");
    wait_until(t);
    // The stop goes out even when the move seemed to fail: a mount that did
    // start must not run on.
    const int stopped = send(std::string("#:Q") + direction + "#");
    const int failure = moved < 0 ? moved : stopped;
    if (failure < 0) {
        ErrorCheck(failure);
        return -1;
    }
    return 0;
}

// The end of every go-to: ask for the target's information, start the slew
// once `t` has come, and return the telescope's reply character, keeping a
// refusal's reason text.
char slew_to_target(Exchange& x, std::int64_t t)
{
    x.send("#:LI#");
    x.wait_until(t);
    if (x.failed())
        return 0;
    event_pump().beep();
    x.send("#:MS#");
    x.wait_until(now() + 1);
    x.read_text();
    const char c = x.read_char();
    if (c != '0' && !x.failed()) {
        // Refused: the reason text follows the reply character.
        x.read_text();
        refusal = move_error;
        x.rx_clear();
    }
    return x.failed() ? 0 : c;
}

void info_exchange(Exchange& x)
{
    set_text(move_error, "");
    x.send("#:LI#");
    x.wait_until(now() + 200);
    x.read_text();
    const char more = x.read_char();
    if (more != 0) {
        x.read_text();
        x.rx_clear();
    }
}

// A hand move or a focuser move: its rate, then its direction, each after
// whatever the telescope said last is discarded. The first failed write is
// the link's failure.
void send_rate_then_direction(const char* rate, const char* direction)
{
    SerialPort& port = serial_port();
    port.rx_clear(Port);
    if (ErrorCheck(port.puts(Port, rate, 5)) < 0)
        return;
    port.rx_clear(Port);
    ErrorCheck(port.puts(Port, direction, 5));
}

} // namespace

int drive_check()
{
    return open_serial_link(5, true) ? 1 : 0;
}

void close_drive()
{
    serial_port().done(Port);
}

int lx200_slew()
{
    int result = 0;
    if (slewdir == 'e' || slewdir == 'w' || slewdir == 'n' || slewdir == 's')
        result = lx200_guide_move(slewdir);
    wait_ms(4);
    return result;
}

char move_telescope(char kind, int number)
{
    set_text(move_error, "");
    refusal.clear();
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    Exchange x;
    x.rx_clear();
    const std::int64_t t = now() + 1;
    const char* select = kind == 'm' ? "#:LM " : kind == 's' ? "#:LS " : "#:LC ";
    x.send(std::string(select) + digits + "#");
    const char c = slew_to_target(x, t);
    if (!x.failed())
        info_exchange(x);
    return x.failed() ? 0 : c;
}

char move_to_coord(std::int16_t rahr, std::int16_t ramin, std::int16_t decdeg, std::int16_t decmin)
{
    set_text(move_error, "");
    refusal.clear();
    Exchange x;
    x.rx_clear();
    const std::int64_t t = now() + 1;
    // The sign is carried by the degrees, so 0 degrees always goes out "+".
    const char sign = decdeg < 0 ? '-' : '+';
    char ra[32], dec[32];
    std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", static_cast<int>(rahr), static_cast<int>(ramin));
    std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", sign, std::abs(static_cast<int>(decdeg)),
        static_cast<int>(decmin));
    x.send(ra);
    x.send(dec);
    return slew_to_target(x, t);
}

const std::string& lx200_refusal()
{
    return refusal;
}

void GetInfo()
{
    Exchange x;
    info_exchange(x);
}

void start_move()
{
    send_rate_then_direction(tele_speed, move_direction);
}

void stop_move()
{
    tele_moving = 0;
    serial_port().rx_clear(Port);
    for (const char* stop : { "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#" })
        if (ErrorCheck(send(stop)) < 0)
            return;
}

void start_focus()
{
    send_rate_then_direction(focus_speed, focus_direction);
}

void stop_focus()
{
    tele_moving = 0;
    serial_port().rx_clear(Port);
    ErrorCheck(send("#:FQ#"));
}

namespace {

class Lx200Link : public TelescopeLink {
public:
    char kind() const override { return 'l'; }
    bool open() override { return drive_check() == 1; }
    void close() override { close_drive(); }

    bool guide_pulse(char direction, int ms) override
    {
        slewdir = direction;
        slew_time = ms;
        return lx200_slew() == 0;
    }

    void start_move(char direction, char rate) override
    {
        const char speed[] = { '#', ':', 'R', rate, '#', 0 };
        const char move[] = { '#', ':', 'M', direction, '#', 0 };
        send_rate_then_direction(speed, move);
    }
    void stop_move() override { ::stop_move(); }

    bool can_go_to() const override { return true; }
    GotoReply go_to_object(char library, int number) override
    {
        const char c = move_telescope(library, number);
        return { c, refusal };
    }
    GotoReply go_to_coordinates(int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes) override
    {
        const char c = move_to_coord(static_cast<std::int16_t>(ra_hours), static_cast<std::int16_t>(ra_minutes),
            static_cast<std::int16_t>(dec_degrees), static_cast<std::int16_t>(dec_minutes));
        return { c, refusal };
    }

    bool has_focuser() const override { return true; }
    void start_focus(bool inward, bool fast) override
    {
        send_rate_then_direction(fast ? "#:FF#" : "#:FS#", inward ? "#:F+#" : "#:F-#");
    }
    void stop_focus() override { ::stop_focus(); }

    std::string last_error() const override { return serial_link_error(); }
};

} // namespace

std::unique_ptr<TelescopeLink> make_lx200_link()
{
    return std::make_unique<Lx200Link>();
}
