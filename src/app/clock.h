// The Clock seam: the millisecond clock, the runtime clock in seconds and the
// local date and time. The program installs the system clock; tests install a
// ManualClock and run minutes of exposure in microseconds.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

#include "app/installed.h"

class Clock {
public:
    virtual ~Clock() = default;
    // Steady milliseconds; 64-bit, so it never wraps.
    virtual std::int64_t now_ms() = 0;
    // Wall-clock seconds since the epoch (the runtime clock).
    virtual std::int64_t now_seconds() = 0;
    // Local date and time.
    virtual std::tm local_time() = 0;
    // Lets a wait of `ms` pass without pinning a core; a manual clock just
    // advances.
    virtual void sleep_ms(int ms) = 0;
};

class SystemClock : public Clock {
public:
    std::int64_t now_ms() override;
    std::int64_t now_seconds() override;
    std::tm local_time() override;
    void sleep_ms(int ms) override;
};

// A clock that moves only when told (or when something sleeps on it).
//
// A loop that polls it without ever sleeping or advancing it would spin
// forever: after `stall_limit` polls in a row at one time, now_ms() calls
// `on_stall` (the test support reports a failure there) and throws
// std::logic_error, so a forgotten wait fails its test instead of hanging it.
class ManualClock : public Clock {
public:
    std::int64_t ms = 0;
    std::int64_t epoch_seconds = 1'700'000'000;
    std::tm local{};
    long stall_limit = 100'000;
    std::function<void()> on_stall;

    std::int64_t now_ms() override;
    std::int64_t now_seconds() override { return epoch_seconds + ms / 1000; }
    std::tm local_time() override { return local; }
    void sleep_ms(int d) override { ms += d; }
    void advance(std::int64_t d) { ms += d; }

private:
    std::int64_t polled_ms_ = -1;
    long polls_ = 0;
};

// The installed clock; the system clock until set_clock() installs another.
extern Installed<Clock> installed_clock;
inline Clock& program_clock()
{
    return installed_clock.current();
}
// Installs `c` (not owned); nullptr restores the system clock.
inline void set_clock(Clock* c)
{
    installed_clock.install(c);
}
