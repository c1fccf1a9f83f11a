#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/state.h"
#include "processing/contrast.h"
#include "processing/filters.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
using Frame = std::vector<unsigned short>;
constexpr int radius[6] = { 1, 2, 1, 2, 2, 2 };
constexpr int divisor[6] = { 16, 80, 1, 1, 1, 1 };

void full_frame()
{
    binned = 0;
    ZQ_binned();
}

void fill_random(unsigned short* frame, unsigned seed, int top = 65535)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(0, top);
    for (int i = 0; i < intlength; ++i)
        frame[i] = static_cast<unsigned short>(value(rng));
    frame[4] = 1; // not labelled
}

unsigned short at(const unsigned short* f, int y, int x)
{
    return f[y * width1 + x];
}

std::string last_history()
{
    const int n = history_count();
    return n == 0 ? std::string() : std::string(process_info[n - 1]);
}
} // namespace

TEST(Filters, UniformFramesThroughEveryKernelAndTheUnsharpMask)
{
    const int w = 40, h = 30;
    for (unsigned short value : { 0, 1, 1000, 65280, 65281, 65535 }) {
        const Frame src(static_cast<std::size_t>(w) * h, value);
        const unsigned short inside = value > 65280 ? 65535 : value;
        for (int m = 0; m < 6; ++m) {
            Frame out = src;
            convolve_frame(src.data(), out.data(), w, h, 0, radius[m], mask[m], divisor[m]);
            const int r = radius[m];
            EXPECT_EQ(out[r * w + r], inside) << "kernel " << m << " value " << value;
            EXPECT_EQ(out[(h - r - 1) * w + (w - r - 1)], inside) << "kernel " << m;
            EXPECT_EQ(out[(r - 1) * w + r], value) << "kernel " << m; // border row
            EXPECT_EQ(out[r * w + w - r], value) << "kernel " << m; // border column
        }
        for (int rad = 1; rad <= 7; ++rad) {
            Frame out = src;
            unsharp_frame(src.data(), out.data(), w, h, 0, rad, 7);
            EXPECT_EQ(out[rad * w + rad], inside) << "unsharp " << rad;
            EXPECT_EQ(out[rad * w + (w - 2 - rad)], inside) << "unsharp " << rad;
            EXPECT_EQ(out[rad * w + (w - 1 - rad)], value) << "unsharp keeps rad + 1 columns " << rad;
        }
        for (int rad = 1; rad <= 3; ++rad) {
            Frame out = src;
            median_frame(src.data(), out.data(), w, h, 0, rad, 0.1f);
            EXPECT_EQ(out, src) << "median " << rad;
        }
    }
}

TEST(Filters, SumsOutOfRangeAreClamped)
{
    const int w = 9, h = 9;
    Frame src(static_cast<std::size_t>(w) * h, 0);
    src[4 * w + 4] = 13057; // 5 x 13057 = 65285: above 65280 though below 65535
    Frame out = src;
    convolve_frame(src.data(), out.data(), w, h, 0, 1, mask[2], 1);
    EXPECT_EQ(out[4 * w + 4], 65535);
    EXPECT_EQ(out[4 * w + 3], 0); // -13057 stored as 0
    EXPECT_EQ(out[3 * w + 4], 0);
    src[4 * w + 4] = 13056; // 65280 is kept as it is
    convolve_frame(src.data(), out.data(), w, h, 0, 1, mask[2], 1);
    EXPECT_EQ(out[4 * w + 4], 65280);

    // Bas relief on a step edge: the dark side of the relief goes negative.
    Frame step(static_cast<std::size_t>(w) * h, 100);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < w; ++x)
            step[y * w + x] = 30000;
    out = step;
    convolve_frame(step.data(), out.data(), w, h, 0, 2, mask[5], 1);
    EXPECT_EQ(out[4 * w + 4], 0);
    EXPECT_EQ(out[2 * w + 4], 30000);
    // Upside down the same edge sums to 149600.
    std::reverse(step.begin(), step.end());
    out = step;
    convolve_frame(step.data(), out.data(), w, h, 0, 2, mask[5], 1);
    EXPECT_EQ(out[4 * w + 4], 65535);
}

