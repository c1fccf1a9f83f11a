// Figures of the camera command, measured with the simulated camera and the
// program's own Qt host (offscreen): how exactly the exposure is timed, what
// an exposure wait costs, how fast a key press ends it, and whether a long
// continuous run grows in memory. Prints one line per figure; run with
//     QT_QPA_PLATFORM=offscreen ./build/bench/camera_figures [frames]
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/clock.h"
#include "app/data_root.h"
#include "app/main_frame.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/exposure_loop.h"
#include "camera/usb.h"
#include "sim/sim.h"
#include "store/buffers.h"
#include "ui/qt_host.h"

namespace {
double cpu_seconds()
{
    rusage r {};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

long peak_rss_kb()
{
    rusage r {};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_maxrss;
}

// The Qt host of the program, noting when the exposure wait starts (the
// progress window is shown) and counting the frames shown.
class MeasuringHost : public QtHost {
public:
    std::int64_t wait_started_ms = -1;
    double wait_started_cpu = 0;
    int frames = 0;
    std::function<void()> on_frame;

    void progress_show() override
    {
        if (wait_started_ms < 0) {
            wait_started_ms = program_clock().now_ms();
            wait_started_cpu = cpu_seconds();
        }
        QtHost::progress_show();
    }
    // The read-out's caption marks the end of the wait.
    std::int64_t wait_ended_ms = -1;
    double wait_ended_cpu = 0;
    void progress_update() override
    {
        if (wait_started_ms >= 0 && wait_ended_ms < 0
            && std::string(progress_caption).rfind("READ ZQ CAMERA", 0) == 0) {
            wait_ended_ms = program_clock().now_ms();
            wait_ended_cpu = cpu_seconds();
        }
        QtHost::progress_update();
    }
    void show_frame() override
    {
        QtHost::show_frame();
        ++frames;
        if (on_frame)
            on_frame();
    }
};

bool is_control(const sim::CameraCommand& c, int sub)
{
    return c.bytes[0] == 2 && c.bytes[1] == sub;
}

// Time from the last wipe to the transfer that ends the exposure.
std::int64_t wipe_to_transfer(const sim::SimCamera& camera)
{
    std::int64_t wipe = -1;
    for (const sim::CameraCommand& c : camera.commands()) {
        if (is_control(c, 1))
            wipe = c.ms;
        else if (c.bytes[0] == 2 && c.bytes[1] >= 3 && wipe >= 0)
            return c.ms - wipe;
    }
    return -1;
}

void take(int seconds, bool continuous_mode = false)
{
    const CameraDialogScope dialog([=] {
        set_exposure_unit('s');
        exp_value = seconds;
        continuous = continuous_mode ? 1 : 0;
        return 1;
    });
    run_camera_command();
}

void press_key(TQuillonWindow& window)
{
    QWindow* target = window.window()->windowHandle();
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier));
}
} // namespace

int main(int argc, char** argv)
{
    const int frames_wanted = argc > 1 ? std::atoi(argv[1]) : 500;
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "quillon_camera_figures";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("QUILLON_HOME", home.c_str(), 1);
    reset_program_state();
    QApplication app(argc, argv);
    MeasuringHost host;
    set_host(&host);
    MainFrame main = build_main_frame();
    main.frame->show();
    host.set_window(main.client);
    start_frame_buffers();

    sim::SkyModel sky;
    sim::SimCamera camera(sky);
    set_camera_transport(&camera);
    USBHid::CollectingUSBHidInfo(nullptr);

    // 1. The exposure the sensor sees, on the real clock.
    for (const int seconds : { 1, 10 }) {
        camera.clear_log();
        take(seconds);
        const std::int64_t got = wipe_to_transfer(camera);
        std::printf("wipe-to-transfer, %2d s requested: %lld ms (off by %lld ms)\n", seconds,
            static_cast<long long>(got), static_cast<long long>(got - seconds * 1000));
    }

    // 2. CPU time of a 20 s exposure wait, from the progress window's
    //    showing to the read-out's caption.
    {
        host.wait_started_ms = host.wait_ended_ms = -1;
        const double before = cpu_seconds();
        take(20);
        const double after = cpu_seconds();
        const double wall = (host.wait_ended_ms - host.wait_started_ms) / 1000.0;
        const double cpu = host.wait_ended_cpu - host.wait_started_cpu;
        std::printf(
            "20 s exposure: the wait of %.2f s used %.3f s CPU (%.2f %% of one core); the whole command "
            "%.3f s CPU\n",
            wall, cpu, 100.0 * cpu / wall, after - before);
    }

    // 3. A key press during the exposure wait: how long until the loop
    //    stops the exposure (the clear that follows the wait).
    {
        camera.clear_log();
        std::int64_t pressed_ms = 0;
        QTimer::singleShot(3000, [&] {
            pressed_ms = program_clock().now_ms();
            press_key(*main.client);
        });
        take(10);
        std::int64_t stopped_ms = -1;
        for (const sim::CameraCommand& c : camera.commands())
            if (c.ms >= pressed_ms && is_control(c, 2)) {
                stopped_ms = c.ms;
                break;
            }
        std::printf(
            "key press in a 10 s exposure: wait ended %lld ms after the press; read commands sent: %d\n",
            static_cast<long long>(stopped_ms - pressed_ms),
            static_cast<int>(std::count_if(camera.commands().begin(), camera.commands().end(),
                [](const sim::CameraCommand& c) { return c.bytes[0] == 4; })));
    }

    // 4. Continuous frames on a manual clock (the figure is memory, not
    //    time): peak resident size after warming up and at the end.
    {
        ManualClock clock;
        set_clock(&clock);
        long warm_kb = 0;
        host.frames = 0;
        host.on_frame = [&] {
            if (host.frames == 20)
                warm_kb = peak_rss_kb();
            if (host.frames == frames_wanted)
                press_key(*main.client);
        };
        auto_save_fits = 0;
        take(1, true);
        const long end_kb = peak_rss_kb();
        std::printf("%d continuous frames: peak RSS %ld kB after 20, %ld kB at the end (+%ld kB)\n",
            host.frames, warm_kb, end_kb, end_kb - warm_kb);
        set_clock(nullptr);
    }

    set_camera_transport(nullptr);
    set_host(nullptr);
    main.frame.reset();
    std::filesystem::remove_all(home);
    return 0;
}
