// The simulated ZQ1 on the manual clock: byte layouts and window placement
// read with single commands, and, driven by the program's own exposure loop,
// focus loop and self-guiding, a signal that follows the exposure through
// every read-out sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/clock.h"
#include "app/state.h"
#include "app/wait.h"
#include "camera/camera_controls.h"
#include "camera/exposure_loop.h"
#include "camera/focus_loop.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model_sky.h"
#include "store/buffers.h"
#include "store/settings_file.h"
#include "telescope/guide_telescope.h"
#include "test_env.h"

namespace {

using sim::SimCamera;
using sim::SkyModel;
namespace zq = sim::zq;

constexpr double bias = 1000;

sim::SkySettings quiet_sky()
{
    sim::SkySettings s;
    s.brightest_flux = 2.0e4; // nothing saturates in a minute
    return s;
}

// No noise: a sample is exactly the bias plus the light, rounded. Hot pixels
// stay below saturation over a minute.
sim::SensorSettings quiet_sensor()
{
    sim::SensorSettings s;
    s.bias = bias;
    s.read_noise = 0;
    s.shot_noise = false;
    s.hot_min_adu_per_s = 100;
    s.hot_max_adu_per_s = 400;
    return s;
}

// For sums over whole frames: a bright sky, and a little read noise so the
// rounding of the samples does not bias the sums.
sim::SkySettings bright_sky()
{
    sim::SkySettings s = quiet_sky();
    s.sky_adu_per_s = 150;
    return s;
}

sim::SensorSettings dithered_sensor()
{
    sim::SensorSettings c = quiet_sensor();
    c.read_noise = 1.5;
    return c;
}

ManualClock& clock()
{
    return test_env().clock;
}

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> v;
    std::uint16_t at(int x, int y) const { return v[std::size_t(y) * width + x]; }
    // Light above the bias over rows of one parity (-1: all rows).
    double signal(int parity = -1) const
    {
        double sum = 0;
        for (int y = 0; y < height; ++y)
            if (parity < 0 || (y & 1) == parity)
                for (int x = 0; x < width; ++x)
                    sum += at(x, y) - bias;
        return sum;
    }
    // Light above the bias within `r` pixels (a square) of (x, y).
    double signal_near(int x, int y, int r) const
    {
        double sum = 0;
        for (int j = std::max(0, y - r); j <= std::min(height - 1, y + r); ++j)
            for (int i = std::max(0, x - r); i <= std::min(width - 1, x + r); ++i)
                sum += at(i, j) - bias;
        return sum;
    }
};

std::vector<std::uint16_t> samples(const std::vector<unsigned char>& bytes)
{
    std::vector<std::uint16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

// Speaks to the camera command by command: the layouts and timings of single
// reads. Whole frames come from the program's own loops (take() below).
struct Rig {
    SkyModel sky;
    SimCamera cam;

    explicit Rig(const sim::SkySettings& s = quiet_sky(), const sim::SensorSettings& c = quiet_sensor())
        : sky(s)
        , cam(sky, c)
    {
        cam.discover();
    }

    void command(std::array<unsigned char, 8> b)
    {
        unsigned char report[9] = { 0 };
        std::copy(b.begin(), b.end(), report + 1);
        ASSERT_TRUE(cam.write_report(report, 9).ok());
    }
    void control(int sub) { command({ 2, static_cast<unsigned char>(sub), 0, 0, 0, 0, 0, 0 }); }
    // One read command and its block; the raw bytes as the camera sent them.
    std::vector<unsigned char> read(int mode, int exposure, int fx = 312, int fy = 65)
    {
        std::array<unsigned char, 8> b {};
        b[0] = 4;
        if (exposure < 500) {
            b[1] = static_cast<unsigned char>(exposure % 256);
            b[2] = exposure > 255 ? 1 : 0;
        }
        if (mode == 1) {
            b[3] = static_cast<unsigned char>(fy + 9);
            b[4] = static_cast<unsigned char>(226 - fy);
            b[5] = static_cast<unsigned char>((fx + 24) / 3);
            b[6] = static_cast<unsigned char>(250 - b[5]);
        }
        b[7] = static_cast<unsigned char>(mode);
        command(b);
        const std::size_t length = mode == 0 ? zq::binned_bytes
            : mode == 2                      ? zq::field_bytes
                                             : zq::window_bytes;
        std::vector<unsigned char> data(length);
        const TransferResult r = cam.read_block(data.data(), length);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.bytes, length);
        return data;
    }
    Frame binned(int exposure)
    {
        const auto raw = samples(read(0, exposure));
        Frame f { 376, 290, std::vector<std::uint16_t>(376 * 290) };
        for (int y = 0; y < 290; ++y)
            for (int x = 0; x < 376; ++x)
                f.v[std::size_t(y) * 376 + x] = raw[std::size_t(y + 6) * 416 + 14 + x];
        return f;
    }
    void field(Frame& f, int exposure, int line)
    {
        const auto raw = samples(read(2, exposure));
        for (int y = 0; y < 290; ++y)
            for (int x = 0; x < 752; ++x)
                f.v[std::size_t(2 * y + line) * 752 + x] = raw[std::size_t(y + 8) * 832 + 26 + x];
    }
    Frame window(int exposure, int fx = 312, int fy = 65)
    {
        return { 128, 128, samples(read(1, exposure, fx, fy)) };
    }

    Frame full() { return { 752, 580, std::vector<std::uint16_t>(752 * 580) }; }
};

