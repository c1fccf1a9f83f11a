#include "telescope/guiding.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstdio>

#include "app/clock.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/text_field.h"
#include "app/wait.h"
#include "camera/readout.h"
#include "processing/centroid.h"
#include "store/buffers.h"
#include "store/settings_file.h"
#include "telescope/cloud_wait.h"
#include "telescope/guide_options.h"
#include "telescope/guide_record.h"
#include "telescope/guide_telescope.h"

namespace {
void set_info_caption(RunWindows& windows, const char* caption)
{
    set_text(info_caption, caption);
    windows.info_update();
}

// What the last call of guide_telescope asked of the mount.
GuideCorrection last_correction;

// Whether the last guide frame of command 889 arrived.
bool guide_frame_arrived = false;

// How far the guide star's brightest sample stood above the window's median
// when the reference was taken; 0 before that.
int reference_signal = 0;

// Brightest sample less the median of the search window around (x, y) of a
// 128 x 128 guide frame.
int star_signal(const unsigned short* frame, int x, int y)
{
    static unsigned short window[31 * 31];
    int count = 0, peak = 0;
    for (int row = y - cur_rad; row <= y + cur_rad; ++row)
        for (int column = x - cur_rad; column <= x + cur_rad; ++column) {
            if (row < 0 || row >= 128 || column < 0 || column >= 128 || count >= 31 * 31)
                continue;
            const unsigned short v = frame[row * 128 + column];
            window[count++] = v;
            peak = std::max<int>(peak, v);
        }
    if (count == 0)
        return 0;
    std::nth_element(window, window + count / 2, window + count);
    return peak - window[count / 2];
}

void remember_signal(const unsigned short* frame)
{
    reference_signal = star_signal(frame, xcent, ycent);
}

// A window of noise still has a brightest sample and a centroid: a star
// that has gone (clouds, a bump of the mount) must not be chased through
// it. Faded below a quarter of its reference brightness, it is gone; it is
// waited for (cloud_wait.h) and lost only when the wait runs out.
CloudWait cloud;

void star_lost_message(EventPump& pump)
{
    if (!selfguiding)
        pump.message_box("Sorry, Nothing found to centre on - exposure continuing", "QUILLON  - Find Centre");
}

// A star back from a cloud must be near its place: one the jump filter
// would skip for ever is not guiding.
bool near_reference()
{
    const int ex = (guide_x1 - xcent) * 1000 + (x1dec - xcentdec) * 100;
    const int ey = (guide_y1 - ycent) * 1000 + (y1dec - ycentdec) * 100;
    return std::abs(ex) <= guide_jump_limit && std::abs(ey) <= guide_jump_limit;
}

// Takes the star just found in `frame` as the guiding reference, tenths
// and brightness included.
void take_reference(const unsigned short* frame)
{
    guide_x1 = xcent;
    guide_y1 = ycent;
    x1dec = xcentdec;
    y1dec = ycentdec;
    remember_signal(frame);
    cloud.reset();
}
} // namespace

int search_guide_star(int x, int y, const unsigned short* frame)
{
    // find_centre reports "nothing found" as success and leaves the centroid
    // alone; a guider that took the old position as a fresh measurement
    // would correct a star that is no longer there, for ever.
    const int old_x = xcent, old_y = ycent;
    xcent = ycent = INT_MIN;
    const int result = find_centre(x, y, frame, cur_rad);
    if (xcent == INT_MIN || ycent == INT_MIN) {
        xcent = old_x;
        ycent = old_y;
        return 1;
    }
    return result;
}

int send_guide_pulse(const GuidePulse& pulse, EventPump& pump)
{
    slewdir = pulse.direction;
    slew_time = pulse.ms;
    pump.beep();
    const bool sent = telescope_link().guide_pulse(pulse.direction, pulse.ms);
    pump.beep();
    return sent ? 0 : -1;
}

