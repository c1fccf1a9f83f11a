// The QSerialPort layer end to end through a pseudo-terminal that stands as
// Com 1: bytes out and in, the control box's pulse timing measured at the
// other end on the real clock, and the other end going away.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/state.h"
#include "app/text_field.h"
#include "devices/qt_serial_port.h"
#include "sim/telescope_pty.h"
#include "store/settings_file.h"
#include "telescope/control_box.h"
#include "telescope/lx200.h"
#include "test_env.h"

namespace {

// QSerialPort wants an application object for its notifiers.
class QtApplication : public testing::Environment {
public:
    void SetUp() override { app_ = new QCoreApplication(argc_, argv_); }
    void TearDown() override { delete app_; }

private:
    int argc_ = 1;
    char name_[16] = "devices_tests";
    char* argv_[2] = { name_, nullptr };
    QCoreApplication* app_ = nullptr;
};
[[maybe_unused]] testing::Environment* const qt_application
    = testing::AddGlobalTestEnvironment(new QtApplication);

using steady = std::chrono::steady_clock;

// A pseudo-terminal whose slave is linked as <home>/ports/COM1.
struct Pty {
    int master = -1;
    std::string slave;

    Pty()
    {
        int slave_fd = -1;
        char name[256];
        if (openpty(&master, &slave_fd, name, nullptr, nullptr) != 0)
            return;
        // Raw both ways, and the slave stays open on our side only through
        // the program's port.
        termios raw {};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        close(slave_fd);
        slave = name;
        std::filesystem::create_directories(home_path("ports"));
        std::filesystem::remove(home_path("ports/COM1"));
        std::filesystem::create_symlink(slave, home_path("ports/COM1"));
    }
    ~Pty() { close_master(); }
    void close_master()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }

    // Everything that arrives within `ms`.
    std::string read_for(int ms)
    {
        std::string got;
        const auto end = steady::now() + std::chrono::milliseconds(ms);
        while (steady::now() < end) {
            pollfd p { master, POLLIN, 0 };
            if (poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
                char buffer[256];
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return got;
    }
};

struct RealLink {
    QtSerialPort serial;
    RealLink()
    {
        set_serial_port(&serial);
        // The one test on the real clock: what the other end sees.
        set_clock(nullptr);
    }
    ~RealLink() { set_serial_port(nullptr); }
};

} // namespace

TEST(QtSerialPort, TalksThroughAPseudoTerminalAsCom1)
{
    Pty pty;
    ASSERT_GE(pty.master, 0);
    RealLink link;
    slewcom = '1';
    // DTR and RTS are refused by a pseudo-terminal; that must not stop it.
    ASSERT_EQ(drive_check(), 1);
    EXPECT_TRUE(test_env().host.boxes.empty());

    {
        stop_move();
        EXPECT_EQ(pty.read_for(100), "#:Qn##:Qs##:Qe##:Qw#");
    }

    // Bytes in: whatever has arrived, at once; nothing is not an error.
    char buffer[64];
    EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), 0);
    ASSERT_EQ(write(pty.master, "M31 GAL#0", 9), 9);
    std::string in;
    for (int i = 0; i < 200 && in.size() < 9; ++i) {
        const int got = serial_port().gets(Port, buffer, 4);
        ASSERT_GE(got, 0);
        ASSERT_LE(got, 4);
        in.append(buffer, static_cast<std::size_t>(got));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(in, "M31 GAL#0");
    ASSERT_EQ(write(pty.master, "junk", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(serial_port().rx_clear(Port), 0);
    EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), 0);
    close_drive();
}

TEST(QtSerialPort, ControlBoxPulseTimingAtTheOtherEnd)
{
    Pty pty;
    ASSERT_GE(pty.master, 0);
    RealLink link;
    slewcom = '1';
    ASSERT_EQ(interface_check(), 1);

    // The other end timestamps every byte as it arrives.
    std::vector<std::pair<unsigned char, steady::time_point>> arrivals;
    std::mutex arrivals_mutex;
    std::atomic<bool> stop { false };
    std::thread reader([&] {
        while (!stop) {
            pollfd p { pty.master, POLLIN, 0 };
            if (poll(&p, 1, 2) > 0 && (p.revents & POLLIN)) {
                unsigned char buffer[16];
                const ssize_t n = read(pty.master, buffer, sizeof buffer);
                const auto at = steady::now();
                std::lock_guard lock(arrivals_mutex);
                for (ssize_t i = 0; i < n; ++i)
                    arrivals.emplace_back(buffer[i], at);
            }
        }
    });
    std::vector<double> on_gaps, off_gaps;
    for (int slew : { 0, 20, 100, 300 }) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        slewdir = 'e';
        slew_time = slew;
        interface_slew();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::lock_guard lock(arrivals_mutex);
        ASSERT_EQ(arrivals.size(), 3u) << "slew " << slew;
        EXPECT_EQ(arrivals[0].first, 0x01);
        EXPECT_EQ(arrivals[1].first, 0x11);
        EXPECT_EQ(arrivals[2].first, 0x00);
        const auto ms
            = [](steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
        const double on = ms(arrivals[1].second - arrivals[0].second);
        const double off = ms(arrivals[2].second - arrivals[1].second);
        on_gaps.push_back(on);
        off_gaps.push_back(off - slew);
        std::printf("control box pulse %3d ms: 0x01->0x11 %.2f ms, 0x11->0x00 %.2f ms (%+.2f)\n", slew, on,
            off, off - slew);
        // A loaded machine delays the reader: the figures are the
        // measurement, the bounds catch only gross faults.
        EXPECT_LT(on, 200.0);
        EXPECT_LT(std::abs(off - slew), 200.0);
        arrivals.clear();
    }
    stop = true;
    reader.join();
}