enum class Mode { binned, fast, progressive, two_exposure, focus };

CameraMode camera_mode_of(Mode mode)
{
    switch (mode) {
    case Mode::fast:
        return CameraMode::high_res_fast;
    case Mode::progressive:
        return CameraMode::high_res_progressive;
    case Mode::two_exposure:
        return CameraMode::high_res_interlaced;
    default:
        return CameraMode::standard;
    }
}

// The rig's camera as the program's camera while it lives, found as the
// program finds it.
struct Installed {
    explicit Installed(SimCamera& cam)
    {
        set_camera_transport(&cam);
        USBHid::CollectingUSBHidInfo(nullptr);
    }
    ~Installed() { set_camera_transport(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

// The frame the camera command left in the image buffer, in its geometry.
Frame current_frame()
{
    Frame f { width1, height1, {} };
    f.v.assign(image_int, image_int + std::size_t(width1) * height1);
    return f;
}

// The raw samples of the last focus frame (before its display stretch).
Frame last_focus_frame()
{
    const unsigned short* raw = last_focus_frame_raw();
    return { 128, 128, std::vector<std::uint16_t>(raw, raw + 128 * 128) };
}

// One focus frame of the camera dialog's focus loop, `value` in `unit`.
Frame focus_frame(Rig& rig, char unit, int value)
{
    struct OneFrame : FocusLoopView {
        int frames = 0;
        void show_values() override { }
        void frame_ready() override
        {
            ++frames;
            stopit = 1;
        }
    };
    Installed installed(rig.cam);
    focus_delay = 0;
    focus_wait = 0;
    set_exposure_unit(unit);
    exp_value = value;
    OneFrame view;
    run_focus_loop(view);
    EXPECT_EQ(view.frames, 1) << value << unit << ": the focus loop refused or lost the frame";
    return last_focus_frame();
}

// One frame of the camera command in `mode`, `value` in `unit`: the real
// exposure loop with the dialog's answers scripted.
Frame take(Rig& rig, Mode mode, char unit, int value)
{
    if (mode == Mode::focus)
        return focus_frame(rig, unit, value);
    Installed installed(rig.cam);
    apply_correction = 0; // the frame as read, rows unsmoothed
    CameraDialogScope dialog([&] {
        set_camera_mode(camera_mode_of(mode));
        set_exposure_unit(unit);
        exp_value = value;
        return 1;
    });
    const std::int64_t shown = test_env().host.frames_shown;
    run_camera_command();
    EXPECT_EQ(test_env().host.frames_shown, shown + 1) << value << unit;
    return current_frame();
}

// A telescope for self-guiding: the simulated mount on the rig's sky behind
// the in-process port, with trained rates.
struct Telescope {
    sim::SkyModelSky mount_sky;
    sim::SimulatedMount mount;
    sim::InProcessSerialPort port;
    explicit Telescope(SkyModel& sky)
        : mount_sky(sky)
        , mount(mount_sky)
        , port(mount)
    {
        set_serial_port(&port);
        test_env().host.on_command = [](int number) {
            if (number == 889)
                guide_telescope_frame();
        };
        telescope = 'l';
        slewx = 5;
        slewy = 2;
        // A new port: the guider opens the link on it.
        comfound = 0;
    }
    ~Telescope()
    {
        test_env().host.on_command = nullptr;
        set_serial_port(nullptr);
    }
    Telescope(const Telescope&) = delete;
    Telescope& operator=(const Telescope&) = delete;
};

// The guide star, where the guide frame's window holds it (column 376, row
// 288), no brighter than the sky's brightest so nothing saturates.
constexpr double guide_star_x = 376, guide_star_y = 288;

struct Guided {
    Frame frame;
    double ms[2] = { 0, 0 }; // what field 0 and field 1 of the frame collected
};

// A self-guided exposure of `seconds` through the camera command, with
// guide frames of `guide` ms: binned, or high resolution with the guide
// frame switched at mid-exposure. Which field read holds what comes from the
// camera's record of its reads.
Guided self_guided(Rig& rig, int seconds, int guide, bool switched)
{
    Installed installed(rig.cam);
    Telescope scope(rig.sky);
    apply_correction = 0;
    picked_star = 1;
    pick_xcent = static_cast<int>(guide_star_x);
    pick_ycent = static_cast<int>(guide_star_y);
    xcent = pick_xcent / 2;
    ycent = pick_ycent / 2;
    const std::size_t reads_before = rig.cam.reads().size();
    CameraDialogScope dialog([&] {
        set_camera_mode(switched ? CameraMode::high_res_interlaced : CameraMode::standard);
        selfguiding = 1;
        selfguiding_exp_range = 'q';
        selfguiding_exp_value = guide;
        switch_frame = selfguidinghigh = switched ? 1 : 0;
        set_exposure_unit('s');
        exp_value = seconds;
        // The guider opens the link from the settings file: it must hold
        // the telescope and these settings.
        EXPECT_EQ(SaveINIFile(ini_file.c_str()), settings_ok);
        return 1;
    });
    run_camera_command();
    for (const RecordedBox& b : test_env().host.boxes)
        ADD_FAILURE() << b.text;
    test_env().host.boxes.clear();

    Guided g { current_frame() };
    // The main frame's reads: the whole binned frame, or the first half's
    // field at the switch and the second half's at the end.
    std::vector<sim::ReadRecord> main_reads;
    for (std::size_t i = reads_before; i < rig.cam.reads().size(); ++i)
        if (rig.cam.reads()[i].mode != 1)
            main_reads.push_back(rig.cam.reads()[i]);
    if (switched) {
        EXPECT_EQ(main_reads.size(), 2u);
        if (main_reads.size() == 2) {
            EXPECT_EQ(main_reads[0].field, 0);
            EXPECT_EQ(main_reads[1].field, 1);
            g.ms[0] = main_reads[0].integrated_ms[0];
            g.ms[1] = main_reads[1].integrated_ms[1];
        }
    } else {
        EXPECT_EQ(main_reads.size(), 1u);
        if (!main_reads.empty()) {
            g.ms[0] = main_reads.back().integrated_ms[0];
            g.ms[1] = main_reads.back().integrated_ms[1];
        }
    }
    return g;
}

TEST(SimCamera, SendsEachReadModeInItsLayout)
{
    // A dark sensor with one hot pixel marks where each layout puts a pixel.
    sim::SkySettings sky = quiet_sky();
    sky.stars_per_megapixel = 0;
    sky.sky_adu_per_s = 0;
    sim::SensorSettings sensor = quiet_sensor();
    sensor.dark_adu_per_s = 0;
    sensor.hot_pixels = 1;
    Rig rig(sky, sensor);
    const sim::HotPixel hot = rig.cam.hot_pixels().at(0);
    const int line = hot.y / 2;
    const int field = hot.y % 2;
    // Window origin so the hot pixel sits at (20, 30) of the window.
    // A window origin on a column group boundary (a multiple of 3) holding it.
    const int fx = std::clamp(hot.x - 20, 0, 600) / 3 * 3;
    const int fy = std::clamp(line - 30, 0, 160);

    struct Case {
        const char* name;
        int transfer;
        int mode;
        std::size_t bytes;
        std::size_t index; // sample index of the hot pixel in the data
    } cases[] = {
        { "binned", 3, 0, 247936, std::size_t(6 + line) * 416 + 14 + hot.x / 2 },
        { "field", field == 0 ? 5 : 4, 2, 495872, std::size_t(8 + line) * 832 + 26 + hot.x },
        { "window", field == 0 ? 5 : 4, 1, 32768, std::size_t(line - fy) * 128 + (hot.x - fx) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.control(2), rig.control(1);
        wait_ms(2000);
        rig.control(c.transfer);
        const auto data = samples(rig.read(c.mode, 0, fx, fy));
        ASSERT_EQ(data.size() * 2, c.bytes);
        std::size_t brightest = 0;
        for (std::size_t i = 0; i < data.size(); ++i)
            if (data[i] > data[brightest])
                brightest = i;
        EXPECT_EQ(brightest, c.index);
        EXPECT_NEAR(data[brightest], bias + 2.0 * hot.adu_per_s, 1.0);
        // Everything else, overscan included, is the bias.
        EXPECT_EQ(data[c.index == 0 ? 1 : 0], bias);
    }
    // The frame starts 5,020 and 13,364 bytes into the binned and field data.
    EXPECT_EQ((6 * 416 + 14) * 2, 5020);
    EXPECT_EQ((8 * 832 + 26) * 2, 13364);
}

TEST(SimCamera, ABinnedSampleIsTheLightOfItsFourPixels)
{
    // Three like exposures read binned, as field 0 and as field 1.
    Rig rig;
    auto expose = [&](int transfer) {
        rig.control(2), rig.control(1);
        wait_ms(3000);
        rig.control(transfer);
    };
    expose(3);
    const Frame b = rig.binned(0);
    Frame f = rig.full();
    expose(5);
    rig.field(f, 0, 0);
    expose(4);
    rig.field(f, 0, 1);
    double worst = 0;
    for (int y = 0; y < 290; ++y)
        for (int x = 0; x < 376; ++x) {
            const double four = f.at(2 * x, 2 * y) + f.at(2 * x + 1, 2 * y) + f.at(2 * x, 2 * y + 1)
                + f.at(2 * x + 1, 2 * y + 1) - 4 * bias;
            worst = std::max(worst, std::abs(b.at(x, y) - bias - four));
        }
    EXPECT_LE(worst, 2.0); // four roundings
    EXPECT_GT(b.signal(), 0);
}

TEST(SimCamera, PlacesTheWindowWhereItsBytesPutItAndReadsOverscanPastTheSensor)
{
    EXPECT_EQ(zq::window_origin(74, 112).line, 65);
    EXPECT_EQ(zq::window_origin(74, 112).column, 312);
    // The guider's alignment: focus_y 65 puts the window's first line at 70.
    EXPECT_EQ(zq::window_origin(74, 112, true).line, 70);
    EXPECT_EQ(zq::window_origin(9 + 160, 112, true).line, 160);

    struct Case {
        int fx, fy;
        int line, column; // expected origin
    } cases[] = {
        { 312, 65, 65, 312 }, // the default: bytes 74, 161, 112, 138
        { 313, 1, 1, 312 }, // column groups of three
        { 686, 226, 226, 684 }, // the clamps' far corner: past both edges
        { 3, 1, 1, 3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fx << "," << c.fy);
        Rig rig;
        // The same 1 s exposure read whole and as a window (nothing random).
        rig.control(2), rig.control(1);
        wait_ms(1000);
        rig.control(3);
        Frame f = rig.full();
        rig.field(f, 0, 0);
        rig.control(2), rig.control(1);
        wait_ms(1000);
        rig.control(3);
        const Frame w = rig.window(0, c.fx, c.fy);
        int inside = 0;
        for (int r = 0; r < 128; ++r)
            for (int k = 0; k < 128; ++k) {
                const int line = c.line + r;
                const int column = c.column + k;
                if (line < 290 && column < 752) {
                    ++inside;
                    ASSERT_EQ(w.at(k, r), f.at(column, 2 * line)) << r << "," << k;
                } else {
                    ASSERT_EQ(w.at(k, r), bias) << r << "," << k;
                }
            }
        EXPECT_GT(inside, 0);
    }
}

TEST(SimCamera, SignalFollowsTheExposureInEveryReadOutSequence)
{
    struct Case {
        const char* name;
        Mode mode;
        char unit;
        int v1, v2;
    } cases[] = {
        { "binned, seconds", Mode::binned, 's', 1, 4 },
        { "binned, camera-timed", Mode::binned, 'q', 120, 400 },
        { "binned, 499 vs 500 ms", Mode::binned, 'q', 499, 500 },
        { "fast high resolution", Mode::fast, 's', 2, 6 },
        { "progressive, one exposure", Mode::progressive, 's', 5, 15 },
        { "interlaced, two exposures", Mode::two_exposure, 's', 1, 3 },
        { "interlaced, camera-timed", Mode::two_exposure, 'q', 200, 450 },
        { "focus frame, camera-timed", Mode::focus, 't', 1, 3 },
        { "focus frame, program-timed", Mode::focus, 't', 6, 24 },
    };
    // Once on a bright sky, once with the stars' light alone (no sky, no
    // dark current), so the stars themselves are seen to follow.
    sim::SkySettings stars_only = quiet_sky();
    stars_only.sky_adu_per_s = 0;
    stars_only.stars_per_megapixel = 600;
    sim::SensorSettings no_dark = dithered_sensor();
    no_dark.dark_adu_per_s = 0;
    no_dark.hot_pixels = 0;
    no_dark.read_noise = 0.5;
    for (const bool stars : { false, true })
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (stars ? ", stars alone" : ", bright sky"));
            Rig rig(stars ? stars_only : bright_sky(), stars ? no_dark : dithered_sensor());
            rig.sky.place_star(376, 260, 2.0e4); // one in the focus window
            const int e1 = c.v1 * exposure_unit_ms(c.unit), e2 = c.v2 * exposure_unit_ms(c.unit);
            // Under 500 ms the camera times the exposure (the read command
            // carries it); from 500 ms on the program does.
            const Frame a = take(rig, c.mode, c.unit, c.v1);
            EXPECT_EQ(rig.cam.reads().back().camera_exposure_ms, e1 < 500 ? e1 : 0);
            const Frame b = take(rig, c.mode, c.unit, c.v2);
            EXPECT_EQ(rig.cam.reads().back().camera_exposure_ms, e2 < 500 ? e2 : 0);
            const double want = static_cast<double>(e2) / e1;
            const bool two_fields = c.mode == Mode::progressive || c.mode == Mode::two_exposure;
            if (two_fields) {
                EXPECT_NEAR(b.signal(0) / a.signal(0), want, 0.01 * want);
                EXPECT_NEAR(b.signal(1) / a.signal(1), want, 0.01 * want);
                // The two fields carry the same exposure (stars split their
                // light between the fields as they fall on the rows).
                EXPECT_NEAR(b.signal(1) / b.signal(0), 1.0, stars ? 0.1 : 0.03);
            } else if (c.mode == Mode::fast) {
                EXPECT_NEAR(b.signal(0) / a.signal(0), want, 0.01 * want);
            } else if (c.mode == Mode::focus && stars) {
                // The bright star at line 130, column 376: (64, 65) of the window.
                EXPECT_NEAR(b.signal_near(64, 65, 15) / a.signal_near(64, 65, 15), want, 0.01 * want);
            } else {
                EXPECT_NEAR(b.signal() / a.signal(), want, 0.01 * want);
            }
            // The camera saw the exposure asked for in the field it delivered.
            const sim::ReadRecord& last = rig.cam.reads().back();
            // (The one-exposure mode's odd field is 0.02 of a download short,
            // and the loop polls its mid-exposure transfer.)
            EXPECT_NEAR(last.integrated_ms[last.field], e2, 0.02 * download_time + 60);
        }
}

TEST(SimCamera, SelfGuidedExposuresKeepTheMainFrameWhileGuideFramesAreRead)
{
    struct Case {
        bool switch_frame;
        int guide; // ms
    } cases[] = { { false, 600 }, { true, 600 }, { true, 300 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.switch_frame ? "high resolution, frame switched" : "binned")
                                        << ", guide " << c.guide << " ms");
        Rig rig(bright_sky(), dithered_sensor());
        rig.sky.place_star(guide_star_x, guide_star_y, 2.0e4);
        const Guided a = self_guided(rig, 12, c.guide, c.switch_frame);
        const Guided b = self_guided(rig, 24, c.guide, c.switch_frame);
        // The loop ends on its first pass past the end: over by a guide frame at most.
        const double pass = c.guide + 200;
        if (c.switch_frame) {
            // Each field holds one half of the exposure.
            for (int field = 0; field < 2; ++field) {
                EXPECT_NEAR(a.ms[field], 6000, pass);
                EXPECT_NEAR(b.ms[field], 12000, pass);
                EXPECT_NEAR(b.frame.signal(field) / a.frame.signal(field), b.ms[field] / a.ms[field], 0.01);
            }
            EXPECT_NEAR(b.frame.signal(1) / b.frame.signal(0), b.ms[1] / b.ms[0], 0.03);
        } else {
            EXPECT_NEAR(a.ms[0], 12000, pass);
            EXPECT_NEAR(b.ms[0], 24000, pass);
            EXPECT_EQ(b.ms[1], 0); // field 1 went to the guide frames
            EXPECT_NEAR(b.frame.signal() / a.frame.signal(), b.ms[0] / a.ms[0], 0.01);
        }
        // A guide frame holds only the light since the read before it (its
        // own wait, the corrections and the loop's pass since the window
        // before it was transferred, or since the wipe at the switch),
        // whatever the main exposure does. All on the manual clock.
        int guides = 0;
        const sim::ReadRecord* previous = nullptr;
        for (const sim::ReadRecord& r : rig.cam.reads()) {
            if (r.mode == 1) {
                ++guides;
                if (previous != nullptr) {
                    EXPECT_LE(r.integrated_ms[r.field], static_cast<double>(r.ms - previous->ms) + 1.0);
                }
                if (c.guide >= 500) {
                    EXPECT_GE(r.integrated_ms[r.field], c.guide);
                }
            }
            previous = &r;
        }
        EXPECT_GT(guides, 12);
    }
    // The binned self-guided frame carries field 0 alone: half an unguided one.
    Rig plain(bright_sky(), dithered_sensor());
    plain.sky.place_star(guide_star_x, guide_star_y, 2.0e4);
    const Frame unguided = take(plain, Mode::binned, 's', 20);
    Rig guided(bright_sky(), dithered_sensor());
    guided.sky.place_star(guide_star_x, guide_star_y, 2.0e4);
    const Guided g = self_guided(guided, 20, 600, false);
    EXPECT_NEAR(g.frame.signal() / unguided.signal(), 0.5 * g.ms[0] / 20000, 0.01);
}

// Centroid of the light above `floor` in a frame.
void centroid(const Frame& f, double floor, double& cx, double& cy)
{
    double s = 0, sx = 0, sy = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const double v = f.at(x, y) - floor;
            if (v > 0)
                s += v, sx += v * x, sy += v * y;
        }
    cx = sx / s;
    cy = sy / s;
}

