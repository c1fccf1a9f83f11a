#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "processing/contrast.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
// Command 888 reaches the stretch, as the main window's dispatch does.
void route_stretch_command()
{
    test_env().host.on_command = [](int number) {
        if (number == 888)
            apply_stretch_table(image);
    };
}

// Every sample value once, from the first pixel on (the frame stays
// unlabelled: samples 4 and 5 are 4 and 5).
void fill_every_value()
{
    for (int i = 0; i < width1 * height1; ++i)
        image[i] = static_cast<unsigned short>(i % 65536);
}

std::string last_history()
{
    const int n = history_count();
    return n == 0 ? std::string() : std::string(process_info[n - 1]);
}

void run_curve(void (*curve)(), unsigned short sample)
{
    route_stretch_command();
    std::fill(image, image + intlength, sample);
    curve();
}
} // namespace

TEST(ContrastCurves, SaturatedSampleThroughEachCurve)
{
    struct Case {
        void (*curve)();
        unsigned short expected;
        const char* history;
    };
    const Case cases[] = {
        { ContrastInvert, 0, "Invert Image to Negative" },
        { logstretch, 65522, "Log Stretch" },
        { antilog, 65534, "Anti-Log Stretch" },
        { ContrastSine, 65530, "Sine Stretch" },
    };
    for (const Case& c : cases) {
        clear_history();
        run_curve(c.curve, 65535);
        EXPECT_EQ(image[1000], c.expected) << c.history;
        EXPECT_EQ(image[width1 * height1 - 1], c.expected) << c.history;
        EXPECT_EQ(last_history(), c.history);
    }
    // Each curve asked the main window to apply its table once.
    EXPECT_EQ(test_env().host.commands, std::vector<int>(4, 888));
}

TEST(ContrastCurves, EveryTableStaysWithinHalfRange)
{
    // A table entry above 32767 would wrap when doubled.
    void (*fills[])() = { fill_invert_table, fill_log_table, fill_antilog_table, fill_sine_table };
    for (auto fill : fills) {
        fill();
        EXPECT_LE(*std::max_element(std::begin(stretch_table), std::end(stretch_table)), 32767);
    }
    for (double p : { 0.1, 0.5, 1.0, 2.0, 3.0 }) {
        fill_power_table(p);
        EXPECT_LE(*std::max_element(std::begin(stretch_table), std::end(stretch_table)), 32767) << p;
    }
    fill_varnel_table(50);
    EXPECT_LE(*std::max_element(std::begin(stretch_table), std::end(stretch_table)), 32767);
    fill_normal_table(255, 256);
    EXPECT_LE(*std::max_element(std::begin(stretch_table), std::end(stretch_table)), 32767);
}

TEST(ContrastCurves, AntiLogTopEntriesAreLimited)
{
    fill_antilog_table();
    for (int i = 32762; i < 32768; ++i)
        EXPECT_EQ(stretch_table[i], 32767) << i;
    EXPECT_EQ(stretch_table[0], 0);
    EXPECT_LT(stretch_table[32761], 32767);
}

TEST(ContrastCurves, InvertTwiceClearsTheLowestBit)
{
    route_stretch_command();
    fill_every_value();
    ContrastInvert();
    ContrastInvert();
    for (int i = 0; i < width1 * height1; ++i)
        ASSERT_EQ(image[i], (i % 65536) & ~1) << i;
}

TEST(ContrastCurves, NormalStretchFullRange)
{
    route_stretch_command();
    fill_every_value();
    black = 0;
    white = 255;
    ContrastNormal();
    for (int s = 0; s < 65536; ++s)
        ASSERT_EQ(image[s], s < 65280 ? (s & ~1) : 65534) << s;
    EXPECT_EQ(last_history(), "Normal Stretch : max 255 ,min 0");
}

TEST(ContrastCurves, NormalStretchWhiteAbove255Darkens)
{
    route_stretch_command();
    fill_every_value();
    black = 0;
    white = 300;
    ContrastNormal();
    EXPECT_LT(*std::max_element(image, image + width1 * height1), 65534);
    // Linear throughout: 255/300 of the input.
    EXPECT_EQ(image[40000], 2 * static_cast<int>(20000 * (255.0 / 300)));
}

TEST(ContrastCurves, NormalStretchBlackPointClipsAndRescales)
{
    fill_normal_table(10, 20);
    EXPECT_EQ(stretch_table[1279], 0);
    EXPECT_EQ(stretch_table[1280], 0);
    EXPECT_EQ(stretch_table[1281], 25); // 1 x 25.5
    EXPECT_EQ(stretch_table[2559], 32614); // 1279 x 25.5
    EXPECT_EQ(stretch_table[2560], 32767);
}

