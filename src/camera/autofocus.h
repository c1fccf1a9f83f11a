// Autofocus with the telescope's focuser: step out from where the focuser
// stands, sweep back through focus in equal steps with a focus frame at each,
// fit a hyperbola to the half-flux diameter against position, come to the
// best position from the sweep's side (so the focuser's play is taken up as
// it was for every measured point), and take a check frame.
//
// A timed focuser reports no position, so positions are milliseconds of
// movement: a move in "#:F+#" counts up, a move in "#:F-#" down, the start
// is 0. Sweeps run toward lower positions; when the smallest HFD lies at a
// sweep's edge the run goes on with another sweep about where the V's
// straight arms say focus lies.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/host.h"
#include "processing/star_measure.h"

class TelescopeLink;

struct AutofocusSettings {
    int step_ms = 200; // focuser movement between sweep points
    int points = 7; // frames per sweep
    int backlash_ms = 300; // overshoot before coming back, more than the play
    int max_frames = 30; // a run gives up after this many frames
};
// The settings kept in the text settings file (autofocus_step_ms,
// autofocus_points, autofocus_backlash_ms), the defaults above otherwise.
AutofocusSettings stored_autofocus_settings();

struct FocusPoint {
    double position = 0; // ms from the start
    double hfd = 0; // px
};

// hfd(p) = sqrt(a^2 + b^2 (p - c)^2): a is the best HFD, c its position.
struct Hyperbola {
    bool ok = false;
    double a = 0, b = 0, c = 0;
    double at(double p) const;
};
// Least squares on the squared HFD (a parabola in the position); points far
// up the arms, which the aperture measures short, are left out.
Hyperbola fit_hyperbola(const std::vector<FocusPoint>& points);

enum class AutofocusEnd {
    focused,
    stopped, // a key or button: the focuser went back to the start
    no_star, // a frame held no star that could be measured
    link_failed, // the focuser or camera did not answer
    no_minimum, // the frames ran out before focus was bracketed
};

struct AutofocusResult {
    AutofocusEnd end = AutofocusEnd::no_minimum;
    double best_position = 0; // ms from the start
    double best_hfd = 0; // the fit's
    double check_hfd = 0; // measured at the best position
    int frames = 0;
    std::vector<FocusPoint> curve; // every measured point, in order
    Hyperbola fit;
};

// What a run shows while it goes.
class AutofocusView {
public:
    virtual ~AutofocusView() = default;
    // A frame was measured (curve grown) or the fit changed; `status` says
    // what the run does now.
    virtual void progress(const AutofocusResult& sofar, const std::string& status) = 0;
};

// Takes one focus frame and measures its star; nullopt-like: a result that
// is not ok() when no frame came or no star was found.
using FocusFrameTaker = std::function<StarMeasure(bool& frame_came)>;

// The whole run with the focuser of `link` (open, with a focuser), at its
// fast or slow speed. Stops (and returns to the start) when `pump` sees a key
// or button press between moves and frames.
AutofocusResult run_autofocus(TelescopeLink& link, bool fast, const FocusFrameTaker& take_frame,
    const AutofocusSettings& settings, AutofocusView* view, EventPump& pump = event_pump());

// The result in words: best position, HFD (and arcseconds when the image
// scale is known), frames used; or why it ended.
std::string autofocus_summary(const AutofocusResult& result, double arcsec_per_px);
