// Dithering between self-guided frames: before each frame of a run after
// the first, the guide reference moves by a small random offset and the
// exposure waits until guiding has brought the star there, so the frames'
// fixed-pattern noise lands on different sky.
#pragma once

#include <cstdint>
#include <random>

#include "app/host.h"
#include "telescope/guide_options.h"

// Offsets from the run's first reference: a random walk pulled back to the
// start. Each step moves between half and all of `size` in a random
// direction from half the last offset, so no offset lies further than
// bound() from the start, and every dither moves the star visibly.
class DitherPattern {
public:
    explicit DitherPattern(double size_px, std::uint64_t seed = 1);
    void next(double& x, double& y);
    double bound() const { return 2 * size_; }

private:
    double size_;
    double x_ = 0, y_ = 0;
    std::mt19937_64 rng_;
};

// Counts guide frames under the threshold in a row.
class SettleTracker {
public:
    SettleTracker(double threshold_px, int frames_needed)
        : threshold_(threshold_px)
        , needed_(frames_needed)
    {
    }
    // One measured frame; true once settled.
    bool add(double dx, double dy);
    // A frame without a measurement (skipped, paused) breaks the run.
    void interrupt() { in_row_ = 0; }
    bool settled() const { return in_row_ >= needed_; }

private:
    double threshold_;
    int needed_;
    int in_row_ = 0;
};

// Called by the exposure loop once self-guiding is ready, just before a
// self-guided exposure starts. The first frame of a run takes the star where
// it is; later ones, with dithering on, move the reference and guide until
// the star has settled or the settle time has passed. Then the exposure is
// announced to the guide log. A stop request during settling leaves
// `selfguiding` cleared, and the exposure loop ends the run as it does for a
// press during the exposure.
void prepare_selfguided_exposure(EventPump& pump, FrameDisplay& display, RunWindows& windows);

// The exposure loop's command has ended: the next self-guided frame starts
// a new run (and a new pattern).
void end_selfguided_run();
// Forgets the run's first reference and pattern without ending a guide run.
void reset_selfguided_run();