TEST(SimCamera, MountMovesAndDriftMoveTheStarsByTheirPixels)
{
    sim::SkySettings s = quiet_sky();
    s.stars_per_megapixel = 0;
    s.sky_adu_per_s = 0;
    sim::SensorSettings c = quiet_sensor();
    c.dark_adu_per_s = 0;
    c.hot_pixels = 0;
    Rig rig(s, c);
    rig.sky.place_star(300.3, 200.6, 40000);
    auto star = [&](double& x, double& y) {
        const Frame f = take(rig, Mode::binned, 's', 1);
        centroid(f, bias, x, y);
        x = 2 * x + 0.5, y = 2 * y + 0.5; // binned pixel centres in sensor pixels
    };
    double x0, y0, x1, y1;
    star(x0, y0);
    EXPECT_NEAR(x0, 300.3, 0.05);
    EXPECT_NEAR(y0, 200.6, 0.05);

    rig.sky.move_pointing(5.5, -3.0);
    star(x1, y1);
    EXPECT_NEAR(x1 - x0, 5.5, 0.05);
    EXPECT_NEAR(y1 - y0, -3.0, 0.05);
    EXPECT_NEAR(rig.sky.offset_x(), 5.5, 1e-9);

    // Drift of 0.5 and -0.25 px/s moves the star by its rate times the time
    // between two like exposures.
    rig.sky.set_drift(0.5, -0.25);
    const std::int64_t t0 = clock().now_ms();
    star(x0, y0);
    wait_ms(20000);
    const double seconds = static_cast<double>(clock().now_ms() - t0) / 1000.0;
    star(x1, y1);
    EXPECT_NEAR(x1 - x0, 0.5 * seconds, 0.05);
    EXPECT_NEAR(y1 - y0, -0.25 * seconds, 0.05);

    // A go-to shows another field; going back shows the star again.
    rig.sky.set_drift(0, 0);
    rig.sky.point_at(5.0, 20.0);
    EXPECT_NEAR(rig.sky.ra_hours(), 5.0, 1e-9);
    EXPECT_NEAR(rig.sky.dec_degrees(), 20.0, 1e-9);
    EXPECT_LT(take(rig, Mode::binned, 's', 1).signal(), 1.0);
    rig.sky.point_at(0.0, 0.0);
    star(x1, y1);
    EXPECT_NEAR(x1, 300.3, 0.05);
    EXPECT_NEAR(y1, 200.6, 0.05);
}

