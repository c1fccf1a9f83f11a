// The camera command end to end: the real exposure loop against the
// simulated ZQ1 on the manual clock, with the dialog's answers scripted.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/exposure_loop.h"
#include "camera/focus_loop.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "sim/sim.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/native_file.h"
#include "test_env.h"

namespace {
constexpr double bias = 1000;

sim::SensorSettings clean_sensor()
{
    sim::SensorSettings s;
    s.bias = bias;
    s.read_noise = 0;
    s.shot_noise = false;
    s.hot_pixels = 0;
    return s;
}

sim::SkySettings bright_sky()
{
    sim::SkySettings s;
    s.sky_adu_per_s = 400;
    s.brightest_flux = 2.0e4;
    return s;
}

struct Mean {
    double even = 0, odd = 0;
};

// Mean of the even and the odd rows of the current frame.
Mean row_means(const unsigned short* frame)
{
    Mean m;
    double sums[2] = { 0, 0 };
    long counts[2] = { 0, 0 };
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x) {
            sums[y % 2] += frame[at(y, x)];
            ++counts[y % 2];
        }
    m.even = sums[0] / counts[0];
    m.odd = sums[1] / counts[1];
    return m;
}

class ExposureLoop : public testing::Test {
protected:
    sim::SkyModel sky { bright_sky() };
    std::unique_ptr<sim::SimCamera> camera;
    // The user's settings in the dialog, then "Take Photo" (1) or "Cancel".
    std::function<void()> settings;
    int answer = 1;
    std::unique_ptr<CameraDialogScope> dialog;

    void SetUp() override { use_camera(clean_sensor()); }
    void TearDown() override { set_camera_transport(nullptr); }

    void use_camera(const sim::SensorSettings& sensor)
    {
        set_camera_transport(nullptr);
        camera = std::make_unique<sim::SimCamera>(sky, sensor);
        set_camera_transport(camera.get());
        dialog = std::make_unique<CameraDialogScope>([this] {
            if (settings)
                settings();
            return answer;
        });
    }

    TestHost& host() { return test_env().host; }

    void take(char unit, int value, std::function<void()> more = {})
    {
        settings = [=] {
            set_exposure_unit(unit);
            exp_value = value;
            if (more)
                more();
        };
        camera->clear_log();
        run_camera_command();
    }

    bool box_shown(const std::string& text) const
    {
        const auto& boxes = test_env().host.boxes;
        return std::any_of(boxes.begin(), boxes.end(), [&](const RecordedBox& b) { return b.text == text; });
    }

    // Control sub-commands (byte 1 of byte-0 = 2 commands) and read commands
    // (byte 0 = 4) as the camera received them, with their times.
    std::vector<sim::CameraCommand> commands_where(std::function<bool(const sim::CameraCommand&)> keep) const
    {
        std::vector<sim::CameraCommand> out;
        for (const sim::CameraCommand& c : camera->commands())
            if (keep(c))
                out.push_back(c);
        return out;
    }
    static bool is_read(const sim::CameraCommand& c) { return c.bytes[0] == 4; }
    static bool is_control(const sim::CameraCommand& c, int sub)
    {
        return c.bytes[0] == 2 && c.bytes[1] == sub;
    }

    // For every transfer (sub-commands 3 to 5) that follows a wipe, the time
    // from the last wipe to it: what the sensor integrated.
    std::vector<std::int64_t> wipe_to_transfer() const
    {
        std::vector<std::int64_t> out;
        std::int64_t wipe = -1;
        for (const sim::CameraCommand& c : camera->commands()) {
            if (is_control(c, 1))
                wipe = c.ms;
            else if (c.bytes[0] == 2 && c.bytes[1] >= 3 && wipe >= 0) {
                out.push_back(c.ms - wipe);
                wipe = -1;
            }
        }
        return out;
    }

    // Wipes sent, and the time from the last wipe to the last transfer
    // before the first read: how long the first field read collected light.
    int wipes() const
    {
        return static_cast<int>(commands_where([](const auto& c) { return is_control(c, 1); }).size());
    }
    std::int64_t first_exposure() const
    {
        std::int64_t wipe = -1, transfer = -1;
        for (const sim::CameraCommand& c : camera->commands()) {
            if (is_read(c))
                break;
            if (is_control(c, 1))
                wipe = c.ms;
            else if (c.bytes[0] == 2 && c.bytes[1] >= 3)
                transfer = c.ms;
        }
        return transfer - wipe;
    }
};

