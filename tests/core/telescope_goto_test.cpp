// Go-to as the telescope dialog runs it against the simulated mount: what
// "Info from Scope" shows when the mount refuses, and a link that dies in
// the middle of a go-to and comes back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/state.h"
#include "sim/in_process_port.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model.h"
#include "store/settings_file.h"
#include "telescope/telescope_control.h"
#include "telescope/telescope_link.h"
#include "test_env.h"

namespace {

struct Scope {
    sim::PointingRecord sky;
    sim::SimulatedMount mount { sky };
    sim::InProcessSerialPort port { mount };

    Scope()
    {
        set_serial_port(&port);
        telescope = 'l';
        slewcom = '1';
        comfound = 0;
        test_env().host.boxes.clear();
        SaveINIFile(ini_file.c_str());
        EXPECT_TRUE(open_telescope_control());
    }
    ~Scope() { set_serial_port(nullptr); }
};

std::vector<std::string> box_texts()
{
    std::vector<std::string> texts;
    for (const RecordedBox& box : test_env().host.boxes)
        texts.push_back(box.text);
    return texts;
}

std::string padded(const std::string& text)
{
    std::string out = text;
    out.resize(32, ' ');
    return out + "#";
}

} // namespace

TEST(TelescopeGoTo, ARefusalShowsTheMountsReasonNotTheTarget)
{
    struct Case {
        const char* name;
        std::function<void()> go;
        bool refused;
        std::string info;
    };
    const std::vector<Case> cases = {
        { "M42 below the horizon", [] { goto_object("42", ""); }, true, "Object Below Horizon#" },
        { "its NGC number too", [] { goto_object("0", "1976"); }, true, "Object Below Horizon#" },
        { "typed coordinates", [] { goto_coordinates("5", "35", "-5", "27"); }, true, "Object Below Horizon#" },
        { "a target in the sky still reads as before", [] { goto_object("", "7000"); }, false,
            padded("NGC 7000 NEB MAG 4.0") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scope scope;
        // A winter evening's small hours at 51.5 degrees north: Orion has set.
        while (scope.mount.altitude_of(5.59, -5.45) > -10.0)
            test_env().clock.epoch_seconds += 1800;
        test_env().host.beeps = 0;
        c.go();
        EXPECT_EQ(retchar != '0', c.refused);
        EXPECT_EQ(std::string(move_error), c.info);
        EXPECT_EQ(scope.sky.goto_count, c.refused ? 0 : 1);
        // The go-to beeps as it sends the slew, refused or not.
        EXPECT_EQ(test_env().host.beeps, 1);
        EXPECT_TRUE(box_texts().empty());
    }
}

TEST(TelescopeGoTo, APortVanishingMidGoToIsReportedOnceAndReopenedWhenBack)
{
    Scope scope;
    scope.port.writes.clear();
    // The peer closes the port when the slew is asked for.
    scope.port.unplug_on = "#:MS#";
    goto_object("31", "");
    EXPECT_EQ(box_texts(), std::vector<std::string> { "ERROR -4 " });
    EXPECT_EQ(comfound, 0);
    EXPECT_FALSE(scope.port.is_open());
    EXPECT_EQ(retchar, '\0');
    // Nothing more was written into the dead port.
    EXPECT_EQ(scope.port.sent(), "#:LM 0031##:LI#");
    EXPECT_EQ(scope.sky.goto_count, 0);

    // The peer is back: the next go-to opens the port again and goes.
    scope.port.unplug_on.clear();
    scope.port.plug_in();
    const std::size_t opens = scope.port.open_attempts.size();
    scope.port.writes.clear();
    goto_object("31", "");
    EXPECT_EQ(scope.port.open_attempts.size(), opens + 1);
    EXPECT_EQ(comfound, 1);
    EXPECT_EQ(retchar, '0');
    EXPECT_EQ(std::string(move_error), padded("M31 GAL MAG 3.4"));
    EXPECT_EQ(scope.port.sent(), "#:LM 0031##:LI##:MS##:LI#");
    EXPECT_EQ(scope.sky.goto_count, 1);
    EXPECT_EQ(box_texts().size(), 1u);

    // The same for a coordinate go-to whose reply cannot be read.
    scope.port.unplug_on = "#:Sd +41*16#";
    goto_coordinates("5", "35", "41", "16");
    EXPECT_EQ(box_texts().size(), 2u);
    EXPECT_EQ(comfound, 0);
}