TEST(SimCamera, DarkCurrentGrowsWithExposureAndStarsSaturate)
{
    sim::SkySettings s;
    s.sky_adu_per_s = 0;
    s.stars_per_megapixel = 0;
    sim::SensorSettings c = dithered_sensor();
    Rig rig(s, c);
    const Frame short_dark = take(rig, Mode::binned, 's', 10);
    const Frame long_dark = take(rig, Mode::binned, 's', 60);
    EXPECT_NEAR(long_dark.signal() / short_dark.signal(), 6.0, 0.06);
    EXPECT_NEAR(short_dark.signal() / (376 * 290), 4 * c.dark_adu_per_s * 10, 4 * c.dark_adu_per_s);
    const sim::HotPixel& hot = rig.cam.hot_pixels().at(0);
    EXPECT_GT(long_dark.at(hot.x / 2, hot.y / 2), short_dark.at(hot.x / 2, hot.y / 2));

    rig.sky.place_star(100, 100, 2.0e6);
    const Frame bright = take(rig, Mode::binned, 's', 10);
    EXPECT_EQ(bright.at(50, 50), 65535);
}

TEST(SimCamera, SameSeedsAndCommandsGiveTheSameBytes)
{
    sim::SkySettings s;
    s.seed = 99;
    sim::SensorSettings c; // noise on
    std::vector<unsigned char> first;
    for (int run = 0; run < 2; ++run) {
        clock().ms = 5000;
        Rig rig(s, c);
        rig.sky.set_drift(0.1, 0.05);
        rig.sky.set_seeing_jitter(0.7);
        rig.control(2), rig.control(1);
        wait_ms(3000);
        rig.control(3);
        const auto data = rig.read(0, 0);
        if (run == 0)
            first = data;
        else
            EXPECT_EQ(data, first);
    }
}

