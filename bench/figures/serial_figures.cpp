// Figures of the real serial layer on the real clock, through
// pseudo-terminals: how long the control box's pulses last on the wire as
// the other end sees them, what a port whose other end went away costs, and
// how far a timed pulse through the simulated telescope's pseudo-terminal
// moves the field. Each figure is measured `repeats` times (default 5) and
// printed as min / median / max; run with
//     ./build/bench/serial_figures [repeats]
// The tests check the order of the bytes and their causality; the figures
// depend on the machine's load and are only reported here.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/data_root.h"
#include "app/state.h"
#include "app/text_field.h"
#include "devices/qt_serial_port.h"
#include "sim/pty_peer.h"
#include "sim/mount_sky.h"
#include "sim/simulated_mount.h"
#include "sim/telescope_pty.h"
#include "store/settings_file.h"
#include "telescope/control_box.h"
#include "telescope/lx200.h"
#include "telescope/telescope_link.h"

namespace {

using steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

double ms_between(steady::time_point a, steady::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Min / median / max of `values`.
void print_figure(const char* what, std::vector<double> values, const char* unit)
{
    if (values.empty()) {
        std::printf("%-58s no measurement\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-58s min %8.3f  median %8.3f  max %8.3f %s (n=%zu)\n", what, values.front(),
        values[values.size() / 2], values.back(), unit, values.size());
}

// A pseudo-terminal whose slave is linked as <root>/ports/COM1.
struct Pty : sim::PeerPty {
    Pty() : PeerPty(data_path("ports/COM1")) {}
};

// 1. The box's pulses at the other end: from the relay byte to the drive-on
//    byte (the program waits 1 ms), and how much longer than asked the drive
//    stays on.
void control_box_pulses(int repeats)
{
    reset_program_state();
    QtSerialPort serial;
    Pty pty;
    if (pty.master < 0) {
        std::printf("no pseudo-terminal\n");
        return;
    }
    set_serial_port(&serial);
    slewcom = '1';
    if (interface_check() != 1) {
        std::printf("the control box port did not open\n");
        set_serial_port(nullptr);
        return;
    }
    sim::ByteArrivals other_end(pty.master);
    for (int slew : { 0, 20, 100, 300 }) {
        std::vector<double> on, over;
        for (int r = 0; r < repeats; ++r) {
            slewdir = 'e';
            slew_time = slew;
            interface_slew();
            const auto arrivals = other_end.wait_for(3, std::chrono::seconds(10));
            if (arrivals.size() == 3) {
                on.push_back(ms_between(arrivals[0].second, arrivals[1].second));
                over.push_back(ms_between(arrivals[1].second, arrivals[2].second) - slew);
            }
            other_end.clear();
        }
        char what[96];
        std::snprintf(what, sizeof what, "control box pulse %3d ms: relay -> drive on", slew);
        print_figure(what, on, "ms");
        std::snprintf(what, sizeof what, "control box pulse %3d ms: drive on longer than asked", slew);
        print_figure(what, over, "ms");
    }
    serial.done(Port);
    set_serial_port(nullptr);
}

// 2. A port whose other end went away: the cost of the failed reads, and the
//    CPU the event loop uses while idle with it.
void closed_other_end(int repeats)
{
    reset_program_state();
    std::vector<double> reads_ms, idle_cpu_ms;
    for (int r = 0; r < repeats; ++r) {
        Pty pty;
        QtSerialPort serial;
        set_serial_port(&serial);
        slewcom = '1';
        if (pty.master < 0 || drive_check() != 1) {
            set_serial_port(nullptr);
            continue;
        }
        pty.close_master();
        char buffer[8];
        const auto start = steady::now();
        for (int i = 0; i < 1000; ++i)
            serial_port().gets(Port, buffer, sizeof buffer);
        reads_ms.push_back(ms_between(start, steady::now()));
        serial.done(Port);
        set_serial_port(nullptr);
    }
    for (int r = 0; r < repeats; ++r) {
        Pty pty;
        QtSerialPort serial;
        set_serial_port(&serial);
        slewcom = '1';
        if (pty.master < 0 || drive_check() != 1) {
            set_serial_port(nullptr);
            continue;
        }
        pty.close_master();
        const std::clock_t cpu_start = std::clock();
        QEventLoop idle;
        QTimer::singleShot(300, &idle, &QEventLoop::quit);
        idle.exec();
        idle_cpu_ms.push_back(1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
        serial.done(Port);
        set_serial_port(nullptr);
    }
    print_figure("closed other end: 1000 reads", reads_ms, "ms");
    print_figure("closed other end: CPU of 300 ms idle in the event loop", idle_cpu_ms, "ms");
}

// 3. Timed 400 ms pulses through the simulated telescope's pseudo-terminal:
//    how far they move the field (400 ms at 5 and 4 px/s: 2.0 and 1.6 px).
void simulated_telescope_pulses(int repeats)
{
    // Each figure starts with no link open.
    reset_program_state();
    QtSerialPort serial;
    SystemClock wire_clock;
    sim::PointingRecord sky;
    sim::SimulatedMount mount(sky, &wire_clock);
    mount.set_guide_rate(5.0, 4.0);
    sim::TelescopePty pty(mount, wire_clock);
    if (!pty.start(1)) {
        std::printf("simulated telescope: %s\n", pty.error().c_str());
        return;
    }
    set_serial_port(&serial);
    slewcom = '1';
    auto moved = [&](auto pulse, double sim::PointingRecord::*axis) {
        double before;
        {
            std::lock_guard lock(sim::sky_mutex());
            before = sky.*axis;
        }
        pulse();
        // The mount hears the pulse's end within the pty's scheduling: wait
        // for the move to show, then read it.
        const auto end = steady::now() + std::chrono::seconds(10);
        for (;;) {
            {
                std::lock_guard lock(sim::sky_mutex());
                if (sky.*axis != before || steady::now() > end)
                    return sky.*axis - before;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };

    std::vector<double> lx200, box;
    telescope = 'l';
    SaveINIFile(ini_file.c_str());
    comm_check();
    if (comfound == 1)
        for (int r = 0; r < repeats; ++r)
            lx200.push_back(moved(
                [] {
                    slewdir = 'e';
                    slew_time = 400;
                    drive_slew();
                },
                &sim::PointingRecord::offset_x));
    close_drive();
    telescope = 'b';
    comfound = 0;
    SaveINIFile(ini_file.c_str());
    comm_check();
    if (gotcontrolbox == 1)
        for (int r = 0; r < repeats; ++r)
            box.push_back(moved(
                [] {
                    slewdir = 'n';
                    slew_time = 400;
                    interface_slew();
                },
                &sim::PointingRecord::offset_y));
    close_drive();
    set_serial_port(nullptr);
    pty.stop();
    print_figure("400 ms east LX200 pulse through the pty (2.0 px due)", lx200, "px");
    print_figure("400 ms north box pulse through the pty (1.6 px due)", box, "px");
}

} // namespace

int main(int argc, char** argv)
{
    const int repeats = std::max(1, argc > 1 ? std::atoi(argv[1]) : 5);
    char pattern[] = "/tmp/quillon_serial_figures_XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    setenv("QUILLON_HOME", pattern, 1);
    QCoreApplication app(argc, argv);
    // A fresh port for each figure: a port whose other end went away keeps
    // that failure for its next operation.
    control_box_pulses(repeats);
    closed_other_end(repeats);
    simulated_telescope_pulses(repeats);
    std::error_code ec;
    fs::remove_all(pattern, ec);
    return 0;
}
