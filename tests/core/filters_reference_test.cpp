// The fast filters against plain transcriptions of their definitions, pixel
// for pixel, on random frames with a fixed seed.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "app/state.h"
#include "processing/filters.h"

namespace {
using Frame = std::vector<unsigned short>;

Frame random_frame(int w, int h, unsigned seed, int top)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(0, top);
    Frame f(static_cast<std::size_t>(w) * h);
    for (auto& v : f)
        v = static_cast<unsigned short>(value(rng));
    return f;
}

unsigned short clamp_ref(int v)
{
    if (v > 65280)
        return 65535;
    if (v < 0)
        return 0;
    return static_cast<unsigned short>(v);
}

Frame reference_convolution(const Frame& p, int w, int h, int st, int rad, const int* kernel, int divisor)
{
    Frame out = p;
    for (int y = st + rad; y <= h - rad - 1; ++y)
        for (int x = rad; x <= w - rad - 1; ++x) {
            int sum = 0, k = 0;
            for (int i = -rad; i <= rad; ++i)
                for (int j = -rad; j <= rad; ++j)
                    sum += kernel[k++] * p[(y + i) * w + x + j];
            out[y * w + x] = clamp_ref(sum / divisor);
        }
    return out;
}

Frame reference_unsharp(const Frame& p, int w, int h, int st, int rad, int pwr)
{
    Frame out = p;
    for (int y = st + rad; y <= h - rad - 1; ++y) {
        int s = 0;
        for (int i = -rad; i <= rad; ++i)
            for (int c = 0; c <= 2 * rad; ++c)
                s += p[(y + i) * w + c];
        for (int x = rad; x <= w - 2 - rad; ++x) {
            const int mean = static_cast<int>(s / std::pow(2 * rad + 1, 2));
            const int v = p[y * w + x] + (p[y * w + x] - mean) * pwr;
            out[y * w + x] = clamp_ref(v);
            for (int i = -rad; i <= rad; ++i)
                s += p[(y + i) * w + x + rad + 1] - p[(y + i) * w + x - rad];
        }
    }
    return out;
}

Frame reference_median(const Frame& p, int w, int h, int st, int rad, float power)
{
    Frame out = p;
    const int n = (2 * rad + 1) * (2 * rad + 1);
    const int m = n / 2 + 1;
    std::vector<int> samples(static_cast<std::size_t>(n));
    for (int y = st + rad; y <= h - rad - 1; ++y)
        for (int x = rad; x <= w - rad - 1; ++x) {
            int minimum = 65000, k = 0;
            for (int i = -rad; i <= rad; ++i)
                for (int j = -rad; j <= rad; ++j) {
                    samples[k] = p[(y + i) * w + x + j];
                    minimum = std::min(minimum, samples[k]);
                    ++k;
                }
            int maximum = 0, median = 0;
            for (int round = 1; round <= m; ++round) {
                int best = 0;
                for (int q = 1; q < n; ++q)
                    if (samples[q] >= samples[best])
                        best = q;
                if (round == 1)
                    maximum = samples[best];
                median = samples[best];
                samples[best] = -1;
            }
            const int t = static_cast<int>((maximum - minimum) * static_cast<double>(power));
            if (std::abs(median - p[y * w + x]) > t)
                out[y * w + x] = static_cast<unsigned short>(median);
        }
    return out;
}

// Index of the first differing sample, or -1.
long first_difference(const Frame& a, const Frame& b)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return -1;
}

struct Geometry {
    int w, h, st;
};
constexpr Geometry geometries[] = { { 752, 580, 0 }, { 376, 290, 10 }, { 37, 23, 0 } };
} // namespace

