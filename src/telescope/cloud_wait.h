// A passing cloud: a guide star that fades below a quarter of its reference
// brightness is not chased through the noise. Corrections pause while it is
// gone; when it comes back near its place guiding resumes, and only when it
// stays away longer than the user's wait does guiding end as for a lost star.
#pragma once

#include <cstdint>

class CloudWait {
public:
    enum class Verdict {
        clear, // the star is there: guide as usual
        paused, // the star faded on this frame: corrections pause
        waiting, // still gone, still within the wait
        resumed, // back after a pause: guide on from this frame
        gave_up, // gone for longer than the wait: guiding ends
    };

    // One guide frame: whether the star is gone (faded, or not back near its
    // place), the time, and the wait allowed.
    Verdict check(bool gone, std::int64_t now_ms, int wait_s);
    bool paused() const { return paused_; }
    void reset() { paused_ = false; }

private:
    bool paused_ = false;
    std::int64_t since_ms_ = 0;
};

// A star's brightness against its reference: below a quarter it has faded.
inline bool star_has_faded(int signal, int reference_signal)
{
    return reference_signal > 0 && signal * 4 < reference_signal;
}
