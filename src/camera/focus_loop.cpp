#include "camera/focus_loop.h"

#include "app/clock.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/wait.h"
#include "camera/camera_controls.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "display/pipeline.h"
#include "store/buffers.h"

namespace {
std::vector<FocusSample> history;
std::int64_t history_start_ms = 0;

void record_focus_frame(int peak)
{
    if (history.empty())
        history_start_ms = program_clock().now_ms();
    if (history.size() >= focus_history_limit)
        history.erase(history.begin());
    history.push_back({ static_cast<double>(program_clock().now_ms() - history_start_ms) / 1000.0, peak,
        measure_focus_frame(last_focus_frame_raw()) });
}

// Dispatches what is waiting; a key or button press ends focus mode.
bool stop_pressed(EventPump& pump)
{
    if (pump.pump_for_press()) {
        stopit = 1;
        return true;
    }
    return false;
}
} // namespace

const std::vector<FocusSample>& focus_history()
{
    return history;
}

void clear_focus_history()
{
    history.clear();
}

StarMeasure measure_focus_frame(const unsigned short* frame)
{
    return measure_brightest_star({ frame, window_side, window_side, 2.0, 65535 });
}

void run_focus_loop(FocusLoopView& view, EventPump& pump)
{
    imageptr = image;
    image = image_int;
    charimageptr = reinterpret_cast<unsigned char*>(image_int);
    stopit = 0;
    focus_mode = 0;
    if (focus_mode_refused()) {
        // Nothing runs: the dialog may close again.
        stopit = 1;
        return;
    }
    focus_mode = 1;
    clear_focus_history();
    for (;;) {
        if (stop_pressed(pump))
            return;
        pump.wait_cursor(true);
        const int peak = VN_camera_read();
        pump.wait_cursor(false);
        // A frame that did not arrive is not shown: the last one stays.
        max_value = peak < 0 ? 0 : peak;
        if (peak >= 0)
            record_focus_frame(peak);
        view.show_values();
        if (peak >= 0) {
            DisplayImage();
            write_bitmap();
            view.frame_ready();
        }
        // A camera that went away was reported once; without this the loop
        // would go on beeping through frames that fail at once.
        if (peak < 0 && usb_camera_lost)
            stopit = 1;
        if (stopit)
            return;

        if (stop_pressed(pump))
            return;
        pump.beep();
        if (focus_wait
            && pump.message_box("Press OK to take next frame or Cancel to stop focus mode",
                   "Quillon - Focus Mode", BoxButtons::ok_cancel)
                == box_cancel) {
            stopit = 1;
            return;
        }
        // The pause lets the focuser settle; it does not take input.
        if (focus_delay)
            wait_ms(1000);
    }
}
