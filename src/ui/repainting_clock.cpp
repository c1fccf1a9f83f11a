#include "ui/repainting_clock.h"

#include <QCoreApplication>

namespace {
// Often enough to look alive, rarely enough to leave short waits exact.
constexpr int repaint_interval_ms = 40;
} // namespace

void RepaintingClock::sleep_ms(int ms)
{
    const std::int64_t start = now_ms();
    if (start - last_repaint_ms_ >= repaint_interval_ms && QCoreApplication::instance() != nullptr) {
        last_repaint_ms_ = start;
        // Paint and window-system events only: a key or click waits for the
        // loop's own pump, which decides what it stops.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // The time spent painting counts against the wait: it never oversleeps.
    const std::int64_t left = ms - (now_ms() - start);
    if (left > 0)
        SystemClock::sleep_ms(static_cast<int>(left));
}
