// The camera dialog's focus mode: short sub-frame exposures one after the
// other, each shown in the dialog with its peak value, until the user stops.
#pragma once

#include <vector>

#include "app/host.h"
#include "processing/star_measure.h"

// What the loop asks of the dialog it runs in.
class FocusLoopView {
public:
    virtual ~FocusLoopView() = default;
    // Shows the globals again (the new `max_value` among them).
    virtual void show_values() = 0;
    // The focus bitmap file was rewritten: repaint the focus frame from it.
    virtual void frame_ready() = 0;
};

// One focus frame as the loop saw it: when (seconds since the loop
// started), its peak, and its brightest unsaturated star.
struct FocusSample {
    double seconds = 0;
    int peak = 0;
    StarMeasure star;
};
// The frames of the current (or last) focus loop, oldest first; the oldest
// go once there are focus_history_limit.
const std::vector<FocusSample>& focus_history();
constexpr std::size_t focus_history_limit = 400;
void clear_focus_history();
// The brightest unsaturated star of a 128 x 128 focus or guide window (its
// rows are field lines, two sensor rows apart); sizes in full-resolution
// pixels.
StarMeasure measure_focus_frame(const unsigned short* frame);

// "Start" (107). Refused at once for minutes or values of 100 and more.
// Ends when `stopit` is set after a frame ("Stop"), on a key or mouse press
// between steps, on Cancel in the pause box, or when the camera went away. Leaves `focus_mode` at 1 once
// it has run; the exposure command clears it.
// Waits, presses, the pause box and the wait cursor go through `pump`.
void run_focus_loop(FocusLoopView& view, EventPump& pump = event_pump());