TEST(FilterCrossCheck, SixKernelsMatchTheDefinition)
{
    constexpr int radius[6] = { 1, 2, 1, 2, 2, 2 };
    constexpr int divisor[6] = { 16, 80, 1, 1, 1, 1 };
    unsigned seed = 1;
    for (const Geometry& g : geometries)
        for (int top : { 65535, 4000 }) {
            const Frame src = random_frame(g.w, g.h, seed++, top);
            for (int m = 0; m < 6; ++m) {
                Frame fast = src;
                convolve_frame(src.data(), fast.data(), g.w, g.h, g.st, radius[m], mask[m], divisor[m]);
                const Frame ref = reference_convolution(src, g.w, g.h, g.st, radius[m], mask[m], divisor[m]);
                EXPECT_EQ(first_difference(fast, ref), -1) << "kernel " << m << " width " << g.w;
            }
        }
}

TEST(FilterCrossCheck, AnyOtherKernelTakesThePlainPath)
{
    const Frame src = random_frame(64, 48, 99, 65535);
    const int odd[25] = { 3, -2, 0, 1, 7, -5, 2, 2, 9, -1, 0, 4, -8, 1, 1, 6, -3, 2, 0, 0, 1, 1, -1, 5, 2 };
    for (int divisor : { 1, 3, 16 }) {
        Frame fast = src;
        convolve_frame(src.data(), fast.data(), 64, 48, 0, 2, odd, divisor);
        EXPECT_EQ(first_difference(fast, reference_convolution(src, 64, 48, 0, 2, odd, divisor)), -1);
    }
}

TEST(FilterCrossCheck, UnsharpMaskMatchesTheSlidingBox)
{
    unsigned seed = 50;
    for (const Geometry& g : geometries)
        for (int rad : { 1, 2, 3, 5, 7 })
            for (int pwr : { 1, 4, 7 }) {
                const Frame src = random_frame(g.w, g.h, seed++, pwr == 1 ? 65535 : 9000);
                Frame fast = src;
                unsharp_frame(src.data(), fast.data(), g.w, g.h, g.st, rad, pwr);
                EXPECT_EQ(first_difference(fast, reference_unsharp(src, g.w, g.h, g.st, rad, pwr)), -1)
                    << "rad " << rad << " power " << pwr << " width " << g.w;
            }
}

namespace {
// Frames with a quarter of the samples at 0 and a quarter at 65535, so both
// clamps and the largest box sums occur.
Frame extreme_frame(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> kind(0, 3), value(0, 65535);
    Frame f(static_cast<std::size_t>(w) * h);
    for (auto& v : f) {
        const int k = kind(rng);
        v = static_cast<unsigned short>(k == 0 ? 0 : (k == 1 ? 65535 : value(rng)));
    }
    return f;
}

int hook_calls = 0;
void count_hook()
{
    ++hook_calls;
}
} // namespace

// Every width from 1 to 70 reaches each way a row can end: no column to
// change, fewer than the vector path takes, an exact number of vectors and
// every remainder; heights from a single row up, with and without a label
// band.
TEST(FilterCrossCheck, UnsharpMaskAtEveryWidthAndEdge)
{
    std::vector<int> widths;
    for (int w = 1; w <= 70; ++w)
        widths.push_back(w);
    for (int w : { 127, 128, 129, 753 })
        widths.push_back(w);
    unsigned seed = 500;
    for (int rad = 1; rad <= 7; ++rad)
        for (int w : widths)
            for (int h : { 2 * rad + 1, 2 * rad + 4 }) {
                const int st = w % 3 == 0 ? 2 : 0; // a band of rows left alone
                const int rows = h + st;
                const int pwr = 1 + (w + rad) % 7;
                const Frame src
                    = w % 2 ? extreme_frame(w, rows, seed++) : random_frame(w, rows, seed++, 65535);
                Frame fast = src;
                hook_calls = 0;
                unsharp_frame(src.data(), fast.data(), w, rows, st, rad, pwr, count_hook);
                EXPECT_EQ(hook_calls, h - 2 * rad) << "one progress step per row";
                // Narrower than 2·rad + 2, no column is changed.
                const Frame ref = w >= 2 * rad + 2 ? reference_unsharp(src, w, rows, st, rad, pwr) : src;
                ASSERT_EQ(first_difference(fast, ref), -1)
                    << "rad " << rad << " power " << pwr << " width " << w << " height " << rows;
            }
}