TEST(SimCamera, DownloadsTakeTheirTimeOnTheClock)
{
    Rig rig;
    struct Case {
        int mode;
        int exposure;
        std::int64_t ms;
    } cases[] = { { 0, 0, 1200 }, { 2, 0, 1700 }, { 1, 0, 150 }, { 0, 400, 1600 }, { 2, 300, 2000 } };
    for (const Case& c : cases) {
        rig.control(3);
        const std::int64_t t0 = clock().now_ms();
        rig.read(c.mode, c.exposure);
        EXPECT_EQ(clock().now_ms() - t0, c.ms) << c.mode << " " << c.exposure;
    }
}

TEST(SimCamera, InjectedFaultsReachTheCaller)
{
    Rig rig;
    std::vector<unsigned char> buffer(zq::binned_bytes);
    unsigned char report[9] = { 0, 4, 0, 0, 0, 0, 0, 0, 0 };

    // A block read with no read command waits in vain.
    EXPECT_EQ(rig.cam.read_block(buffer.data(), buffer.size()).error, ETIMEDOUT);

    rig.cam.faults().short_block_read = 2;
    ASSERT_TRUE(rig.cam.write_report(report, 9).ok());
    EXPECT_EQ(rig.cam.read_block(buffer.data(), buffer.size()).bytes, zq::binned_bytes);
    ASSERT_TRUE(rig.cam.write_report(report, 9).ok());
    const TransferResult short_read = rig.cam.read_block(buffer.data(), buffer.size());
    EXPECT_TRUE(short_read.ok());
    EXPECT_EQ(short_read.bytes, zq::binned_bytes / 2);

    rig.cam.reset();
    rig.cam.faults().timed_out_block_read = 1;
    ASSERT_TRUE(rig.cam.write_report(report, 9).ok());
    const TransferResult timed_out = rig.cam.read_block(buffer.data(), buffer.size());
    EXPECT_EQ(timed_out.bytes, 0u);
    EXPECT_EQ(timed_out.error, ETIMEDOUT);

    rig.cam.reset();
    rig.cam.faults().disconnect_after_commands = 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(rig.cam.write_report(report, 9).ok());
    const TransferResult gone = rig.cam.write_report(report, 9);
    EXPECT_TRUE(gone.disconnected);
    EXPECT_EQ(gone.error, ENODEV);
    EXPECT_TRUE(rig.cam.read_block(buffer.data(), buffer.size()).disconnected);
    EXPECT_FALSE(rig.cam.discover().command_channel);

    rig.cam.reset();
    rig.cam.faults().no_data_channel = true;
    const CameraDiscovery d = rig.cam.discover();
    EXPECT_TRUE(d.command_channel);
    EXPECT_FALSE(d.data_channel);
}

} // namespace

