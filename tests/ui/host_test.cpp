// The Qt host: numbered messages in real boxes, the pump's stop request,
// the interruptible wait, internal commands and the wait cursor.
#include <QtTest>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>

#include "app/command_table.h"
#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/buffers.h"
#include "ui/qt_host.h"
#include "ui_test_env.h"

namespace {
// The Qt host in place of the recording host for one test.
struct WithQtHost {
    QtHost qt;
    explicit WithQtHost(TQuillonWindow& window)
    {
        qt.set_window(&window);
        set_host(&qt);
    }
    ~WithQtHost() { set_host(&test_env().host); }
};

struct ShownBox {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::Information;
    QStringList buttons;
    QWidget* owner = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
};

// Reads the next box and presses `answer` (OK when null).
void read_next_box(ShownBox& shown, QMessageBox::StandardButton answer = QMessageBox::Ok)
{
    when_modal_shows([&shown, answer](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QVERIFY(box != nullptr);
        shown.text = box->text();
        shown.caption = box->windowTitle();
        shown.icon = box->icon();
        shown.owner = box->parentWidget();
        shown.modality = box->windowModality();
        for (QAbstractButton* b : box->buttons())
            shown.buttons << b->text();
        box->button(answer)->click();
    });
}

// A long operation: pumps until a stop request ends it (bounded so a fault
// fails the test instead of hanging it).
int run_until_stopped()
{
    QElapsedTimer guard;
    guard.start();
    int steps = 0;
    while (!end_loop && guard.elapsed() < 5000) {
        host().clear_messages();
        ++steps;
    }
    return steps;
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
} // namespace

class HostTest : public QObject {
    Q_OBJECT

private slots:
    void every_message_number_shows_its_text_under_the_program_caption()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        for (int number = -1; number <= 57; ++number) {
            ShownBox shown;
            read_next_box(shown);
            const char* details = number == 50 ? "Exposure Series Completed" : nullptr;
            QCOMPARE(messages(number, details), box_ok);
            QCOMPARE(shown.text, QString::fromStdString(message_text(number, details)));
            QCOMPARE(shown.caption, QStringLiteral("Quillon"));
            QCOMPARE(shown.icon, QMessageBox::NoIcon);
            QCOMPARE(shown.buttons.size(), 1);
        }
        QCOMPARE(int(test_env().host.boxes.size()), 0);
    }

    void boxes_show_texts_as_written()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        ShownBox shown;
        read_next_box(shown);
        messages(51, "");
        QCOMPARE(shown.text, QStringLiteral("Guiding Terminated"));

        // A caller's text with markup characters is shown literally.
        ShownBox own;
        read_next_box(own);
        messages(50, "x position = <b>12</b>\ny position =    40");
        QCOMPARE(own.text, QStringLiteral("x position = <b>12</b>\ny position =    40"));

