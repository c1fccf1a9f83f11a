#include <QtTest>

#include <QMainWindow>
#include <QScreen>

#include "app/quillon_window.h"
#include "app/state.h"
#include "ui/placement.h"
#include "ui_test_env.h"

class PlacementTest : public QObject {
    Q_OBJECT

private slots:
    // Windows open beside the main window, each in a free place, on the
    // screen; never over the menu and control bar when nothing is free.
    void free_place_goes_beside_the_owner_and_the_windows_already_there()
    {
        const QRect room(0, 0, 1280, 1024);
        const QRect owner(0, 0, 710, 500);
        const QSize hist(440, 290);
        const struct {
            const char* what;
            QSize size;
            QList<QRect> taken;
            QRect expected;
        } cases[] = {
            { "first window: right of the owner", hist, {}, QRect(QPoint(710, 0), hist) },
            { "second: under the first", QSize(400, 300), { QRect(710, 0, 440, 290) },
                QRect(710, 290, 400, 300) },
            { "right column full: under the owner", QSize(500, 400),
                { QRect(710, 0, 570, 520), QRect(710, 520, 570, 504) }, QRect(0, 500, 500, 400) },
            { "no room anywhere: on the screen, below the bars", QSize(1200, 900),
                { QRect(710, 0, 570, 1024), QRect(0, 500, 710, 524) }, QRect(80, 60, 1200, 900) },
        };
        for (const auto& c : cases) {
            const QRect place = free_place(c.size, owner, 60, c.taken, room);
            QVERIFY2(room.contains(place), c.what);
            QCOMPARE(place, c.expected);
        }
    }

    // The analysis windows open each in its own place and on the screen; the
    // main window, however large it was asked to be, fits the screen.
    void analysis_windows_do_not_stack_and_every_window_fits_the_screen()
    {
        UiTestEnv env;
        // As on a high-DPI screen: the frame asks for more than the screen has.
        env.frame().hide();
        env.frame().resize(4000, 3000);
        env.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&env.frame()));
        const QRect room = env.frame().screen()->availableGeometry();
        QVERIFY(room.contains(env.frame().frameGeometry()));

        env.frame().resize(500, 350);
        env.frame().move(room.topLeft());
        env.window().CmHistogram();
        env.window().blink_comparison();
        env.window().Help_Using();
        QList<QWidget*> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != &env.frame() && w->isVisible())
                windows << w;
        QCOMPARE(windows.size(), 3);
        for (int i = 0; i < windows.size(); ++i) {
            QVERIFY2(room.contains(windows[i]->frameGeometry()), qPrintable(windows[i]->windowTitle()));
            for (int j = 0; j < i; ++j)
                QVERIFY(windows[i]->frameGeometry().topLeft() != windows[j]->frameGeometry().topLeft());
        }
        for (QWidget* w : windows)
            w->close();
    }
};

QTEST_MAIN(PlacementTest)
#include "placement_test.moc"
