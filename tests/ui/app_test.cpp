// The application object itself: the start-up sequence and the way out.
#include <QtTest>

#include <QMainWindow>
#include <QToolBar>

#include "app/quillon_app.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/buffers.h"
#include "test_env.h"

class AppTest : public QObject {
    Q_OBJECT

public:
    explicit AppTest(TQuillonApp& app)
        : app_(app)
    {
    }

private slots:
    void starts_up_and_exit_ends_the_program_even_with_a_window_left_open()
    {
        begin_test_env();
        app_.InitInstance();
        QMainWindow* frame = app_.frame();
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->windowTitle(), QStringLiteral("Quillon - (Untitled)"));
        QCOMPARE(frame->geometry().size(), QSize(710, 500));
        QCOMPARE(frame->findChild<QToolBar*>("cb")->actions().size(), 17 + 6);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quillon"));
        // The start-up ramp is in place once the windows are up.
        QCOMPARE(image[width1 * 1], static_cast<unsigned short>(225));
        QCOMPARE(image[width1 * 289], static_cast<unsigned short>(65025));
        QCOMPARE(trial[width1 * 289], static_cast<unsigned short>(65025));

        // A stray window of the program must not keep it alive after Exit.
        QWidget stray;
        stray.show();
        QTimer::singleShot(0, [this] { app_.client()->dispatch(24310); });
        bool timed_out = false;
        QTimer::singleShot(5000, [&timed_out] {
            timed_out = true;
            QCoreApplication::exit(1);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!timed_out);
        QVERIFY(!frame->isVisible());
        end_test_env();
    }

private:
    TQuillonApp& app_;
};

int main(int argc, char** argv)
{
    TQuillonApp app(argc, argv);
    AppTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "app_test.moc"
