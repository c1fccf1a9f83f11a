#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "display/plots.h"
#include "store/buffers.h"

TEST(HistogramPlot, ClippedLevelsAreRedAndListed)
{
    std::uint32_t levels[257] = {};
    levels[10] = 1059; // 211 pixels: above the window
    levels[11] = 1054; // 210 pixels: exactly full height
    levels[12] = 500;
    const auto bars = histogram_bars(levels);
    ASSERT_EQ(bars.size(), 256u);
    EXPECT_TRUE(bars[10].clipped);
    EXPECT_EQ(bars[10].top, 0);
    EXPECT_FALSE(bars[11].clipped);
    EXPECT_EQ(bars[11].top, 0);
    EXPECT_EQ(bars[12].top, 110);
    EXPECT_EQ(bars[12].x, 20);
    EXPECT_EQ(histogram_listing(levels), "val   count\n010    1055\n");
}

TEST(HistogramPlot, OnlyTheFirstFifteenClippedLevelsAreListed)
{
    std::uint32_t levels[257] = {};
    for (int i = 100; i < 120; ++i)
        levels[i] = 200000;
    const std::string text = histogram_listing(levels);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
    EXPECT_NE(text.find("114  200000\n"), std::string::npos);
    EXPECT_EQ(text.find("115  "), std::string::npos);
    const auto bars = histogram_bars(levels);
    EXPECT_TRUE(bars[119].clipped);
}

TEST(Relief, SaturatedSampleRisesFullHeight)
{
    std::vector<unsigned short> frame(frame_samples, 0);
    frame[6 * 752 + 0] = 65535; // plot row 6, column 0
    auto bitmap = relief_blank();
    int previous = 0;
    relief_draw_row(bitmap.data(), frame.data(), 6, previous);
    // The rise is drawn light grey from the base (130, 192) up to (130, 22);
    // the fall to (131, 192) is grey and covers the upper half of the rise.
    EXPECT_EQ(bitmap[150 * relief_width + 130], relief_light_grey);
    EXPECT_EQ(bitmap[150 * relief_width + 131], relief_grey);
    EXPECT_EQ(bitmap[23 * relief_width + 130], relief_grey);
    EXPECT_EQ(bitmap[21 * relief_width + 130], relief_white);
    // Then the flat row on the base.
    EXPECT_EQ(bitmap[192 * relief_width + 200], relief_grey);
    EXPECT_EQ(previous, 0);
}

TEST(Relief, RowsShiftLeftAndCarryTheLevel)
{
    std::vector<unsigned short> frame(frame_samples, 0);
    for (int c = 0; c < 376; ++c)
        frame[127 * 752 + c] = 384 * 10;
    auto bitmap = relief_blank();
    int previous = 0;
    relief_draw_row(bitmap.data(), frame.data(), 127, previous);
    // Row 127 starts at x = 130 - 121 = 9 and stands 10 above its base 313.
    EXPECT_EQ(bitmap[308 * relief_width + 9], relief_light_grey);
    EXPECT_EQ(bitmap[313 * relief_width + 10], relief_white);
    EXPECT_EQ(bitmap[303 * relief_width + 100], relief_grey);
    EXPECT_EQ(previous, 10);
    // Nothing is drawn outside the bitmap whatever the samples.
    EXPECT_EQ(bitmap.size(), static_cast<std::size_t>(relief_width) * relief_height);
}

TEST(RowProfile, PointsFollowTheRow)
{
    std::vector<unsigned short> frame(376 * 3, 0);
    frame[2 * 376 + 0] = 65535;
    frame[2 * 376 + 5] = 3840;
    const auto points = row_profile(frame.data(), 2, 376);
    ASSERT_EQ(points.size(), 377u);
    EXPECT_EQ(points[0].x, 4);
    EXPECT_EQ(points[0].y, 198);
    EXPECT_EQ(points[1].x, 5);
    EXPECT_EQ(points[1].y, 198 - 170);
    EXPECT_EQ(points[6].y, 188);
    EXPECT_EQ(points[376].x, 380);
}