TEST_F(ExposureLoop, EachReadOutModeGivesAWholeFrame)
{
    struct Case {
        const char* name;
        CameraMode mode;
        int seconds;
        int width, shown_fields, exposures;
    };
    for (const Case& c : {
             Case { "binned", CameraMode::standard, 1, 376, 0, 1 },
             Case { "fast", CameraMode::high_res_fast, 1, 752, 1, 1 },
             Case { "progressive", CameraMode::high_res_progressive, 4, 752, 2, 1 },
             Case { "interlaced", CameraMode::high_res_interlaced, 1, 752, 2, 2 },
         }) {
        SCOPED_TRACE(c.name);
        host().frames_shown = 0;
        apply_correction = 0;
        take('s', c.seconds, [&] { set_camera_mode(c.mode); });
        EXPECT_EQ(camera_mode(), c.mode);
        EXPECT_EQ(width1, c.width);
        EXPECT_EQ(host().frames_shown, 1);
        EXPECT_DOUBLE_EQ(FITS_Exptime, c.seconds);
        EXPECT_EQ(image_name, "ZQ Camera Image");

        const Mean m = row_means(image);
        // Sky light over the bias in every row.
        EXPECT_GT(m.even, bias + 100);
        EXPECT_GT(m.odd, bias + 100);
        if (c.shown_fields == 2) {
            // Both fields carry the exposure (within the noise of the stars).
            EXPECT_NEAR(m.odd / m.even, 1.0, 0.1);
        }
        // Each frame starts with two wipes; the second exposure adds one.
        EXPECT_EQ(wipes(), c.exposures + 1);
        if (c.mode == CameraMode::high_res_fast) {
            for (int y = 1; y <= 577; y += 2)
                for (int x = 0; x < 752; x += 37)
                    ASSERT_EQ(image[at(y, x)], (image[at(y - 1, x)] + image[at(y + 1, x)]) / 2)
                        << y << "," << x;
        }
        EXPECT_NEAR(first_exposure(), c.seconds * 1000, 40);
    }
}

TEST_F(ExposureLoop, ShortExposuresAreTimedByTheCamera)
{
    struct Case {
        char unit;
        int value;
        int byte1, byte2;
        bool program_waits;
    };
    for (const Case& c : { Case { 't', 4, 400 % 256, 1, false }, Case { 'q', 499, 243, 1, false },
             Case { 'q', 500, 0, 0, true }, Case { 'h', 20, 200, 0, false } }) {
        SCOPED_TRACE(std::to_string(c.value) + c.unit);
        take(c.unit, c.value);
        const auto reads = commands_where(is_read);
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].bytes[1], c.byte1);
        EXPECT_EQ(reads[0].bytes[2], c.byte2);
        const auto wipes = commands_where([](const auto& cmd) { return is_control(cmd, 1); });
        ASSERT_FALSE(wipes.empty());
        const std::int64_t waited = reads[0].ms - wipes.back().ms;
        if (c.program_waits)
            EXPECT_GE(waited, 500);
        else
            EXPECT_LT(waited, 50);
    }
}

TEST_F(ExposureLoop, StepsAndTheModeSwitchOfShortProgressiveExposures)
{
    struct Steps {
        char unit;
        int value, steps;
    };
    for (const Steps& c : { Steps { 's', 4, 2 }, Steps { 's', 5, 6 }, Steps { 's', 12, 6 },
             Steps { 's', 13, 20 }, Steps { 'm', 1, 20 }, Steps { 't', 50, 2 } }) {
        exp_range = c.unit;
        exp_value = c.value;
        EXPECT_EQ(exposure_steps(), c.steps) << c.value << c.unit;
    }

    // One second is shorter than a field download: two exposures, and the
    // mode stays switched.
    take('s', 1, [] { set_camera_mode(CameraMode::high_res_progressive); });
    EXPECT_EQ(highres_intl, 0);
    EXPECT_EQ(highres_nonintl, 1);
    EXPECT_EQ(commands_where([](const auto& cmd) { return is_control(cmd, 1); }).size(), 3u);
    EXPECT_EQ(commands_where(is_read).size(), 2u);
    EXPECT_EQ(host().frames_shown, 1);
}

TEST_F(ExposureLoop, SeriesMultipliesByFourAndRestoresTheExposure)
{
    take('s', 1, [] { toggle_series_exposure(); });
    const auto intervals = wipe_to_transfer();
    ASSERT_EQ(intervals.size(), 5u);
    const int expected[] = { 1000, 4000, 16000, 64000, 256000 };
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(intervals[i], expected[i], 40) << i;
    EXPECT_TRUE(box_shown("Exposure Series Completed"));
    EXPECT_EQ(exposure, 1000);
    EXPECT_EQ(host().frames_shown, 5);
    EXPECT_EQ(auto_save_fits, 1);
}