TEST(FilterCrossCheck, MedianMatchesTheSelection)
{
    unsigned seed = 100;
    for (const Geometry& g : geometries)
        for (int rad = 1; rad <= 3; ++rad)
            for (int tenths : { 1, 6, 7, 10 })
                // Narrow ranges make ties and near-threshold pixels common.
                for (int top : { 65535, 40 }) {
                    // The full frame once per radius and range keeps the slow
                    // reference affordable.
                    if (g.w == 752 && tenths != (top == 40 ? 1 : 7))
                        continue;
                    const float power = static_cast<float>(tenths * 0.1);
                    const Frame src = random_frame(g.w, g.h, seed++, top);
                    Frame fast = src;
                    median_frame(src.data(), fast.data(), g.w, g.h, g.st, rad, power);
                    EXPECT_EQ(first_difference(fast, reference_median(src, g.w, g.h, g.st, rad, power)), -1)
                        << "rad " << rad << " power " << tenths << " width " << g.w << " top " << top;
                }
}

TEST(FilterCrossCheck, MedianMinimumStartsAt65000)
{
    // Bright neighbourhoods: the minimum is capped at 65000, widening the
    // range and so the threshold.
    Frame src = random_frame(40, 30, 7, 535);
    for (auto& v : src)
        v = static_cast<unsigned short>(v + 65000);
    Frame fast = src;
    median_frame(src.data(), fast.data(), 40, 30, 0, 2, 0.3f);
    EXPECT_EQ(first_difference(fast, reference_median(src, 40, 30, 0, 2, 0.3f)), -1);
}

TEST(FilterCrossCheck, SmallMedianAtEveryPowerAndWidth)
{
    // Widths around the 16-pixel groups (the last group overlaps the one
    // before), powers from nothing through the tiny to past 1, and ranges
    // narrow enough that limits land on exact integers.
    const float powers[] = { 0.0f, -0.5f, 0.001f, 0.003f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f,
        static_cast<float>(6 * 0.1), static_cast<float>(7 * 0.1), 0.8f, 0.9f, 0.9999999f, 1.0f, 1.5f };
    unsigned seed = 300;
    for (int w : { 17, 18, 19, 33, 48 })
        for (int top : { 65535, 40 })
            for (float power : powers) {
                const int h = 15, st = w == 33 ? 10 : 0;
                const Frame src = random_frame(w, h, seed++, top);
                Frame fast = src;
                median_frame(src.data(), fast.data(), w, h, st, 1, power);
                EXPECT_EQ(first_difference(fast, reference_median(src, w, h, st, 1, power)), -1)
                    << "width " << w << " top " << top << " power " << power;
            }
}

TEST(FilterCrossCheck, SmallMedianAtTheExtremeValues)
{
    // Samples at and around 0, 65000 and 65535: the minimum's start at
    // 65000, full 16-bit ranges and differences, and limits of the full
    // range at every power.
    constexpr unsigned short values[] = { 0, 1, 2, 64999, 65000, 65001, 65534, 65535 };
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_real_distribution<float> any_power(0.0f, 1.0f);
    for (int round = 0; round < 40; ++round) {
        const int w = 40, h = 12;
        Frame src(static_cast<std::size_t>(w) * h);
        // Every other frame lies wholly above 65000.
        for (auto& v : src)
            v = round % 2 ? values[pick(rng)]
                          : static_cast<unsigned short>(65000 + 70 * pick(rng) + pick(rng));
        const float power = round < 10 ? static_cast<float>(round * 0.1) : any_power(rng);
        Frame fast = src;
        median_frame(src.data(), fast.data(), w, h, 0, 1, power);
        EXPECT_EQ(first_difference(fast, reference_median(src, w, h, 0, 1, power)), -1) << "power " << power;
    }
}