TEST(Filters, BordersKeepTheirValues)
{
    full_frame();
    fill_random(image, 3);
    const Frame src(image, image + intlength);
    for (int m = 0; m < 6; ++m) {
        std::copy(src.begin(), src.end(), image);
        run_enhance(radius[m], m, divisor[m]);
        const int r = radius[m];
        for (int y = 0; y < height1; ++y)
            for (int x = 0; x < width1; ++x)
                if (y < r || y >= height1 - r || x < r || x >= width1 - r) {
                    ASSERT_EQ(at(image, y, x), src[y * width1 + x])
                        << "kernel " << m << " at " << y << "," << x;
                }
        EXPECT_NE(at(image, r, r), src[r * width1 + r]);
    }
    std::copy(src.begin(), src.end(), image);
    unsharp_mask(3, 2);
    for (int y = 0; y < height1; ++y)
        for (int x = width1 - 4; x < width1; ++x)
            ASSERT_EQ(at(image, y, x), src[y * width1 + x]) << y << "," << x;
    // The spare samples after the frame are copied through untouched.
    for (int i = width1 * height1; i < intlength; ++i)
        EXPECT_EQ(image[i], src[i]);
}

TEST(Filters, ConvolutionProgressOneRowAtATime)
{
    full_frame();
    std::fill(image, image + intlength, 500);
    run_enhance(2, 1, 80);
    EXPECT_STREQ(progress_caption, "FILTER PROGRESS");
    EXPECT_EQ(test_env().host.progress_updates, height1 - 4);
    EXPECT_EQ(progress, height1 - 2);
    EXPECT_EQ(test_env().host.progress_closes, 1);
    unsharp_mask(3, 1);
    EXPECT_STREQ(progress_caption, "UNSHARP MASK PROGRESS");
    EXPECT_EQ(progress, height1 - 6);
}

TEST(Filters, MedianPowerOneChangesNothing)
{
    full_frame();
    fill_random(image, 4);
    const Frame src(image, image + intlength);
    white = 3;
    black = 10;
    run_median_enhance(image, trial, undo);
    EXPECT_TRUE(std::equal(src.begin(), src.end(), image));
    EXPECT_TRUE(std::equal(src.begin(), src.end(), undo));
    EXPECT_EQ(last_history(), "Median Filter : rad 3 ,power 1.0");
}

TEST(Filters, MedianReplacesOutliersBeyondAFractionOfTheRange)
{
    const int w = 3, h = 3;
    // Median 10, range 100 - 0: the limit is trunc(100 x 0.1...) = 10.
    Frame src = { 0, 10, 10, 10, 21, 10, 10, 10, 100 };
    Frame out = src;
    median_frame(src.data(), out.data(), w, h, 0, 1, 0.1f);
    EXPECT_EQ(out[4], 10);
    src[4] = 20; // differs by exactly the limit: kept
    out = src;
    median_frame(src.data(), out.data(), w, h, 0, 1, 0.1f);
    EXPECT_EQ(out[4], 20);
    // The single-precision 0.7 is 0.699999988: range 10 gives limit 6.
    Frame near = { 0, 3, 3, 3, 10, 3, 3, 3, 3 };
    out = near;
    median_frame(near.data(), out.data(), w, h, 0, 1, static_cast<float>(7 * 0.1));
    EXPECT_EQ(out[4], 3); // |3 - 10| = 7 > 6
    near[4] = 9; // |3 - 9| = 6: kept
    out = near;
    median_frame(near.data(), out.data(), w, h, 0, 1, static_cast<float>(7 * 0.1));
    EXPECT_EQ(out[4], 9);
}

TEST(Filters, TwoVerticalSmoothingsPairDownThenUp)
{
    full_frame();
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x)
            image[y * width1 + x] = static_cast<unsigned short>(y * 10 + (x % 2));
    image[4] = 0;
    const Frame src(image, image + intlength);
    venetian_blind(image, undo);
    EXPECT_EQ(venetian_flipflop, 1);
    EXPECT_TRUE(std::equal(src.begin(), src.end(), undo));
    EXPECT_EQ(at(image, 5, 1), (51 + 61) / 2); // with the row below
    EXPECT_EQ(at(image, height1 - 1, 1), src[(height1 - 1) * width1 + 1]); // last row kept
    EXPECT_EQ(at(image, 5, width1 - 1), src[5 * width1 + width1 - 1]); // last column kept

    const Frame once(image, image + intlength);
    venetian_blind(image, undo);
    EXPECT_EQ(venetian_flipflop, 0);
    EXPECT_EQ(at(image, 5, 1), (once[5 * width1 + 1] + once[4 * width1 + 1]) / 2); // with the row above
    EXPECT_EQ(at(image, 0, 1), once[1]); // first row kept
    EXPECT_EQ(at(image, 5, width1 - 1), once[5 * width1 + width1 - 1]);
    EXPECT_EQ(history_count(), 2);
    EXPECT_EQ(last_history(), "Vertical Smoothing Filter");
}

