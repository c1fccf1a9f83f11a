#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/state.h"
#include "display/image_mouse.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
struct Recorder {
    int repaints = 0, photometry_paints = 0, row_redraws = 0;
    std::vector<std::pair<int, int>> cursor_moves, merge_clicks;

    MouseActions actions()
    {
        MouseActions a;
        a.move_cursor = [this](int dx, int dy) { cursor_moves.emplace_back(dx, dy); };
        a.repaint = [this] { ++repaints; };
        a.photometry_paint = [this] { ++photometry_paints; };
        a.row_redraw = [this] { ++row_redraws; };
        a.merge_click = [this](int x, int y) { merge_clicks.emplace_back(x, y); };
        return a;
    }
};

const std::vector<RecordedBox>& boxes()
{
    return test_env().host.boxes;
}

// A flat sky with one star of a 3 x 3 core at (x, y).
void sky_with_star(int x, int y)
{
    std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(1000));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            image_int[(y + dy) * width1 + x + dx] = (dx == 0 && dy == 0) ? 40000 : 20000;
}
} // namespace

TEST(Mouse, ScrolledViewLandsOnTheImagePixel)
{
    const ImagePoint p = view_to_display(10, 20, 150, 40);
    EXPECT_EQ(p.x, 160);
    EXPECT_EQ(p.y, 60);
}

TEST(Mouse, NoModeNoAction)
{
    Recorder rec;
    left_click({ 100, 100 }, rec.actions());
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(rec.repaints + rec.photometry_paints + rec.row_redraws, 0);
}

TEST(Mouse, PickMarginIsThreeLargerThanPhotometry)
{
    cur_rad = 8;
    pick_star = 1;
    EXPECT_TRUE(click_inside(11, 100));
    EXPECT_FALSE(click_inside(10, 100));
    EXPECT_TRUE(click_inside(width2 - 11, height2 - 11));
    EXPECT_FALSE(click_inside(width2 - 10, 100));
    EXPECT_FALSE(click_inside(100, height2 - 10));
    pick_star = 0;
    EXPECT_TRUE(click_inside(8, 8));
    EXPECT_FALSE(click_inside(7, 8));
}

TEST(Mouse, OutsideClickIsRefusedWithThePosition)
{
    Recorder rec;
    photometry = 1;
    cur_rad = 4;
    image = trial_int;
    left_click({ 2, 50 }, rec.actions());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(
        boxes()[0].text, "Sorry, outside Image area - try again\n\nx position =     2\ny position =    50");
    EXPECT_EQ(rec.photometry_paints, 0);
    EXPECT_EQ(image, image_int);
}

TEST(Mouse, BigDisplayConvertsAfterTheBoundsTest)
{
    Recorder rec;
    Big = 1;
    merging = 1;
    cur_rad = 0;
    left_click({ 563, 434 }, rec.actions());
    EXPECT_TRUE(boxes().empty());
    ASSERT_EQ(rec.merge_clicks.size(), 1u);
    EXPECT_EQ(rec.merge_clicks[0], std::make_pair(375, 289));
}

TEST(Mouse, FocusFrameOnABinnedDisplay)
{
    Recorder rec;
    focus_frame = 1;
    left_click({ 200, 10 }, rec.actions());
    EXPECT_EQ(focus_x, 336);
    EXPECT_EQ(focus_y, 1);
    EXPECT_EQ(focus_frame, 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "x position =   400\ny position =   130");
}

TEST(Mouse, FocusFrameIsClampedNeverRefused)
{
    binned = 0;
    ZQ_binned();
    Recorder rec;
    focus_frame = 1;
    left_click({ 700, 300 }, rec.actions());
    EXPECT_EQ(focus_x, 686);
    EXPECT_EQ(boxes().back().text, "x position =   750\ny position =   300");
    focus_frame = 1;
    left_click({ 686, 300 }, rec.actions());
    EXPECT_EQ(focus_x, 622);
    focus_frame = 1;
    left_click({ 1, 1000 }, rec.actions());
    EXPECT_EQ(focus_x, 3);
    EXPECT_EQ(focus_y, 226);
}

TEST(Mouse, StarPickOnABinnedImage)
{
    sky_with_star(100, 80);
    Recorder rec;
    pick_star = 1;
    centre_it = 1;
    cur_rad = 8;
    star_mask = 11;
    focus_frame = 0;
    left_click({ 102, 81 }, rec.actions());
    EXPECT_EQ(picked_star, 1);
    EXPECT_EQ(pick_xcent, 200);
    EXPECT_EQ(pick_ycent, 160);
    EXPECT_EQ(pick_small, 1);
    EXPECT_EQ(pick_star_small, 1);
    EXPECT_EQ(rec.repaints, 1);
    // Shown with its cross, the pick leaves the next click to be snapped.
    EXPECT_EQ(centre_it, 1);
    EXPECT_EQ(cur_rad, 11);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "x position =   200\ny position =   160");
    // The cursor followed the star: 2 left and 1 up on the first pass.
    ASSERT_EQ(rec.cursor_moves.size(), 3u);
    EXPECT_EQ(rec.cursor_moves[0], std::make_pair(-2, -1));
}

