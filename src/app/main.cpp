#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/host.h"
#include "app/quillon_app.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "devices/qt_serial_port.h"
#include "devices/usb_camera_transport.h"
#include "indi/indi_link.h"
#include "indi/indi_telescope_link.h"
#include "sim/mount_follower.h"
#include "sim/sim.h"
#include "sim/telescope_pty.h"
#include "telescope/serial_port.h"
#include "ui/qt_host.h"
#include "ui/repainting_clock.h"

namespace {
// What the simulator has to tell the user at start (empty: nothing).
std::string simulator_notice;
} // namespace

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
    QtSerialPort serial;
    set_serial_port(&serial);

    register_indi_telescope_link();

    const char* simulator = std::getenv("QUILLON_SIMULATOR");
    if (simulator != nullptr && std::strcmp(simulator, "1") == 0) {
        // The simulated camera and telescope share one sky; the telescope
        // answers on Com 1. A fresh data root starts with it chosen, so go-to
        // and guiding work at once; written settings keep what the user chose.
        sim::install_simulated_camera();
        std::error_code ec;
        const bool fresh = !std::filesystem::exists(ini_file, ec);
        // Com 1 unless the user's own link holds it; then the simulator
        // says once where it is instead.
        const int com = sim::start_simulated_telescope_pty(simulator_notice);
        if (fresh) {
            telescope = 'l';
            slewcom = static_cast<char>('0' + (com > 0 ? com : 1));
        }
        // With an INDI mount chosen, the simulated sky follows what that
        // mount reports: its go-tos, guide pulses and hand moves.
        static sim::MountFollower follower(sim::shared_sky());
        set_indi_position_listener(
            [](double ra, double dec, bool slewing) { follower.reported(ra, dec, slewing); });
    } else {
        // The real camera; the bus is first looked at by the first camera
        // command. A download blocks input, as the camera command wants, but
        // the window keeps repainting.
        install_usb_camera_transport(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    }

    app.InitInstance();
    qt_host.set_window(app.client());
    if (!simulator_notice.empty())
        QTimer::singleShot(0, [] { host().message_box(simulator_notice, "Quillon"); });
    const int result = app.exec();
    if (simulator != nullptr && std::strcmp(simulator, "1") == 0)
        sim::stop_simulated_telescope_pty();
    set_serial_port(nullptr);
    set_host(nullptr);
    set_clock(nullptr);
    return result;
}
