// The camera loops' timed wait: passes of work until a deadline, each pass
// followed by the core's one wait (app/wait.h), so a manual clock runs it in
// no time and the real clock never pins a core.
#pragma once

#include <cstdint>
#include <functional>

// What a pass returns to end the wait at once.
constexpr std::int64_t end_wait = -1;

// Waits until the program clock reaches `end`, which is read again on every
// pass: a stop request that moves it to the present ends the wait at the
// next pass. Each pass stores the time in `ticks`, runs `pass` and then
// sleeps until the time `pass` returned, never past `end`. False when a pass
// returned end_wait.
bool wait_in_passes(std::int64_t& ticks, const std::int64_t& end, const std::function<std::int64_t()>& pass);