TEST(ContrastCurves, PowerAndNonLinearHistoryTexts)
{
    route_stretch_command();
    std::fill(image, image + intlength, 30000);
    power_str = 2.0;
    ContrastPower();
    EXPECT_EQ(last_history(), "Power Stretch : 2.0");
    // (15000 / 32768)^2 x 32768 = 6866.4...
    EXPECT_EQ(image[500], 2 * 6866);
    white = 25;
    ContrastVarnel();
    EXPECT_EQ(last_history(), "Non-Linear Stretch : power 25");
}

TEST(ContrastCurves, PowerOneIsTheIdentityTable)
{
    fill_power_table(1.0);
    for (int i = 0; i < 32768; ++i)
        ASSERT_EQ(stretch_table[i], i);
}

TEST(ContrastCurves, NonLinearMidpoint)
{
    fill_varnel_table(25);
    // 32768 x 25 x 0.5 / (1 + 24 x 0.5) = 31507.7
    EXPECT_EQ(stretch_table[16384], 31507);
    EXPECT_EQ(stretch_table[0], 0);
}

TEST(ContrastCurves, BackgroundRemovalNeedsALevelAboveTwo)
{
    route_stretch_command();
    std::fill(image, image + intlength, 1234);
    std::fill(std::begin(stretch_table), std::end(stretch_table), 7);
    most_pop = 2;
    ContrastBackground();
    EXPECT_TRUE(test_env().host.commands.empty());
    EXPECT_EQ(history_count(), 0);
    EXPECT_EQ(stretch_table[100], 7);
    EXPECT_EQ(image[100], 1234);

    most_pop = 10;
    ContrastBackground();
    EXPECT_EQ(last_history(), "Background Removed : min 8");
    EXPECT_EQ(stretch_table[1023], 0);
    EXPECT_EQ(stretch_table[1024], 0);
    EXPECT_EQ(stretch_table[1024 + 247], 255); // scale 255 / 247
    EXPECT_EQ(stretch_table[32767], 32767);
    EXPECT_EQ(image[100], 0); // 1234 lies below the removed level
}

TEST(ContrastCurves, FullHistoryStillChangesTheImage)
{
    route_stretch_command();
    for (int i = 0; i < history_entries; ++i)
        append_history("step");
    std::fill(image, image + intlength, 100);
    ContrastInvert();
    EXPECT_EQ(image[200], 65534 - 100);
    EXPECT_EQ(history_count(), history_entries);
    EXPECT_STREQ(process_info[history_entries - 1], "step");
    EXPECT_EQ(process_info[history_entries][0], '\0');
}

TEST(ContrastStretch, SixteenChunksOfProgressOverThePixelsOnly)
{
    for (int b : { 0, 1 }) {
        binned = b;
        ZQ_binned();
        test_env().host.progress_updates = 0;
        fill_invert_table();
        std::fill(image, image + frame_samples, 1000);
        apply_stretch_table(image);
        EXPECT_STREQ(progress_caption, "CONTRAST STRETCH");
        EXPECT_EQ(progress, 256);
        EXPECT_EQ(test_env().host.progress_updates, 16);
        EXPECT_EQ(image[0], 65534 - 1000);
        EXPECT_EQ(image[width1 * height1 - 1], 65534 - 1000);
        // The spare samples after the pixels are not image.
        for (int i = width1 * height1; i < intlength; ++i)
            EXPECT_EQ(image[i], 1000) << i;
    }
    EXPECT_EQ(test_env().host.progress_opens, 2);
    EXPECT_EQ(test_env().host.progress_closes, 2);
}

TEST(ContrastStretch, LabelledRowsStayByteForByte)
{
    route_stretch_command();
    void (*curves[])() = { ContrastNormal, ContrastPower, ContrastBackground, ContrastVarnel, ContrastSine,
        logstretch, antilog, ContrastInvert };
    for (auto curve : curves) {
        for (int i = 0; i < intlength; ++i)
            image[i] = static_cast<unsigned short>(i * 37 % 60000);
        for (int i = 0; i < 6; ++i)
            image[i] = 17; // the label's signature
        std::vector<unsigned short> label(image, image + width1_10);
        const unsigned short below = image[width1_10 + 5];
        black = 0;
        white = 200;
        power_str = 2.0;
        most_pop = 50;
        curve();
        EXPECT_TRUE(std::equal(label.begin(), label.end(), image));
        EXPECT_NE(image[width1_10 + 5], below);
    }
}
