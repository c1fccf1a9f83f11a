#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <string>

#include "app/quillon_window.h"
#include "app/state.h"
#include "processing/filter_dialogs.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {

void drive(std::function<void(QDialog*)> act)
{
    when_modal_shows([act](QDialog* d) {
        act(d);
        if (d->isVisible())
            d->reject();
    });
}


QString history(int i)
{
    return QString::fromLatin1(process_info[i]);
}

// A smooth frame with one hot pixel in the middle.
void fill_with_hot_pixel()
{
    for (int y = 0; y < height1; ++y)
        for (int x = 0; x < width1; ++x)
            image[y * width1 + x] = static_cast<unsigned short>(1000 + x + y);
    image[100 * width1 + 100] = 60000;
}
} // namespace

class FilterDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void unsharp_dialog_sets_radius_and_power()
    {
        UiTestEnv env;
        fill_with_hot_pixel();
        QString radius_text, power_text;
        drive([&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Unsharp Mask Filter"));
            QCOMPARE(text_of(d, "103"), QStringLiteral("3"));
            QCOMPARE(text_of(d, "104"), QStringLiteral("1"));
            step(d, "101", Action::SliderSingleStepAdd, 10); // stops at 7
            step(d, "101", Action::SliderSingleStepSub, 2);
            step(d, "101", Action::SliderPageStepAdd); // pages do nothing
            step(d, "102", Action::SliderSingleStepSub, 3); // stops at 1
            step(d, "102", Action::SliderSingleStepAdd, 1);
            radius_text = text_of(d, "103");
            power_text = text_of(d, "104");
            press(d, "9");
            press(d, "1");
        });
        env.window().unsharp_enhance();
        QCOMPARE(radius_text, QStringLiteral("5"));
        QCOMPARE(power_text, QStringLiteral("2"));
        QCOMPARE(history(0), QStringLiteral("Unsharp Mask : rad 5 ,power 2"));
        QCOMPARE(static_cast<int>(image[100 * width1 + 100]), 65535);
        QCOMPARE(static_cast<int>(undo[100 * width1 + 100]), 60000);
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).caption), env.window().caption());
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).text),
            QStringLiteral("Use controls to vary the radius from 1 to 7, and the power from 1 to 7."));
        QCOMPARE(env.host().wait_cursor_depth, 0);
    }

    void unsharp_cancel_changes_nothing()
    {
        UiTestEnv env;
        fill_with_hot_pixel();
        drive([](QDialog* d) { press(d, "2"); });
        env.window().unsharp_enhance();
        QCOMPARE(history_count(), 0);
        QCOMPARE(static_cast<int>(image[100 * width1 + 100]), 60000);
    }

    void median_dialog_sets_radius_and_power()
    {
        UiTestEnv env;
        fill_with_hot_pixel();
        QString radius_text, power_text;
        drive([&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Median Filter"));
            QCOMPARE(text_of(d, "101"), QStringLiteral("1"));
            QCOMPARE(text_of(d, "102"), QStringLiteral(".6"));
            step(d, "103", Action::SliderSingleStepAdd, 5); // stops at 3
            step(d, "103", Action::SliderSingleStepSub);
            step(d, "104", Action::SliderSingleStepAdd, 8); // stops at 10
            QCOMPARE(text_of(d, "102"), QStringLiteral("1.0"));
            step(d, "104", Action::SliderSingleStepSub, 12); // stops at 1
            step(d, "104", Action::SliderSingleStepAdd, 1);
            radius_text = text_of(d, "101");
            power_text = text_of(d, "102");
            press(d, "9");
            press(d, "1");
        });
        env.window().median_enhance();
        QCOMPARE(radius_text, QStringLiteral("2"));
        QCOMPARE(power_text, QStringLiteral("0.2"));
        QCOMPARE(history(0), QStringLiteral("Median Filter : rad 2 ,power 0.2"));
        QCOMPARE(static_cast<int>(image[100 * width1 + 100]), 1200); // the median of a plane
        QCOMPARE(static_cast<int>(undo[100 * width1 + 100]), 60000);
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).caption),
            QStringLiteral("Quillon - Median Filter"));
        QCOMPARE(QString::fromStdString(env.host().boxes.at(0).text),
            QStringLiteral("Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1."));
        QCOMPARE(env.host().progress_opens, 0);
    }

    void median_cancel_changes_nothing()
    {
        UiTestEnv env;
        fill_with_hot_pixel();
        drive([](QDialog* d) { press(d, "2"); });
        env.window().median_enhance();
        QCOMPARE(history_count(), 0);
        QCOMPARE(static_cast<int>(image[100 * width1 + 100]), 60000);
    }

    void kernel_commands_record_their_steps()
    {
        UiTestEnv env;
        struct Command {
            void (TQuillonWindow::*run)();
            const char* history;
        };
        const Command commands[] = {
            { &TQuillonWindow::gaussian_enhance, "Gaussian Filter" },
            { &TQuillonWindow::lowpass_enhance, "Lowpass Smoother Filter" },
            { &TQuillonWindow::highlow_enhance, "High Pass Low Power Filter" },
            { &TQuillonWindow::highhigh_enhance, "High Pass High Power Filter" },
            { &TQuillonWindow::smoothsharp_enhance, "Smoother/Sharper Filter" },
            { &TQuillonWindow::basrelief_enhance, "Bas Relief Filter" },
            { &TQuillonWindow::venetian_enhance, "Vertical Smoothing Filter" },
            { &TQuillonWindow::gradient_enhance, "Gradient Filter" },
        };
        int i = 0;
        for (const Command& c : commands) {
            fill_with_hot_pixel();
            (env.window().*c.run)();
            QCOMPARE(history(i), QString::fromLatin1(c.history));
            QCOMPARE(static_cast<int>(undo[100 * width1 + 100]), 60000);
            QVERIFY2(
                image[100 * width1 + 100] != 60000 || c.run == &TQuillonWindow::gradient_enhance, c.history);
            ++i;
        }
        QCOMPARE(env.host().progress_opens, 6);
        QCOMPARE(env.host().progress_closes, 6);
        QCOMPARE(env.host().wait_cursor_depth, 0);
    }
};

QTEST_MAIN(FilterDialogsTest)
#include "filter_dialogs_test.moc"
