#include "camera/exposure_loop.h"

#include <algorithm>
#include <string>
#include <utility>

#include "app/data_root.h"
#include "app/messages.h"
#include "camera/camera_controls.h"
#include "camera/exposure_run.h"
#include "camera/readout.h"
#include "camera/timed_wait.h"
#include "camera/usb.h"
#include "processing/accumulate.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/settings_file.h"
#include "telescope/dither.h"
#include "telescope/guiding.h"

namespace {
CameraDialogRunner installed_dialog;

constexpr int short_clear_interval_ms = 6000;
} // namespace

void ExposureRun::run()
{
    if (!prepare())
        return;
    if (exposure_delay)
        delay_before_exposing();

    total_images = no_images;
    cont_work = continuous;
    series_work = series_exposure;
    exposure_save = exposure;
    series_count = 5;
    for (;;) {
        start_exp = static_cast<long>(clock_.now_seconds());
        // Each step of a series is a frame of its own exposure; the frames of
        // a stack within it add up.
        if (series_exposure)
            FITS_Exptime = 0;
        // Every run takes at least one frame, then goes on while frames
        // remain (a continuous or series run counts below zero).
        for (;;) {
            if (!take_frame()) {
                end_of_command();
                return;
            }
            if (!after_frame())
                break;
        }
        if (series_exposure) {
            if (series_count == 1 && cont_work) {
                exposure = exposure_save;
                series_count = 5;
            } else {
                exposure *= 4;
                --series_count;
            }
        }
        if (!(cont_work || (series_work && series_count > 0)))
            break;
    }
    end_of_command();
}

bool ExposureRun::prepare()
{
    cont_work = series_work = end_loop = switched_frame = interlaced_line = switching = 0;
    pick_star_save = pick_star ? 1 : 0;
    pick_star = 0;
    if (DarkFileName.empty())
        DarkFileName = data_path("dark.def");
    if (FlatFileName.empty())
        FlatFileName = data_path("flat.def");
    image = image_int;
    darkframe_loaded = flatfield_loaded = last_selfguided = 0;

    if (!got_vn) {
        if (LoadINIFile(ini_file.c_str()) != settings_ok)
            messages(1);
        UsbDeviceRecord records[usb_device_records];
        USBHid::CollectingUSBHidInfo(records);
        VN_reader();
        if (!got_vn) {
            messages(50, "Sorry, No camera found on USB");
            pick_star = pick_star_save;
            return false;
        }
    }

    orig_x = orig_y = merge_x = merge_y = orig_avg = 0;
    no_images = 1;
    if (!installed_dialog || installed_dialog() != 1) {
        if (focus_mode) {
            // The last focus frame is still on show: the main window shows
            // the image again.
            pump_.wait_cursor(true);
            focus_mode = 0;
            display_.redraw_window();
            pump_.wait_cursor(false);
        }
        pick_star = pick_star_save;
        return false;
    }

    ZQ_binned();
    stopit = 1;
    focus_mode = 0;
    if (binned) {
        FITS_Pixwidth = 0.0172;
        FITS_Pixheight = 0.0166;
    } else {
        FITS_Pixwidth = 0.0086;
        FITS_Pixheight = 0.0083;
    }
    image = image_int;
    undo = undo_int;
    exposure = exposure_ms();
    selfguiding_exposure
        = selfguiding_darkframe ? 100 : selfguiding_exp_value * selfguiding_unit_ms(selfguiding_exp_range);
    // Exposures shorter than one field download cannot move the first field
    // out in time: they are taken as two exposures, and the mode stays so.
    if (exposure < download_time && highres_intl) {
        highres_intl = 0;
        highres_nonintl = 1;
    }
    FITS_Exptime = 0;
    pump_.wait_cursor(true);
    image_name = "ZQ Camera Image";
    multi = no_images > 1;
    return true;
}