TEST(Mouse, FailedSnapLosesThePick)
{
    std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(65535));
    Recorder rec;
    pick_star = 1;
    picked_star = 1;
    centre_it = 1;
    cur_rad = 8;
    left_click({ 100, 100 }, rec.actions());
    EXPECT_EQ(picked_star, 0);
    EXPECT_EQ(pick_xcent, 0);
    EXPECT_EQ(rec.repaints, 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Sorry, Guide Area Overexposed, unable to find accurate centre");
}

TEST(Mouse, PhotometryLeftClickMeasuresWhereClickedRightClickAtTheStar)
{
    sky_with_star(100, 80);
    Recorder rec;
    photometry = 1;
    cur_rad = 4;
    ph_object = 'o';
    // Left of the aperture at (106, 80): sky only.
    left_click({ 106, 80 }, rec.actions());
    EXPECT_EQ(obj_x, 106);
    EXPECT_EQ(obj_y, 80);
    EXPECT_EQ(obj_val, 81u * 1000u);
    EXPECT_EQ(rec.photometry_paints, 1);

    ph_object = 'c';
    right_click({ 103, 80 }, rec.actions());
    EXPECT_EQ(comp_x, 100);
    EXPECT_EQ(comp_y, 80);
    EXPECT_EQ(comp_val, 72u * 1000u + 8u * 20000u + 40000u);
    EXPECT_EQ(centre_it, 0);
    EXPECT_EQ(rec.photometry_paints, 2);
}

TEST(Mouse, RightClickOutsidePhotometryDoesNothing)
{
    sky_with_star(100, 80);
    Recorder rec;
    pick_star = 1;
    right_click({ 100, 80 }, rec.actions());
    EXPECT_EQ(centre_it, 0);
    EXPECT_EQ(picked_star, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST(Mouse, RowPlotWinsOverTheOtherModes)
{
    Recorder rec;
    row_plot = 1;
    photometry = 1;
    pick_star = 1;
    cur_rad = 0;
    left_click({ 50, 60 }, rec.actions());
    EXPECT_EQ(obj_y, 60);
    EXPECT_EQ(rec.row_redraws, 1);
    EXPECT_EQ(rec.photometry_paints + rec.repaints, 0);
}

TEST(Mouse, MergeClickIsSnappedThenHandedOn)
{
    sky_with_star(100, 80);
    Recorder rec;
    merging = 1;
    cur_rad = 4;
    merge_centre = 1;
    left_click({ 102, 82 }, rec.actions());
    ASSERT_EQ(rec.merge_clicks.size(), 1u);
    EXPECT_EQ(rec.merge_clicks[0], std::make_pair(100, 80));
    EXPECT_EQ(rec.cursor_moves.size(), 3u);
    EXPECT_EQ(orig_x, 0); // the merge stores its own marks
}

TEST(Mouse, MergeClickWithoutHookStoresThePoint)
{
    sky_with_star(100, 80);
    merging = 1;
    cur_rad = 4;
    orig = 1;
    merge_centre = 1;
    MouseActions actions;
    left_click({ 102, 82 }, actions);
    EXPECT_EQ(orig_x, 100);
    EXPECT_EQ(orig_y, 80);
    orig = 0;
    merge_centre = 0;
    left_click({ 110, 90 }, actions);
    EXPECT_EQ(merge_x, 110);
    EXPECT_EQ(merge_y, 90);
}

TEST(Mouse, LiveReadoutStaysOffTheBorder)
{
    Recorder rec;
    image_int[2 * width1 + 2] = 777;
    image_int[1 * width1 + 1] = 555;
    mouse_move({ 2, 2 }, rec.actions());
    EXPECT_EQ(rec.photometry_paints, 0); // not in photometry
    photometry = 1;
    mouse_move({ 1, 5 }, rec.actions());
    mouse_move({ 5, 1 }, rec.actions());
    EXPECT_EQ(rec.photometry_paints, 0);
    mouse_move({ 2, 2 }, rec.actions());
    EXPECT_EQ(rec.photometry_paints, 1);
    EXPECT_EQ(mast_x, 2);
    EXPECT_EQ(mast_val, 777);
    mouse_move({ width2, 10 }, rec.actions());
    EXPECT_EQ(rec.photometry_paints, 1);
}
