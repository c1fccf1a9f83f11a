// The Clock seam: the millisecond clock, the runtime clock in seconds and the
// local date and time. The program installs the system clock; tests install a
// ManualClock and run minutes of exposure in microseconds.
#pragma once

#include <cstdint>
#include <ctime>

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
class ManualClock : public Clock {
public:
    std::int64_t ms = 0;
    std::int64_t epoch_seconds = 1'700'000'000;
    std::tm local{};

    std::int64_t now_ms() override { return ms; }
    std::int64_t now_seconds() override { return epoch_seconds + ms / 1000; }
    std::tm local_time() override { return local; }
    void sleep_ms(int d) override { ms += d; }
    void advance(std::int64_t d) { ms += d; }
};

// The installed clock; the system clock until set_clock() installs another.
Clock& program_clock();
// Installs `c` (not owned); nullptr restores the system clock.
void set_clock(Clock* c);