int guide_telescope(const unsigned short* frame, EventPump& pump)
{
    last_correction = {};
    if (!telescope_link().healthy())
        return guide_link_failed;
    const int signal = star_signal(frame, guide_x1, guide_y1);
    bool gone = star_has_faded(signal, reference_signal);
    if (!gone) {
        const bool found
            = search_guide_star(static_cast<std::int16_t>(guide_x1), static_cast<std::int16_t>(guide_y1), frame)
            == 0;
        if (!found && !cloud.paused()) {
            guiding = selfguiding = tracking = 0;
            return guide_star_lost;
        }
        gone = !found || (cloud.paused() && !near_reference());
    }
    switch (cloud.check(gone, program_clock().now_ms(), cloud_wait_seconds())) {
    case CloudWait::Verdict::paused:
        publish_guide_event(GuideEventKind::cloud_pause);
        publish_paused_frame(signal);
        return guide_ok;
    case CloudWait::Verdict::waiting:
        publish_paused_frame(signal);
        return guide_ok;
    case CloudWait::Verdict::gave_up:
        publish_guide_event(GuideEventKind::cloud_gave_up);
        star_lost_message(pump);
        guiding = selfguiding = tracking = 0;
        return guide_star_lost;
    case CloudWait::Verdict::resumed:
        publish_guide_event(GuideEventKind::cloud_resume);
        break;
    case CloudWait::Verdict::clear:
        break;
    }
    const GuideCorrection c = guide_correction(xcent, xcentdec, ycent, ycentdec);
    last_correction = c;
    x3 = c.x3;
    y3 = c.y3;
    const int ra_ms = c.ra.moves() ? (c.ra.direction == e ? c.ra.ms : -c.ra.ms) : 0;
    const int dec_ms = c.dec.moves() ? (c.dec.direction == n ? c.dec.ms : -c.dec.ms) : 0;
    publish_guide_frame(c.skipped ? 0 : ra_ms, c.skipped ? 0 : dec_ms, star_signal(frame, xcent, ycent), c.skipped);
    if (c.skipped)
        return guide_ok;
    if (c.ra.moves() && send_guide_pulse(c.ra, pump) != 0)
        return guide_link_failed;
    if (Losmandy_pause)
        wait_ms(70);
    if (c.dec.moves() && send_guide_pulse(c.dec, pump) != 0)
        return guide_link_failed;
    return guide_ok;
}

bool read_guide_frame()
{
    imageptr = image;
    charimageptr = reinterpret_cast<unsigned char*>(image);
    return VN_camera_guide();
}

bool read_selfguide_frame()
{
    imageptr = image;
    charimageptr = reinterpret_cast<unsigned char*>(image);
    return VN_camera_selfguide();
}

// Command 889: one guide frame of training, shown in the main window.
void guide_telescope_frame()
{
    guide_frame_arrived = read_guide_frame();
    event_pump().clear_messages();
    if (end_loop || !guide_frame_arrived)
        return;
    frame_display().prepare_display();
    if (training)
        frame_display().redraw_window();
    else
        run_windows().info_update();
}

