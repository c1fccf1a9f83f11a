#include "camera/autofocus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/host.h"
#include "store/text_settings.h"
#include "telescope/telescope_link.h"

AutofocusSettings stored_autofocus_settings()
{
    AutofocusSettings s;
    s.step_ms = std::clamp(text_setting_int("autofocus_step_ms", s.step_ms), 10, 60000);
    s.points = std::clamp(text_setting_int("autofocus_points", s.points), 5, 15);
    s.backlash_ms = std::clamp(text_setting_int("autofocus_backlash_ms", s.backlash_ms), 0, 60000);
    return s;
}

double Hyperbola::at(double p) const
{
    return std::sqrt(a * a + b * b * (p - c) * (p - c));
}

Hyperbola fit_hyperbola(const std::vector<FocusPoint>& all)
{
    Hyperbola h;
    if (all.size() < 3)
        return h;
    double least = all.front().hfd;
    for (const FocusPoint& p : all)
        least = std::min(least, p.hfd);
    // Far up the arms a defocused star outgrows the frame and reads short.
    std::vector<FocusPoint> points;
    for (const FocusPoint& p : all)
        if (p.hfd <= 2.5 * least)
            points.push_back(p);
    if (points.size() < 3)
        return h;
    // hfd^2 = A p^2 + B p + C about the mean position, weighted so each
    // point counts by its relative error.
    double mean = 0;
    for (const FocusPoint& p : points)
        mean += p.position;
    mean /= static_cast<double>(points.size());
    double s[5] = {}, t[3] = {};
    for (const FocusPoint& p : points) {
        const double x = p.position - mean, y = p.hfd * p.hfd, w = 1.0 / (y * y);
        double xn = w;
        for (int k = 0; k < 5; ++k) {
            s[k] += xn;
            if (k < 3)
                t[k] += xn * y;
            xn *= x;
        }
    }
    // Normal equations [s4 s3 s2; s3 s2 s1; s2 s1 s0] [A B C] = [t2 t1 t0].
    const double m[3][3] = { { s[4], s[3], s[2] }, { s[3], s[2], s[1] }, { s[2], s[1], s[0] } };
    const double r[3] = { t[2], t[1], t[0] };
    auto det3 = [](const double q[3][3]) {
        return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) - q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0])
            + q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
    };
    const double d = det3(m);
    if (std::fabs(d) < 1e-300)
        return h;
    double sol[3];
    for (int col = 0; col < 3; ++col) {
        double q[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                q[i][j] = j == col ? r[i] : m[i][j];
        sol[col] = det3(q) / d;
    }
    const double A = sol[0], B = sol[1], C = sol[2];
    if (A <= 0)
        return h;
    const double vertex = -B / (2 * A);
    const double a2 = C - B * B / (4 * A);
    if (a2 <= 0)
        return h;
    h.ok = true;
    h.a = std::sqrt(a2);
    h.b = std::sqrt(A);
    h.c = vertex + mean;
    return h;
}

namespace {

class Run {
public:
    Run(TelescopeLink& link, bool fast, const FocusFrameTaker& take, const AutofocusSettings& s,
        AutofocusView* view, EventPump& pump)
        : link_(link)
        , fast_(fast)
        , take_(take)
        , s_(s)
        , view_(view)
        , pump_(pump)
    {
    }

    AutofocusResult go();

private:
    // The span of one sweep's points.
    double sweep_width() const { return static_cast<double>((s_.points - 1) * s_.step_ms); }
    // One sweep down from `top` (already reached), its points appended from
    // r_.curve[first]; cut short when focus is bracketed, or when its arm
    // already shows focus far beyond it: then `jump` is that focus. False
    // when the run must end, with `end` saying why.
    bool sweep(double top, std::size_t first, double& jump, AutofocusEnd& end);
    // The top of the next sweep after the one from r_.curve[first].
    double next_top(std::size_t first, double jump) const;
    // Fits the whole curve (r_.fit) and returns the best focus position,
    // setting r_.best_hfd.
    double best_focus();
    // Moves to `best`, takes the check frame and ends the run.
    AutofocusResult end_at(double best);
    // Moves by `ms` (signed); false when the link failed.
    bool move(double ms);
    // Comes to `target` moving toward lower positions, as every sweep point
    // was reached, overshooting first when the play is not yet taken up.
    bool arrive(double target);
    // A frame here; false (with the end set) when the run cannot go on.
    bool frame();
    bool pressed();
    void show(const std::string& status)
    {
        if (view_ != nullptr)
            view_->progress(r_, status);
    }
    // Where the straight arms of this sweep's points say focus lies, or NaN
    // when they do not slope.
    double focus_from_arm(std::size_t first) const;
    AutofocusResult finish(AutofocusEnd end);
    // The smallest HFD so far has at least `each` measured points on both
    // sides.
    bool bracketed(int each = 1) const
    {
        const double at = least().position;
        int above = 0, below = 0;
        for (const FocusPoint& p : r_.curve) {
            above += p.position > at;
            below += p.position < at;
        }
        return above >= each && below >= each;
    }
    // The point of the smallest HFD so far (the first of equals).
    const FocusPoint& least() const
    {
        return *std::min_element(r_.curve.begin(), r_.curve.end(),
            [](const FocusPoint& a, const FocusPoint& b) { return a.hfd < b.hfd; });
    }
    // The last step of this sweep changed the HFD by much less than the
    // sweep's steps did on average: it is reaching the V's floor.
    bool flattening(std::size_t first) const
    {
        const std::size_t n = r_.curve.size();
        if (n < first + 3)
            return false;
        const double span = std::fabs(r_.curve[n - 1].hfd - r_.curve[first].hfd) / static_cast<double>(n - 1 - first);
        return std::fabs(r_.curve[n - 1].hfd - r_.curve[n - 2].hfd) < 0.6 * span;
    }
    // This sweep's HFDs only rise or only fall: it lies on one arm of the V.
    bool one_arm(std::size_t first) const
    {
        int rising = 0, falling = 0;
        for (std::size_t i = first + 1; i < r_.curve.size(); ++i)
            (r_.curve[i].hfd > r_.curve[i - 1].hfd ? rising : falling)++;
        return rising == 0 || falling == 0;
    }

