#include "app/host.h"

#include <algorithm>
#include <cstdint>

#include "app/clock.h"
#include "app/state.h"

namespace {
NullHost null_host;
} // namespace

Installed<Host> installed_host(null_host);

EventPump& event_pump()
{
    return host();
}

FrameDisplay& frame_display()
{
    return host();
}

RunWindows& run_windows()
{
    return host();
}

void apply_stop_request(EventPump& pump, RunWindows& windows)
{
    no_images = 1;
    end_loop = 1;
    if (series_exposure)
        exposure = exposure_save;
    cont_work = 0;
    series_work = 0;
    if (guiding)
        continuous = 0;
    guiding = 0;
    tracking = 0;
    // Ends any exposure being timed: its wait ends at once.
    endticks = ticks;
    pump.beep();
    focus_frame_reset();
    if (selfguiding && windows.info_is_open())
        windows.info_close();
    selfguiding = 0;
    selfguiding_darkframe = 0;
    switch_frame = 0;
}

void focus_frame_reset()
{
    // The 128 x 128 frame centred on column 376, line 129 of 290.
    focus_x = 312;
    focus_y = 65;
}

int EventPump::one_sec_delay(int seconds)
{
    Clock& clock = program_clock();
    const std::int64_t end = clock.now_ms() + 1000LL * seconds;
    for (;;) {
        if (pump_for_press()) {
            beep();
            return 1;
        }
        const std::int64_t left = end - clock.now_ms();
        if (left <= 0)
            return 0;
        // Long enough not to spin, short enough that a press ends the wait
        // at once to the eye.
        clock.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, 10)));
    }
}
