#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/state.h"
#include "processing/centroid.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
const char* const nothing_found = "Sorry, Nothing found to centre on - exposure continuing";
const char* const overexposed = "Sorry, Guide Area Overexposed, unable to find accurate centre";
const char* const outside = "Find centre failed - outside image area";

void fill_frame(unsigned short value)
{
    std::fill(image_int, image_int + frame_samples, value);
}

const std::vector<RecordedBox>& boxes()
{
    return test_env().host.boxes;
}
} // namespace

TEST(FindCentre, FlatWindowFindsNothingAndKeepsTheCentroid)
{
    fill_frame(1000);
    EXPECT_EQ(find_centre(100, 100, image_int, 7), 0);
    EXPECT_EQ(xcent, 50);
    EXPECT_EQ(ycent, 50);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, nothing_found);
    EXPECT_EQ(boxes()[0].caption, "QUILLON  - Find Centre");

    // Self-guiding goes on silently.
    selfguiding = 1;
    EXPECT_EQ(find_centre(100, 100, image_int, 7), 0);
    EXPECT_EQ(boxes().size(), 1u);
}

TEST(FindCentre, SaturatedWindowIsOverexposed)
{
    fill_frame(65535);
    EXPECT_EQ(find_centre(100, 100, image_int, 8), 1);
    EXPECT_EQ(xcent, 50);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, overexposed);
    EXPECT_EQ(boxes()[0].caption, "QUILLON  - Find Centre");
}

TEST(FindCentre, EvenWindowAboveItsBackgroundFindsNothing)
{
    // 100 lies above its own background (bin 6 gives 97) but no sample
    // stands above the window's average: no star, not the window's corner.
    fill_frame(100);
    EXPECT_EQ(find_centre(100, 100, image_int, 7), 0);
    EXPECT_EQ(xcent, 50);
    EXPECT_EQ(ycent, 50);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, nothing_found);
}

TEST(FindCentre, BackgroundLevelOfModeBins)
{
    EXPECT_EQ(background_for_mode_bin(62), 1011);
    EXPECT_EQ(background_for_mode_bin(4014), 65508);
    EXPECT_EQ(background_for_mode_bin(4015), 64240);
    EXPECT_EQ(background_for_mode_bin(4094), 65504);
    EXPECT_EQ(background_for_mode_bin(4095), 65535);
}

TEST(FindCentre, SingleBrightPixelRoundsToItsPlace)
{
    fill_frame(1000);
    const int rad = 7, startx = 100, starty = 120;
    const int x0 = startx - rad, y0 = starty - rad;
    image_int[(y0 + 5) * width1 + x0 + 3] = 30000;
    EXPECT_EQ(find_centre(startx, starty, image_int, rad), 0);
    EXPECT_EQ(xcent, x0 + 3);
    EXPECT_EQ(ycent, y0 + 5);
    EXPECT_EQ(xcentdec, 0);
    EXPECT_EQ(ycentdec, 0);
    EXPECT_TRUE(boxes().empty());

    // Ignoring small drifts keeps whole pixels while self-guiding.
    selfguiding = 1;
    ignore_small = 1;
    EXPECT_EQ(find_centre(startx, starty, image_int, rad), 0);
    EXPECT_EQ(xcent, x0 + 3);
    EXPECT_EQ(xcentdec, 0);
}

TEST(FindCentre, SingleBrightPixelInGuidingPrecision)
{
    // The weighted sums start at 1, so the centre lies just short of (3, 5).
    fill_frame(1000);
    const int rad = 7, startx = 100, starty = 120;
    const int x0 = startx - rad, y0 = starty - rad;
    image_int[(y0 + 5) * width1 + x0 + 3] = 30000;
    selfguiding = 1;
    EXPECT_EQ(find_centre(startx, starty, image_int, rad), 0);
    EXPECT_EQ(xcent, x0 + 2);
    EXPECT_EQ(xcentdec, 9);
    EXPECT_EQ(ycent, y0 + 4);
    EXPECT_EQ(ycentdec, 9);
}

