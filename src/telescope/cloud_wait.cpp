#include "telescope/cloud_wait.h"

CloudWait::Verdict CloudWait::check(bool gone, std::int64_t now_ms, int wait_s)
{
    if (!gone) {
        if (!paused_)
            return Verdict::clear;
        paused_ = false;
        return Verdict::resumed;
    }
    if (!paused_) {
        // No wait at all: gone is lost, at once.
        if (wait_s <= 0)
            return Verdict::gave_up;
        paused_ = true;
        since_ms_ = now_ms;
        return Verdict::paused;
    }
    if (now_ms - since_ms_ > static_cast<std::int64_t>(wait_s) * 1000) {
        paused_ = false;
        return Verdict::gave_up;
    }
    return Verdict::waiting;
}
