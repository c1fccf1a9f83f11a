// Training, guiding and a go-to through the INDI link, end to end and in
// real time: the program's own command bodies, the simulated camera whose
// sky follows INDI's telescope simulator on a server of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <libnova/sidereal_time.h>

#include "app/clock.h"
#include "app/state.h"
#include "app/wait.h"
#include "camera/usb.h"
#include "indi/indi_link.h"
#include "indi/sky_position.h"
#include "indi/indi_telescope_link.h"
#include "sim/mount_follower.h"
#include "sim/mount_sky.h"
#include "sim/sim.h"
#include "telescope/guide_telescope.h"
#include "telescope/guiding.h"
#include "telescope/telescope_control.h"
#include "telescope/telescope_link.h"
#include "indi_server.h"
#include "sim_scenes.h"
#include "test_env.h"

namespace {

constexpr const char* scope = "Telescope Simulator";
constexpr double star_x = 376.0, star_y = 288.0;

struct Rig {
    SystemClock clock;
    IndiServer server { { "indi_simulator_telescope" } };
    sim::SkyModel sky { empty_sky() };
    sim::SimCamera camera { sky, sensor_without_hot_pixels() };
    sim::MountFollower follower { sky };
    TestHost host { test_env().clock };

    Rig()
    {
        set_clock(&clock);
        set_host(&host);
        host.on_command = [](int number) {
            if (number == 889)
                guide_telescope_frame();
        };
        set_camera_transport(&camera);
        USBHid::CollectingUSBHidInfo(nullptr);
        set_indi_position_listener(
            [this](double ra, double dec, bool slewing) { follower.reported(ra, dec, slewing); });
        register_indi_telescope_link();
        set_indi_settings({ "localhost", server.port(), scope, "" });
        telescope = indi_telescope_kind;
        // Short guide frames, unstretched.
        exp_range = 't';
        exp_value = 1;
        max_stretch = 1;
    }
    ~Rig()
    {
        telescope_link().close();
        set_indi_position_listener(nullptr);
        set_camera_transport(nullptr);
        set_host(&test_env().host);
        set_clock(&test_env().clock);
    }
    bool wait_for(const std::function<bool()>& done, int ms = 5000)
    {
        const std::int64_t deadline = clock.now_ms() + ms;
        while (!done()) {
            if (clock.now_ms() > deadline)
                return false;
            wait_ms(5);
        }
        return true;
    }
    // The mount tracking on a field at once (a sync), reporting often; the
    // sky then shows the guide star at the sensor's centre.
    bool point_at_field()
    {
        IndiClient& c = indi_client();
        // A site where the field stands an hour east of the meridian.
        const double gmst = ln_get_mean_sidereal_time(julian_day_now());
        const double longitude = std::fmod(std::fmod((4.6 - gmst) * 15.0, 360.0) + 360.0, 360.0);
        c.send_numbers(scope, "GEOGRAPHIC_COORD", { { "LAT", 10.0 }, { "LONG", longitude }, { "ELEV", 0 } });
        c.send_numbers(scope, "POLLING_PERIOD", { { "PERIOD_MS", 50 } });
        c.send_switches(scope, "ON_COORD_SET", { { "SYNC", true }, { "TRACK", false }, { "SLEW", false } });
        c.send_numbers(scope, "EQUATORIAL_EOD_COORD", { { "RA", 5.6 }, { "DEC", 0.0 } });
        c.send_switches(scope, "TELESCOPE_TRACK_STATE", { { "TRACK_ON", true }, { "TRACK_OFF", false } });
        const bool there = wait_for([&] {
            std::lock_guard lock(sim::sky_mutex());
            return std::fabs(sky.ra_hours() - 5.6) < 1e-4 && std::fabs(sky.dec_degrees()) < 1e-3;
        });
        std::lock_guard lock(sim::sky_mutex());
        sky.place_star(star_x, star_y, 400000);
        return there;
    }
    static void pick()
    {
        picked_star = 1;
        pick_xcent = static_cast<int>(star_x);
        pick_ycent = static_cast<int>(star_y);
        xcent = pick_xcent / 2;
        ycent = pick_ycent / 2;
    }
    std::vector<std::string> box_texts() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& b : host.boxes)
            texts.push_back(b.text);
        return texts;
    }
};

#define SKIP_WITHOUT_INDISERVER()                                                                                      \
    do {                                                                                                               \
        if (const std::string why = IndiServer::missing(); !why.empty())                                               \
            GTEST_SKIP() << why;                                                                                       \
    } while (0)

} // namespace

