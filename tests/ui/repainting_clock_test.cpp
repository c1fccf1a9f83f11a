// The program's clock: a wait serves what arrives meanwhile, as it arrives,
// and still never ends before its time.
#include <QtTest>

#include <QTimer>

#include <thread>

#include "ui/repainting_clock.h"

class RepaintingClockTest : public QObject {
    Q_OBJECT

private slots:
    // A timer due a few milliseconds into a wait runs inside the wait, not
    // after it; several in turn each run when due; the wait lasts its time.
    void events_are_served_as_they_arrive_during_a_wait()
    {
        RepaintingClock clock;
        struct Case {
            int wait_ms;
            QList<int> timers_ms;
        };
        const QList<Case> cases = { { 200, { 5 } }, { 300, { 5, 30, 70 } } };
        for (const Case& c : cases) {
            bool waiting = true;
            QList<bool> ran_inside;
            QList<std::int64_t> ran_at;
            const std::int64_t start = clock.now_ms();
            for (int due : c.timers_ms)
                QTimer::singleShot(due, Qt::PreciseTimer, [&] {
                    ran_inside << waiting;
                    ran_at << clock.now_ms() - start;
                });
            clock.sleep_ms(c.wait_ms);
            waiting = false;
            QVERIFY(clock.now_ms() - start >= c.wait_ms);
            QCOMPARE(ran_inside.size(), c.timers_ms.size());
            for (int i = 0; i < ran_inside.size(); ++i) {
                QVERIFY2(ran_inside[i], qPrintable(QString::number(c.timers_ms[i])));
                QVERIFY(ran_at[i] >= c.timers_ms[i]);
            }
            // In order, each after the one before.
            for (int i = 1; i < ran_at.size(); ++i)
                QVERIFY(ran_at[i] >= ran_at[i - 1]);
        }
    }

    // Waits of a millisecond or two (telescope byte gaps) are slept whole, and
    // a wait on another thread never runs the program thread's events.
    void short_waits_and_other_threads_serve_nothing()
    {
        RepaintingClock clock;
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        clock.sleep_ms(2);
        clock.sleep_ms(1);
        QVERIFY(!ran);
        std::thread other([&clock] { clock.sleep_ms(20); });
        other.join();
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }
};

QTEST_MAIN(RepaintingClockTest)
#include "repainting_clock_test.moc"