namespace {

TEST(SimCamera, TheProgramGetsTheSharedCameraOnTheSharedSky)
{
    setenv("QUILLON_SIM_DRIFT", "0.5,-0.25", 1);
    setenv("QUILLON_SIM_SEEING", "0", 1);
    SimCamera& camera = sim::install_simulated_camera();
    unsetenv("QUILLON_SIM_DRIFT");
    unsetenv("QUILLON_SIM_SEEING");
    EXPECT_EQ(&camera_transport(), &camera);
    EXPECT_EQ(&camera.sky(), &sim::shared_sky());
    const CameraDiscovery found = camera_transport().discover();
    EXPECT_TRUE(found.command_channel && found.data_channel);
    EXPECT_EQ(found.records.size(), 2u);

    // The program's field has its target in the middle, inside the default
    // focus frame, after a go-to as before one.
    for (int goto_done = 0; goto_done < 2; ++goto_done) {
        if (goto_done)
            sim::shared_sky().point_at(0.71, 41.3);
        int near_centre = 0;
        for (const sim::SensorStar& star : sim::shared_sky().stars_on_sensor(0, 0, 0))
            if (std::abs(star.x - 376) < 1 && std::abs(star.y - 290) < 1 && star.flux >= 40000)
                ++near_centre;
        EXPECT_EQ(near_centre, 1);
    }

    // The mount's drift, as the environment asked.
    wait_ms(10000);
    EXPECT_NEAR(sim::shared_sky().offset_x(), 5.0, 1e-9);
    EXPECT_NEAR(sim::shared_sky().offset_y(), -2.5, 1e-9);

    // The next test finds both as new.
    camera.faults().short_block_read = 1;
    sim::reset_simulation();
    EXPECT_EQ(camera.faults().short_block_read, 0);
    EXPECT_EQ(sim::shared_sky().offset_x(), 0);
    EXPECT_EQ(sim::shared_sky().settings().target_flux, 0);
    EXPECT_FALSE(camera.settings().window_guide_alignment);
    unsigned char report[9] = { 0, 2, 1 };
    EXPECT_TRUE(camera.write_report(report, 9).disconnected); // closed until discovered again
    set_camera_transport(nullptr);
}

} // namespace