TEST(QtSerialPort, OtherEndClosingFailsOnceThenStaysClosed)
{
    // Read first: the layer reports the failure once, then the port is shut.
    {
        Pty pty;
        ASSERT_GE(pty.master, 0);
        RealLink link;
        slewcom = '1';
        ASSERT_EQ(drive_check(), 1);
        pty.close_master();
        char buffer[8];
        std::vector<int> results;
        const auto start = steady::now();
        for (int i = 0; i < 1000; ++i)
            results.push_back(serial_port().gets(Port, buffer, sizeof buffer));
        const double ms = std::chrono::duration<double, std::milli>(steady::now() - start).count();
        std::printf("closed pty: 1000 reads in %.2f ms\n", ms);
        EXPECT_EQ(results.front(), serial_io_error);
        EXPECT_EQ(std::count(results.begin(), results.end(), serial_not_open), 999);
    }

    // Idle in the event loop when the other end goes: the port closes
    // itself instead of spinning on the error, and the next operation
    // reports it once.
    {
        Pty pty;
        ASSERT_GE(pty.master, 0);
        RealLink link;
        slewcom = '1';
        ASSERT_EQ(drive_check(), 1);
        pty.close_master();
        const std::clock_t cpu_start = std::clock();
        QEventLoop idle;
        QTimer::singleShot(300, &idle, &QEventLoop::quit);
        idle.exec();
        const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        std::printf("closed pty, 300 ms idle in the event loop: %.1f ms of CPU\n", cpu_ms);
        EXPECT_FALSE(link.serial.is_open(0));
        char buffer[8];
        EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), serial_io_error);
        EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), serial_not_open);
    }

    // A guide move: one message, the port released, a reconnect on the
    // next need.
    Pty pty;
    ASSERT_GE(pty.master, 0);
    RealLink link;
    slewcom = '1';
    telescope = 'l';
    SaveINIFile(ini_file.c_str());
    comm_check();
    ASSERT_EQ(comfound, 1);
    pty.close_master();
    slewdir = 'e';
    slew_time = 10;
    EXPECT_EQ(drive_slew(), -1);
    ASSERT_EQ(test_env().host.boxes.size(), 1u);
    EXPECT_EQ(test_env().host.boxes[0].text.rfind("ERROR ", 0), 0u);
    EXPECT_EQ(comfound, 0);
}

TEST(SimulatedTelescopePty, AnswersTheProgramThroughTheRealPort)
{
    sim::PointingRecord sky;
    sim::SimulatedMount mount(sky);
    mount.set_guide_rate(5.0, 4.0);
    sim::TelescopePty pty(mount);
    ASSERT_TRUE(pty.start(1)) << pty.error();
    EXPECT_EQ(std::filesystem::read_symlink(home_path("ports/COM1")).string().rfind("/dev/pts/", 0), 0u);

    RealLink link;
    slewcom = '1';
    telescope = 'l';
    SaveINIFile(ini_file.c_str());
    comm_check();
    ASSERT_EQ(comfound, 1);

    move_telescope('m', 31);
    GetInfo();
    EXPECT_STREQ(move_error, "M31 GAL MAG 3.4                 #");
    {
        std::lock_guard lock(sim::sky_mutex());
        EXPECT_EQ(sky.goto_count, 1);
        EXPECT_NEAR(sky.dec, 41.0 + 16.0 / 60, 1e-3);
    }

    // A guide pulse east of 400 ms at 5 px/s moves the field about 2 px;
    // the pty's scheduling blurs it a little.
    slewdir = 'e';
    slew_time = 400;
    drive_slew();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        std::lock_guard lock(sim::sky_mutex());
        std::printf("400 ms east pulse through the pty moved %.3f px (5 px/s)\n", sky.offset_x);
        EXPECT_NEAR(sky.offset_x, 2.0, 0.5);
    }
    EXPECT_EQ(mount.rate(), 'G');

    // The control box at 300 baud: the mount reads the line speed off the
    // pseudo-terminal and follows the relay bytes, not text.
    close_drive();
    telescope = 'b';
    comfound = 0;
    SaveINIFile(ini_file.c_str());
    comm_check();
    ASSERT_EQ(gotcontrolbox, 1);
    slewdir = 'n';
    slew_time = 400;
    interface_slew();
    set_text(tele_speed, "#:RS#");
    set_text(move_direction, "#:Me#");
    start_move();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        std::lock_guard lock(sim::sky_mutex());
        std::printf("400 ms north box pulse through the pty moved %.3f px (4 px/s)\n", sky.offset_y);
        EXPECT_NEAR(sky.offset_y, 1.6, 0.5);
        EXPECT_NEAR(sky.offset_x, 2.0, 0.5);
    }
    EXPECT_EQ(mount.box_byte(), 0x00);
    close_drive();
    pty.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(home_path("ports/COM1"))));
}
