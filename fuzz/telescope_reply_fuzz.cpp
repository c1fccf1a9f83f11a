// Feeds arbitrary telescope replies, at arbitrary times, to the reads of the
// go-tos, the object information and the guide moves. The input is a script:
// the first byte chooses which call of the port fails (0: none), then chunks
// of [delay ms][length][bytes] become readable one after another on a manual
// clock.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <utility>

#include "app/clock.h"
#include "app/state.h"
#include "telescope/control_box.h"
#include "telescope/lx200.h"
#include "telescope/serial_port.h"

namespace {

class ScriptedPort : public SerialPort {
public:
    ScriptedPort(const std::uint8_t* data, std::size_t size, Clock& clock) : clock_(clock)
    {
        if (size == 0)
            return;
        fail_at_ = data[0];
        std::size_t i = 1;
        std::int64_t due = clock.now_ms();
        while (i + 2 <= size) {
            due += data[i];
            const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 2);
            for (std::size_t k = 0; k < length; ++k)
                bytes_.emplace_back(due, static_cast<char>(data[i + 2 + k]));
            i += 2 + length;
        }
    }

    int reset(int, int, int) override { return step(); }
    int baud(int, int code) override { return serial_baud_rate(code) < 0 ? serial_bad_argument : step(); }
    int parms(int, int, int, int) override { return step(); }
    int dtr(int, char) override { return step(); }
    int rts(int, char) override { return step(); }
    int puts(int, const char*, int count) override
    {
        const int r = step();
        return r < 0 ? r : count;
    }
    int putc(int, char) override { return step(); }
    int gets(int, char* buffer, int max_count) override
    {
        if (const int r = step(); r < 0)
            return r;
        int n = 0;
        while (n < max_count && !bytes_.empty() && bytes_.front().first <= clock_.now_ms()) {
            buffer[n++] = bytes_.front().second;
            bytes_.pop_front();
        }
        return n;
    }
    int rx_clear(int) override
    {
        if (const int r = step(); r < 0)
            return r;
        while (!bytes_.empty() && bytes_.front().first <= clock_.now_ms())
            bytes_.pop_front();
        return 0;
    }
    int done(int) override { return 0; }

private:
    int step() { return ++calls_ == fail_at_ ? serial_io_error : 0; }

    Clock& clock_;
    std::deque<std::pair<std::int64_t, char>> bytes_;
    int fail_at_ = 0;
    int calls_ = 0;
};

void check_text()
{
    // The text shown as "Info from Scope" always ends inside its field.
    if (strnlen(move_error, sizeof move_error) >= sizeof move_error)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool initialised = false;
    if (!initialised) {
        reset_program_state();
        initialised = true;
    }
    ManualClock clock;
    set_clock(&clock);
    ScriptedPort port(data, size, clock);
    set_serial_port(&port);
    telescope = 'l';
    slewcom = '1';
    comfound = 0;

    drive_check();
    const char reply = move_telescope('m', 31);
    (void)reply;
    check_text();
    move_to_coord(5, 35, -5, 23);
    check_text();
    GetInfo();
    check_text();
    slewdir = 'e';
    slew_time = 7;
    drive_slew();
    stop_move();
    telescope = 'b';
    slewdir = 'n';
    interface_slew();
    interface_CR();
    check_text();

    set_serial_port(nullptr);
    set_clock(nullptr);
    return 0;
}
