// What mouse clicks and movement on the displayed image do: the point in
// image pixels, star snapping, star picking, focus-frame placement,
// photometry measurement and the live cursor read-out. The window turns its
// events into calls here and supplies the few actions that need a screen.
#pragma once

#include <functional>

struct ImagePoint {
    int x = 0;
    int y = 0;
};

// The window's side of a click. Unset actions are skipped.
struct MouseActions {
    // Shifts the screen cursor by (dx, dy) so it follows a snapped star.
    std::function<void(int dx, int dy)> move_cursor;
    std::function<void()> row_redraw; // the row plot shows obj_y
    std::function<void()> photometry_paint; // the photometry dialog shows the measurements
    std::function<void()> repaint; // rebuild palette and scroller, repaint
    // A merge-alignment click at an image point, already snapped to the
    // star when merge_centre is set (the merge owns what it does). Unset, the
    // point is only stored.
    std::function<void(int x, int y)> merge_click;
};

// The display pixel under a viewport point of a view scrolled by
// (scroll_x, scroll_y) display pixels.
ImagePoint view_to_display(int view_x, int view_y, int scroll_x, int scroll_y);

// True when a click at display pixel (x, y) leaves room for the measuring
// window (cur_rad, plus 3 pixels when picking a star) inside the display.
bool click_inside(int x, int y);

// A display pixel of the 150% display as an image pixel (others unchanged).
ImagePoint display_to_image(ImagePoint display);

// Left button released at display pixel `display`: runs the active mode
// (row plot, focus frame, star pick, photometry, merge; first set wins).
void left_click(ImagePoint display, const MouseActions& actions);
// Right button released: in photometry, a left click snapped to the star.
void right_click(ImagePoint display, const MouseActions& actions);
// Mouse moved to display pixel `display`: the live photometry read-out.
void mouse_move(ImagePoint display, const MouseActions& actions);

// Snaps `point` to the nearest star of `frame` in three passes of
// find_centre with half-width cur_rad, each starting from the last centre;
// the cursor follows. `x`, `y` and `rad` are the click and the caller's
// radius, kept for the callers' sake.
void search_centre(int x, int y, const unsigned short* frame, int rad, ImagePoint& point,
    const std::function<void(int dx, int dy)>& move_cursor);

// Stores a merge click (already snapped when merge_centre asks for it) as
// the base image's point while orig is set, else as the second image's.
void store_merge_point(ImagePoint point);

// Places the focus frame centred on image pixel (x, y), clamped to the
// sensor, and reports the frame centre in a message.
void place_focus_frame(int x, int y);
