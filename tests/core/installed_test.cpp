#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/installed.h"
#include "app/state.h"
#include "camera/camera_transport.h"
#include "telescope/serial_port.h"
#include "test_env.h"

namespace {
struct Shape {
    virtual ~Shape() = default;
    virtual int sides() const = 0;
};
struct Point : Shape {
    int sides() const override { return 0; }
};
struct Triangle : Shape {
    int sides() const override { return 3; }
};
struct Square : Shape {
    int sides() const override { return 4; }
};

Point nothing;
} // namespace

TEST(Installed, NullRestoresTheDefaultAndInstallReturnsWhatItReplaced)
{
    Installed<Shape> seam(nothing);
    Triangle triangle;
    Square square;
    EXPECT_TRUE(seam.is_default());
    EXPECT_EQ(seam.current().sides(), 0);

    EXPECT_EQ(seam.install(&triangle), &nothing);
    EXPECT_EQ(&seam.current(), &triangle);
    EXPECT_FALSE(seam.is_default());
    EXPECT_EQ(seam.install(&square), &triangle);
    EXPECT_EQ(seam.current().sides(), 4);
    // Never a null pointer, either way round.
    EXPECT_EQ(seam.install(nullptr), &square);
    EXPECT_TRUE(seam.is_default());
    EXPECT_EQ(seam.install(nullptr), &nothing);
    EXPECT_EQ(&seam.current(), &nothing);
}

TEST(Installed, ScopesRestoreInReverseOrderAlsoOnEarlyExits)
{
    Installed<Shape> seam(nothing);
    Triangle triangle;
    Square square;
    seam.install(&triangle);

    // Each way out of a scope: its end, a return in the middle (what a
    // failed ASSERT does), an exception.
    enum class Leave { at_end, by_return, by_throw };
    for (const Leave how : { Leave::at_end, Leave::by_return, Leave::by_throw }) {
        SCOPED_TRACE(static_cast<int>(how));
        const auto body = [&] {
            ScopedInstall<Shape> outer(seam, &square);
            EXPECT_EQ(seam.current().sides(), 4);
            ScopedInstall<Shape> inner(seam, nullptr);
            EXPECT_TRUE(seam.is_default());
            if (how == Leave::by_return)
                return;
            if (how == Leave::by_throw)
                throw std::runtime_error("left from inside");
        };
        try {
            body();
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(&seam.current(), &triangle);
    }
    {
        ScopedInstall<Shape> outer(seam, &square);
        {
            ScopedInstall<Shape> inner(seam, nullptr);
        }
        EXPECT_EQ(&seam.current(), &square);
    }
    EXPECT_EQ(&seam.current(), &triangle);
}

TEST(Installed, EachSeamAnswersWithItsDefaultInsideANullScopeAndGetsItsInstallBack)
{
    TestEnv& env = test_env();
    {
        ScopedInstall<Host> host_scope(installed_host, nullptr);
        ScopedInstall<Clock> clock_scope(installed_clock, nullptr);
        ScopedInstall<CameraTransport> camera_scope(installed_camera_transport, nullptr);
        ScopedInstall<SerialPort> port_scope(installed_serial_port, nullptr);

        // The null host answers OK and records nothing; the parts are its.
        EXPECT_EQ(host().message_box("text", "caption", BoxButtons::yes_no), box_ok);
        EXPECT_TRUE(env.host.boxes.empty());
        EXPECT_EQ(static_cast<EventPump*>(&host()), &event_pump());
        EXPECT_EQ(static_cast<FrameDisplay*>(&host()), &frame_display());
        EXPECT_EQ(static_cast<RunWindows*>(&host()), &run_windows());
        // The system clock, not the test's manual one.
        EXPECT_NE(&program_clock(), static_cast<Clock*>(&env.clock));
        EXPECT_GT(program_clock().now_seconds(), 1'000'000'000);
        const CameraDiscovery found = camera_transport().discover();
        EXPECT_FALSE(found.command_channel);
        EXPECT_TRUE(found.records.empty());
        unsigned char report[8] = {};
        EXPECT_EQ(camera_transport().write_report(report, sizeof report).error, ENODEV);
        EXPECT_EQ(serial_port().puts(0, "#:GR#", 5), serial_no_such_port);
    }
    EXPECT_EQ(&host(), static_cast<Host*>(&env.host));
    EXPECT_EQ(&event_pump(), static_cast<EventPump*>(&env.host));
    EXPECT_EQ(&frame_display(), static_cast<FrameDisplay*>(&env.host));
    EXPECT_EQ(&run_windows(), static_cast<RunWindows*>(&env.host));
    EXPECT_EQ(&program_clock(), static_cast<Clock*>(&env.clock));
    EXPECT_TRUE(installed_camera_transport.is_default());
    EXPECT_TRUE(installed_serial_port.is_default());
}

namespace {
// Parts of a host kept apart, as a caller that needs only one holds it.
struct CountingPump : NullHost {
    int beeps = 0;
    void beep() override { ++beeps; }
    void info_close() override { ADD_FAILURE() << "the windows were asked of the pump"; }
};
struct CountingWindows : NullHost {
    bool info_open_now = true;
    int closes = 0;
    void beep() override { ADD_FAILURE() << "the pump was asked of the windows"; }
    bool info_is_open() const override { return info_open_now; }
    void info_close() override
    {
        ++closes;
        info_open_now = false;
    }
};
} // namespace

TEST(Installed, StopRequestBeepsThroughThePumpAndClosesThroughTheWindows)
{
    struct Case {
        int selfguiding;
        bool info_open;
        int closes;
    };
    const Case cases[] = { { 1, true, 1 }, { 1, false, 0 }, { 0, true, 0 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "selfguiding " << c.selfguiding << ", info open " << c.info_open);
        reset_program_state();
        selfguiding = c.selfguiding;
        CountingPump pump;
        CountingWindows windows;
        windows.info_open_now = c.info_open;
        apply_stop_request(pump, windows);
        EXPECT_EQ(pump.beeps, 1);
        EXPECT_EQ(windows.closes, c.closes);
        EXPECT_EQ(selfguiding, 0);
        EXPECT_EQ(end_loop, 1);
    }
}
