#include "display/image_mouse.h"

#include <cstdio>

#include "app/messages.h"
#include "app/state.h"
#include "display/photometry.h"
#include "display/star_readout.h"
#include "processing/centroid.h"
#include "store/buffers.h"

namespace {
// Last column and row of the 150% display of a binned frame.
constexpr int big_last_column = 563;
constexpr int big_last_row = 434;

void show_position(const char* pattern, int x, int y)
{
    char text[120];
    std::snprintf(text, sizeof text, pattern, x, y);
    messages(50, text);
}

void shift_cursor(const std::function<void(int, int)>& move_cursor, int dx, int dy)
{
    if (move_cursor)
        move_cursor(-dx, -dy);
}

// Three passes of the centroid, the window re-centring on the star each
// time. False when the centroid fails (the pick is then lost).
bool snap_to_star(const unsigned short* frame, ImagePoint& point, const MouseActions& actions)
{
    for (int pass = 0; pass < 3; ++pass) {
        if (point.x < width1 - cur_rad && point.y < height1 - cur_rad) {
            if (find_centre(point.x, point.y, frame, cur_rad) != 0) {
                picked_star = 0;
                return false;
            }
            picked_star = 1;
            const int dx = point.x - xcent;
            const int dy = point.y - ycent;
            point = { xcent, ycent };
            shift_cursor(actions.move_cursor, dx, dy);
        }
    }
    return true;
}

void record_pick()
{
    if (binned) {
        pick_small = 1;
        pick_star_small = 1;
        xcent *= 2;
        ycent *= 2;
    } else {
        pick_small = 0;
        pick_star_small = 0;
    }
    pick_xcent = xcent;
    pick_ycent = ycent;
    focus_frame = 0;
    show_position("x position = %5d\ny position = %5d", xcent, ycent);
}
} // namespace

ImagePoint view_to_display(int view_x, int view_y, int scroll_x, int scroll_y)
{
    return { view_x + scroll_x, view_y + scroll_y };
}

bool click_inside(int x, int y)
{
    const int last_x = Big ? big_last_column : width2;
    const int last_y = Big ? big_last_row : height2;
    const int margin = cur_rad + (pick_star ? 3 : 0);
    return margin <= x && x <= last_x - margin && margin <= y && y <= last_y - margin;
}

ImagePoint display_to_image(ImagePoint display)
{
    if (!Big)
        return display;
    return { display.x * 2 / 3, display.y * 2 / 3 };
}

void left_click(ImagePoint display, const MouseActions& actions)
{
    if (!photometry && !row_plot && !merging && !pick_star && !focus_frame)
        return;
    const unsigned short* frame = image;
    image = image_int;

    if (!click_inside(display.x, display.y) && !focus_frame) {
        show_position("Sorry, outside Image area - try again\n\nx position = %5d\ny position = %5d",
            display.x, display.y);
        return;
    }
    ImagePoint point = display_to_image(display);

    if (row_plot) {
        obj_y = point.y;
        if (actions.row_redraw)
            actions.row_redraw();
        return;
    }

    if (photometry || pick_star || focus_frame) {
        if (centre_it && !snap_to_star(frame, point, actions))
            return;
        if (focus_frame) {
            place_focus_frame(point.x, point.y);
            return;
        }
        centre_it = 0;
        if (pick_star) {
            record_pick();
            picked_star_size = measure_frame_star(frame, point.x, point.y, cur_rad);
            if (actions.repaint)
                actions.repaint();
            // The repaint shows the cross on the picked star; from then on
            // every click in pick mode is snapped again.
            if (picked_star) {
                centre_it = 1;
                cur_rad = star_mask;
            }
            return;
        }
        record_measurement(point.x, point.y, aperture_sum(frame, point.x, point.y, cur_rad));
        if (actions.photometry_paint)
            actions.photometry_paint();
        return;
    }

    if (merge_centre)
        search_centre(point.x, point.y, frame, cur_rad, point, actions.move_cursor);
    if (actions.merge_click)
        actions.merge_click(point.x, point.y);
    else
        store_merge_point(point);
}

void right_click(ImagePoint display, const MouseActions& actions)
{
    if (!photometry)
        return;
    centre_it = 1;
    left_click(display, actions);
}

void mouse_move(ImagePoint display, const MouseActions& actions)
{
    const unsigned short* frame = image;
    image = image_int;
    if (photometry && 1 < display.x && display.x < width2 && 1 < display.y && display.y < height2) {
        mast_x = display.x;
        mast_y = display.y;
        mast_val = frame[display.y * width1 + display.x];
        if (actions.photometry_paint)
            actions.photometry_paint();
    }
}

void search_centre(int, int, const unsigned short* frame, int, ImagePoint& point,
    const std::function<void(int dx, int dy)>& move_cursor)
{
    for (int pass = 0; pass < 3; ++pass) {
        find_centre(point.x, point.y, frame, cur_rad);
        const int dx = point.x - xcent;
        const int dy = point.y - ycent;
        point = { xcent, ycent };
        shift_cursor(move_cursor, dx, dy);
    }
}

void store_merge_point(ImagePoint point)
{
    if (orig) {
        orig_x = point.x;
        orig_y = point.y;
    } else {
        merge_x = point.x;
        merge_y = point.y;
    }
}

void place_focus_frame(int x, int y)
{
    const int f = binned ? 2 : 1;
    const int fx = x * f;
    const int fy = (y * f) / 2;
    focus_x = fx < 67 ? 3 : (fx > 686 ? 686 : fx - 64);
    focus_y = fy < 65 ? 1 : (fy > 226 ? 226 : fy - 64);
    focus_frame = 0;
    show_position("x position = %5d\ny position = %5d", focus_x + 64, (focus_y + 64) * 2);
}
