#include "ui/repainting_clock.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace {
// The last milliseconds of a wait are slept without serving anything: an
// event that takes a moment to answer cannot stretch a short telescope pulse
// or push an exposure's end, and waits this short stay as exact as before.
constexpr int exact_tail_ms = 2;

bool on_program_thread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->thread() == QThread::currentThread();
}
} // namespace

void RepaintingClock::sleep_ms(int ms)
{
    if (ms <= exact_tail_ms || !on_program_thread()) {
        SystemClock::sleep_ms(ms);
        return;
    }
    const std::int64_t end = now_ms() + ms;
    // The timer only wakes the wait below at the start of the exact tail;
    // between, the thread sleeps until something arrives, costing nothing.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        const std::int64_t left = end - now_ms();
        if (left <= exact_tail_ms) {
            SystemClock::sleep_ms(static_cast<int>(left));
            return;
        }
        wake.start(static_cast<int>(left - exact_tail_ms));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
}
