// Camera runs through the main window's own frame-showing step, against the
// simulated camera and mount on the manual clock: what auto-save keeps, a
// disk that fills during a run, and a close in the middle of an exposure.
#include <QtTest>

#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>

#include "app/command_table.h"
#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/exposure_loop.h"
#include "camera/usb.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model_sky.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/settings_file.h"
#include "telescope/guiding.h"
#include "telescope/serial_port.h"
#include "ui/qt_host.h"
#include "ui_test_env.h"

namespace {
sim::SkySettings one_star_sky()
{
    sim::SkySettings s;
    s.stars_per_megapixel = 0;
    return s;
}

// A camera, a mount on Com 1 and a guide star where the guider looks, with
// every shown frame going the main window's way (display and auto-save).
struct Rig {
    UiTestEnv env;
    sim::SkyModel sky { one_star_sky() };
    sim::SimCamera camera { sky };
    sim::SkyModelSky mount_sky { sky };
    sim::SimulatedMount mount { mount_sky };
    sim::InProcessSerialPort port { mount };
    int shown = 0;

    Rig()
    {
        set_camera_transport(&camera);
        set_serial_port(&port);
        USBHid::CollectingUSBHidInfo(nullptr);
        mount.set_guide_rate(5, 7);
        sky.place_star(376, 288, 60000);
        telescope = 'l';
        max_stretch = 1;
        auto_save_fits = 1;
        picked_star = 1;
        pick_xcent = 376;
        pick_ycent = 288;
        xcent = pick_xcent / 2;
        ycent = pick_ycent / 2;
        // The link reads its settings back from the file before it opens.
        SaveINIFile(ini_file.c_str());
        env.host().on_show_frame = [this] {
            ++shown;
            env.window().CmShowImage();
        };
    }
    ~Rig()
    {
        env.host().on_show_frame = nullptr;
        set_serial_port(nullptr);
        set_camera_transport(nullptr);
    }
    static int saved_images()
    {
        std::error_code ec;
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(auto_save_dir, ec))
            n += entry.path().extension() == ".FIT" ? 1 : 0;
        return n;
    }
};

// Runs the camera command with `settings` made in its dialog.
void take(const std::function<void()>& settings)
{
    CameraDialogScope dialog([settings] {
        settings();
        return 1;
    });
    run_camera_command();
}
} // namespace

class CameraRunTest : public QObject {
    Q_OBJECT

private slots:
    void guide_frames_are_never_auto_saved_science_frames_are()
    {
        struct Case {
            const char* name;
            std::function<void(Rig&)> run;
            int saved;
        } cases[] = {
            { "guiding",
                [](Rig& rig) {
                    // Ten guide frames, then a key.
                    rig.env.host().on_show_frame = [&rig] {
                        rig.env.window().CmShowImage();
                        if (++rig.shown == 10)
                            rig.env.host().press_key_at(test_env().clock.now_ms());
                    };
                    exp_range = 't';
                    exp_value = 5;
                    start_guiding();
                },
                0 },
            { "self-guided exposure",
                [](Rig&) {
                    telescope = 'b';
                    take([] {
                        selfguiding = 1;
                        selfguiding_exp_range = 't';
                        selfguiding_exp_value = 5;
                        exp_range = 's';
                        exp_value = 6;
                    });
                },
                1 },
        };
        for (const Case& c : cases) {
            Rig rig;
            c.run(rig);
            QVERIFY2(rig.shown > 0, c.name);
            QVERIFY2(Rig::saved_images() == c.saved, c.name);
        }
    }

    void a_full_disk_ends_a_continuous_run_with_one_message()
    {
        Rig rig;
        // The display bitmap still fits, the frame's FITS file no longer does.
        const int outcome = run_with_small_disk([&rig] {
            rig.env.host().press_key_at(60000); // a run that goes on is ended here
            take([] {
                set_camera_mode(CameraMode::standard);
                continuous = 1;
                exp_range = 's';
                exp_value = 1;
            });
            const auto& boxes = rig.env.host().boxes;
            const bool told = boxes.size() == 1 && boxes[0].text == message_text(49, nullptr);
            // The frame stays on show: the window holds its picture.
            const bool on_show = rig.env.window().Dib != nullptr && image_int[376 * 145 + 188] > 0;
            return (told ? 1 : 0) + (on_show ? 2 : 0) + 4 * std::min(rig.shown, 9);
        }, 150000);
        QCOMPARE(outcome, 1 + 2 + 4 * 1);
        QCOMPARE(Rig::saved_images(), 0);
    }

    void closing_the_window_during_an_exposure_ends_the_run_at_once()
    {
        Rig rig;
        QtHost qt;
        qt.set_window(&rig.env.window());
        set_host(&qt);
        const std::int64_t start = test_env().clock.now_ms();
        std::int64_t closed_at = -1;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (closed_at < 0 && test_env().clock.now_ms() >= start + 5000) {
                closed_at = test_env().clock.now_ms();
                rig.env.frame().close();
            }
        });
        closer.start(0);
        // The camera command as the menu runs it, with its dialog answered.
        set_command_spy([](int number) {
            if (number != 12)
                return false;
            take([] {
                exp_range = 's';
                exp_value = 20;
            });
            return true;
        });
        rig.env.window().dispatch(12);
        set_command_spy(nullptr);
        set_host(&test_env().host);
        QVERIFY(closed_at >= 0);
        QVERIFY(test_env().clock.now_ms() - closed_at < 2000);
        QVERIFY(!rig.env.frame().isVisible());
        // The exposure in progress is dropped: never read, shown or saved.
        QCOMPARE(end_loop, 1);
        QCOMPARE(Rig::saved_images(), 0);
        for (const sim::CameraCommand& c : rig.camera.commands())
            QVERIFY(c.bytes[0] != 4);
    }
};

QTEST_MAIN(CameraRunTest)
#include "camera_run_test.moc"