TEST(IndiGuiding, TrainingThenGuidingHoldsADriftingStar)
{
    SKIP_WITHOUT_INDISERVER();
    Rig rig;
    ASSERT_TRUE(open_telescope_link(20)) << (rig.box_texts().empty() ? "" : rig.box_texts().back());
    ASSERT_TRUE(rig.point_at_field());

    // Training measures the mount's rates through INDI pulses.
    slewdefault = 1;
    rig.pick();
    train_guider();
    ASSERT_EQ(rig.host.boxes.size(), 1u) << rig.box_texts().back();
    EXPECT_EQ(rig.host.boxes[0].text.rfind("slewx = ", 0), 0u) << rig.host.boxes[0].text;
    // INDI's simulator guides at 7.5 arcsec/s: 3.75 px/s at 2 arcsec/px, half
    // that in field lines.
    EXPECT_NEAR(std::abs(slewx), 3.75, 1.0);
    EXPECT_NEAR(std::abs(slewy), 1.9, 1.0);
    rig.host.boxes.clear();

    // Guiding against the sky model's drift.
    constexpr int frames = 200;
    {
        std::lock_guard lock(sim::sky_mutex());
        rig.sky.set_drift(0.5, 0.3);
        rig.sky.set_seeing_jitter(0.1);
    }
    rig.pick();
    std::vector<std::pair<double, double>> offsets;
    int corrections = 0;
    const auto start = std::chrono::steady_clock::now();
    rig.host.on_info_update = [&] {
        std::lock_guard lock(sim::sky_mutex());
        offsets.emplace_back(rig.sky.offset_x(), rig.sky.offset_y());
        if (++corrections == frames)
            rig.host.press_key_at(test_env().clock.now_ms());
    };
    start_guiding();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_GE(corrections, frames) << (rig.box_texts().empty() ? "" : rig.box_texts().front());
    EXPECT_EQ(rig.box_texts(), std::vector<std::string> { "Guiding Terminated" });
    const std::size_t settled = 30;
    double mx = 0, my = 0;
    for (std::size_t i = settled; i < offsets.size(); ++i)
        mx += offsets[i].first, my += offsets[i].second;
    const double n = static_cast<double>(offsets.size() - settled);
    mx /= n;
    my /= n;
    double sum = 0;
    for (std::size_t i = settled; i < offsets.size(); ++i)
        sum += std::pow(offsets[i].first - mx, 2) + std::pow(offsets[i].second - my, 2);
    const double rms = std::sqrt(sum / n);
    const double unguided = std::hypot(0.5, 0.3) * seconds;
    std::printf("guiding %d frames through INDI in %.0f s: RMS %.3f px about the held point "
                "(unguided drift would be %.0f px)\n",
        corrections, seconds, rms, unguided);
    EXPECT_LT(rms, 0.5);
    EXPECT_LT(std::hypot(mx - offsets[0].first, my - offsets[0].second), 3.0);
}

TEST(IndiGuiding, MountVanishingEndsGuidingWithinASecond)
{
    SKIP_WITHOUT_INDISERVER();
    struct Case {
        const char* what;
        std::function<void(Rig&)> fault;
    };
    const Case cases[] = {
        { "the server dies", [](Rig& r) { r.server.kill_now(); } },
        { "the mount disconnects",
            [](Rig&) {
                indi_client().send_switches(scope, "CONNECTION", { { "CONNECT", false }, { "DISCONNECT", true } });
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_program_state();
        Rig rig;
        ASSERT_TRUE(open_telescope_link(20));
        ASSERT_TRUE(rig.point_at_field());
        slewx = 4;
        slewy = 2;
        rig.pick();
        {
            std::lock_guard lock(sim::sky_mutex());
            rig.sky.set_drift(0.5, 0.3);
        }
        int updates = 0;
        std::int64_t fault_at = -1;
        rig.host.on_info_update = [&] {
            if (++updates == 10) {
                fault_at = rig.clock.now_ms();
                c.fault(rig);
            }
            if (updates == 100) // a guider that does not notice must not run for ever
                rig.host.press_key_at(test_env().clock.now_ms());
        };
        start_guiding();
        ASSERT_GE(fault_at, 0);
        EXPECT_LE(rig.clock.now_ms() - fault_at, 1000);
        EXPECT_LT(updates, 13);
        const auto texts = rig.box_texts();
        // One message of the fault, then the end of guiding.
        ASSERT_EQ(texts.size(), 2u) << (texts.empty() ? "" : texts.back());
        EXPECT_EQ(texts[0].rfind("The INDI ", 0), 0u) << texts[0];
        EXPECT_EQ(texts[1], "Guiding Terminated");
        EXPECT_EQ(guiding, 0);
        EXPECT_EQ(comfound, 0);
    }
}

TEST(IndiGuiding, GoToMovesTheSimulatedFieldAndTheLinkIsRefusedWithoutAServer)
{
    SKIP_WITHOUT_INDISERVER();
    {
        Rig rig;
        ASSERT_TRUE(open_telescope_link(20));
        ASSERT_TRUE(rig.point_at_field());
        goto_object("42", "");
        EXPECT_EQ(retchar, '0') << move_error;
        EXPECT_EQ(std::string(move_error).rfind("M42 ", 0), 0u) << move_error;
        // The sky the camera renders now looks where the mount went.
        std::lock_guard lock(sim::sky_mutex());
        EXPECT_NEAR(rig.sky.ra_hours(), 5.0 + 36.6 / 60.0, 0.02);
        EXPECT_NEAR(rig.sky.dec_degrees(), -5.37, 0.1);
    }
    // Nothing listens where the settings point.
    reset_program_state();
    Rig rig;
    const int port = IndiServer::free_port();
    set_indi_settings({ "localhost", port, scope, "" });
    rig.pick();
    start_guiding();
    const auto texts = rig.box_texts();
    ASSERT_GE(texts.size(), 2u) << (texts.empty() ? "" : texts[0]);
    EXPECT_EQ(texts[0], "No INDI server answers at localhost:" + std::to_string(port));
    EXPECT_EQ(texts[1], "Sorry. No Connection to Telescope");
    EXPECT_EQ(telescope, 'n');
}