    TelescopeLink& link_;
    bool fast_;
    const FocusFrameTaker& take_;
    AutofocusSettings s_;
    AutofocusView* view_;
    EventPump& pump_;
    AutofocusResult r_;
    double pos_ = 0;
    int last_dir_ = 0;
};

bool Run::move(double ms)
{
    const double length = std::round(std::fabs(ms));
    if (length < 1)
        return true;
    const int dir = ms > 0 ? 1 : -1;
    // "#:F+#" (inward) counts up.
    if (!link_.focus_for(dir > 0, static_cast<int>(length), fast_))
        return false;
    pos_ += dir * length;
    last_dir_ = dir;
    return true;
}

bool Run::arrive(double target)
{
    if (target > pos_ || (last_dir_ != -1 && pos_ - target < s_.backlash_ms)) {
        if (!move(target + s_.backlash_ms - pos_))
            return false;
        return move(-s_.backlash_ms);
    }
    return move(target - pos_);
}

bool Run::pressed()
{
    return pump_.pump_for_press();
}

bool Run::frame()
{
    bool came = false;
    const StarMeasure m = take_(came);
    ++r_.frames;
    if (!came) {
        r_.end = AutofocusEnd::link_failed;
        return false;
    }
    if (!m.ok()) {
        r_.end = AutofocusEnd::no_star;
        return false;
    }
    r_.curve.push_back({ pos_, m.hfd });
    return true;
}

double Run::focus_from_arm(std::size_t first) const
{
    // HFD against position far from focus is a straight line through the
    // focus point: fit it to this sweep's points, then follow it to zero
    // from the point nearest to focus.
    const std::size_t n = r_.curve.size() - first;
    if (n < 2)
        return std::nan("");
    double sp = 0, sh = 0, spp = 0, sph = 0;
    for (std::size_t i = first; i < r_.curve.size(); ++i) {
        const FocusPoint& p = r_.curve[i];
        sp += p.position;
        sh += p.hfd;
        spp += p.position * p.position;
        sph += p.position * p.hfd;
    }
    const double dn = static_cast<double>(n);
    const double den = dn * spp - sp * sp;
    if (den <= 0)
        return std::nan("");
    const double slope = (dn * sph - sp * sh) / den;
    const FocusPoint& best = *std::min_element(r_.curve.begin() + static_cast<std::ptrdiff_t>(first),
        r_.curve.end(), [](const FocusPoint& a, const FocusPoint& b) { return a.hfd < b.hfd; });
    // Noise alone gives a slope of a few hundredths of the HFD per sweep.
    if (std::fabs(slope) * sweep_width() < 0.15 * best.hfd)
        return std::nan("");
    const double along_line = best.position - best.hfd / slope;
    // Near focus the arm bends toward the V's floor and the straight line
    // overshoots; the hyperbola through the same points does not, when it
    // can be fitted and lies on the same side.
    const Hyperbola h = fit_hyperbola({ r_.curve.begin() + static_cast<std::ptrdiff_t>(first), r_.curve.end() });
    if (h.ok && (h.c - best.position) * (along_line - best.position) > 0
        && std::fabs(h.c - best.position) < std::fabs(along_line - best.position))
        return h.c;
    return along_line;
}

AutofocusResult Run::finish(AutofocusEnd end)
{
    r_.end = end;
    if (end == AutofocusEnd::stopped || end == AutofocusEnd::no_minimum || end == AutofocusEnd::no_star) {
        // Back where the user had it.
        show("Returning to the start");
        arrive(0);
        r_.best_position = pos_;
    }
    show(autofocus_summary(r_, 0));
    return r_;
}

AutofocusResult Run::go()
{
    double top = sweep_width() / 2;
    for (;;) {
        show("Moving to the sweep's start");
        if (pressed())
            return finish(AutofocusEnd::stopped);
        if (!arrive(top))
            return finish(AutofocusEnd::link_failed);
        const std::size_t first = r_.curve.size();
        double jump = std::nan("");
        AutofocusEnd end = AutofocusEnd::focused;
        if (!sweep(top, first, jump, end))
            return finish(end);
        if (bracketed())
            break;
        top = next_top(first, jump);
    }
    return end_at(best_focus());
}

bool Run::sweep(double top, std::size_t first, double& jump, AutofocusEnd& end)
{
    const double width = sweep_width();
    for (int i = 0; i < s_.points; ++i) {
        if (pressed()) {
            end = AutofocusEnd::stopped;
            return false;
        }
        if (r_.frames >= s_.max_frames) {
            end = AutofocusEnd::no_minimum;
            return false;
        }
        if (i > 0 && !move(-s_.step_ms)) {
            end = AutofocusEnd::link_failed;
            return false;
        }
        if (!frame()) {
            end = r_.end;
            return false;
        }
        show("Sweeping");
        // Focus is bracketed with room for the fit: the sweep can end.
        if (bracketed(2))
            return true;
        if (i >= 3 && one_arm(first) && !bracketed() && !flattening(first)) {
            const double f = focus_from_arm(first);
            const double low = pos_ - (s_.points - 1 - i) * s_.step_ms;
            if (!std::isnan(f) && (f > top + width / 2 || f < low - width)) {
                jump = f;
                return true;
            }
        }
    }
    return true;
}

double Run::next_top(std::size_t first, double jump) const
{
    const double width = sweep_width();
    const FocusPoint& smallest = least();
    bool focus_below = true; // the smallest HFD is the lowest point
    for (const FocusPoint& p : r_.curve)
        focus_below = focus_below && p.position >= smallest.position;
    double f = std::isnan(jump) ? focus_from_arm(first) : jump;
    if (std::isnan(f))
        // Too flat to say: go on with the next sweep the same way.
        f = focus_below ? pos_ - s_.step_ms - width / 2 : smallest.position + 1.5 * width;
    double top = f + width / 2;
    // Focus below the lowest point: go on down from there, not back over
    // ground already measured.
    if (f < pos_)
        top = std::min(top, pos_ - s_.step_ms);
    return top;
}

double Run::best_focus()
{
    r_.fit = fit_hyperbola(r_.curve);
    double lowest = r_.curve.front().position, highest = lowest;
    for (const FocusPoint& p : r_.curve) {
        lowest = std::min(lowest, p.position);
        highest = std::max(highest, p.position);
    }
    const FocusPoint& smallest = least();
    double best = smallest.position;
    r_.best_hfd = smallest.hfd;
    if (r_.fit.ok && r_.fit.c >= lowest && r_.fit.c <= highest) {
        best = r_.fit.c;
        r_.best_hfd = r_.fit.a;
    }
    return best;
}

AutofocusResult Run::end_at(double best)
{
    show("Moving to best focus");
    if (pressed())
        return finish(AutofocusEnd::stopped);
    if (!arrive(std::round(best)))
        return finish(AutofocusEnd::link_failed);
    r_.best_position = pos_;
    bool came = false;
    const StarMeasure check = take_(came);
    ++r_.frames;
    if (!came)
        return finish(AutofocusEnd::link_failed);
    r_.check_hfd = check.ok() ? check.hfd : 0;
    return finish(AutofocusEnd::focused);
}

} // namespace

