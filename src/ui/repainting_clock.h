// The program's clock: the system clock, except that a wait repaints the
// windows now and then. The device loops wait without taking input (a
// download, a sub-second exposure, a telescope pulse), and a window that is
// uncovered meanwhile must not stay grey until the wait ends.
#pragma once

#include <cstdint>

#include "app/clock.h"

class RepaintingClock : public SystemClock {
public:
    void sleep_ms(int ms) override;

private:
    std::int64_t last_repaint_ms_ = 0;
};
