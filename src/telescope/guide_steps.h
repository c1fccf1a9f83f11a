// The guider's arithmetic as steps: each takes a measured star position and
// says which timed move comes next. The loops that read frames and drive the
// telescope (guiding.h) are thin drivers over these, so the corrections and
// the training can be checked a position at a time.
#pragma once

// One timed guide move: a direction letter (the swappable e, w, n, s) and
// its length. direction 0 or ms <= 0: nothing to send.
struct GuidePulse {
    char direction = 0;
    int ms = 0;
    bool moves() const { return direction != 0 && ms > 0; }
};

// What one guide frame asks for.
struct GuideCorrection {
    int x3 = 0, y3 = 0; // error from the reference, thousandths of a pixel
    bool skipped = false; // a jump above three pixels: the frame is ignored
    GuidePulse ra, dec;
};

// Thresholds of the correction step, thousandths of a pixel; an error must
// be strictly above them.
constexpr int guide_ra_threshold = 20;
constexpr int guide_dec_threshold = 30;
constexpr int guide_coarse_threshold = 300; // "Ignore drift < 1 pixel"
constexpr int guide_jump_limit = 3000;

// The correction for a star measured at (xc + xcdec / 10, yc + ycdec / 10)
// against the reference (guide_x1 + x1dec / 10, guide_y1 + y1dec / 10).
// Errors in 16-bit arithmetic; a reversal adds the backlash allowance and
// remembers the direction in lastslewx / lastslewy; each pulse is the error
// over the drive rate less the hysteresis. Reads the guiding settings.
GuideCorrection guide_correction(int xc, int xcdec, int yc, int ycdec);
// The same from the errors themselves (thousandths of a pixel).
GuideCorrection guide_pulses(int x3_error, int y3_error);

// Drive rates and backlash measured by training, before the zero rates are
// raised to 1.
struct TrainingResult {
    int slewx = 0, slewy = 0, backlashx = 0, backlashy = 0;
};

// Guider training as a sequence of eight timed moves: north, north, south,
// south for the declination, then east, east, west, west for the right
// ascension. After each move the caller reads a guide frame, searches for
// the star from search_x(), search_y() and hands the position found to
// measured(). The start position is the star's place in the guide frame.
class GuiderTraining {
public:
    GuiderTraining(int start_x, int start_y, int training_seconds, int hystx, int hysty);

    bool done() const { return step_ >= 8; }
    // The next move; meaningless once done().
    GuidePulse next_move() const;
    // Where the search after the current move starts.
    int search_x() const { return x_; }
    int search_y() const { return y_; }
    // The star's position found after the current move.
    void measured(int xcent, int ycent);
    // The rates: the two unopposed moves of each axis over the training
    // time, the mean for RA and the larger for Dec; backlash from the moves
    // that should have come back to the same place.
    TrainingResult result() const;

    // Positions: ys[0] the start, ys[1..4] after the Dec moves; xs[0] the
    // position when the RA moves begin, xs[1..4] after them.
    int xs[5] = {}, ys[5] = {};

private:
    int seconds_, hystx_, hysty_;
    int x_, y_;
    int step_ = 0;
};