AutofocusResult run_autofocus(TelescopeLink& link, bool fast, const FocusFrameTaker& take_frame,
    const AutofocusSettings& settings, AutofocusView* view, EventPump& pump)
{
    AutofocusSettings s = settings;
    s.points = std::max(s.points, 3);
    s.step_ms = std::max(s.step_ms, 1);
    return Run(link, fast, take_frame, s, view, pump).go();
}

std::string autofocus_summary(const AutofocusResult& r, double arcsec_per_px)
{
    char text[200];
    switch (r.end) {
    case AutofocusEnd::focused: {
        const double shown = r.check_hfd > 0 ? r.check_hfd : r.best_hfd;
        std::snprintf(text, sizeof text, "Focused at %+.0f ms from the start: %s, %d frames", r.best_position,
            star_size_text("HFD", shown, arcsec_per_px).c_str(), r.frames);
        return text;
    }
    case AutofocusEnd::stopped:
        return "Autofocus stopped - focuser back at its start";
    case AutofocusEnd::no_star:
        return "Autofocus stopped - no star to measure in the focus frame";
    case AutofocusEnd::link_failed:
        return "Autofocus stopped - the camera or focuser did not answer";
    case AutofocusEnd::no_minimum:
        break;
    }
    return "Autofocus found no focus within its frames - focuser back at its start";
}
