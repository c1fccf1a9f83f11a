// The frame as it comes up: caption, size, scroll bars, the control bar, the
// status bar, the accelerators, undo and the start-up state.
#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <cstring>

#include "app/command_table.h"
#include "app/control_bar.h"
#include "app/main_frame.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/settings_file.h"
#include "display/palette.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {
// The bar as text: command numbers, "|<width>" for a separator.
QStringList bar_layout(QToolBar& bar)
{
    QStringList gadgets;
    for (QAction* action : bar.actions()) {
        if (QWidget* widget = bar.widgetForAction(action); widget && widget->objectName() == "separator")
            gadgets << QStringLiteral("|%1").arg(widget->width());
        else
            gadgets << action->objectName();
    }
    return gadgets;
}

const QStringList expected_bar = { "24333", "24335", "24332", "|8", "12", "|6", "1901", "1902", "|8", "121",
    "|6", "14", "|6", "1", "117", "2", "120", "106", "3", "|6", "110", "115", "111" };


void make_active(QMainWindow& frame)
{
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
}

QList<QAction*> buttons(QToolBar& bar)
{
    QList<QAction*> result;
    for (QAction* action : bar.actions())
        if (action->objectName() != "separator")
            result << action;
    return result;
}
} // namespace

class FrameTest : public QObject {
    Q_OBJECT

private slots:
    void frame_comes_up_untitled_with_both_scroll_bars()
    {
        UiTestEnv env;
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - (Untitled)"));
        QCOMPARE(env.frame().geometry().size(), QSize(710, 500));
        QCOMPARE(env.frame().pos(), QPoint(0, 0));
        QCOMPARE(env.window().horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(env.window().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // The scroller follows the bitmap: with nothing shown there is nothing to scroll.
        QCOMPARE(env.window().horizontalScrollBar()->maximum(), 0);
        QVERIFY(env.window().Dib == nullptr);
        QCOMPARE(env.window().Fit, 0);
        QVERIFY(env.frame().statusBar() != nullptr);
        QCOMPARE(env.frame().statusBar()->objectName(), QStringLiteral("sb"));
        QVERIFY(!env.frame().windowIcon().isNull());
    }

    void control_bar_without_a_telescope_has_seventeen_buttons()
    {
        UiTestEnv env;
        auto* bar = env.frame().findChild<QToolBar*>("cb");
        QVERIFY(bar != nullptr);
        QCOMPARE(bar_layout(*bar), expected_bar);
        QCOMPARE(buttons(*bar).size(), 17);
        for (QAction* button : buttons(*bar)) {
            QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
            QCOMPARE(button->statusTip(), command_hint(button->objectName().toInt()));
            QVERIFY(!button->statusTip().isEmpty());
        }
    }

    void control_bar_with_a_telescope_ends_with_the_telescope_button()
    {
        UiTestEnv env;
        // The window loads the settings as it is built: configure the
        // control box there.
        telescope = 'b';
        QCOMPARE(SaveINIFile(ini_file.c_str()), 0);
        telescope = 'n';
        MainFrame built = build_main_frame();
        QCOMPARE(telescope, 'b');
        QCOMPARE(built.cb->objectName(), QStringLiteral("cb"));
        QStringList expected = expected_bar;
        expected << "24";
        QCOMPARE(bar_layout(*built.cb), expected);
        QCOMPARE(buttons(*built.cb).size(), 18);
        QCOMPARE(built.cb->actions().last(), built.TelescopeControl);
        QVERIFY(built.TelescopeControl->isEnabled());
        QCOMPARE(built.TelescopeControl->statusTip(),
            QStringLiteral("Control a LX200 telescope or Autoguider port"));

        // Configured away later: the button stays but is greyed.
        telescope = 'n';
        refresh_command_states(*built.frame, *built.client);
        QVERIFY(!built.TelescopeControl->isEnabled());
    }

    void buttons_send_their_numbers_and_show_their_hints()
    {
        UiTestEnv env;
        auto* bar = env.frame().findChild<QToolBar*>("cb");
        CommandRecorder recorder;
        QList<int> expected;
        for (QAction* button : buttons(*bar)) {
            auto* widget = qobject_cast<QToolButton*>(bar->widgetForAction(button));
            QVERIFY(widget != nullptr);
            QTest::mouseClick(widget, Qt::LeftButton);
            expected << button->objectName().toInt();
        }
        QCOMPARE(recorder.seen, expected);

        // Entering a button shows its hint in the status bar.
        QWidget* remove_background = bar->widgetForAction(bar->findChild<QAction*>("120"));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(remove_background, &enter);
        QCOMPARE(
            env.frame().statusBar()->currentMessage(), QStringLiteral("Automatically make background black"));
    }

    void status_bar_shows_the_lock_and_overtype_indicators()
    {
        UiTestEnv env;
        QStatusBar* bar = env.frame().statusBar();
        for (const char* name : { "CAP", "NUM", "OVR" }) {
            auto* label = bar->findChild<QLabel*>(name);
            QVERIFY(label != nullptr);
            QCOMPARE(label->text(), QString::fromLatin1(name));
            QVERIFY(label->isVisible());
        }
        QCOMPARE(bar->font().pointSize(), 10);
        auto* overtype = bar->findChild<QLabel*>("OVR");
        QVERIFY(!overtype->isEnabled());
        QTest::keyClick(env.frame().windowHandle(), Qt::Key_Insert);
        QVERIFY(overtype->isEnabled());
        QTest::keyClick(env.frame().windowHandle(), Qt::Key_Insert);
        QVERIFY(!overtype->isEnabled());
    }

    void accelerators_send_their_commands()
    {
        UiTestEnv env;
        make_active(env.frame());
        CommandRecorder recorder;
        const QList<QPair<QKeyCombination, int>> keys = {
            { Qt::CTRL | Qt::Key_Z, 12 },
            { Qt::CTRL | Qt::Key_H, 6 },
            { Qt::CTRL | Qt::Key_L, 8 },
            { Qt::CTRL | Qt::Key_Q, 24336 },
            { Qt::CTRL | Qt::Key_P, 21 },
            { Qt::CTRL | Qt::Key_W, 25 },
            { Qt::CTRL | Qt::Key_S, 24333 },
            { Qt::CTRL | Qt::Key_U, 9 },
            { Qt::CTRL | Qt::Key_N, 1 },
            { Qt::CTRL | Qt::Key_B, 120 },
            { Qt::CTRL | Qt::Key_O, 24332 },
            { Qt::CTRL | Qt::Key_M, 726 },
            { QKeyCombination(Qt::Key_Return), 726 },
            { QKeyCombination(Qt::Key_Enter), 726 },
            { Qt::ALT | Qt::Key_X, 24310 },
            { Qt::ALT | Qt::SHIFT | Qt::Key_X, 24310 },
        };
        for (const auto& [key, number] : keys) {
            recorder.seen.clear();
            QTest::keyClick(&env.window(), key.key(), key.keyboardModifiers());
            QCOMPARE(recorder.seen, QList<int> { number });
        }
        // Copy's menu text names Shift+Ins, but it has no key.
        recorder.seen.clear();
        QTest::keyClick(&env.window(), Qt::Key_Insert, Qt::ShiftModifier);
        QVERIFY(recorder.seen.isEmpty());
    }

    void alt_x_closes_the_frame()
    {
        for (Qt::KeyboardModifiers mods :
            { Qt::KeyboardModifiers(Qt::AltModifier), Qt::AltModifier | Qt::ShiftModifier }) {
            UiTestEnv env;
            QGuiApplication::setQuitOnLastWindowClosed(false);
            make_active(env.frame());
            QVERIFY(env.frame().isVisible());
            QTest::keyClick(&env.window(), Qt::Key_X, mods);
            QVERIFY(!env.frame().isVisible());
        }
    }

    void undo_restores_the_image_and_leaves_an_empty_history_empty()
    {
        UiTestEnv env;
        start_frame_buffers();
        make_active(env.frame());
        env.window().undo_save_option();
        std::fill(image, image + intlength, static_cast<unsigned short>(7));
        QCOMPARE(history_count(), 0);
        QTest::keyClick(&env.window(), Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(image[width1 * 1], static_cast<unsigned short>(225));
        QCOMPARE(image[width1 * 289 + 375], static_cast<unsigned short>(65025));
        QCOMPARE(history_count(), 0);
    }

    void undo_with_a_full_history_keeps_all_fifteen_entries()
    {
        UiTestEnv env;
        start_frame_buffers();
        for (int i = 0; i < 15; ++i)
            append_history(qPrintable(QStringLiteral("Step %1").arg(i)));
        env.window().undo_save_option();
        image[0] = 1234;
        QVERIFY(env.window().dispatch(9));
        QCOMPARE(image[0], static_cast<unsigned short>(0));
        QCOMPARE(history_count(), 15);
        QCOMPARE(QString::fromLatin1(process_info[14]), QStringLiteral("Step 14"));

        // One entry fewer: undo removes the last one, and repeats the copy.
        process_info[14][0] = '\0';
        image[0] = 99;
        QVERIFY(env.window().dispatch(9));
        QVERIFY(env.window().dispatch(9));
        QCOMPARE(image[0], static_cast<unsigned short>(0));
        QCOMPARE(history_count(), 12);
    }

    void start_up_fills_the_ramp_palette_and_display_table()
    {
        UiTestEnv env;
        std::fill(table, table + 257, 5u);
        std::fill(comparison, comparison + frame_samples, static_cast<unsigned short>(3));
        std::fill(save, save + frame_samples, static_cast<unsigned short>(9));
        start_frame_buffers();
        QCOMPARE(image, image_int);
        QCOMPARE(undo, undo_int);
        QCOMPARE(comparison, comparison_int);
        QCOMPARE(width1, 376);
        QCOMPARE(height1, 290);
        for (unsigned short* frame : { image, trial, undo }) {
            QCOMPARE(frame[0], static_cast<unsigned short>(0));
            QCOMPARE(frame[375], static_cast<unsigned short>(0));
            QCOMPARE(frame[width1 * 1 + 100], static_cast<unsigned short>(225));
            QCOMPARE(frame[width1 * 289], static_cast<unsigned short>(65025));
            QCOMPARE(frame[width1 * 289 + 375], static_cast<unsigned short>(65025));
        }
        QCOMPARE(save[width1 * 200 + 10], static_cast<unsigned short>(0));
        QCOMPARE(comparison[width1 * 200 + 10], static_cast<unsigned short>(3));
        for (int i = 0; i < 256; ++i)
            QCOMPARE(table[i], 0u);
        for (int i : { 0, 1, 128, 255 }) {
            QCOMPARE(int(pallet_c[i].red), i);
            QCOMPARE(int(pallet_c[i].blue), i);
            QCOMPARE(int(pallet_c[i].flags), int(palette_reserved));
            QCOMPARE(int(greyPal[i].green), i);
        }
    }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
