// The camera command through its dialog, driven by control ids, against the
// simulated camera on the manual clock.
#include <QAbstractButton>
#include <QLineEdit>
#include <QtTest>

#include <memory>

#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/camera_dialog.h"
#include "sim/sim.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {
bool checked(QDialog* d, int id)
{
    auto* button = control<QAbstractButton>(d, QString::number(id));
    return button != nullptr && button->isChecked();
}

void click(QDialog* d, int id)
{
    auto* button = control<QAbstractButton>(d, QString::number(id));
    QVERIFY2(button != nullptr, qPrintable(QString::number(id)));
    button->click();
}

// Drives the next modal dialog; a failed check inside still closes it.
void drive(std::function<void(QDialog*)> act)
{
    when_modal_shows([act](QDialog* d) {
        act(d);
        if (d->isVisible())
            d->reject();
    });
}
} // namespace

class CameraDialogTest : public QObject {
    Q_OBJECT

private slots:
    void values_shown_written_back_focus_loop_and_take_photo()
    {
        UiTestEnv env;
        sim::SkySettings sky_settings;
        sky_settings.sky_adu_per_s = 300;
        sim::SkyModel sky(sky_settings);
        // A star in the focus frame at its default place.
        sky.place_star(312 + 64, 2 * (65 + 64), 1.5e6);
        sim::SimCamera camera(sky);
        set_camera_transport(&camera);
        focus_delay = 0;

        bool ran = false;
        drive([&](QDialog* d) {
            ran = true;
            QCOMPARE(d->windowTitle(), QStringLiteral("ZQ Control Interface"));
            // The start values.
            QVERIFY(checked(d, 704));
            QVERIFY(checked(d, 126));
            QCOMPARE(text_of(d, "105"), QStringLiteral("1"));
            QCOMPARE(text_of(d, "112"), QStringLiteral("1"));
            QCOMPARE(text_of(d, "130"), QStringLiteral("12"));

            // Minutes: the unit's start value, and 90 is not below its limit.
            click(d, 705);
            QCOMPARE(exp_range, 'm');
            control<QLineEdit>(d, QStringLiteral("105"))->setText(QStringLiteral("90"));
            click(d, 117);
            QCOMPARE(exp_value, 1);
            QCOMPARE(text_of(d, "105"), QStringLiteral("1"));
            QCOMPARE(exposure_delay, 1);
            click(d, 117);

            // Hundredths, three down-arrow steps and a typed value.
            click(d, 702);
            step(d, "104", QAbstractSlider::SliderSingleStepAdd, 3);
            QCOMPARE(exp_value, 8);
            QCOMPARE(text_of(d, "105"), QStringLiteral("8"));
            control<QLineEdit>(d, QStringLiteral("105"))->setText(QStringLiteral("20"));
            click(d, 113);
            QCOMPARE(exp_value, 20);
            QCOMPARE(darkframe_remove, 1);
            click(d, 113);
            step(d, "111", QAbstractSlider::SliderSingleStepAdd, 2);
            QCOMPARE(text_of(d, "112"), QStringLiteral("3"));
            step(d, "111", QAbstractSlider::SliderSingleStepSub, 2);
            step(d, "124", QAbstractSlider::SliderPageStepAdd);
            QCOMPARE(focus_stretch, 16);
            QCOMPARE(text_of(d, "130"), QStringLiteral("16"));
            // Back to a gain of 16 for the focus frames.
            step(d, "124", QAbstractSlider::SliderSingleStepSub, 4);
            QCOMPARE(text_of(d, "130"), QStringLiteral("12"));
            click(d, 710);
            QVERIFY(checked(d, 116));
            click(d, 710);
            click(d, 127);
            QCOMPARE(binned21, 1);
            click(d, 126);

            // Self-guiding with a 0.2 s guide frame shows its settings.
            gotcontrolbox = 1;
            click(d, 135);
            QVERIFY(checked(d, 135));
            QCOMPARE(text_of(d, "133"), QStringLiteral("20"));
            QCOMPARE(text_of(d, "134"), QStringLiteral("hundredths"));
            QCOMPARE(text_of(d, "136"), QStringLiteral("Normal Resolution"));
            click(d, 135);
            QCOMPARE(text_of(d, "134"), QString());

            // The focus loop: frames until the user clicks.
            auto* vn = qobject_cast<TVNDialog*>(d);
            QVERIFY(vn != nullptr);
            env.host().press_key_at(test_env().clock.now_ms() + 3000);
            click(d, 107);
            QCOMPARE(stopit, 1);
            QCOMPARE(focus_mode, 1);
            QVERIFY2(max_value > 1000, qPrintable(QString::number(max_value)));
            QCOMPARE(text_of(d, "109"), QString::number(max_value));
            QVERIFY(env.host().focus_frame_updates > 0);
            QCOMPARE(vn->focus_bitmap().size(), QSize(128, 128));
            // The star is drawn in the focus frame: the frame is not flat.
            const QImage frame = vn->grab(vn->focus_frame_rect()).toImage();
            int lo = 255, hi = 0;
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x) {
                    lo = std::min(lo, qGray(frame.pixel(x, y)));
                    hi = std::max(hi, qGray(frame.pixel(x, y)));
                }
            QVERIFY2(hi - lo > 100, qPrintable(QStringLiteral("%1..%2").arg(lo).arg(hi)));

            // Take Photo: a 0.2 s exposure.
            click(d, 1);
        });
        env.window().VN_Control();
        QVERIFY(ran);
        QCOMPARE(env.host().frames_shown, 1);
        QCOMPARE(focus_mode, 0);
        QCOMPARE(exposure, 200);
        QCOMPARE(width1, 376);
        set_camera_transport(nullptr);
    }

    void cancel_and_help()
    {
        UiTestEnv env;
        sim::SimCamera camera;
        set_camera_transport(&camera);
        drive([&](QDialog* d) {
            click(d, 9);
            click(d, 2);
        });
        env.window().VN_Control();
        QCOMPARE(env.host().frames_shown, 0);
        bool help = false;
        for (const RecordedBox& b : env.host().boxes)
            help = help || b.caption == "Quillon - Control ZQ Camera";
        QVERIFY(help);
        set_camera_transport(nullptr);
    }
};

QTEST_MAIN(CameraDialogTest)
#include "camera_dialog_test.moc"