void ExposureRun::delay_before_exposing()
{
    progress = 0;
    windows_.progress_open();
    for (int s = 0; s < pause_secs; ++s) {
        set_progress_caption("EXPOSURE DELAY (Left - " + std::to_string(pause_secs - s) + ")");
        windows_.progress_update();
        // A press only shortens the current second.
        pump_.one_sec_delay(1);
        progress += 255 / pause_secs;
        windows_.progress_update();
        pump_.beep();
    }
    windows_.progress_close();
}

bool ExposureRun::take_frame()
{
    frame_read = false;
    selfguided_frame = false;
    shown_this_frame = false;
    if (continuous)
        FITS_Exptime = exposure * 0.001;
    else
        FITS_Exptime += exposure * 0.001;

    set_progress_caption(std::string("EXPOSURE UNDERWAY") + (no_images > 1 ? images_left_suffix() : ""));
    windows_.progress_create();
    progress = 0;
    steps = exposure_steps();
    first_intl = true;

    pump_.clear_messages();
    VN_clearvert();
    VN_clearvert();
    VN_wiper();
    VN_clearvert();

    if (selfguiding) {
        got_guide_image = 0;
        first_selfguide = 1;
        imageptr = image;
        selfguidingframes = 0;
        windows_.info_open();
        last_selfguided = 1;
        selfguided_frame = true;
        if (!selfguiding_darkframe) {
            set_text(info_caption, "Guiding Info - Checking Telescope");
            windows_.info_update();
            if (StartSelfGuide(display_, windows_) != 0) {
                windows_.info_close();
                windows_.progress_close();
                selfguiding = 0;
                return false;
            }
            prepare_selfguided_exposure(pump_, display_, windows_);
        } else {
            set_text(info_caption, "Guiding Info - Darkframe in Progress");
            windows_.info_update();
        }
        VN_wiper();
        VN_clearvert();
    }

    if (seconds_or_minutes()) {
        if (!wait_exposure_seconds())
            return false;
    } else {
        wait_exposure_short();
    }
    if (exposure > 199)
        VN_clearvert();
    if (camera_gone())
        return false;
    if (end_loop)
        return true;

    read_out();
    if (camera_gone())
        return false;
    if (frame_read)
        calibrate_and_stack();
    return true;
}

bool ExposureRun::camera_gone()
{
    // The loss was reported once by the camera link; every later command
    // would fail quietly, so a continuous run or a series would go on
    // taking nothing until a key press.
    if (!usb_camera_lost)
        return false;
    if (windows_.info_is_open())
        windows_.info_close();
    windows_.progress_close();
    end_loop = 1;
    return true;
}

void ExposureRun::wait_exposure_short()
{
    // Under 500 ms the camera times the exposure itself.
    if (exposure < 500)
        return;
    ticks = clock_.now_ms();
    endticks = ticks + exposure;
    std::int64_t next_clear = ticks + short_clear_interval_ms;
    // This wait takes no input; the window is repainted so that it never
    // looks frozen.
    wait_in_passes(ticks, endticks, [&] {
        display_.redraw_window();
        if (ticks >= next_clear) {
            VN_clearvert();
            next_clear += short_clear_interval_ms;
        }
        return std::min(next_clear, ticks + 100);
    });
    display_.redraw_window();
}

bool ExposureRun::wait_exposure_seconds()
{
    windows_.progress_show();
    ticks = clock_.now_ms();
    VN_wiper();
    const std::int64_t t_intl = ticks + download_time + download_time / 50;
    endticks = ticks + exposure;
    std::int64_t t_step = ticks + exposure / steps;
    const std::int64_t t_half = ticks + exposure / 2;
    std::int64_t t_clear = ticks + clear_interval_ms;
    const bool waited = wait_in_passes(ticks, endticks, [&] {
        if (camera_gone())
            return end_wait;
        if (highres_intl && ticks > t_intl && first_intl && !selfguiding) {
            // The first field moves out of the image area at once; the
            // second keeps exposing until the end.
            pump_.beep();
            first_intl = false;
            VN_reader2();
            VN_clearvert();
        }
        service_wait(t_clear, t_step);
        if ((selfguiding || selfguided_frame) && !selfguide_step(t_half, t_step))
            return end_wait;
        return clock_.now_ms() + exposure_poll_ms;
    });
    if (!waited)
        return false;
    if (selfguiding_darkframe)
        selfguidingframes = darkframes;
    return true;
}

