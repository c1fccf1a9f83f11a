// One camera command from the first frame to the last: the class behind
// run_camera_command(), shared by the files of the exposure loop
// (exposure_loop.cpp: the run, the waits and the frames; exposure_readout.cpp:
// the read-out, the second exposure and the self-guided switch). Not for
// other callers.
#pragma once

#include <cstdint>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/state.h"
#include "app/text_field.h"

// Between two passes of a timed wait: short enough for a press to end the
// wait at once to the eye, long enough not to pin a core.
constexpr int exposure_poll_ms = 10;
// The vertical registers are cleared this often during long exposures.
constexpr int clear_interval_ms = 10000;

inline void set_progress_caption(const std::string& text)
{
    set_text(progress_caption, text);
    changecaption = 1;
}

inline std::string images_left_suffix()
{
    return " (Left - " + std::to_string(no_images) + ")";
}

// Units the program times itself, with progress steps and register clears.
inline bool seconds_or_minutes()
{
    return exp_range == 's' || exp_range == 'm';
}

// Everything a run shows goes through the three parts of the host it is
// given: the pump (waits, presses, boxes, the wait cursor), the frame
// display, and the progress and information windows.
class ExposureRun {
public:
    ExposureRun(EventPump& pump, FrameDisplay& display, RunWindows& windows)
        : pump_(pump)
        , display_(display)
        , windows_(windows)
    {
    }
    void run();

private:
    bool prepare();
    void delay_before_exposing();
    // One frame: exposure, read-out, calibration and stacking. False when
    // self-guiding failed or the camera went away, and the command must end
    // at once.
    bool take_frame();
    // The timed wait of units 's' and 'm'. False when self-guiding failed
    // or the camera went away.
    bool wait_exposure_seconds();
    void wait_exposure_short();
    // True when the camera went away during this run: the run ends.
    bool camera_gone();
    bool selfguide_step(std::int64_t t_half, std::int64_t& t_step);
    // The switch to the second guide frame at mid-exposure, reading the first
    // half of the exposure into trial.
    void switch_selfguided_frame(std::int64_t& t_step);
    // One pass of a timed wait: the periodic register clear, the progress
    // step and the pump.
    void service_wait(std::int64_t& t_clear, std::int64_t& t_step);
    void read_out();
    // The transfer that starts a read-out; true when the frame was taken
    // self-guided at high resolution.
    bool start_read_out();
    void read_second_field();
    void second_exposure();
    // The tail of a frame read in two fields: the frame is back in the
    // image buffer, vertically smoothed when the correction is on.
    void finish_fields();
    void smooth_rows();
    void calibrate_and_stack();
    // After each frame; true when another frame of this run follows.
    bool after_frame();
    void pause_between_frames();
    void show_frame();
    void rearm_selfguiding();
    void restore_pick();
    void end_of_command();

    EventPump& pump_;
    FrameDisplay& display_;
    RunWindows& windows_;
    Clock& clock_ = program_clock();
    bool multi = false;
    bool shown = false;
    int series_count = 5;
    int steps = 2;
    bool first_intl = true;
    // This frame was read whole; a failed or short read is never shown,
    // stacked or saved as if it were a new frame.
    bool frame_read = false;
    // This frame was taken self-guided (selfguiding is cleared as it is read).
    bool selfguided_frame = false;
    bool shown_this_frame = false;
    // An auto-save failed: the run ends with that one message.
    bool save_failed = false;
};