namespace {
const char* direction_name(char letter)
{
    switch (letter) {
    case 'n':
        return "north";
    case 's':
        return "south";
    case 'e':
        return "east";
    case 'w':
        return "west";
    default:
        return "?";
    }
}

// Training's progress in the information window: which move of the eight,
// its direction and length in the caption; the star's place and its offset
// from where training began in the fields.
void show_training_move(int number, const GuidePulse& move)
{
    char caption[sizeof info_caption];
    std::snprintf(caption, sizeof caption, "Training %d of 8: %s %d ms", number, direction_name(move.direction),
        move.ms);
    set_info_caption(run_windows(), caption);
}

// guide_x1, guide_y1 hold where the star was when training began.
void show_training_offset()
{
    x3 = static_cast<std::int16_t>((xcent - guide_x1) * 1000);
    y3 = static_cast<std::int16_t>((ycent - guide_y1) * 1000);
    run_windows().info_update();
}

// The eight timed moves, each followed by a guide frame and the search for
// the star. False when a link failed, a frame did not come, a press stopped
// the run or the star was lost: the settings then stay as they were.
bool run_training_moves(GuiderTraining& steps, unsigned short* frame)
{
    int number = 0;
    while (!steps.done()) {
        const GuidePulse move = steps.next_move();
        show_training_move(++number, move);
        slewdir = move.direction;
        slew_time = move.ms;
        if (drive_slew() < 0)
            return false;
        event_pump().send_command(889);
        if (!guide_frame_arrived || end_loop)
            return false;
        got_guide_image = 1;
        find_centre(steps.search_x(), steps.search_y(), frame, cur_rad);
        if (search_guide_star(xcent, ycent, frame) != 0)
            return false;
        steps.measured(xcent, ycent);
        show_training_offset();
    }
    return true;
}

// Keeps what training measured: the positions, the rates and backlash
// (shown first, with their units on a line of their own), then the settings.
void keep_training_result(const GuiderTraining& steps)
{
    guide_x1 = steps.xs[0];
    x2 = steps.xs[1];
    x3 = steps.xs[2];
    x4 = steps.xs[3];
    x5 = steps.xs[4];
    guide_y1 = steps.ys[0];
    y2 = steps.ys[1];
    y3 = steps.ys[2];
    y4 = steps.ys[3];
    y5 = steps.ys[4];
    const TrainingResult r = steps.result();
    slewx = r.slewx;
    slewy = r.slewy;
    backlashx = r.backlashx;
    backlashy = r.backlashy;
    char text[200];
    std::snprintf(text, sizeof text,
        "slewx = %5d, slewy = %5d\nbacklashx = %5d, backlashy = %5d\n"
        "(slew in pixels per second; backlash in thousandths of a pixel)",
        slewx, slewy, backlashx, backlashy);
    messages(50, text);
    if (slewx == 0)
        slewx = 1;
    if (slewy == 0)
        slewy = 1;
    if (SaveINIFile(ini_file.c_str()) != settings_ok)
        messages(24);
}
} // namespace

void do_CmTrainGuide(unsigned short* frame)
{
    if (telescope == 'n' || !got_vn || !picked_star) {
        messages(53);
        return;
    }
    comm_check_training();
    if (!comfound) {
        messages(54);
        return;
    }
    telescope_link().before_training();
    calc_guideframe();
    guiding = 1;
    training = 1;
    continuous = 0;
    cur_rad = star_mask;

    GuiderTraining steps(xcent, ycent, slewdefault, hystx, hysty);
    guide_x1 = xcent;
    guide_y1 = ycent;
    RunWindows& windows = run_windows();
    set_info_caption(windows, "Training");
    windows.info_open();
    if (run_training_moves(steps, frame))
        keep_training_result(steps);
    windows.info_close();

    training = guiding = tracking = 0;
    if (picked_star) {
        pick_star_small = pick_small;
        xcent = pick_xcent;
        ycent = pick_ycent;
    } else {
        picked_star = 0;
    }
}

void train_guider()
{
    image = image_int;
    do_CmTrainGuide(image);
    picked_star = 0;
    end_loop = 0;
    // The pick is gone: its cross must not stay on the picture.
    frame_display().redraw_window();
}

GuideFrame guiding_step(EventPump& pump, FrameDisplay& display, RunWindows& windows)
{
    GuideFrame done;
    pump.clear_messages();
    if (!continuous)
        return done;
    // A guide frame that did not arrive would be the last one again:
    // correcting it twice would push the star away.
    const bool arrived = read_guide_frame();
    if (!arrived) {
        continuous = 0;
        end_loop = 1;
    } else if (fst) {
        if (search_guide_star(xcent, ycent, imageptr) != 0) {
            continuous = 0;
            end_loop = 1;
        } else {
            search_guide_star(xcent, ycent, imageptr);
        }
        guide_x1 = xcent;
        guide_y1 = ycent;
        remember_signal(imageptr);
        cloud.reset();
        if (!end_loop)
            begin_guide_run(GuideRunKind::guiding);
        fst = 0;
        set_text(info_caption, "Guiding Info");
        windows.info_open();
        got_guide_image = 1;
    }
    pump.clear_messages();
    if (end_loop)
        return done;
    display.show_frame();
    imageptr = image;
    done.result = guide_telescope(imageptr, pump);
    done.corrected = done.result != guide_star_lost;
    done.correction = last_correction;
    if (done.result != guide_ok)
        continuous = 0;
    windows.info_update();
    return done;
}

