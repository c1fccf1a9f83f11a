// Where the running simulator puts its telescope: Com 1 unless the user's
// own link holds it, which is never replaced, even when its device is gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/simulated_mount.h"
#include "sim/sky_model.h"
#include "sim/telescope_pty.h"
#include "test_env.h"

namespace fs = std::filesystem;

TEST(SimulatedTelescopePort, TheUsersLinkOnCom1IsLeftAndTheSimulatorSaysWhere)
{
    struct Case {
        const char* name;
        const char* com1_target; // nullptr: no entry
        bool target_is_pty;
        int served;
    };
    const Case cases[] = {
        { "no entry: Com 1", nullptr, false, 1 },
        { "the user's unplugged adapter", "/dev/ttyUSB7", false, 2 },
        { "the user's live port", "/dev/null", false, 2 },
        { "the simulator's own link of an earlier run", "/dev/pts/999", true, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string com1 = home_path("ports/COM1");
        fs::remove_all(home_path("ports"));
        fs::create_directories(home_path("ports"));
        if (c.com1_target != nullptr)
            fs::create_symlink(c.com1_target, com1);

        sim::PointingRecord sky;
        sim::SimulatedMount mount(sky);
        sim::TelescopePty pty(mount);
        std::string notice;
        ASSERT_EQ(sim::serve_first_free_com(pty, notice), c.served) << pty.error();
        EXPECT_EQ(fs::read_symlink(home_path("ports/COM" + std::to_string(c.served))).string().rfind("/dev/pts/", 0),
            0u);
        if (c.served == 1) {
            EXPECT_TRUE(notice.empty());
        } else {
            // The user's link is as it was; the one message says why and what to do.
            EXPECT_EQ(fs::read_symlink(com1).string(), c.com1_target);
            EXPECT_NE(notice.find(std::string("your link to ") + c.com1_target), std::string::npos) << notice;
            EXPECT_NE(notice.find("choose Com 2 in Set Program Defaults"), std::string::npos) << notice;
        }
        pty.stop();
        // Stopping removes only the simulator's own link.
        EXPECT_FALSE(fs::exists(fs::symlink_status(home_path("ports/COM" + std::to_string(c.served)))));
        if (c.served != 1)
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(com1)));
    }
}