TEST(Filters, GradientRemovesThePlaneOfTheCornerModes)
{
    full_frame();
    std::fill(image, image + intlength, 10000);
    // Corner boxes at bins 250, 260, 270, 280: the plane rises 0, 160, 320
    // and 480 towards the four corners.
    auto box = [](int row, int col, unsigned short v) {
        for (int y = row; y < row + 40; ++y)
            for (int x = col; x < col + 40; ++x)
                image[y * width1 + x] = v;
    };
    box(10, 20, 4000);
    box(10, 700, 4160);
    box(520, 20, 4320);
    box(520, 700, 4480);
    gradient_filter(image);
    EXPECT_EQ(at(image, 0, 0), 10000);
    EXPECT_EQ(at(image, 0, 751), 10000 - 159); // 580 x 751 x 160 / 436160 = 159.8
    EXPECT_EQ(at(image, 579, 0), 10000 - 319); // 752 x 579 x 320 / 436160 = 319.4
    // Bottom right: 1 x 751 x 160 + 1 x 579 x 320 + 579 x 751 x 480, over N.
    EXPECT_EQ(at(image, 579, 751), 10000 - 479);
    for (int x = 1; x < width1; ++x)
        ASSERT_LE(at(image, 300, x), at(image, 300, x - 1));
}

TEST(Filters, GradientOnUniformFrames)
{
    full_frame();
    std::fill(image, image + intlength, 500);
    gradient_filter(image);
    EXPECT_TRUE(std::all_of(image, image + width1 * height1, [](unsigned short v) { return v == 500; }));

    // Below 16 the top modes are bin 0 and the bottom ones bin 1: up to 16
    // is taken off towards the bottom.
    std::fill(image, image + intlength, 10);
    gradient_filter(image);
    EXPECT_EQ(at(image, 0, 100), 10);
    EXPECT_EQ(at(image, 362, 100), 1); // g = 9.99
    EXPECT_EQ(at(image, 579, 100), 0); // g = 15.97
}

TEST(Filters, LabelledRowsStayByteForByteThroughEveryOperation)
{
    full_frame();
    test_env().host.on_command = [](int number) {
        if (number == 888)
            apply_stretch_table(image);
    };
    struct Operation {
        const char* name;
        void (*run)();
    };
    const Operation operations[] = {
        { "lowpass", [] { run_enhance(1, 0, 16); } },
        { "gaussian", [] { run_enhance(2, 1, 80); } },
        { "highlow", [] { run_enhance(1, 2, 1); } },
        { "highhigh", [] { run_enhance(2, 3, 1); } },
        { "smoothsharp", [] { run_enhance(2, 4, 1); } },
        { "basrelief", [] { run_enhance(2, 5, 1); } },
        { "unsharp", [] { unsharp_mask(7, 3); } },
        { "median",
            [] {
                white = 3;
                black = 1;
                run_median_enhance(image, trial, undo);
            } },
        { "venetian down", [] { venetian_blind(image, undo); } },
        { "venetian up", [] { venetian_blind(image, undo); } },
        { "gradient", [] { gradient_filter(image); } },
        { "invert", ContrastInvert },
        { "log", logstretch },
    };
    for (const Operation& op : operations) {
        fill_random(image, 11, 3000);
        for (int y = 10; y < height1; ++y)
            for (int x = 0; x < width1; ++x)
                image[y * width1 + x] = static_cast<unsigned short>(2000 + 8 * x + 5 * y + (x * y) % 97);
        std::fill(image, image + 6, 17);
        const Frame label(image, image + width1_10);
        const Frame before(image, image + intlength);
        op.run();
        EXPECT_TRUE(std::equal(label.begin(), label.end(), image)) << op.name;
        EXPECT_FALSE(std::equal(before.begin(), before.end(), image)) << op.name << " changed nothing";
    }
}
