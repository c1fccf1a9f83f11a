// The guider's arithmetic as steps: each takes a measured star position and
// says which timed move comes next. The loops that read frames and drive the
// telescope (guiding.h) are thin drivers over these, so the corrections and
// the training can be checked a position at a time.
#pragma once

#include <string>

// One timed guide move: a direction letter (the swappable e, w, n, s) and
// its length. direction 0 or ms <= 0: nothing to send.
struct GuidePulse {
    char direction = 0;
    int ms = 0;
    bool moves() const { return direction != 0 && ms > 0; }
};

// One axis of the guider as a value: what its correction reads and, once
// made, leaves for the next one. A recorded trace of errors replays through
// guide_pulses() from these alone.
struct GuideAxis {
    int rate = 1; // drive rate, pixels per second
    int backlash = 0; // thousandths of a pixel added when the direction reverses
    int hysteresis = 0; // milliseconds taken off every pulse
    char last = 0; // direction letter of the previous correction
    char positive = 0, negative = 0; // letters for a positive and a negative error
};

// What applies to both axes of one frame.
struct GuideOptions {
    bool ignore_small = false; // "Ignore drift < 1 pixel": coarse thresholds
    bool switching = false; // the self-guided exposure is switching frames: no jump filter
};

// What one guide frame asks for.
struct GuideCorrection {
    int x3 = 0, y3 = 0; // error from the reference, thousandths of a pixel
    bool skipped = false; // a jump above three pixels: the frame is ignored
    GuidePulse ra, dec;
    // The axes after this frame (their last directions updated), to hand to
    // the next frame.
    GuideAxis ra_axis, dec_axis;
};

// Thresholds of the correction step, thousandths of a pixel; an error must
// be strictly above them.
constexpr int guide_ra_threshold = 20;
constexpr int guide_dec_threshold = 30;
constexpr int guide_coarse_threshold = 300; // "Ignore drift < 1 pixel"
constexpr int guide_jump_limit = 3000;

// One frame's correction from the errors (thousandths of a pixel, taken in
// 16-bit arithmetic) and the two axes: a reversal adds the axis's backlash
// allowance; each pulse is the error over the drive rate less the
// hysteresis. Reads nothing else.
GuideCorrection guide_pulses(int x3_error, int y3_error, const GuideAxis& ra, const GuideAxis& dec,
    const GuideOptions& options);

// The axes and options as the settings and the run state hold them (slewx,
// backlashx, hystx, lastslewx, the e/w letters, ...).
GuideAxis ra_axis_settings();
GuideAxis dec_axis_settings();
GuideOptions guide_options();

// The correction for a star measured at (xc + xcdec / 10, yc + ycdec / 10)
// against the reference (guide_x1 + x1dec / 10, guide_y1 + y1dec / 10), on
// the settings' axes; the new last directions go back to lastslewx and
// lastslewy.
GuideCorrection guide_correction(int xc, int xcdec, int yc, int ycdec);

// An offset as the guiding information shows it: tenths, and never "-0.0"
// for a value that rounds to zero.
std::string offset_text(double value);

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
