#include "camera/timed_wait.h"

#include <algorithm>

#include "app/clock.h"
#include "app/wait.h"

bool wait_in_passes(std::int64_t& ticks, const std::int64_t& end, const std::function<std::int64_t()>& pass)
{
    Clock& clock = program_clock();
    while ((ticks = clock.now_ms()) < end) {
        const std::int64_t next = pass();
        if (next == end_wait)
            return false;
        if (clock.now_ms() < end)
            wait_until(std::min(end, next));
    }
    return true;
}
