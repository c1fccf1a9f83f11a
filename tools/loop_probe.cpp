// The program as `make run` starts it (simulated camera and telescope, the
// Qt host, the program's clock), running one loop for a given time so that
// how it answers meanwhile can be measured from outside: the accessibility
// bus, the CPU time (tools/loop_responsiveness.sh).
//
//   quillon_loop_probe idle|focus|guide SECONDS
//
// "focus" opens the camera dialog and presses its focus Start; "guide"
// places a star at the guide frame's centre, picks it and starts guiding
// (rates as the simulated mount's). Prints "running" once the loop has
// begun, and ends the loop (as its Stop would) and the program after
// SECONDS; at the end it prints how many beeps the run gave (one a focus
// frame, two a guide correction).
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/host.h"
#include "app/quillon_app.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/usb.h"
#include "devices/qt_serial_port.h"
#include "sim/sim.h"
#include "sim/sky_model.h"
#include "sim/telescope_pty.h"
#include "telescope/serial_port.h"
#include "ui/qt_host.h"
#include "ui/repainting_clock.h"

namespace {
constexpr int camera_command = 12;
constexpr int start_guiding_command = 23;
constexpr int focus_start_id = 107;

void say(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

void start_focus()
{
    // The camera dialog is modal: its own loop runs this.
    QTimer::singleShot(500, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* start = dialog == nullptr ? nullptr
                                        : dialog->findChild<QAbstractButton*>(QString::number(focus_start_id));
        if (start == nullptr) {
            say("no camera dialog");
            QApplication::exit(2);
            return;
        }
        say("running");
        start->click();
        dialog->reject();
    });
}

void start_guide(TQuillonWindow* window)
{
    // A bright star where the guide frame is centred, picked as Ctrl+P and a
    // click would pick it.
    sim::shared_sky().place_star(376.0, 288.0, 60000.0);
    USBHid::CollectingUSBHidInfo(nullptr);
    telescope = 'l';
    slewcom = '1';
    slewx = 5;
    slewy = 4;
    exp_range = 't';
    exp_value = 5;
    max_stretch = 1;
    picked_star = 1;
    pick_xcent = 376;
    pick_ycent = 288;
    xcent = pick_xcent / 2;
    ycent = pick_ycent / 2;
    say("running");
    window->dispatch(start_guiding_command);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "idle";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;

    reset_program_state();
    TQuillonApp app(argc, argv);
    QtHost qt_host;
    set_host(&qt_host);
    RepaintingClock clock;
    set_clock(&clock);
    QtSerialPort serial;
    set_serial_port(&serial);
    sim::install_simulated_camera();
    telescope = 'l';
    slewcom = '1';
    sim::start_simulated_telescope_pty();
    app.InitInstance();
    TQuillonWindow* window = app.client();
    qt_host.set_window(window);

    // The end: the loop's own stop flags, as its Stop button or a key sets
    // them; then the program closes.
    QTimer::singleShot(1000 * seconds, [] {
        std::printf("still running at the end: guiding %d, focus mode %d\n", guiding, focus_mode);
        stopit = 1;
        continuous = 0;
        QTimer::singleShot(3000, [] { QApplication::exit(0); });
    });
    QTimer::singleShot(2000, [mode, window] {
        if (mode == "focus") {
            start_focus();
            window->dispatch(camera_command);
        } else if (mode == "guide") {
            start_guide(window);
        } else {
            say("running");
        }
    });
    const int result = app.exec();
    // Focus frames and guide corrections beep: the count shows the loop ran.
    std::printf("beeps during the run: %d\n", qt_host.beeps());
    set_serial_port(nullptr);
    set_host(nullptr);
    set_clock(nullptr);
    return result;
}
