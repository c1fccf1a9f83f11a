#include "telescope/guide_steps.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/state.h"

namespace {
// The errors are kept in 16 bits, the width of the x3, y3 the information
// window shows: a star over 32 pixels away wraps rather than growing without
// bound, and the jump filter then skips the frame.
int to16(int v)
{
    return static_cast<std::int16_t>(v);
}

// One axis of the correction. `error` is updated with the backlash, `axis`
// with the direction.
GuidePulse axis_pulse(int& error, int fine_threshold, GuideAxis& axis, bool ignore_small)
{
    const int threshold = ignore_small ? guide_coarse_threshold : fine_threshold;
    if (std::abs(error) <= threshold)
        return {};
    const char direction = error > 0 ? axis.positive : axis.negative;
    if (direction != axis.last)
        error = to16(error + axis.backlash);
    axis.last = direction;
    // A rate of 0 cannot come from training or the settings file, but it
    // must not divide here either.
    const int per_second = axis.rate == 0 ? 1 : axis.rate;
    return { direction, std::abs(error / per_second) - axis.hysteresis };
}
} // namespace

GuideCorrection guide_pulses(
    int x3_error, int y3_error, const GuideAxis& ra, const GuideAxis& dec, const GuideOptions& options)
{
    GuideCorrection c;
    c.x3 = to16(x3_error);
    c.y3 = to16(y3_error);
    c.ra_axis = ra;
    c.dec_axis = dec;
    if (!options.switching && (std::abs(c.x3) > guide_jump_limit || std::abs(c.y3) > guide_jump_limit)) {
        c.skipped = true;
        return c;
    }
    c.ra = axis_pulse(c.x3, guide_ra_threshold, c.ra_axis, options.ignore_small);
    c.dec = axis_pulse(c.y3, guide_dec_threshold, c.dec_axis, options.ignore_small);
    return c;
}

GuideAxis ra_axis_settings()
{
    return { slewx, backlashx, hystx, lastslewx, e, w };
}

GuideAxis dec_axis_settings()
{
    return { slewy, backlashy, hysty, lastslewy, n, s };
}

GuideOptions guide_options()
{
    return { ignore_small != 0, switching != 0 };
}

GuideCorrection guide_correction(int xc, int xcdec, int yc, int ycdec)
{
    const GuideCorrection c = guide_pulses(to16((guide_x1 - xc) * 1000 + (x1dec - xcdec) * 1000 / 10),
        to16((guide_y1 - yc) * 1000 + (y1dec - ycdec) * 1000 / 10), ra_axis_settings(), dec_axis_settings(),
        guide_options());
    lastslewx = c.ra_axis.last;
    lastslewy = c.dec_axis.last;
    return c;
}

std::string offset_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f", value);
    // printf keeps the sign of a negative value that rounds to zero.
    if (std::strcmp(text, "-0.0") == 0)
        return "0.0";
    return text;
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