void start_guiding()
{
    if (telescope == 'n' || !got_vn) {
        messages(55);
        return;
    }
    if (!picked_star) {
        messages(53);
        return;
    }
    comm_check();
    if (!comfound) {
        messages(54);
        return;
    }
    telescope_link().wake();

    guiding = 1;
    training = 0;
    continuous = 1;
    continuous_delay = 0;
    cur_rad = star_mask;
    calc_guideframe();
    end_loop = 0;
    guide_x1 = xcent;
    guide_y1 = ycent;
    reference_signal = 0;

    EventPump& pump = event_pump();
    FrameDisplay& display = frame_display();
    RunWindows& windows = run_windows();
    while (continuous)
        guiding_step(pump, display, windows);

    end_guide_run();
    messages(51);
    windows.info_close();
    // However it ended, the frames are full-size again.
    guiding = tracking = 0;
    fst = 1;
    end_loop = 0;
    focus_frame_reset();
    xcent = old_xcent;
    ycent = old_ycent;
}

int StartSelfGuide(FrameDisplay& display, RunWindows& windows)
{
    imageptr = image;
    display.redraw_window();
    if (!got_vn || telescope == 'n') {
        messages(55);
        return 1;
    }
    if (!picked_star) {
        messages(53);
        return 1;
    }
    comm_check();
    if (!comfound) {
        messages(54);
        return 2;
    }
    set_info_caption(windows, "Guiding Info - Creating Guiding Frame");
    telescope_link().wake();
    training = 0;
    continuous_delay = 0;
    cur_rad = star_mask;
    calc_guideframe();
    if (selfguidinghigh && binned) {
        binned = 0;
        highres_intl = 1;
        ZQ_binned();
    } else if (!selfguidinghigh && !binned) {
        binned = 1;
        binned21 = highres_intl = highres_nonintl = 0;
        ZQ_binned();
    }
    end_loop = 0;
    guide_x1 = xcent;
    guide_y1 = ycent;
    reference_signal = 0;
    set_info_caption(windows, "Guiding Info - stabilising");

    for (int i = 0; i < 3; ++i) {
        if (!read_selfguide_frame()) {
            guiding = tracking = 0;
            return 3;
        }
        first_selfguide = 1;
        display.prepare_display();
        windows.info_update();
    }
    got_guide_image = 1;
    if (search_guide_star(guide_x1, guide_y1, image) != 0) {
        guiding = tracking = 0;
        return 3;
    }
    take_reference(image);
    set_info_caption(windows, "Guiding Info");

    if (!read_selfguide_frame()) {
        guiding = tracking = 0;
        return 3;
    }
    if (search_guide_star(guide_x1, guide_y1, image) == 0)
        take_reference(image);
    windows.info_update();
    begin_guide_run(GuideRunKind::self_guiding);
    return 0;
}

void SelfGuide(EventPump& pump, FrameDisplay& display, RunWindows& windows)
{
    imageptr = image;
    const bool arrived = read_selfguide_frame();
    if (selfguiding_darkframe)
        return;
    display.prepare_display();
    if (!arrived || guide_telescope(imageptr, pump) != guide_ok) {
        selfguiding = 0;
        guiding = 0;
        return;
    }
    windows.info_update();
}

void SwitchSelfGuide(FrameDisplay& display, RunWindows& windows)
{
    set_info_caption(windows, "Guiding Info - Switching Guiding Frame");
    const bool dark = selfguiding_darkframe != 0;
    if (!dark)
        display.prepare_display();
    first_selfguide = 1;
    for (int i = 0; i < 2; ++i) {
        read_selfguide_frame();
        if (!dark)
            display.prepare_display();
    }
    if (!dark) {
        windows.info_update();
        if (search_guide_star(guide_x1, guide_y1, image) == 0)
            take_reference(image);
    }
    set_info_caption(windows, dark ? "Guiding Info - Darkframe in Progress" : "Guiding Info");
    read_selfguide_frame();
    if (!dark) {
        if (search_guide_star(guide_x1, guide_y1, image) == 0)
            take_reference(image);
    }
    windows.info_update();
}
