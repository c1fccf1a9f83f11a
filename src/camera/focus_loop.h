// The camera dialog's focus mode: short sub-frame exposures one after the
// other, each shown in the dialog with its peak value, until the user stops.
#pragma once

// What the loop asks of the dialog it runs in.
class FocusLoopView {
public:
    virtual ~FocusLoopView() = default;
    // Shows the globals again (the new `max_value` among them).
    virtual void show_values() = 0;
    // The focus bitmap file was rewritten: repaint the focus frame from it.
    virtual void frame_ready() = 0;
};

// "Start" (107). Refused at once for minutes or values of 100 and more.
// Ends when `stopit` is set after a frame ("Stop"), on a key or mouse press
// between steps, on Cancel in the pause box, or when the camera went away. Leaves `focus_mode` at 1 once
// it has run; the exposure command clears it.
void run_focus_loop(FocusLoopView& view);