TEST_F(ExposureLoop, StackedFramesShowAndSaveTheSumSoFar)
{
    // A bright star to align on, picked at full resolution.
    sky.place_star(400, 300, 4.0e5);
    picked_star = 1;
    pick_xcent = xcent = 400;
    pick_ycent = ycent = 300;
    std::vector<double> shown;
    host().on_show_frame = [&] {
        shown.push_back(row_means(image).even);
        EXPECT_EQ(auto_save(image), 0);
    };
    take('s', 2, [] {
        no_images = 3;
        auto_save_fits = 1;
    });
    ASSERT_EQ(shown.size(), 3u);
    // Each sum holds one more frame of bias and sky.
    EXPECT_NEAR(shown[1] / shown[0], 2.0, 0.05);
    EXPECT_NEAR(shown[2] / shown[0], 3.0, 0.05);
    EXPECT_EQ(total_images, 3);
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(std::filesystem::exists(auto_save_path(n))) << n;
    EXPECT_FALSE(box_shown(message_text(33, nullptr)));
}

TEST_F(ExposureLoop, KeyPressesEndTheRun)
{
    // Continuous frames until the user presses a key.
    host().press_key_at(5500);
    take('s', 1, [] { continuous = 1; });
    EXPECT_GE(host().frames_shown, 2);
    EXPECT_EQ(cont_work, 0);
    const std::int64_t frames = host().frames_shown;
    const std::size_t reads = commands_where(is_read).size();
    EXPECT_LE(reads, static_cast<std::size_t>(frames) + 1);
    EXPECT_LT(test_env().clock.now_ms(), 12000);

    // A press during the exposure ends it: no read-out, nothing shown.
    continuous = 0;
    host().frames_shown = 0;
    host().beeps = 0;
    const std::int64_t start = test_env().clock.now_ms();
    host().press_key_at(start + 3000);
    take('s', 10);
    EXPECT_TRUE(commands_where(is_read).empty());
    EXPECT_TRUE(commands_where([](const auto& cmd) { return is_control(cmd, 3); }).empty());
    EXPECT_EQ(host().frames_shown, 0);
    EXPECT_EQ(end_loop, 1);
    EXPECT_EQ(host().beeps, 1);
    EXPECT_LT(test_env().clock.now_ms() - start, 3100);

    // Cancel takes nothing.
    answer = 2;
    take('s', 1);
    EXPECT_TRUE(camera->commands().empty());
}

TEST_F(ExposureLoop, DarkAndFlatFromFiles)
{
    // A dark of the bias alone and a flat of one level.
    std::fill(undo_int, undo_int + frame_samples, static_cast<unsigned short>(bias));
    ASSERT_EQ(save_native_file(home_path("dark.zq").c_str(), undo_int), NativeSave::ok);
    std::fill(save_int, save_int + frame_samples, static_cast<unsigned short>(5000));
    ASSERT_EQ(save_native_file(home_path("flat.zq").c_str(), save_int), NativeSave::ok);
    {
        std::FILE* f = std::fopen(home_path("short.zq").c_str(), "wb");
        std::fputs("not a frame", f);
        std::fclose(f);
    }

    take('s', 1);
    const double raw = row_means(image).even;

    struct Case {
        const char* dark;
        const char* flat;
        int message; // 0: both applied
    };
    for (const Case& c :
        { Case { "dark.zq", "", 0 }, Case { "missing.zq", "", 3 }, Case { "short.zq", "", 4 },
            Case { "", "missing.zq", 5 }, Case { "", "short.zq", 6 }, Case { "dark.zq", "flat.zq", 0 } }) {
        SCOPED_TRACE(std::string(c.dark) + "/" + c.flat);
        host().boxes.clear();
        take('s', 1, [&] {
            darkframe_remove = *c.dark != 0;
            flatfield_remove = *c.flat != 0;
            DarkFileName = home_path(c.dark);
            FlatFileName = home_path(c.flat);
        });
        EXPECT_EQ(host().frames_shown > 0, true);
        if (c.message != 0) {
            ASSERT_EQ(host().boxes.size(), 1u);
            EXPECT_EQ(host().boxes[0].text, message_text(c.message, nullptr));
            continue;
        }
        EXPECT_TRUE(host().boxes.empty());
        // The bias is gone: what is left is the sky.
        EXPECT_NEAR(row_means(image).even, raw - bias, 0.1 * (raw - bias));
    }
}

TEST_F(ExposureLoop, TheDarkSurvivesTheSmoothingOfHighResolutionFrames)
{
    // The vertical smoothing works in the buffer that holds the dark frame:
    // every frame of the run must still have the dark taken off, not itself.
    use_full_frame();
    std::fill(undo_int, undo_int + frame_samples, static_cast<unsigned short>(bias));
    ASSERT_EQ(save_native_file(home_path("dark.zq").c_str(), undo_int), NativeSave::ok);
    std::vector<double> shown;
    host().on_show_frame = [&] { shown.push_back(row_means(image).even); };
    take('s', 4, [this] {
        set_camera_mode(CameraMode::high_res_progressive);
        apply_correction = 1;
        continuous = 1;
        no_images = 2;
        darkframe_remove = 1;
        DarkFileName = home_path("dark.zq");
    });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_GT(shown[0], 100);
    // Taking a frame off itself would leave next to nothing.
    EXPECT_GT(shown[1], 0.5 * shown[0]);
}

