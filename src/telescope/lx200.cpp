#include "telescope/lx200.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/text_field.h"
#include "app/wait.h"
#include "store/settings_file.h"
#include "telescope/control_box.h"
#include "telescope/serial_port.h"

namespace {

constexpr int queue_size = 1024;
// Replies are read in pieces of at most this many bytes (an LX200 object
// text is 32 characters and its "#").
constexpr int reply_length = 33;

std::int64_t now()
{
    return program_clock().now_ms();
}

int send(const std::string& command)
{
    return serial_port().puts(Port, command.data(), static_cast<int>(command.size()));
}

// Reads whatever has arrived, up to `reply_length` bytes, as the new text of
// `move_error`; nothing (or a failed read) leaves it empty.
void read_reply_text()
{
    char buffer[reply_length + 1];
    const int got = std::clamp(serial_port().gets(Port, buffer, reply_length), 0, reply_length);
    set_text(move_error, std::string_view(buffer, static_cast<std::size_t>(got)));
}

// One byte of the reply; 0 when nothing has arrived.
char read_reply_char()
{
    char c = 0;
    if (serial_port().gets(Port, &c, 1) != 1)
        return 0;
    return c;
}

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

void comm_check_variant(bool training)
{
    if (comfound) {
        if (training)
            gotcontrolbox = 1;
        return;
    }
    if (LoadINIFile(ini_file.c_str()) != settings_ok) {
        messages(20);
        SaveINIFile(ini_file.c_str());
    }
    if (telescope != 'b') {
        if (!drive_check()) {
            telescope = 'n';
            messages(36);
            return;
        }
        comfound = 1;
    } else {
        interface_check();
        comfound = 1;
    }
    if (training)
        gotcontrolbox = 1;
}

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
    messages(50, text);
    serial_port().done(Port);
    // The port is gone: the next telescope operation opens it again instead
    // of writing to a released port for the rest of the run.
    comfound = 0;
    return -1;
}

int drive_check()
{
    SerialPort& port = serial_port();
    Port = port_for_slewcom(slewcom);
    Baud = 5;
    Parity = 0;
    StopBits = 0;
    DataBits = 8;
    // After a failed step ErrorCheck has released the port; the later steps
    // could only repeat the same error, so the set-up stops there.
    const bool opened = ErrorCheck(port.reset(Port, queue_size, queue_size)) >= 0
        && ErrorCheck(port.baud(Port, Baud)) >= 0 && ErrorCheck(port.dtr(Port, serial_set)) >= 0
        && ErrorCheck(port.rts(Port, serial_set)) >= 0
        && ErrorCheck(port.parms(Port, Parity, StopBits, DataBits)) >= 0;
    if (!opened) {
        messages(50, "Open Communications Failed");
        return 0;
    }
    return 1;
}

void close_drive()
{
    serial_port().done(Port);
}

void comm_check()
{
    comm_check_variant(false);
}

void comm_check_training()
{
    comm_check_variant(true);
}

int drive_slew()
{
    if (telescope == 'b')
        return interface_slew();
    int result = 0;
    if (slewdir == 'e' || slewdir == 'w' || slewdir == 'n' || slewdir == 's')
        result = lx200_guide_move(slewdir);
    wait_ms(4);
    return result;
}

namespace {
// The end of every go-to: ask for the target's information, start the slew
// once `t` has come, and return the telescope's reply character, reading
// away a refusal's reason text.
char slew_to_target(std::int64_t t)
{
    send("#:LI#");
    wait_until(t);
    host().beep();
    send("#:MS#");
    wait_ms(1);
    read_reply_text();
    const char c = read_reply_char();
    if (c != '0') {
        // Refused: the reason text follows the reply character.
        read_reply_text();
        serial_port().rx_clear(Port);
    }
    return c;
}
} // namespace

char move_telescope(char kind, int number)
{
    set_text(move_error, "");
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    SerialPort& port = serial_port();
    port.rx_clear(Port);
    const std::int64_t t = now() + 1;
    const char* select = kind == 'm' ? "#:LM " : kind == 's' ? "#:LS " : "#:LC ";
    send(std::string(select) + digits + "#");
    const char c = slew_to_target(t);
    GetInfo();
    return c;
}

char move_to_coord(std::int16_t rahr, std::int16_t ramin, std::int16_t decdeg, std::int16_t decmin)
{
    set_text(move_error, "");
    SerialPort& port = serial_port();
    port.rx_clear(Port);
    const std::int64_t t = now() + 1;
    // The sign is carried by the degrees, so 0 degrees always goes out "+".
    const char sign = decdeg < 0 ? '-' : '+';
    char ra[32], dec[32];
    std::snprintf(ra, sizeof ra, "#:Sr %02d:%02d.0#", static_cast<int>(rahr), static_cast<int>(ramin));
    std::snprintf(dec, sizeof dec, "#:Sd %c%02d*%02d#", sign, std::abs(static_cast<int>(decdeg)),
        static_cast<int>(decmin));
    send(ra);
    send(dec);
    return slew_to_target(t);
}

void GetInfo()
{
    set_text(move_error, "");
    send("#:LI#");
    wait_ms(200);
    read_reply_text();
    const char more = read_reply_char();
    if (more != 0) {
        read_reply_text();
        serial_port().rx_clear(Port);
    }
}

namespace {
// A hand move or a focuser move: its rate, then its direction, each after
// whatever the telescope said last is discarded.
void send_rate_then_direction(const char* rate, const char* direction)
{
    SerialPort& port = serial_port();
    port.rx_clear(Port);
    port.puts(Port, rate, 5);
    port.rx_clear(Port);
    port.puts(Port, direction, 5);
}
} // namespace

void start_move()
{
    send_rate_then_direction(tele_speed, move_direction);
}

void stop_move()
{
    tele_moving = 0;
    serial_port().rx_clear(Port);
    for (const char* stop : { "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#" })
        send(stop);
}

void start_focus()
{
    send_rate_then_direction(focus_speed, focus_direction);
}

void stop_focus()
{
    tele_moving = 0;
    serial_port().rx_clear(Port);
    send("#:FQ#");
}
