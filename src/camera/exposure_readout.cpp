// The read-out half of the exposure loop: the transfer and field reads of
// each mode, the second exposure of the interlaced mode, the switch of a
// self-guided exposure at mid-exposure, and calibration and stacking.
#include <string>

#include "app/messages.h"
#include "camera/exposure_run.h"
#include "camera/readout.h"
#include "camera/timed_wait.h"
#include "processing/accumulate.h"
#include "processing/calibration.h"
#include "processing/filters.h"
#include "store/buffers.h"
#include "telescope/guiding.h"

namespace {
// A dark or flat file that could not be opened (11) or is no camera file
// (12) gets its two messages, from `first_message`; one that served is kept
// for the rest of the run.
void note_calibration(int result, int first_message, int& loaded)
{
    if (result == 11)
        messages(first_message);
    else if (result == 12)
        messages(first_message + 1);
    else
        loaded = 1;
}
} // namespace

void ExposureRun::service_wait(std::int64_t& t_clear, std::int64_t& t_step)
{
    if (ticks > t_clear) {
        t_clear = ticks + clear_interval_ms;
        VN_clearvert();
    }
    if (ticks > t_step) {
        t_step += exposure / steps;
        progress += 256 / steps;
        windows_.progress_update();
    }
    pump_.clear_messages();
}

bool ExposureRun::selfguide_step(std::int64_t t_half, std::int64_t& t_step)
{
    if (selfguiding && switch_frame && ticks >= t_half && !switched_frame)
        switch_selfguided_frame(t_step);
    if (selfguiding) {
        if (!selfguiding_darkframe || selfguidingframes < darkframes / 2)
            SelfGuide(pump_, display_, windows_);
    }
    if (!selfguiding) {
        endticks = 0;
        windows_.info_close();
        windows_.progress_close();
        end_loop = 1;
        messages(57);
        return false;
    }
    ++selfguidingframes;
    return true;
}

void ExposureRun::switch_selfguided_frame(std::int64_t& t_step)
{
    switching = switched_frame = 1;
    VN_clearvert();
    VN_reader3();
    set_text(info_caption, "Guiding Info - Downloading Image");
    windows_.info_update();
    // The first half of the exposure is read now and kept in trial.
    tracking = 0;
    charimageptr = reinterpret_cast<unsigned char*>(image);
    intimageptr = image;
    VN_first_read();
    backup_image(image, trial);
    VN_wiper();
    tracking = 1;
    SwitchSelfGuide(display_, windows_);
    VN_wiper();
    VN_clearvert();
    pump_.clear_messages();
    progress = 128;
    const std::int64_t now = clock_.now_ms();
    endticks = now + exposure / 2;
    t_step = now + exposure / steps;
    if (selfguiding_darkframe)
        selfguidingframes = 0;
    switching = 0;
}

void ExposureRun::read_out()
{
    const bool selfguided_high = start_read_out();
    charimageptr = reinterpret_cast<unsigned char*>(image);
    intimageptr = image;
    const bool switched_high = switch_frame && selfguidinghigh;
    if (switched_high)
        interlaced_line = 1;
    frame_read = binned ? VN_binned_read() : VN_first_read();
    interlaced_line = 0;
    if (end_loop) {
        // Stopped during the download (the main window was closed): the
        // frame is discarded and no second field is read.
        frame_read = false;
        imageptr = image;
        return;
    }

    if (highres_intl && !selfguided_high && !switched_frame)
        read_second_field();
    else if (highres_nonintl && !selfguided_frame)
        second_exposure();

    if (switched_high) {
        switch_frame = 0;
        do_add_image(image, trial, 0);
        smooth_rows();
    }
    selfguiding = 0;
    if (binned21 || highres21_selfguide) {
        if (frame_read)
            fill_binned(image);
        highres21_selfguide = 0;
    }
    display_.redraw_window();
    pump_.clear_messages();
    imageptr = image;
}