        ShownBox empty;
        read_next_box(empty);
        messages(0);
        QCOMPARE(empty.text, QString());
        QCOMPARE(empty.caption, QStringLiteral("Quillon"));
    }

    void boxes_with_other_buttons_answer_with_the_button_pressed()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        ShownBox shown;
        read_next_box(shown, QMessageBox::No);
        QCOMPARE(
            host().message_box("Delete the file?", "Quillon", BoxButtons::yes_no, BoxIcon::question), box_no);
        QCOMPARE(shown.buttons.size(), 2);
        QCOMPARE(shown.icon, QMessageBox::Question);
        read_next_box(shown, QMessageBox::Cancel);
        QCOMPARE(host().message_box("Go on?", "Quillon", BoxButtons::ok_cancel), box_cancel);
        read_next_box(shown, QMessageBox::Yes);
        QCOMPARE(host().message_box("Save?", "Quillon", BoxButtons::yes_no_cancel), box_yes);
    }

    // A box opens over the window that raised it: the modal dialog open at
    // the time, else the main window; it stays modal to the whole program.
    void boxes_belong_to_the_window_that_raised_them()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        ShownBox shown;
        read_next_box(shown);
        host().message_box("From the main window", "Quillon");
        QCOMPARE(shown.owner, static_cast<QWidget*>(&env.frame()));
        QCOMPARE(shown.modality, Qt::ApplicationModal);

        QDialog dialog(&env.frame());
        QWidget* dialog_owner = nullptr;
        when_modal_shows([&](QDialog* d) {
            if (d != &dialog)
                return;
            read_next_box(shown);
            host().message_box("From a dialog", "Quillon");
            dialog_owner = shown.owner;
            d->accept();
        });
        dialog.exec();
        QCOMPARE(dialog_owner, static_cast<QWidget*>(&dialog));
    }

    void a_key_press_during_a_run_stops_it_with_one_beep()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        no_images = 6;
        cont_work = 1;
        series_work = 1;
        series_exposure = 1;
        exposure = 8000;
        exposure_save = 2000;
        guiding = 1;
        continuous = 1;
        focus_x = 10;
        QTimer::singleShot(0, [&env] { QTest::keyClick(env.frame().windowHandle(), Qt::Key_Space); });
        QVERIFY(run_until_stopped() >= 1);
        QCOMPARE(end_loop, 1);
        QCOMPARE(no_images, 1);
        QCOMPARE(qt.qt.beeps(), 1);
        QCOMPARE(exposure, 2000);
        QCOMPARE(cont_work, 0);
        QCOMPARE(series_work, 0);
        QCOMPARE(guiding, 0);
        QCOMPARE(continuous, 0);
        QCOMPARE(focus_x, 312);
    }

    void a_left_or_right_button_press_stops_a_run_but_a_middle_one_does_not()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        QWindow* window = env.frame().windowHandle();
        const QPoint inside(300, 250);
        for (Qt::MouseButton button : { Qt::LeftButton, Qt::RightButton }) {
            end_loop = 0;
            no_images = 4;
            QTimer::singleShot(
                0, [window, button, inside] { QTest::mouseClick(window, button, {}, inside); });
            run_until_stopped();
            QCOMPARE(end_loop, 1);
            QCOMPARE(no_images, 1);
        }
        QCOMPARE(qt.qt.beeps(), 2);

        end_loop = 0;
        QTimer::singleShot(0, [window, inside] { QTest::mouseClick(window, Qt::MiddleButton, {}, inside); });
        for (int i = 0; i < 5; ++i)
            host().clear_messages();
        QCOMPARE(end_loop, 0);
        QCOMPARE(qt.qt.beeps(), 2);
    }

    void presses_outside_a_run_are_ordinary_input()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        QTest::keyClick(env.frame().windowHandle(), Qt::Key_Space);
        QTest::mouseClick(env.frame().windowHandle(), Qt::LeftButton, {}, QPoint(300, 250));
        QCOMPARE(end_loop, 0);
        QCOMPARE(qt.qt.beeps(), 0);
    }

    void during_a_run_enter_stops_instead_of_running_its_command()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        env.frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&env.frame()));
        CommandRecorder recorder;
        QTimer::singleShot(0, [&env] { QTest::keyClick(env.frame().windowHandle(), Qt::Key_Return); });
        run_until_stopped();
        QCOMPARE(end_loop, 1);
        QVERIFY(recorder.seen.isEmpty());
        // Outside the run the key is the accelerator again.
        QTest::keyClick(env.frame().windowHandle(), Qt::Key_Return);
        QCOMPARE(recorder.seen, QList<int> { 726 });
    }

    void keys_in_a_box_opened_during_a_run_belong_to_the_box()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        bool box_done = false;
        // A command dispatched from the pump shows a box; the user closes it
        // with Escape, and the run goes on.
        QTimer::singleShot(0, [&box_done] {
            when_modal_shows(
                [](QDialog* dialog) { QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape); });
            messages(50, "Exposure Series Completed");
            box_done = true;
        });
        QElapsedTimer guard;
        guard.start();
        while (!box_done && guard.elapsed() < 5000)
            host().clear_messages();
        QVERIFY(box_done);
        QCOMPARE(end_loop, 0);
        QCOMPARE(qt.qt.beeps(), 0);
    }

    void one_sec_delay_waits_its_time_or_ends_at_a_press()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        const std::int64_t start = test_env().clock.ms;
        QCOMPARE(host().one_sec_delay(2), 0);
        QVERIFY(test_env().clock.ms - start >= 2000);
        QCOMPARE(qt.qt.beeps(), 0);

        const std::int64_t pressed_at = test_env().clock.ms;
        QTimer::singleShot(0, [&env] { QTest::keyClick(env.frame().windowHandle(), Qt::Key_A); });
        QCOMPARE(host().one_sec_delay(1), 1);
        QVERIFY(test_env().clock.ms - pressed_at < 1000);
        QCOMPARE(qt.qt.beeps(), 1);
        // The caller decides what stops: the wait itself sets no flag.
        QCOMPARE(end_loop, 0);
        QCOMPARE(no_images, 1);
    }

    void internal_commands_run_on_the_main_window()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        CommandRecorder recorder;
        host().send_command(888);
        host().send_command(925);
        QCOMPARE(recorder.seen, (QList<int> { 888, 925 }));
    }

    void what_the_device_loops_show_reaches_the_windows()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        const auto progress_window = [] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->objectName() == QStringLiteral("Filter Progress"))
                    return top;
            return static_cast<QWidget*>(nullptr);
        };
        // Created hidden, shown later, closed by its owner.
        host().progress_create();
        QVERIFY(progress_window() != nullptr);
        QVERIFY(!progress_window()->isVisible());
        host().progress_show();
        QVERIFY(progress_window()->isVisible());
        host().progress_close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(progress_window() == nullptr);

        // Repaints happen now, not at the next return to the event loop.
        QVERIFY(QTest::qWaitForWindowExposed(&env.frame()));
        PaintCounter window_paints(env.window().viewport());
        host().redraw_window();
        QCOMPARE(window_paints.paints, 1);
        QWidget focus_view(&env.window());
        focus_view.resize(128, 128);
        focus_view.show();
        PaintCounter focus_paints(&focus_view);
        host().focus_frame_update();
        QCOMPARE(focus_paints.paints, 0);
        qt.qt.set_focus_view(&focus_view);
        host().focus_frame_update();
        QCOMPARE(focus_paints.paints, 1);

        // A new frame goes the way of a shown frame: its history restarts
        // with the calibration applied, and the display is rebuilt.
        darkframe_remove = 1;
        append_history("Old Step");
        image_int[0] = 40000;
        host().show_frame();
        QCOMPARE(QString(process_info[0]), QStringLiteral("Dark Frame Subtracted"));
        QCOMPARE(history_count(), 1);
        QVERIFY(env.window().Dib != nullptr);
    }

    void wait_cursor_is_shown_and_taken_back()
    {
        UiTestEnv env;
        WithQtHost qt(env.window());
        host().wait_cursor(true);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        host().wait_cursor(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // An extra "off" does not take away a cursor someone else set.
        QApplication::setOverrideCursor(Qt::CrossCursor);
        host().wait_cursor(false);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QApplication::restoreOverrideCursor();
    }
};

QTEST_MAIN(HostTest)
#include "host_test.moc"
