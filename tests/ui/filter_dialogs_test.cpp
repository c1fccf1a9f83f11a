#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <string>

#include "app/quillon_window.h"
#include "app/state.h"
#include "processing/contrast_dialogs.h"
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
    // Where only the arrows act, the thumb cannot be dragged and the track
    // does nothing: the bar never shows a value that is not held. The edits
    // beside the bars only show values and cannot be typed into.
    void arrows_only_bars_ignore_thumb_and_track_and_their_edits_are_read_only()
    {
        UiTestEnv env;
        white = 3;
        black = 1;
        TUnsharpDialog unsharp(nullptr, QStringLiteral("Quillon"));
        TMedianDialog median;
        TPowerDialog power;
        TNonLiniarDialog non_linear;
        const struct {
            QDialog* dialog;
            const char* bar;
            const char* edit;
        } bars[] = { { &unsharp, "101", "103" }, { &unsharp, "102", "104" }, { &median, "103", "101" },
            { &median, "104", "102" }, { &power, "101", "102" }, { &non_linear, "213", "102" } };
        for (const auto& b : bars) {
            b.dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(b.dialog));
            auto* bar = control<QScrollBar>(b.dialog, QString::fromLatin1(b.bar));
            auto* edit = control<QLineEdit>(b.dialog, QString::fromLatin1(b.edit));
            QVERIFY2(bar != nullptr && edit != nullptr, b.bar);
            QVERIFY2(edit->isReadOnly(), b.edit);
            QVERIFY2(!edit->accessibleName().isEmpty(), b.edit);
            QCOMPARE(bar->accessibleName(), edit->accessibleName());
            const int before = bar->sliderPosition();
            const QString shown = edit->text();
            const int y = bar->height() / 2;
            // A click on the track either side, and a drag of the thumb.
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 4, y));
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, y));
            QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, y));
            QTest::mouseMove(bar, QPoint(bar->width() - 30, y));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() - 30, y));
            QCOMPARE(bar->sliderPosition(), before);
            QCOMPARE(edit->text(), shown);
            // The left arrow still steps.
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(3, y));
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 3, y));
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 3, y));
            QVERIFY2(edit->text() != shown, b.bar);
            b.dialog->hide();
        }
    }

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
