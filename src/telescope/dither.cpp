#include "telescope/dither.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "app/clock.h"
#include "app/host.h"
#include "app/state.h"
#include "camera/readout.h"
#include "store/autosave.h"
#include "telescope/guide_record.h"
#include "telescope/guiding.h"

DitherPattern::DitherPattern(double size_px, std::uint64_t seed)
    : size_(size_px)
    , rng_(seed)
{
}

void DitherPattern::next(double& x, double& y)
{
    // Uniform doubles built from the generator's bits: the same on every
    // standard library.
    auto uniform = [this] { return static_cast<double>(rng_() >> 11) / 9007199254740992.0; };
    const double angle = 2 * std::numbers::pi * uniform();
    const double length = size_ * (0.5 + 0.5 * uniform());
    x_ = 0.5 * x_ + length * std::cos(angle);
    y_ = 0.5 * y_ + length * std::sin(angle);
    x = x_;
    y = y_;
}

bool SettleTracker::add(double dx, double dy)
{
    in_row_ = std::hypot(dx, dy) < threshold_ ? in_row_ + 1 : 0;
    return settled();
}

namespace {
// How far the reference moves in one guide frame, tenths of a pixel: well
// under the guider's three-pixel jump limit.
constexpr int max_step = 20;

// Tenths of a guide-frame pixel, as the reference is held.
int tenths(double px)
{
    return static_cast<int>(std::lround(px * 10));
}

struct Run {
    bool started = false;
    int home_x = 0, home_y = 0; // the first reference, tenths
    std::optional<DitherPattern> pattern;
};
Run run;

void set_reference_tenths(int x, int y)
{
    guide_x1 = x >= 0 ? x / 10 : -((-x + 9) / 10);
    x1dec = x - guide_x1 * 10;
    guide_y1 = y >= 0 ? y / 10 : -((-y + 9) / 10);
    y1dec = y - guide_y1 * 10;
}

// Watches the guide frames while settling.
class Settling : public GuideObserver {
public:
    Settling(double threshold, int frames)
        : tracker(threshold, frames)
    {
    }
    void guide_run_started(const GuideRunInfo&) override {}
    void guide_frame(const GuideRecord& r) override
    {
        if (!r.measured())
            tracker.interrupt();
        else if (moving)
            tracker.interrupt();
        else
            tracker.add(r.dx, r.dy);
    }
    void guide_event(const GuideEvent&) override {}
    void guide_run_ended() override {}

    SettleTracker tracker;
    bool moving = true;
};

// Guide until settled on the target reference (tenths), moving the
// reference there a step at a time: a jump above the guider's limit would
// be ignored as a bad frame.
void settle_on(int target_x, int target_y, const DitherSettings& d, EventPump& pump, FrameDisplay& display,
    RunWindows& windows)
{
    Settling watch(d.settle_px, d.settle_frames);
    ScopedGuideObserver scoped(watch);
    Clock& clock = program_clock();
    const std::int64_t deadline = clock.now_ms() + static_cast<std::int64_t>(d.settle_s) * 1000;
    auto toward = [](int from, int to) { return from + std::clamp(to - from, -max_step, max_step); };
    for (;;) {
        const int x = guide_x1 * 10 + x1dec, y = guide_y1 * 10 + y1dec;
        if (x != target_x || y != target_y)
            set_reference_tenths(toward(x, target_x), toward(y, target_y));
        watch.moving = guide_x1 * 10 + x1dec != target_x || guide_y1 * 10 + y1dec != target_y;
        pump.clear_messages();
        if (!selfguiding || end_loop)
            return;
        const bool arrived = read_selfguide_frame();
        display.prepare_display();
        if (!arrived || guide_telescope(imageptr, pump) != guide_ok) {
            selfguiding = guiding = 0;
            return;
        }
        windows.info_update();
        if (!watch.moving && watch.tracker.settled()) {
            publish_guide_event(GuideEventKind::settled);
            return;
        }
        if (clock.now_ms() >= deadline) {
            publish_guide_event(GuideEventKind::settle_timeout);
            return;
        }
    }
}
} // namespace

void prepare_selfguided_exposure(EventPump& pump, FrameDisplay& display, RunWindows& windows)
{
    const DitherSettings d = DitherSettings::load();
    const int x = guide_x1 * 10 + x1dec, y = guide_y1 * 10 + y1dec;
    if (!run.started) {
        run = Run {};
        run.started = true;
        run.home_x = x;
        run.home_y = y;
        // A new pattern each run, the same within a run of frames.
        run.pattern.emplace(d.size_px, static_cast<std::uint64_t>(program_clock().now_ms()) + 1);
    } else if (d.on) {
        double ox = 0, oy = 0;
        run.pattern->next(ox, oy);
        publish_guide_event(GuideEventKind::dither, ox, oy);
        settle_on(run.home_x + tenths(ox), run.home_y + tenths(oy), d, pump, display, windows);
        if (!selfguiding || end_loop)
            return;
    }
    publish_guide_event(GuideEventKind::exposure_start, 0, 0,
        auto_save_fits ? auto_save_path(next_free_auto_save_number(auto_save_num)) : std::string());
}

void end_selfguided_run()
{
    reset_selfguided_run();
    end_guide_run();
}

void reset_selfguided_run()
{
    run = Run {};
}