TEST(FindCentre, GuideFrameUsesStride128)
{
    std::vector<unsigned short> guide(128 * 128, 2000);
    guide[70 * 128 + 60] = 50000;
    guiding = 1;
    EXPECT_EQ(find_centre(62, 68, guide.data(), 8), 0);
    EXPECT_EQ(xcent * 10 + xcentdec, 599);
    EXPECT_EQ(ycent * 10 + ycentdec, 699);
}

TEST(FindCentre, WindowMustStayInsideTheFrame)
{
    fill_frame(1000);
    const int rad = 8;
    image_int[20 * width1 + rad] = 40000;
    EXPECT_EQ(find_centre(rad, 20, image_int, rad), 0);
    EXPECT_EQ(xcent, rad);
    EXPECT_TRUE(boxes().empty());

    EXPECT_EQ(find_centre(rad - 1, 20, image_int, rad), 1);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, outside);
    EXPECT_EQ(boxes()[0].caption, "Quillon  - Find Centre");

    EXPECT_EQ(find_centre(width1 - rad, 20, image_int, rad), 1);
    EXPECT_EQ(find_centre(20, height1 - rad, image_int, rad), 1);
    EXPECT_EQ(find_centre(20, height1 - rad - 1, image_int, rad), 0);
}

TEST(FindCentre, GuideFrameBounds)
{
    std::vector<unsigned short> guide(128 * 128, 2000);
    const int rad = 8;
    guide[64 * 128 + 119] = 50000;
    guiding = 1;
    EXPECT_EQ(find_centre(128 - rad - 1, 64, guide.data(), rad), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(find_centre(128 - rad, 64, guide.data(), rad), 1);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, outside);
}

TEST(CalcGuideframe, ColumnsAtTheEdgesAndInside)
{
    pick_ycent = 300;
    pick_xcent = 40;
    calc_guideframe();
    EXPECT_EQ(focus_x, 0);
    EXPECT_EQ(xcent, 40);

    pick_xcent = 700;
    calc_guideframe();
    EXPECT_EQ(focus_x, 624);
    EXPECT_EQ(xcent, 76);

    pick_xcent = 300;
    calc_guideframe();
    EXPECT_EQ(focus_x, 236);
    EXPECT_EQ(xcent, 64);

    // An odd origin moves the star one column on.
    pick_xcent = 301;
    calc_guideframe();
    EXPECT_EQ(focus_x, 237);
    EXPECT_EQ(xcent, 65);
    EXPECT_EQ(drawx, 65);
}

TEST(CalcGuideframe, LinesAlignToTenAndStateIsKept)
{
    xcent = 11;
    ycent = 22;
    pick_xcent = 300;
    pick_ycent = 301;
    calc_guideframe();
    EXPECT_EQ(focus_y, 86);
    EXPECT_EQ(ycent, 58);
    EXPECT_EQ(drawy, 58);
    EXPECT_EQ(old_xcent, 11);
    EXPECT_EQ(old_ycent, 22);
    EXPECT_EQ(tracking, 1);
    EXPECT_TRUE(boxes().empty());

    pick_ycent = 20; // line 10, near the top
    calc_guideframe();
    EXPECT_EQ(focus_y, 0);
    EXPECT_EQ(ycent, 10);
    pick_ycent = 570; // line 285, near the bottom
    calc_guideframe();
    EXPECT_EQ(focus_y, 162);
    EXPECT_EQ(ycent, 285 - 162 - 2);
}

TEST(CalcGuideframe, DebugModeShowsTheValues)
{
    Debug_Mode = 1;
    pick_xcent = 300;
    pick_ycent = 301;
    calc_guideframe();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text,
        "xcent=   64, ycent =    58, focus_x =   236, focus_y =    86,  xoffset =     0, "
        "yoffset =     6");
}
