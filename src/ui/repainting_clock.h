// The program's clock: the system clock, except that a wait on the program's
// own thread serves the window system meanwhile. The device loops wait
// without taking input (a download, an exposure, a telescope pulse), and
// what arrives meanwhile (a window uncovered, a question of the
// accessibility bus, a timer) is answered as it comes instead of when the
// wait ends. Keys and mouse buttons stay queued for the loop's own pump,
// which decides what they stop.
#pragma once

#include "app/clock.h"

class RepaintingClock : public SystemClock {
public:
    void sleep_ms(int ms) override;
};
