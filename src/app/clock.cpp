#include "app/clock.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

std::int64_t SystemClock::now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::now_seconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::tm SystemClock::local_time()
{
    std::time_t t = std::time(nullptr);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

void SystemClock::sleep_ms(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t ManualClock::now_ms()
{
    if (ms != polled_ms_) {
        polled_ms_ = ms;
        polls_ = 0;
    } else if (++polls_ >= stall_limit) {
        polls_ = 0;
        if (on_stall)
            on_stall();
        throw std::logic_error("the manual clock was polled " + std::to_string(stall_limit) +
                               " times without moving: a loop waits without a wait");
    }
    return ms;
}

namespace {
SystemClock system_clock;
} // namespace

Installed<Clock> installed_clock(system_clock);
