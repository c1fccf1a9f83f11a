// What guiding tells its watchers: one record per guide frame (the star's
// error from its reference, the corrections sent, the star's brightness)
// and the events of a guiding run (its start and end, dithers, settling,
// clouds, the exposures it guides). The guide log and the guiding graph are
// observers; the guiding steps only publish.
//
// Single thread, like the loops that publish: an observer is called from
// inside the guiding step and must return quickly.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "display/image_scale.h"

// One guide frame.
struct GuideRecord {
    std::int64_t time_ms = 0; // program clock
    int frame = 0; // 1, 2, ... within the run
    // The star's position less its reference, guide-frame pixels (x along
    // the columns, y along the field lines).
    double dx = 0, dy = 0;
    // Corrections sent: milliseconds, positive east / north, negative west /
    // south, 0 for none.
    int ra_ms = 0, dec_ms = 0;
    // The star's brightest sample above the window's median.
    int brightness = 0;
    bool skipped = false; // a jump: the frame was ignored
    bool paused = false; // the star had faded: no measurement, no correction
    // The error counts towards the statistics (not skipped, not paused).
    bool measured() const { return !skipped && !paused; }
};

enum class GuideRunKind { guiding, self_guiding };

// What a run was started with: the header of its log.
struct GuideRunInfo {
    GuideRunKind kind = GuideRunKind::guiding;
    std::int64_t start_ms = 0;
    std::tm start_local {};
    ImageScale scale; // arcseconds per guide-frame pixel (unknown without a focal length)
    int slewx = 0, slewy = 0, backlashx = 0, backlashy = 0, hystx = 0, hysty = 0;
    int star_mask = 0, ignore_small = 0, losmandy_pause = 0;
    char telescope = 'n';
    int guide_exposure_ms = 0;
    int cloud_wait_s = 0;
    bool dither = false;
    double dither_px = 0, settle_px = 0;
    int settle_s = 0, settle_frames = 0;
};

enum class GuideEventKind {
    dither, // the reference moved: x, y the new offset from the run's first reference
    settled, // the error stayed under the threshold: the exposure may start
    settle_timeout, // the error did not settle in time; the run goes on
    cloud_pause, // the star faded: corrections paused
    cloud_resume, // the star came back
    cloud_gave_up, // the wait ran out: guiding ends
    exposure_start, // a guided exposure begins; file is the name auto-save will give it
    exposure_end, // a guided exposure was saved; file is its name
};

struct GuideEvent {
    GuideEventKind kind = GuideEventKind::dither;
    std::int64_t time_ms = 0;
    double x = 0, y = 0;
    std::string file;
};

class GuideObserver {
public:
    virtual ~GuideObserver() = default;
    virtual void guide_run_started(const GuideRunInfo& info) = 0;
    virtual void guide_frame(const GuideRecord& record) = 0;
    virtual void guide_event(const GuideEvent& event) = 0;
    virtual void guide_run_ended() = 0;
};

// Observers are not owned; one added twice is called once.
void add_guide_observer(GuideObserver* observer);
void remove_guide_observer(GuideObserver* observer);

// Adds an observer for as long as this lives.
class ScopedGuideObserver {
public:
    explicit ScopedGuideObserver(GuideObserver& observer);
    ~ScopedGuideObserver();
    ScopedGuideObserver(const ScopedGuideObserver&) = delete;
    ScopedGuideObserver& operator=(const ScopedGuideObserver&) = delete;

private:
    GuideObserver& observer_;
};

// ----- what the guiding steps call

// Arcseconds per pixel of the 128 x 128 guide frame: its columns are sensor
// columns and its lines are field lines of two sensor rows.
ImageScale guide_frame_scale();

// A run begins (nothing happens when one is already open): the header is
// taken from the settings in force.
void begin_guide_run(GuideRunKind kind);
// The run ends (nothing happens when none is open).
void end_guide_run();
bool guide_run_open();

// One guide frame of the open run, from the program's guiding state: the
// star at (xcent + xcentdec / 10, ycent + ycentdec / 10) against the
// reference, and the pulses sent. Without an open run nothing happens.
void publish_guide_frame(int ra_ms, int dec_ms, int brightness, bool skipped);
// A frame on which the star had faded.
void publish_paused_frame(int brightness);
void publish_guide_event(GuideEventKind kind, double x = 0, double y = 0, const std::string& file = {});

// Forgets any open run (program start, each test): its log is closed and
// the observers are told it ended.
void reset_guide_runs();

// Auto-save wrote `path`: a guided exposure that was under way ends there.
void note_frame_saved(const std::string& path);