void ExposureRun::show_frame()
{
    // A frame that was not read whole is never shown or saved as new.
    if (!frame_read)
        return;
    auto_save_failed = 0;
    display_.show_frame();
    shown_this_frame = true;
    if (auto_save_failed) {
        // Every later frame would fail the same way (a full disk): the run
        // ends here, and the frame stays on show.
        save_failed = true;
        no_images = 0;
        cont_work = 0;
        series_work = 0;
    }
}

bool ExposureRun::after_frame()
{
    windows_.progress_close();
    --no_images;
    if (continuous && multi && no_images == 0) {
        cont_work = 0;
        shown = false;
    }
    if (cont_work) {
        show_frame();
        shown = true;
        if (cont_work && pump_.one_sec_delay(1)) {
            no_images = 0;
            cont_work = 0;
        }
        if (continuous_delay > 0 && cont_work)
            pause_between_frames();
    }
    if (no_images > 0) {
        // A frame the continuous pause already showed is not shown (and
        // auto-saved) twice.
        if (!shown_this_frame)
            show_frame();
        if (save_failed)
            return false;
        if (last_selfguided)
            rearm_selfguiding();
        restore_pick();
        return true;
    }
    if (!end_loop && !shown)
        show_frame();
    if (continuous) {
        if (last_selfguided)
            rearm_selfguiding();
        restore_pick();
    }
    return false;
}

void ExposureRun::pause_between_frames()
{
    set_progress_caption("Pause between exposures");
    progress = 0;
    windows_.progress_open();
    const std::int64_t start = clock_.now_ms();
    const std::int64_t pause = continuous_delay * 60000LL;
    std::int64_t next_step = start + pause / 16;
    ticks = start;
    endticks = start + pause;
    // The stop request ends the pause through endticks like any wait.
    wait_in_passes(ticks, endticks, [&] {
        if (ticks >= next_step) {
            next_step += pause / 16;
            progress += 256 / 16;
            windows_.progress_update();
        }
        pump_.clear_messages();
        return clock_.now_ms() + exposure_poll_ms;
    });
    windows_.progress_close();
}

void ExposureRun::rearm_selfguiding()
{
    got_guide_image = 0;
    first_selfguide = 1;
    selfguidingframes = 0;
    selfguiding = 1;
    switched_frame = interlaced_line = switching = 0;
}

void ExposureRun::restore_pick()
{
    pick_star = pick_star_save;
    if (picked_star) {
        pick_star_small = pick_small;
        xcent = pick_xcent;
        ycent = pick_ycent;
    }
}

void ExposureRun::end_of_command()
{
    if (series_exposure) {
        if (!save_failed)
            messages(50, "Exposure Series Completed");
        exposure = exposure_save;
    }
    restore_pick();
    orig_x = orig_y = merge_x = merge_y = orig_avg = 0;
    guide_x1 = xcent = old_xcent;
    guide_y1 = ycent = old_ycent;
    first_selfguide = 1;
    switched_frame = selfguidinghigh = interlaced_line = 0;
    end_selfguided_run();
    // The wait cursor of the run ends with it, whichever way it ended.
    pump_.wait_cursor(false);
}
CameraDialogScope::CameraDialogScope(CameraDialogRunner runner)
    : previous_(std::exchange(installed_dialog, std::move(runner)))
{
}

CameraDialogScope::~CameraDialogScope()
{
    installed_dialog = std::move(previous_);
}

int exposure_ms()
{
    return exp_value * exposure_unit_ms(exp_range);
}

int exposure_steps()
{
    if ((exp_range == 's' && exp_value > 12) || exp_range == 'm')
        return 20;
    if (exp_range == 's' && exp_value >= 5)
        return 6;
    return 2;
}

void run_camera_command()
{
    ExposureRun run(event_pump(), frame_display(), run_windows());
    run.run();
}
