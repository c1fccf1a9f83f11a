#include "app/clock.h"

#include <chrono>
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

namespace {
SystemClock system_clock;
Clock* installed = &system_clock;
} // namespace

Clock& program_clock()
{
    return *installed;
}

void set_clock(Clock* c)
{
    installed = c != nullptr ? c : &system_clock;
}