TEST_F(ExposureLoop, FocusPeakIgnoresSingleHotPixels)
{
    struct View : FocusLoopView {
        int frames = 0;
        void show_values() override { }
        void frame_ready() override
        {
            if (++frames == 2)
                stopit = 1;
        }
    };
    sim::SensorSettings hot = clean_sensor();
    hot.hot_pixels = 3000;
    hot.hot_min_adu_per_s = 30000;
    hot.hot_max_adu_per_s = 40000;
    sim::SkySettings empty;
    empty.stars_per_megapixel = 0;
    empty.sky_adu_per_s = 50;
    sky = sim::SkyModel(empty);
    use_camera(hot);
    ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
    max_stretch = 1; // the frame stays as read
    focus_delay = 0;
    set_exposure_unit('s');
    exp_value = 1;

    View view;
    run_focus_loop(view);
    EXPECT_EQ(view.frames, 2);
    EXPECT_EQ(focus_mode, 1);
    const unsigned short brightest = *std::max_element(image_int, image_int + 128 * 128);
    EXPECT_GT(brightest / 4, 5000); // hot pixels are in the frame
    EXPECT_LT(max_value, 1000); // but not in the peak

    // A star in the window does raise it.
    sky.place_star(312 + 64, 2 * (65 + 64), 3.0e5);
    View again;
    run_focus_loop(again);
    EXPECT_GT(max_value, 2000);
    EXPECT_EQ(host().frames_shown, 0);
    EXPECT_TRUE(std::filesystem::exists(home_path("quillonf.bmp")));
}

TEST_F(ExposureLoop, AShortBlockReadIsNotShownAsAFrame)
{
    take('s', 1);
    ASSERT_EQ(host().frames_shown, 1);
    const std::vector<unsigned short> before(image_int, image_int + intlength);
    host().frames_shown = 0;
    host().boxes.clear();
    camera->reset();
    camera->faults().short_block_read = 1;
    take('s', 1);
    EXPECT_EQ(host().frames_shown, 0);
    EXPECT_FALSE(host().boxes.empty());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), image_int));
}
TEST_F(ExposureLoop, EachSeriesFrameCarriesItsOwnExposureAndStacksTheirSum)
{
    // The saved files' EXPTIME, read back by the field's own library.
    auto exptimes = [] {
        std::vector<double> out;
        for (int n = 1; std::filesystem::exists(auto_save_path(n)); ++n) {
            fitsfile* fits = nullptr;
            int status = 0;
            double seconds = -1;
            fits_open_file(&fits, auto_save_path(n).c_str(), READONLY, &status);
            fits_read_key(fits, TDOUBLE, "EXPTIME", &seconds, nullptr, &status);
            fits_close_file(fits, &status);
            EXPECT_EQ(status, 0) << n;
            out.push_back(seconds);
            std::filesystem::remove(auto_save_path(n));
        }
        return out;
    };
    host().on_show_frame = [] { EXPECT_EQ(auto_save(image), 0); };
    // A bright star for the stack to align on.
    sky.place_star(400, 300, 4.0e5);
    struct Case {
        const char* name;
        char unit;
        int value, images;
        bool series;
        std::vector<double> want;
    };
    for (const Case& c : { Case { "series", 'h', 5, 1, true, { 0.05, 0.2, 0.8, 3.2, 12.8 } },
             Case { "stack", 's', 2, 3, false, { 2, 4, 6 } } }) {
        SCOPED_TRACE(c.name);
        auto_save_num = 0;
        picked_star = 1;
        pick_xcent = xcent = 400;
        pick_ycent = ycent = 300;
        take(c.unit, c.value, [&] {
            no_images = c.images;
            if (c.series != (series_exposure != 0))
                toggle_series_exposure();
        });
        const std::vector<double> got = exptimes();
        ASSERT_EQ(got.size(), c.want.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.want[i], 1e-6) << i;
    }
}

TEST_F(ExposureLoop, TheFastFramesLastRowIsItsOwn)
{
    // An interlaced frame leaves its own last row in the buffer; the fast
    // frame after it must not keep it.
    take('s', 1, [] { set_camera_mode(CameraMode::high_res_interlaced); });
    for (int x = 0; x < 752; ++x)
        image[at(579, x)] = 60000;
    take('s', 1, [] { set_camera_mode(CameraMode::high_res_fast); });
    ASSERT_EQ(width1, 752);
    for (int x = 0; x < 752; ++x)
        ASSERT_EQ(image[at(579, x)], image[at(578, x)]) << x;
    EXPECT_LT(image[at(579, 0)], 60000);
}
} // namespace
