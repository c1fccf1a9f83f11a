#include "telescope/guide_record.h"

#include <algorithm>

#include "app/clock.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/readout.h"
#include "store/text_settings.h"
#include "telescope/guide_options.h"
#include "telescope/guide_log.h"
#include "telescope/dither.h"

namespace {
std::vector<GuideObserver*> observers;

struct Run {
    bool open = false;
    int frame = 0;
    std::int64_t last_frame_ms = 0;
    bool exposing = false; // an exposure_start not yet ended
};
Run run;

// The log first, then the windows.
template <typename Call> void notify(Call call)
{
    if (text_setting_bool("guide_log", true))
        call(static_cast<GuideObserver&>(guide_log()));
    // A copy: an observer may remove itself while it is called.
    const std::vector<GuideObserver*> now = observers;
    for (GuideObserver* o : now)
        call(*o);
}

std::string base_name(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An exposure that was never saved ends with its last guide frame.
void end_unsaved_exposure()
{
    if (!run.exposing)
        return;
    run.exposing = false;
    GuideEvent e { GuideEventKind::exposure_end, run.last_frame_ms, 0, 0, {} };
    notify([&](GuideObserver& o) { o.guide_event(e); });
}
} // namespace

void add_guide_observer(GuideObserver* observer)
{
    if (std::find(observers.begin(), observers.end(), observer) == observers.end())
        observers.push_back(observer);
}

void remove_guide_observer(GuideObserver* observer)
{
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

ScopedGuideObserver::ScopedGuideObserver(GuideObserver& observer)
    : observer_(observer)
{
    add_guide_observer(&observer_);
}

ScopedGuideObserver::~ScopedGuideObserver()
{
    remove_guide_observer(&observer_);
}

ImageScale guide_frame_scale()
{
    const double f = focal_length_mm();
    return { image_scale_for(f, false).x, image_scale_for(f, true).y };
}

void begin_guide_run(GuideRunKind kind)
{
    if (run.open)
        return;
    run = Run {};
    run.open = true;
    Clock& clock = program_clock();
    GuideRunInfo info;
    info.kind = kind;
    info.start_ms = clock.now_ms();
    info.start_local = clock.local_time();
    info.scale = guide_frame_scale();
    info.slewx = slewx;
    info.slewy = slewy;
    info.backlashx = backlashx;
    info.backlashy = backlashy;
    info.hystx = hystx;
    info.hysty = hysty;
    info.star_mask = star_mask;
    info.ignore_small = ignore_small;
    info.losmandy_pause = Losmandy_pause;
    info.telescope = telescope;
    info.guide_exposure_ms = kind == GuideRunKind::guiding ? exp_value * exposure_unit_ms(exp_range)
                                                           : selfguiding_exposure;
    info.cloud_wait_s = cloud_wait_seconds();
    const DitherSettings d = DitherSettings::load();
    info.dither = d.on && kind == GuideRunKind::self_guiding;
    info.dither_px = d.size_px;
    info.settle_px = d.settle_px;
    info.settle_s = d.settle_s;
    info.settle_frames = d.settle_frames;
    run.last_frame_ms = info.start_ms;
    notify([&](GuideObserver& o) { o.guide_run_started(info); });
}

void end_guide_run()
{
    if (!run.open)
        return;
    end_unsaved_exposure();
    run.open = false;
    notify([](GuideObserver& o) { o.guide_run_ended(); });
}

bool guide_run_open()
{
    return run.open;
}

void publish_guide_frame(int ra_ms, int dec_ms, int brightness, bool skipped)
{
    if (!run.open)
        return;
    GuideRecord r;
    r.time_ms = program_clock().now_ms();
    r.frame = ++run.frame;
    // Tenths included: the error the correction was computed from, before
    // any backlash allowance.
    r.dx = ((xcent - guide_x1) * 10 + (xcentdec - x1dec)) / 10.0;
    r.dy = ((ycent - guide_y1) * 10 + (ycentdec - y1dec)) / 10.0;
    r.ra_ms = ra_ms;
    r.dec_ms = dec_ms;
    r.brightness = brightness;
    r.skipped = skipped;
    run.last_frame_ms = r.time_ms;
    notify([&](GuideObserver& o) { o.guide_frame(r); });
}

void publish_paused_frame(int brightness)
{
    if (!run.open)
        return;
    GuideRecord r;
    r.time_ms = program_clock().now_ms();
    r.frame = ++run.frame;
    r.brightness = brightness;
    r.paused = true;
    run.last_frame_ms = r.time_ms;
    notify([&](GuideObserver& o) { o.guide_frame(r); });
}

void publish_guide_event(GuideEventKind kind, double x, double y, const std::string& file)
{
    if (!run.open)
        return;
    if (kind == GuideEventKind::exposure_start) {
        end_unsaved_exposure();
        run.exposing = true;
    }
    GuideEvent e { kind, program_clock().now_ms(), x, y, base_name(file) };
    notify([&](GuideObserver& o) { o.guide_event(e); });
}

void note_frame_saved(const std::string& path)
{
    if (!run.open || !run.exposing)
        return;
    run.exposing = false;
    GuideEvent e { GuideEventKind::exposure_end, program_clock().now_ms(), 0, 0, base_name(path) };
    notify([&](GuideObserver& o) { o.guide_event(e); });
}

void reset_guide_runs()
{
    reset_selfguided_run();
    end_guide_run();
    run = Run {};
}
