#include "app/wait.h"

#include <algorithm>

#include "app/clock.h"

void wait_until(std::int64_t deadline_ms)
{
    Clock& clock = program_clock();
    for (;;) {
        const std::int64_t left = deadline_ms - clock.now_ms();
        if (left <= 0)
            return;
        // Short sleeps near the deadline keep millisecond pulses exact.
        clock.sleep_ms(static_cast<int>(std::min<std::int64_t>(left, 10)));
    }
}

void wait_ms(int ms)
{
    wait_until(program_clock().now_ms() + ms);
}
