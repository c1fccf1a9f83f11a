// Autofocus whole, on the simulated camera and telescope on the manual
// clock: the real focus frames and star measures, the LX200 link's focuser
// moves, a sky that blurs its stars away from best focus, with play in the
// focuser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "camera/autofocus.h"
#include "camera/autofocus_session.h"
#include "camera/focus_loop.h"
#include "camera/usb.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model_sky.h"
#include "store/text_settings.h"
#include "telescope/telescope_link.h"
#include "test_env.h"

namespace {

// Sweeps of seven points 100 ms apart at the fast rate (100 steps a
// second): 600 ms, 60 steps wide.
constexpr double steps_per_ms = 0.1;
constexpr double sweep_steps = 60;

sim::SkySettings sky_with_focus(double best)
{
    sim::SkySettings s;
    s.stars_per_megapixel = 0;
    s.focus_best = best;
    s.focus_slope = 0.1;
    return s;
}

sim::SensorSettings clean_sensor()
{
    sim::SensorSettings c;
    c.hot_pixels = 0;
    return c;
}

struct Rig {
    sim::SkyModel sky;
    sim::SimCamera camera { sky, clean_sensor() };
    sim::SkyModelSky mount_sky { sky };
    sim::SimulatedMount mount { mount_sky };
    sim::InProcessSerialPort port { mount };
    TestHost& host = test_env().host;

