#include "app/host.h"
#include "app/quillon_app.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "devices/usb_camera_transport.h"
#include "sim/sim.h"
#include "ui/qt_host.h"
#include "ui/repainting_clock.h"

#include <QCoreApplication>
#include <cstdlib>

int main(int argc, char** argv)
{
    // All globals hold their compiled-in values before anything else runs.
    reset_program_state();
    TQuillonApp app(argc, argv);
    // Installed before the windows are built: the settings load may already
    // show a box. The clock is the system clock, repainting during waits.
    QtHost qt_host;
    set_host(&qt_host);
    RepaintingClock clock;
    set_clock(&clock);
    // The real camera unless the simulator is asked for; the bus is first
    // looked at by the first camera command. A download blocks input, as
    // the camera command wants, but the window keeps repainting.
    if (const char* simulator = std::getenv("QUILLON_SIMULATOR"); simulator == nullptr || *simulator == '\0')
        install_usb_camera_transport(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    else
        sim::install_simulated_camera();
    app.InitInstance();
    qt_host.set_window(app.client());
    const int result = app.exec();
    set_host(nullptr);
    set_clock(nullptr);
    return result;
}
