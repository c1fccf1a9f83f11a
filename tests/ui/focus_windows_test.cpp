// The focusing windows from their menu entries, on the simulated camera and
// telescope and the manual clock: the image scale dialog, the HFD under the
// camera dialog's focus frame, and autofocus with its V-curve. With
// QUILLON_SHOTS set to a folder, each window is also saved there as a PNG.
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <cstdlib>
#include <cstring>

#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/autofocus_window.h"
#include "camera/camera_dialog.h"
#include "camera/focus_loop.h"
#include "camera/focus_plots_ui.h"
#include "camera/usb.h"
#include "display/image_scale.h"
#include "display/image_scale_dialog.h"
#include "sim/in_process_port.h"
#include "sim/sim.h"
#include "sim/simulated_mount.h"
#include "sim/sky_model_sky.h"
#include "store/settings_file.h"
#include "store/text_settings.h"
#include "ui_test_env.h"

namespace {
void save_shot(QWidget* w, const char* name)
{
    if (const char* folder = std::getenv("QUILLON_SHOTS"))
        w->grab().save(QString::fromLocal8Bit(folder) + '/' + QLatin1String(name));
}

// A sky with one bright star in the focus frame at its default place, out of
// focus by `away` focuser steps, and a mount whose focuser moves it.
struct FocusRig {
    sim::SkyModel sky;
    sim::SimCamera camera { sky };
    sim::SkyModelSky mount_sky { sky };
    sim::SimulatedMount mount { mount_sky };
    sim::InProcessSerialPort port { mount };

    explicit FocusRig(double away)
    {
        sim::SkySettings s;
        s.stars_per_megapixel = 0;
        s.focus_best = away;
        sky.configure(s);
        sky.place_star(312 + 64, 2 * (65 + 64), 1.5e6);
        set_camera_transport(&camera);
        set_serial_port(&port);
        mount.set_focuser_backlash(15);
        telescope = 'l';
        exp_range = 't';
        exp_value = 5;
        // The link is opened after the settings file is read again.
        SaveINIFile(ini_file.c_str());
        focus_delay = 0;
    }
    ~FocusRig()
    {
        set_serial_port(nullptr);
        set_camera_transport(nullptr);
    }
};
} // namespace

class FocusWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void image_scale_keeps_a_focal_length_or_refuses_it()
    {
        struct Case {
            const char* typed;
            bool kept;
            double stored;
        };
        const Case cases[] = {
            { "1000", true, 1000 },
            { " 2032.5 ", true, 2032.5 },
            { "", true, 0 }, // cleared: sizes in pixels only
            { "0", false, 0 },
            { "-50", false, 0 },
            { "long", false, 0 },
            { "200000", false, 0 },
        };
        for (const Case& c : cases) {
            UiTestEnv env;
            set_text_setting("focal_length", "500");
            QVERIFY(save_text_settings());
            bool ran = false;
            when_modal_shows([&](QDialog* d) {
                ran = true;
                QCOMPARE(d->windowTitle(), QStringLiteral("Image Scale"));
                QCOMPARE(control<QLineEdit>(d, QStringLiteral("focal_length"))->text(), QStringLiteral("500"));
                control<QLineEdit>(d, QStringLiteral("focal_length"))->setText(QString::fromLatin1(c.typed));
                control<QLineEdit>(d, QStringLiteral("site"))->setText(QStringLiteral("  Back garden "));
                control<QPushButton>(d, QStringLiteral("1"))->click();
                QCOMPARE(d->isVisible(), !c.kept);
                if (d->isVisible())
                    d->reject();
            });
            env.window().dispatch(cm_image_scale);
            QVERIFY(ran);
            QCOMPARE(env.host().boxes.size(), c.kept ? std::size_t(0) : std::size_t(1));
            // What is on disk is what the program reads back.
            reset_text_settings();
            QCOMPARE(focal_length_mm(), c.kept ? c.stored : 500.0);
            QCOMPARE(site_name(), std::string(c.kept ? "Back garden" : ""));
        }
        // The figures: 8.6 um at 1000 mm is 1.77"/px.
        UiTestEnv env;
        when_modal_shows([](QDialog* d) {
            control<QLineEdit>(d, QStringLiteral("focal_length"))->setText(QStringLiteral("1000"));
            QVERIFY(control<QLabel>(d, QStringLiteral("scale"))->text().startsWith("Full resolution 1.77 x 1.71"));
            save_shot(d, "image_scale.png");
            d->reject();
        });
        env.window().dispatch(cm_image_scale);
    }

    void focus_loop_shows_the_hfd_and_its_course()
    {
        UiTestEnv env;
        FocusRig rig(40);
        set_text_setting("focal_length", "1000");
        bool ran = false;
        when_modal_shows([&](QDialog* d) {
            ran = true;
            env.host().press_key_at(test_env().clock.now_ms() + 8000);
            control<QPushButton>(d, QStringLiteral("107"))->click();
            const auto& history = focus_history();
            QVERIFY(history.size() >= 5);
            for (const FocusSample& f : history) {
                QVERIFY(f.star.ok());
                // 40 steps from focus: sqrt(4.04^2 + 4^2) = 5.7 px.
                QVERIFY2(std::fabs(f.star.hfd - 5.69) < 0.3, qPrintable(QString::number(f.star.hfd)));
            }
            const QString text = FocusHfdPlot::latest_text();
            QVERIFY2(text.startsWith("HFD 5.") && text.contains("\")"), qPrintable(text));
            QVERIFY(control<QWidget>(d, QStringLiteral("focus_hfd"))->isVisible());
            save_shot(d, "focus_loop_hfd.png");
            d->reject();
        });
        env.window().dispatch(12);
        QVERIFY(ran);
    }

    void autofocus_draws_its_v_curve_and_lands_in_focus()
    {
        UiTestEnv env;
        FocusRig rig(-90);
        USBHid::CollectingUSBHidInfo(nullptr);
        std::strcpy(focus_speed, "#:FF#");
        set_text_setting("autofocus_step_ms", "200");
        env.window().dispatch(cm_autofocus);
        auto* w = env.window().findChild<TAutofocusWindow*>();
        QVERIFY(w != nullptr);
        QVERIFY(w->isVisible());
        QVERIFY(!w->running());
        const QString result = control<QLabel>(w, QStringLiteral("result"))->text();
        QVERIFY2(result.startsWith("Focused at "),
            qPrintable(result + " / " + control<QLabel>(w, QStringLiteral("status"))->text() + " / "
                + QString::fromStdString(env.host().boxes.empty() ? "" : env.host().boxes[0].text)));
        QVERIFY(env.host().boxes.empty());
        const double optics = rig.mount.focuser_optics(test_env().clock.now_ms());
        QVERIFY2(rig.sky.hfd_at(optics) < 1.05 * rig.sky.best_hfd(), qPrintable(QString::number(optics)));
        save_shot(w, "autofocus_vcurve.png");
        w->close();
    }
};

QTEST_MAIN(FocusWindowsTest)
#include "focus_windows_test.moc"
