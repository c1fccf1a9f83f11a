#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/state.h"
#include "processing/accumulate.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
struct Star {
    double x, y, peak;
};

// A binned frame of background 1000 with Gaussian stars, the whole field
// moved by (dx, dy) and the first star's peak scaled by `gain`.
void render(unsigned short* frame, const std::vector<Star>& stars, int dx, int dy, double gain = 1.0)
{
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x) {
            double v = 1000;
            for (std::size_t i = 0; i < stars.size(); ++i) {
                const double r2 = std::pow(x - dx - stars[i].x, 2) + std::pow(y - dy - stars[i].y, 2);
                v += stars[i].peak * (i == 0 ? gain : 1.0) * std::exp(-r2 / 4.0);
            }
            frame[y * width1 + x] = static_cast<unsigned short>(std::min(v, 65535.0));
        }
}

const std::vector<Star> field
    = { { 250, 150, 20000 }, { 225, 125, 8000 }, { 275, 170, 12000 }, { 60, 60, 9000 }, { 330, 240, 7000 } };

int accumulate(int method, unsigned short* frame)
{
    auto* run = method == 0 ? track_accumulate : slew_accumulate;
    return run(frame, trial, orig_x, orig_y, merge_x, merge_y, orig_max, orig_avg);
}
} // namespace

TEST(Accumulate, DriftedFramesRegisterBackByBothMethods)
{
    struct Case {
        int method, average;
        std::vector<std::pair<int, int>> drift;
    };
    const std::vector<Case> cases = {
        { 0, 0, { { 0, 0 }, { 0, 0 }, { 0, 0 } } },
        { 0, 1, { { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 } } },
        { 1, 0, { { 0, 0 }, { 0, 0 }, { 0, 0 } } },
        { 1, 1, { { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 } } },
        { 0, 0, { { 0, 0 }, { 3, -2 }, { 7, 1 } } },
        { 0, 1, { { 0, 0 }, { -4, 3 }, { -6, 5 } } },
        { 1, 0, { { 0, 0 }, { 3, -2 }, { 7, 1 } } },
        { 1, 1, { { 0, 0 }, { -4, 3 }, { -6, 5 } } },
    };
    std::vector<unsigned short> single(frame_samples);
    for (const Case& c : cases) {
        orig_x = orig_y = merge_x = merge_y = orig_avg = 0;
        slew_sum_average = c.average;
        total_images = static_cast<int>(c.drift.size());
        xcent = 2 * 250;
        ycent = 2 * 150;
        for (const auto& [dx, dy] : c.drift) {
            render(image, field, dx, dy);
            ASSERT_EQ(accumulate(c.method, image), accumulate_added) << c.method << " " << dx << "," << dy;
        }
        // Star alignment leaves the sum on the newest frame, profile
        // alignment on the first: where every frame overlaps, the shown
        // frame is the sum of the registered frames.
        const auto [sx, sy] = c.method == 0 ? c.drift.back() : c.drift.front();
        render(single.data(), field, sx, sy);
        const int n = total_images;
        int checked = 0;
        for (int y = 12; y < height1 - 12; ++y)
            for (int x = 12; x < width1 - 12; ++x) {
                const int v = single[y * width1 + x];
                const int want = std::min(65535, c.average ? n * (v / n) : n * v);
                ASSERT_EQ(image[y * width1 + x], want) << c.method << " at " << x << "," << y;
                ++checked;
            }
        EXPECT_GT(checked, 80000);
    }
}

TEST(Accumulate, FailuresEndTheSeries)
{
    total_images = 3;
    xcent = 500;
    ycent = 300;
    // A star 3.5 times brighter than in the first frame: lost, and the
    // frame shows the sum so far.
    render(image, field, 0, 0);
    ASSERT_EQ(accumulate(0, image), accumulate_added);
    std::vector<unsigned short> first(image, image + intlength);
    render(image, field, 1, 1, 3.5);
    EXPECT_EQ(accumulate(0, image), accumulate_lost);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), image));

    // Profile alignment finds no window bright enough (the only bright star
    // lies where just the last window reaches): no reference.
    for (const double row : { -1.0, 225.0 }) {
        orig_x = orig_y = merge_x = merge_y = orig_avg = 0;
        render(image, row < 0 ? std::vector<Star> {} : std::vector<Star> { { 250, row, 20000 } }, 0, 0);
        EXPECT_EQ(accumulate(1, image), accumulate_no_window) << row;
        EXPECT_EQ(merge_y, 30);
    }

    // A faint star passes the window search but stands below the profiles'
    // base level: no structure to align on, lost at the second frame.
    orig_x = orig_y = merge_x = merge_y = orig_avg = 0;
    const std::vector<Star> faint = { { 250, 150, 200 } };
    render(image, faint, 0, 0);
    ASSERT_EQ(accumulate(1, image), accumulate_added);
    render(image, faint, 1, 0);
    EXPECT_EQ(accumulate(1, image), accumulate_lost);
}

TEST(Accumulate, BrightFieldStillGetsItsShift)
{
    // Stars that doubled in brightness between frames mismatch the
    // reference by more than 10,000,000 at every shift; the best one is
    // still the drift.
    std::vector<Star> bright;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            bright.push_back({ 210.0 + 20 * i, 110.0 + 20 * j, 15000 });
    total_images = 2;
    render(image, bright, 0, 0);
    ASSERT_EQ(accumulate(1, image), accumulate_added);
    const std::vector<std::int32_t> reference(std::begin(rowsum_1), std::end(rowsum_1));
    for (Star& star : bright)
        star.peak *= 2;
    render(image, bright, 3, -2);
    ASSERT_EQ(accumulate(1, image), accumulate_added);
    std::int64_t at_drift = 0;
    for (int l = 0; l < 80; ++l)
        at_drift += std::llabs(static_cast<std::int64_t>(reference[10 + l]) - rowsum_1[8 + l]);
    EXPECT_GT(at_drift, 10'000'000);
    EXPECT_EQ(orig_x, 3);
    EXPECT_EQ(orig_y, -2);
}
