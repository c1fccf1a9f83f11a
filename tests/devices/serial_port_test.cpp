// The QSerialPort layer end to end through a pseudo-terminal that stands as
// Com 1: bytes out and in, the control box's pulses as the other end sees
// them, and the other end going away. Every wait here is for an event with a
// deadline; what the pulses measure on the wire is printed by
// bench/figures/serial_figures.cpp.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/state.h"
#include "app/text_field.h"
#include "devices/qt_serial_port.h"
#include "sim/pty_peer.h"
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

// Long enough for a machine under full load; a healthy run takes
// milliseconds.
constexpr auto deadline = std::chrono::seconds(10);

double ms_since(steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(steady::now() - start).count();
}

// Polls `done` until it holds or the deadline passes; its last answer.
template <typename Done> bool wait_for(Done done)
{
    const auto end = steady::now() + deadline;
    while (!done()) {
        if (steady::now() >= end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A pseudo-terminal whose slave is linked as <home>/ports/COM1.
struct Pty : sim::PeerPty {
    Pty() : PeerPty(home_path("ports/COM1")) {}

    // What arrives until there are `count` bytes or the deadline passes.
    std::string read_until(std::size_t count)
    {
        std::string got;
        const auto end = steady::now() + deadline;
        while (got.size() < count && steady::now() < end) {
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

// A second descriptor of the slave, opened before the program's port makes
// the line exclusive: it tells how many bytes wait in the line's input queue
// (shared by every descriptor of the line) without taking any of them.
struct InputQueue {
    int fd = -1;
    explicit InputQueue(const std::string& slave)
    {
        fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~InputQueue()
    {
        if (fd >= 0)
            close(fd);
    }
    int waiting() const
    {
        int n = 0;
        return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
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
    InputQueue queue(pty.slave);
    ASSERT_GE(queue.fd, 0);
    RealLink link;
    slewcom = '1';
    // DTR and RTS are refused by a pseudo-terminal; that must not stop it.
    ASSERT_EQ(drive_check(), 1);
    EXPECT_TRUE(test_env().host.boxes.empty());

    {
        const std::string stops = "#:Qn##:Qs##:Qe##:Qw#";
        stop_move();
        EXPECT_EQ(pty.read_until(stops.size()), stops);
    }

    // Bytes in: whatever has arrived, at once; nothing is not an error.
    char buffer[64];
    EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), 0);
    ASSERT_EQ(write(pty.master, "M31 GAL#0", 9), 9);
    std::string in;
    const auto end = steady::now() + deadline;
    while (in.size() < 9 && steady::now() < end) {
        const int got = serial_port().gets(Port, buffer, 4);
        ASSERT_GE(got, 0);
        ASSERT_LE(got, 4);
        in.append(buffer, static_cast<std::size_t>(got));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(in, "M31 GAL#0");
    // The clear drops bytes that have reached the port.
    ASSERT_EQ(write(pty.master, "junk", 4), 4);
    ASSERT_TRUE(wait_for([&] { return queue.waiting() >= 4; })) << queue.waiting();
    EXPECT_EQ(serial_port().rx_clear(Port), 0);
    EXPECT_EQ(serial_port().gets(Port, buffer, sizeof buffer), 0);
    close_drive();
}

TEST(QtSerialPort, ControlBoxPulsesReachTheOtherEndInOrderAndNoSooner)
{
    Pty pty;
    ASSERT_GE(pty.master, 0);
    RealLink link;
    slewcom = '1';
    ASSERT_EQ(interface_check(), 1);

    // The other end timestamps every byte as it arrives.
    sim::ByteArrivals other_end(pty.master);
    for (int slew : { 0, 20, 100, 300 }) {
        SCOPED_TRACE(testing::Message() << "slew " << slew);
        const auto before = steady::now();
        slewdir = 'e';
        slew_time = slew;
        EXPECT_EQ(interface_slew(), 0);
        const auto arrivals = other_end.wait_for(3, std::chrono::seconds(10));
        ASSERT_EQ(arrivals.size(), 3u);
        EXPECT_EQ(arrivals[0].first, 0x01);
        EXPECT_EQ(arrivals[1].first, 0x11);
        EXPECT_EQ(arrivals[2].first, 0x00);
        // The drive goes off only once the pulse's time has passed (the
        // clock counts whole milliseconds): load may delay the off byte,
        // never bring it early.
        const double off_after
            = std::chrono::duration<double, std::milli>(arrivals[2].second - before).count();
        EXPECT_GE(off_after, slew - 1.0);
        other_end.clear();
    }
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
        for (int i = 0; i < 1000; ++i)
            results.push_back(serial_port().gets(Port, buffer, sizeof buffer));
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
        const auto end = steady::now() + deadline;
        while (link.serial.is_open(0) && steady::now() < end)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
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

namespace {
// Sends `query` and waits for its answer. The mount hears the line in order,
// so once the answer is back it has heard every byte written before it.
bool mount_answered(const std::string& query)
{
    char buffer[64];
    if (serial_port().rx_clear(Port) < 0
        || serial_port().puts(Port, query.data(), static_cast<int>(query.size())) < 0)
        return false;
    std::string answer;
    return wait_for([&] {
        const int got = serial_port().gets(Port, buffer, sizeof buffer);
        if (got > 0)
            answer.append(buffer, static_cast<std::size_t>(got));
        return answer.find('#') != std::string::npos;
    });
}

// Seconds since `start`, and the millisecond the mount's clock may add by
// counting whole milliseconds.
double seconds_since(steady::time_point start)
{
    return (ms_since(start) + 1.0) / 1000.0;
}
} // namespace

TEST(SimulatedTelescopePty, AnswersTheProgramThroughTheRealPort)
{
    // The pty's thread and the mount keep their own time: the test swaps the
    // program clock below while that thread runs.
    SystemClock wire_clock;
    sim::PointingRecord sky;
    sim::SimulatedMount mount(sky, &wire_clock);
    mount.set_guide_rate(5.0, 4.0);
    sim::TelescopePty pty(mount, wire_clock);
    ASSERT_TRUE(pty.start(1)) << pty.error();
    EXPECT_EQ(std::filesystem::read_symlink(home_path("ports/COM1")).string().rfind("/dev/pts/", 0), 0u);

    RealLink link;
    slewcom = '1';
    telescope = 'l';
    SaveINIFile(ini_file.c_str());
    comm_check();
    ASSERT_EQ(comfound, 1);

    move_telescope('m', 31);
    ASSERT_TRUE(wait_for([&] {
        std::lock_guard lock(sim::sky_mutex());
        return sky.goto_count > 0;
    }));
    // The program reads the information in a window of its own timing; on a
    // loaded machine the answer may miss it, so ask until it is read.
    const std::string m31 = "M31 GAL MAG 3.4                 #";
    wait_for([&] {
        GetInfo();
        return std::string(move_error) == m31;
    });
    EXPECT_EQ(std::string(move_error), m31);
    {
        std::lock_guard lock(sim::sky_mutex());
        EXPECT_EQ(sky.goto_count, 1);
        EXPECT_NEAR(sky.dec, 41.0 + 16.0 / 60, 1e-3);
    }

    // A guide pulse east moves the field east, and no further than the
    // guide rate over the time the pulse can have lasted (the pty's
    // scheduling can only shorten it as the mount hears it).
    slewdir = 'e';
    slew_time = 400;
    const auto east_start = steady::now();
    EXPECT_EQ(drive_slew(), 0);
    ASSERT_TRUE(mount_answered("#:GR#"));
    const double east_s = seconds_since(east_start);
    double east = 0;
    {
        std::lock_guard lock(sim::sky_mutex());
        east = sky.offset_x;
        EXPECT_GT(sky.offset_x, 0.0);
        EXPECT_LE(sky.offset_x, 5.0 * east_s);
        EXPECT_EQ(sky.offset_y, 0.0);
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
    const auto north_start = steady::now();
    EXPECT_EQ(interface_slew(), 0);
    // The field moves when the mount hears the pulse end, and the relays
    // are off after it.
    // (The mount takes its own lock before the sky's: never the other way.)
    ASSERT_TRUE(wait_for([&] {
        bool moved = false;
        {
            std::lock_guard lock(sim::sky_mutex());
            moved = sky.offset_y != 0.0;
        }
        return moved && mount.box_byte() == 0x00;
    }));
    const double north_s = seconds_since(north_start);
    {
        std::lock_guard lock(sim::sky_mutex());
        EXPECT_GT(sky.offset_y, 0.0);
        EXPECT_LE(sky.offset_y, 4.0 * north_s);
        EXPECT_EQ(sky.offset_x, east);
    }
    EXPECT_EQ(mount.box_byte(), 0x00);
    // A hand move's text at 300 baud goes unheard. A relay byte with the
    // drive off (it moves nothing) shows when the mount has heard the line
    // up to it.
    set_text(tele_speed, "#:RS#");
    set_text(move_direction, "#:Me#");
    start_move();
    ASSERT_EQ(serial_port().putc(Port, 0x08), 0);
    ASSERT_TRUE(wait_for([&] { return mount.box_byte() == 0x08; }));
    EXPECT_EQ(mount.rate(), 'G');
    {
        std::lock_guard lock(sim::sky_mutex());
        EXPECT_EQ(sky.offset_x, east);
    }
    CB_stop_move();
    ASSERT_TRUE(wait_for([&] { return mount.box_byte() == 0x00; }));
    close_drive();
    pty.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(home_path("ports/COM1"))));
}
