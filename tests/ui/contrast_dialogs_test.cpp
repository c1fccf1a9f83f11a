#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <vector>

#include "app/quillon_window.h"
#include "app/state.h"
#include "processing/contrast_dialogs.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {

// The program's command table routes 888 to contrast_stretch; here the test
// host does.
void route_stretch(UiTestEnv& env)
{
    env.host().on_command = [&env](int number) {
        if (number == 888)
            env.window().contrast_stretch();
    };
}

// Drives the next dialog; one left open by a failed check is cancelled so
// the test fails instead of hanging.
void drive(std::function<void(QDialog*)> act)
{
    when_modal_shows([act](QDialog* d) {
        act(d);
        if (d->isVisible())
            d->reject();
    });
}

void fill_image(unsigned short value)
{
    std::fill(image, image + intlength, value);
}

} // namespace

class ContrastDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void normal_stretch_points_and_ok()
    {
        UiTestEnv env;
        route_stretch(env);
        fill_image(20000);
        QString black_text, white_text;
        int white_bar = 0, black_bar = 0;
        drive([&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Normal Stretch"));
            QCOMPARE(text_of(d, "101"), QStringLiteral("0"));
            QCOMPARE(text_of(d, "104"), QStringLiteral("255"));
            QCOMPARE(control<QScrollBar>(d, "103")->maximum(), 300);
            step(d, "102", Action::SliderPageStepAdd, 2); // black 20
            step(d, "102", Action::SliderSingleStepAdd); // black 21
            step(d, "103", Action::SliderSingleStepSub, 5); // white 250
            step(d, "103", Action::SliderPageStepAdd, 6); // 260 .. 300, then no further
            step(d, "103", Action::SliderPageStepSub, 10); // white 200
            black_text = text_of(d, "101");
            white_text = text_of(d, "104");
            white_bar = control<QScrollBar>(d, "103")->value();
            black_bar = control<QScrollBar>(d, "102")->value();
            press(d, "1");
        });
        env.window().CmContrastNormal();
        QCOMPARE(black, 21u);
        QCOMPARE(white, 200u);
        QCOMPARE(black_text, QStringLiteral("21"));
        QCOMPARE(white_text, QStringLiteral("200"));
        QCOMPARE(white_bar, 200);
        QCOMPARE(black_bar, 21);
        QCOMPARE(QString::fromLatin1(process_info[0]), QStringLiteral("Normal Stretch : max 200 ,min 21"));
        // 10000 on the table: (10000 - 2688) x 255 / 179 = 10416.7
        QCOMPARE(static_cast<int>(image[5000]), 2 * 10416);
        QCOMPARE(static_cast<int>(undo[5000]), 20000);
        QCOMPARE(env.host().commands, std::vector<int> { 888 });
    }

    void normal_stretch_keeps_black_below_white()
    {
        UiTestEnv env;
        drive([&](QDialog* d) {
            step(d, "103", Action::SliderPageStepSub, 30); // stops above black + 10
            step(d, "103", Action::SliderSingleStepSub, 30); // stops at black + 1
            step(d, "102", Action::SliderSingleStepAdd, 3); // black cannot reach white
            auto* bar = control<QScrollBar>(d, "102");
            bar->setSliderPosition(200); // thumb beyond white: ignored
            bar->triggerAction(Action::SliderMove);
            press(d, "2");
        });
        fill_image(1000);
        env.window().CmContrastNormal();
        QCOMPARE(white, 1u);
        QCOMPARE(black, 0u);
        QCOMPARE(history_count(), 0);
        QCOMPARE(static_cast<int>(image[3000]), 1000);
    }

    void normal_stretch_help_and_histogram()
    {
        UiTestEnv env;
        std::fill(std::begin(table), std::end(table), 0u);
        table[20] = 2000; // 400 pixels high: cut to 210 and drawn red
        table[30] = 100; // 20 pixels, grey
        QImage shot;
        drive([&](QDialog* d) {
            press(d, "9");
            shot = d->grab().toImage();
            press(d, "2");
        });
        env.window().CmContrastNormal();
        QCOMPARE(env.host().boxes.size(), size_t { 1 });
        QCOMPARE(
            QString::fromStdString(env.host().boxes[0].caption), QStringLiteral("Quillon - Normal Stretch"));
        QVERIFY(env.host().boxes[0].text.rfind("Use controls to vary intensity from 0 to 255", 0) == 0);
        QVERIFY(env.host().boxes[0].text.find("increasing the white level to 300.") != std::string::npos);
        QCOMPARE(shot.pixelColor(28, 100), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(38, 200), QColor(Qt::gray));
        QVERIFY(shot.pixelColor(38, 150) != QColor(Qt::gray));
        QCOMPARE(shot.pixelColor(5, 100), QColor(Qt::blue)); // the axis
        QCOMPARE(shot.pixelColor(8, 225), QColor(Qt::black)); // black marker at 0 + 8
        QCOMPARE(shot.pixelColor(263, 225), QColor(Qt::black)); // white marker at 255 + 8
        QCOMPARE(shot.pixelColor(100, 225), QColor(Qt::white)); // the cleared strip
    }

    void power_one_adds_nothing()
    {
        UiTestEnv env;
        route_stretch(env);
        fill_image(12345);
        drive([](QDialog* d) {
            QCOMPARE(text_of(d, "102"), QStringLiteral("1.0"));
            QCOMPARE(control<QScrollBar>(d, "101")->value(), 10);
            press(d, "1");
        });
        env.window().CmContrastPower();
        QCOMPARE(history_count(), 0);
        QVERIFY(env.host().commands.empty());
        QCOMPARE(static_cast<int>(image[100]), 12345);
    }

    void power_arrows_and_limits()
    {
        UiTestEnv env;
        route_stretch(env);
        fill_image(30000);
        QString shown;
        int position = 0;
        drive([&](QDialog* d) {
            step(d, "101", Action::SliderSingleStepSub, 20); // down to 0.1, no further
            const QString low = text_of(d, "102");
            QCOMPARE(low, QStringLiteral("0.1"));
            step(d, "101", Action::SliderSingleStepAdd, 40); // up to 3.0, no further
            QCOMPARE(text_of(d, "102"), QStringLiteral("3.0"));
            step(d, "101", Action::SliderSingleStepSub, 10);
            step(d, "101", Action::SliderPageStepSub); // pages do nothing
            shown = text_of(d, "102");
            position = control<QScrollBar>(d, "101")->value();
            press(d, "1");
        });
        env.window().CmContrastPower();
        QCOMPARE(shown, QStringLiteral("2.0"));
        QCOMPARE(position, 20);
        QCOMPARE(power_str, 2.0);
        QCOMPARE(QString::fromLatin1(process_info[0]), QStringLiteral("Power Stretch : 2.0"));
        QCOMPARE(static_cast<int>(image[100]), 2 * 6866);
    }

    void power_help()
    {
        UiTestEnv env;
        drive([](QDialog* d) {
            press(d, "9");
            press(d, "2");
        });
        env.window().CmContrastPower();
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).caption),
            QStringLiteral("Quillon - Power Law Stretch"));
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).text),
            QStringLiteral("Use controls to vary power from 0.1 to 3.0, where powers greater than 1 will "
                           "increase contrast, and powers less than 1 will reduce contrast."));
    }

    void non_linear_arrows_and_help()
    {
        UiTestEnv env;
        route_stretch(env);
        fill_image(8000);
        QString shown;
        drive([&](QDialog* d) {
            QCOMPARE(text_of(d, "102"), QStringLiteral("25"));
            step(d, "213", Action::SliderSingleStepAdd, 30); // stops at 50
            QCOMPARE(text_of(d, "102"), QStringLiteral("50"));
            step(d, "213", Action::SliderSingleStepSub, 60); // stops at 2
            step(d, "213", Action::SliderSingleStepAdd, 1);
            shown = text_of(d, "102");
            press(d, "9");
            press(d, "1");
        });
        env.window().CmContrastVarnel();
        QCOMPARE(shown, QStringLiteral("3"));
        QCOMPARE(QString::fromLatin1(process_info[0]), QStringLiteral("Non-Linear Stretch : power 3"));
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).caption),
            QStringLiteral("Quillon - NonLiniar Filter"));
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).text),
            QStringLiteral("Use controls to vary the Power from 2 to 50"));
        QVERIFY(image[100] != 8000);
    }

    void curves_without_dialogs()
    {
        UiTestEnv env;
        route_stretch(env);
        fill_image(65535);
        env.window().CmContrastInvert();
        QCOMPARE(static_cast<int>(image[7]), 0);
        fill_image(65535);
        env.window().CmContrastLog();
        QCOMPARE(static_cast<int>(image[7]), 65522);
        fill_image(65535);
        env.window().CmContrastAntiLog();
        QCOMPARE(static_cast<int>(image[7]), 65534);
        fill_image(65535);
        env.window().CmContrastSine();
        QCOMPARE(static_cast<int>(image[7]), 65530);
        most_pop = 1;
        env.window().CmContrastBackGround();
        QCOMPARE(history_count(), 4);
        QCOMPARE(env.host().progress_opens, 4);
        QCOMPARE(env.host().wait_cursor_depth, 0);
    }

    void stretch_palette_dialog()
    {
        UiTestEnv env;
        focus_stretch = 12;
        max_stretch = 0;
        QString shown;
        bool checked = false;
        drive([&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Stretch Palette"));
            QCOMPARE(text_of(d, "102"), QStringLiteral("12"));
            QVERIFY(control<QPushButton>(d, "2") == nullptr);
            step(d, "104", Action::SliderPageStepAdd);
            QCOMPARE(focus_stretch, 16);
            step(d, "104", Action::SliderSingleStepAdd); // stays at 16
            step(d, "104", Action::SliderSingleStepSub, 2);
            control<QCheckBox>(d, "103")->click();
            shown = text_of(d, "102");
            checked = control<QCheckBox>(d, "103")->isChecked();
            press(d, "1");
        });
        env.window().CmStretchMax();
        QCOMPARE(focus_stretch, 14);
        QCOMPARE(shown, QStringLiteral("14"));
        QCOMPARE(max_stretch, 1);
        QVERIFY(checked);

        env.window().CmMaxStretchOff();
        QCOMPARE(max_stretch, 0);
        env.window().CmMaxStretchOn();
        QCOMPARE(max_stretch, 1);
    }
};

QTEST_MAIN(ContrastDialogsTest)
#include "contrast_dialogs_test.moc"
