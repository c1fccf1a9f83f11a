// The one timed wait of the core. Every delay of the device loops (exposure
// timing, telescope pulses, control-box bytes) waits through it, so a manual
// clock runs them in no time and the real clock never pins a core.
#pragma once

#include <cstdint>

// Waits until the program clock reaches `deadline_ms` without dispatching
// events. On the real clock it sleeps between polls, never oversleeping the
// deadline; a manual clock is advanced.
void wait_until(std::int64_t deadline_ms);
// wait_until(now + ms).
void wait_ms(int ms);