bool ExposureRun::start_read_out()
{
    std::string caption = "READ ZQ CAMERA";
    if (no_images > 1)
        caption += images_left_suffix();
    else
        caption += binned ? " - takes 1 - 2 seconds" : " - takes 3 - 4 seconds";
    set_progress_caption(caption);
    windows_.progress_update();

    bool selfguided_high = false;
    if (selfguided_frame) {
        if (switch_frame)
            VN_reader2();
        else
            VN_reader3();
        tracking = 0;
        selfguiding = 0;
        if (selfguidinghigh) {
            binned = 0;
            highres21_selfguide = selfguiding21;
            selfguided_high = true;
        } else {
            highres21_selfguide = 0;
        }
        windows_.info_close();
        display_.redraw_window();
        selfguiding_darkframe = 0;
    } else if (highres_intl) {
        VN_reader3();
    } else {
        VN_reader();
    }
    if (!seconds_or_minutes())
        windows_.progress_show();
    progress = 0;
    // The read-out takes no input for a second or more: paint first.
    display_.redraw_window();
    return selfguided_high;
}

void ExposureRun::read_second_field()
{
    VN_clearvert();
    VN_clearvert();
    set_progress_caption("READ ZQ CAMERA - Interlaced");
    VN_reader2();
    windows_.progress_update();
    progress = 0;
    interlaced_line = 1;
    display_.redraw_window();
    frame_read = VN_first_read() && frame_read;
    finish_fields();
}

void ExposureRun::second_exposure()
{
    VN_reader();
    VN_clearvert();
    VN_wiper();
    auto pump = [this] {
        pump_.clear_messages();
        return clock_.now_ms() + exposure_poll_ms;
    };
    if (!seconds_or_minutes()) {
        if (exposure >= 500) {
            ticks = clock_.now_ms();
            endticks = ticks + exposure;
            wait_in_passes(ticks, endticks, pump);
        }
    } else {
        progress = 0;
        set_progress_caption("SECOND EXPOSURE");
        ticks = clock_.now_ms();
        endticks = ticks + exposure;
        std::int64_t t_step = ticks + exposure / steps;
        std::int64_t t_clear = ticks + clear_interval_ms;
        windows_.progress_update();
        if (exposure >= 500)
            wait_in_passes(ticks, endticks, [&] {
                service_wait(t_clear, t_step);
                return clock_.now_ms() + exposure_poll_ms;
            });
    }
    if (exposure > 199)
        VN_clearvert();
    if (!end_loop) {
        set_progress_caption("READ ZQ CAMERA - Interlaced(2nd Exposure)");
        windows_.progress_update();
        VN_clearvert();
        VN_reader3();
        VN_reader2();
        progress = 0;
        interlaced_line = 1;
        display_.redraw_window();
        frame_read = VN_first_read() && frame_read;
    } else {
        // The second field was never read: the frame is not a whole one.
        frame_read = false;
    }
    finish_fields();
}

void ExposureRun::finish_fields()
{
    interlaced_line = 0;
    imageptr = image;
    image = image_int;
    smooth_rows();
}

void ExposureRun::smooth_rows()
{
    if (apply_correction && frame_read) {
        venetian_blind(imageptr, undo);
        // The smoothing works in undo, where the dark frame is kept.
        darkframe_loaded = 0;
    }
}

void ExposureRun::calibrate_and_stack()
{
    if (darkframe_remove)
        note_calibration(auto_remove(darkframe_loaded, DarkFileName.c_str(), undo, imageptr, undo), 3,
            darkframe_loaded);
    if (flatfield_remove)
        note_calibration(auto_flatfield(flatfield_loaded, FlatFileName.c_str(), save, imageptr, save), 5,
            flatfield_loaded);
    image = image_int;
    if (multi && !continuous && !last_selfguided) {
        const int result = slew_sum_alt
            ? slew_accumulate(image, trial, orig_x, orig_y, merge_x, merge_y, orig_max, orig_avg)
            : track_accumulate(image, trial, orig_x, orig_y, merge_x, merge_y, orig_max, orig_avg);
        if (result == 1) {
            no_images = 1;
            messages(33);
        } else if (result == 2) {
            no_images = 1;
            messages(34);
        }
    }
}
