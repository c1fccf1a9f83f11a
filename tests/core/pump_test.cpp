#include <gtest/gtest.h>

#include <stdexcept>

#include "app/host.h"
#include "app/state.h"
#include "test_env.h"

namespace {
// A scripted long loop of the shape every acquisition loop has: steps that
// pump messages and stop on the flags.
int run_series(int steps)
{
    int done = 0;
    no_images = steps;
    series_work = 1;
    for (int i = 0; i < steps && !end_loop; ++i) {
        for (int k = 0; k < 100; ++k)
            host().clear_messages();
        ++done;
    }
    return done;
}
} // namespace

TEST(Pump, KeyPressStopsLongLoopWithOneBeep)
{
    auto& env = test_env();
    series_exposure = 1;
    exposure = 5000;
    exposure_save = 1000;
    guiding = 1;
    continuous = 1;
    selfguiding = 1;
    env.host.info_open();
    focus_x = 10;
    focus_y = 20;
    ticks = 500;
    endticks = 90000;
    env.host.press_key_at(3200);

    const int done = run_series(20);

    // 100 pumps of 10 ms per step: the press at 3.2 s lands in step 4.
    EXPECT_EQ(done, 4);
    EXPECT_EQ(env.host.beeps, 1);
    EXPECT_EQ(no_images, 1);
    EXPECT_EQ(end_loop, 1);
    EXPECT_EQ(series_work, 0);
    EXPECT_EQ(exposure, 1000);
    EXPECT_EQ(continuous, 0);
    EXPECT_EQ(guiding, 0);
    EXPECT_EQ(endticks, ticks);
    EXPECT_EQ(focus_x, 312);
    EXPECT_EQ(focus_y, 65);
    EXPECT_FALSE(env.host.info_is_open());
    EXPECT_EQ(selfguiding, 0);
}

TEST(Pump, OneSecDelayReportsPress)
{
    auto& env = test_env();
    EXPECT_EQ(host().one_sec_delay(1), 0);
    env.host.press_key_at(env.clock.now_ms() + 400);
    EXPECT_EQ(host().one_sec_delay(2), 1);
    EXPECT_EQ(env.host.beeps, 1);
}

TEST(Pump, ManualClockFailsALoopThatNeverWaits)
{
    auto& env = test_env();
    int stalls = 0;
    env.clock.on_stall = [&] { ++stalls; };
    // A loop that polls for a deadline without waiting would spin forever.
    const auto spin = [&] {
        while (env.clock.now_ms() < 1000) {
        }
    };
    EXPECT_THROW(spin(), std::logic_error);
    EXPECT_EQ(stalls, 1);
    // Polls that alternate with a wait never trip it.
    env.clock.ms = 0;
    EXPECT_EQ(host().one_sec_delay(1000), 0);
    EXPECT_EQ(env.clock.now_ms(), 1'000'000);
}