    explicit Rig(double best)
        : sky(sky_with_focus(best))
    {
        set_camera_transport(&camera);
        set_serial_port(&port);
        USBHid::CollectingUSBHidInfo(nullptr);
        mount.set_focuser_backlash(15);
        // A star in the middle of the focus frame (columns 312.., field lines 80..).
        sky.place_star(376, 288, 1.2e6);
        focus_x = 312;
        focus_y = 80;
        telescope = 'l';
        comfound = 0; // each rig's port is opened anew
        exp_range = 't';
        exp_value = 5;
        std::strcpy(focus_speed, "#:FF#");
        // The sweep the menu's autofocus reads from the settings.
        set_text_setting("autofocus_step_ms", "100");
        set_text_setting("autofocus_points", "7");
        set_text_setting("autofocus_backlash_ms", "300");
    }
    ~Rig()
    {
        set_serial_port(nullptr);
        set_camera_transport(nullptr);
    }
    double optics() { return mount.focuser_optics(test_env().clock.now_ms()); }
};

AutofocusResult run_here()
{
    comm_check();
    return run_autofocus(telescope_link(), true, take_autofocus_frame, stored_autofocus_settings(), nullptr);
}

struct Watch : AutofocusView {
    std::vector<std::size_t> curve_sizes;
    void progress(const AutofocusResult& r, const std::string&) override { curve_sizes.push_back(r.curve.size()); }
};

TEST(AutofocusEndToEnd, FindsFocusFromEitherSideWithinFifteenFrames)
{
    // Best focus this many sweep widths above (+) or below (-) the start.
    for (double away : { -3.0, -2.0, -1.2, -0.4, 0.0, 0.3, 0.9, 1.7, 3.0 }) {
        SCOPED_TRACE("focus " + std::to_string(away) + " sweeps from the start");
        const double best = away * sweep_steps;
        Rig rig(best);
        Watch watch;
        AutofocusResult r;
        ASSERT_TRUE(autofocus_with_telescope(&watch, r)) << (rig.host.boxes.empty() ? "" : rig.host.boxes[0].text);
        std::string curve;
        for (const FocusPoint& p : r.curve)
            curve += " (" + std::to_string(static_cast<int>(p.position)) + ", " + std::to_string(p.hfd) + ")";
        ASSERT_EQ(r.end, AutofocusEnd::focused) << autofocus_summary(r, 0) << curve;
        EXPECT_LE(r.frames, 15) << curve;
        const double truth = rig.sky.best_hfd();
        std::printf("focus %+.1f sweeps away: %d frames, check HFD %.3f px, simulator's best %.3f px\n", away,
            r.frames, r.check_hfd, truth);
        EXPECT_NEAR(r.check_hfd, truth, 0.05 * truth);
        EXPECT_LE(rig.sky.hfd_at(rig.optics()), 1.05 * truth);
        // The reported best position is where the focuser stands.
        EXPECT_NEAR(r.best_position * steps_per_ms, rig.mount.focuser_position(test_env().clock.now_ms()), 0.5);
        EXPECT_TRUE(rig.host.boxes.empty());
        // The view saw the curve grow a point at a time.
        ASSERT_FALSE(watch.curve_sizes.empty());
        EXPECT_EQ(watch.curve_sizes.back(), r.curve.size());
        EXPECT_TRUE(std::is_sorted(watch.curve_sizes.begin(), watch.curve_sizes.end()));
    }
}

TEST(AutofocusEndToEnd, AKeyStopsAndReturnsToTheStart)
{
    for (std::int64_t after_ms : { 300, 2500, 6000 }) {
        SCOPED_TRACE(after_ms);
        Rig rig(2.0 * sweep_steps);
        const double start = rig.mount.focuser_position(test_env().clock.now_ms());
        rig.host.press_key_at(test_env().clock.now_ms() + after_ms);
        const AutofocusResult r = run_here();
        EXPECT_EQ(r.end, AutofocusEnd::stopped);
        EXPECT_NEAR(rig.mount.focuser_position(test_env().clock.now_ms()), start, 0.5);
        EXPECT_EQ(autofocus_summary(r, 0), "Autofocus stopped - focuser back at its start");
    }
}

TEST(AutofocusEndToEnd, RefusedWithoutAFocuserOrAStar)
{
    {
        Rig rig(0);
        telescope = 'b';
        AutofocusResult r;
        EXPECT_FALSE(autofocus_with_telescope(nullptr, r));
        ASSERT_EQ(rig.host.boxes.size(), 1u);
        EXPECT_EQ(rig.host.boxes[0].caption, "Quillon - Autofocus");
    }
    {
        // An empty field: the first frame has nothing to measure, and the
        // focuser goes back where it was.
        Rig rig(0);
        rig.sky.reset();
        sim::SkySettings none = sky_with_focus(0);
        rig.sky.configure(none);
        const AutofocusResult r = run_here();
        EXPECT_EQ(r.end, AutofocusEnd::no_star);
        EXPECT_EQ(r.frames, 1);
        EXPECT_NEAR(rig.mount.focuser_position(test_env().clock.now_ms()), 0.0, 0.5);
    }
}

TEST(Autofocus, HyperbolaFitRecoversItsCurve)
{
    struct Case {
        double a, b, c;
        std::vector<double> positions;
    };
    const Case cases[] = {
        { 4.0, 0.01, 0.0, { -300, -200, -100, 0, 100, 200, 300 } }, // centred
        { 3.0, 0.02, 250.0, { 0, 100, 200, 300, 400, 500 } }, // off centre
        { 6.0, 0.005, -1234.0, { -1800, -1500, -1200, -900, -600 } }, // shallow, far from 0
    };
    for (const Case& c : cases) {
        std::vector<FocusPoint> points;
        for (double p : c.positions)
            points.push_back({ p, std::sqrt(c.a * c.a + c.b * c.b * (p - c.c) * (p - c.c)) });
        const Hyperbola h = fit_hyperbola(points);
        ASSERT_TRUE(h.ok);
        EXPECT_NEAR(h.a, c.a, 1e-6);
        EXPECT_NEAR(h.b, c.b, 1e-9);
        EXPECT_NEAR(h.c, c.c, 1e-4);
    }
    // A line (no minimum) and too few points give no fit.
    EXPECT_FALSE(fit_hyperbola({ { 0, 5 }, { 100, 4 }, { 200, 2.5 } }).ok);
    EXPECT_FALSE(fit_hyperbola({ { 0, 5 }, { 100, 4 } }).ok);
}

} // namespace
