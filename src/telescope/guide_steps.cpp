#include "telescope/guide_steps.h"

#include <cstdint>
#include <cstdlib>

#include "app/state.h"

namespace {
// The errors are 16-bit on the wire of the original arithmetic: a star many
// pixels away wraps rather than growing without bound.
int to16(int v)
{
    return static_cast<std::int16_t>(v);
}

// One axis of the correction. `error` is updated with the backlash.
GuidePulse axis_pulse(
    int& error, int fine_threshold, char plus, char minus, char& last, int backlash, int rate, int hysteresis)
{
    const int threshold = ignore_small ? guide_coarse_threshold : fine_threshold;
    if (std::abs(error) <= threshold)
        return {};
    const char direction = error > 0 ? plus : minus;
    if (direction != last)
        error = to16(error + backlash);
    last = direction;
    // A rate of 0 cannot come from training or the settings file, but it
    // must not divide here either.
    const int per_second = rate == 0 ? 1 : rate;
    return { direction, std::abs(error / per_second) - hysteresis };
}
} // namespace

GuideCorrection guide_correction(int xc, int xcdec, int yc, int ycdec)
{
    return guide_pulses(to16((guide_x1 - xc) * 1000 + (x1dec - xcdec) * 1000 / 10),
        to16((guide_y1 - yc) * 1000 + (y1dec - ycdec) * 1000 / 10));
}

GuideCorrection guide_pulses(int x3_error, int y3_error)
{
    GuideCorrection c;
    c.x3 = to16(x3_error);
    c.y3 = to16(y3_error);
    if (!switching && (std::abs(c.x3) > guide_jump_limit || std::abs(c.y3) > guide_jump_limit)) {
        c.skipped = true;
        return c;
    }
    c.ra = axis_pulse(c.x3, guide_ra_threshold, e, w, lastslewx, backlashx, slewx, hystx);
    c.dec = axis_pulse(c.y3, guide_dec_threshold, n, s, lastslewy, backlashy, slewy, hysty);
    return c;
}

GuiderTraining::GuiderTraining(int start_x, int start_y, int training_seconds, int hx, int hy)
    : seconds_(training_seconds)
    , hystx_(hx)
    , hysty_(hy)
    , x_(start_x)
    , y_(start_y)
{
    ys[0] = start_y;
}

GuidePulse GuiderTraining::next_move() const
{
    static const char* const order = "nnssEEWW";
    const char which = order[step_ < 8 ? step_ : 7];
    switch (which) {
    case 'n':
        return { n, seconds_ * 1000 - hysty_ * 100 };
    case 's':
        return { s, seconds_ * 1000 - hysty_ * 100 };
    case 'E':
        return { e, seconds_ * 1000 - hystx_ * 100 };
    default:
        return { w, seconds_ * 1000 - hystx_ * 100 };
    }
}

void GuiderTraining::measured(int xcent_found, int ycent_found)
{
    if (done())
        return;
    if (step_ < 4)
        ys[step_ + 1] = ycent_found;
    else
        xs[step_ - 3] = xcent_found;
    x_ = xcent_found;
    y_ = ycent_found;
    ++step_;
    // The RA moves start from where the Dec moves left the star.
    if (step_ == 4)
        xs[0] = xcent_found;
}

TrainingResult GuiderTraining::result() const
{
    const int t = seconds_ == 0 ? 1 : seconds_;
    TrainingResult r;
    r.slewx = (std::abs(xs[1] - xs[2]) + std::abs(xs[3] - xs[4])) / (2 * t);
    r.backlashx = (std::abs(xs[0] - xs[4]) + std::abs(xs[1] - xs[3])) / (2 * t);
    const int dec_first = std::abs(ys[1] - ys[2]);
    const int dec_second = std::abs(ys[3] - ys[4]);
    r.slewy = (dec_first > dec_second ? dec_first : dec_second) / t;
    const int back_outward = std::abs(ys[1] - ys[3]);
    const int back_home = std::abs(ys[0] - ys[4]);
    r.backlashy = (back_outward > back_home ? back_outward : back_home) / t;
    return r;
}
