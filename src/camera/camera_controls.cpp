#include "camera/camera_controls.h"

#include <charconv>

#include "app/host.h"
#include "app/state.h"
#include "telescope/control_box.h"
#include "telescope/serial_port.h"

int exposure_unit_ms(char range)
{
    switch (range) {
    case 'q':
        return 1;
    case 'h':
        return 10;
    case 't':
        return 100;
    case 'm':
        return 60000;
    default:
        return 1000;
    }
}

int selfguiding_unit_ms(char range)
{
    return range == 'm' ? 1000 : exposure_unit_ms(range);
}

void set_exposure_unit(char range)
{
    struct Unit {
        char range;
        int max_exp;
        int start;
    };
    static constexpr Unit units[]
        = { { 'q', 1000, 5 }, { 'h', 500, 5 }, { 't', 100, 1 }, { 's', 300, 1 }, { 'm', 90, 1 } };
    for (const Unit& unit : units) {
        if (unit.range == range) {
            exp_range = unit.range;
            max_exp = unit.max_exp;
            exp_value = unit.start;
            return;
        }
    }
}

void exposure_arrow(bool down)
{
    if (down && exp_value < max_exp)
        ++exp_value;
    else if (!down && exp_value > min_exp)
        --exp_value;
}

void images_arrow(bool down)
{
    if (down && no_images < 99)
        ++no_images;
    else if (!down && no_images > 1)
        --no_images;
}

void continuous_delay_arrow(bool down)
{
    if (down && continuous_delay < 20)
        ++continuous_delay;
    else if (!down && continuous_delay > 0)
        --continuous_delay;
}

bool take_typed_exposure(const std::string& text)
{
    std::size_t begin = text.find_first_not_of(" \t");
    std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    int value = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+')
        ++first;
    const auto [ptr, error] = std::from_chars(first, last, value);
    if (error != std::errc() || ptr != last)
        return false;
    if (value <= 0 || value >= max_exp)
        return false;
    exp_value = value;
    return true;
}

void focus_stretch_scroll(StretchScroll code, int position)
{
    switch (code) {
    case StretchScroll::line_up:
        if (focus_stretch > 10)
            --focus_stretch;
        break;
    case StretchScroll::line_down:
        if (focus_stretch < 16)
            ++focus_stretch;
        break;
    case StretchScroll::page_up:
        focus_stretch = 10;
        break;
    case StretchScroll::page_down:
        focus_stretch = 16;
        break;
    case StretchScroll::thumb:
        if (position >= 10 && position <= 16)
            focus_stretch = position;
        break;
    }
}

void set_camera_mode(CameraMode mode)
{
    binned = mode == CameraMode::standard;
    binned21 = mode == CameraMode::high_res_fast;
    highres_intl = mode == CameraMode::high_res_progressive;
    highres_nonintl = mode == CameraMode::high_res_interlaced;
    selfguiding = 0;
}

CameraMode camera_mode()
{
    if (binned21)
        return CameraMode::high_res_fast;
    if (highres_intl)
        return CameraMode::high_res_progressive;
    if (highres_nonintl)
        return CameraMode::high_res_interlaced;
    return CameraMode::standard;
}

void toggle_series_exposure()
{
    series_exposure = series_exposure ? 0 : 1;
    if (series_exposure)
        auto_save_fits = 1;
}

namespace {
// Opens the control box's port once, so self-guiding finds it ready; a port
// that does not answer is released again.
void probe_control_box()
{
    if (gotcontrolbox || comfound)
        return;
    interface_check();
    interface_CR();
    if (!comfound)
        serial_port().done(Port);
}

// Self-guiding reads its guide frames in the two-exposure high-resolution
// mode or binned; the mode decides which guide frame it uses.
void arm_selfguiding_modes()
{
    if (binned21) {
        selfguidinghigh = selfguiding21 = switch_frame = 1;
    } else if (highres_nonintl) {
        switch_frame = selfguidinghigh = 1;
        selfguiding21 = 0;
    } else {
        switch_frame = selfguidinghigh = selfguiding21 = 0;
    }
}
} // namespace

void SetSelfGuiding()
{
    probe_control_box();
    if (selfguiding) {
        selfguiding = 0;
        return;
    }
    // The guide frames must be short: under 12 seconds in every unit.
    bool short_enough = false;
    switch (exp_range) {
    case 'q':
        short_enough = exp_value < 12000;
        break;
    case 'h':
        short_enough = exp_value < 1200;
        break;
    case 't':
        short_enough = exp_value < 120;
        break;
    case 's':
        short_enough = exp_value < 12;
        break;
    default:
        break;
    }
    if (!short_enough) {
        event_pump().beep();
        return;
    }
    selfguiding = 1;
    selfguiding_exp_range = exp_range;
    selfguiding_exp_value = exp_value;
    if (highres_intl) {
        // The single-exposure mode has no mid-exposure frame switch.
        highres_intl = 0;
        highres_nonintl = 1;
        event_pump().beep();
    }
    arm_selfguiding_modes();
}

void SetSelfGuidingDarkframe()
{
    probe_control_box();
    selfguiding_darkframe = selfguiding_darkframe ? 0 : 1;
    if (selfguiding_darkframe) {
        darkframes = selfguidingframes;
        selfguiding = 1;
        arm_selfguiding_modes();
    } else {
        selfguiding = 0;
    }
}

const char* selfguiding_unit_word()
{
    switch (selfguiding_exp_range) {
    case 'q':
        return "thousandths";
    case 'h':
        return "hundredths";
    case 't':
        return "tenths";
    case 's':
        return "seconds";
    default:
        return "minutes";
    }
}

const char* selfguiding_resolution_text()
{
    if (selfguiding21)
        return "High Resolution  - Fast";
    if (selfguidinghigh)
        return "High Resolution  - Interlaced";
    return "Normal Resolution";
}

bool focus_mode_refused()
{
    return exp_range == 'm' || exp_value >= 100;
}

const char* const camera_help_caption = "Quillon - Control ZQ Camera";
const char* const camera_help_text
    = "Select exposure range using Radio buttons on left of dialog Window \nSelect anti-smear status using "
      "checkbox\nVary exposure time using scroll arrows,and take exposure by pressing the 'Take Photo' "
      "button\n\nThe Focus mode allows repeated exposures of 0.01 to 10 seconds to be made, and displays the "
      "value of the most saturated pixel. In a starfield, altering the focus until the maximum value is "
      "returned will give a good indication of best focus.\n\nIt is posssible to use an 'slew and sum' mode, "
      "which will automatically sum images together, taking into account small amounts of drift in the "
      "telescope drive. To do this simply change the number of exposures from 1 to any value less than "
      "100.\n\nPress Right Hand mouse button anywhere in Quillon Window to pematurely terminate an "
      "exposure.\n\nThe delay option gives an audible 10 second countdown to the exposure start\n\nIf "
      "multiple is used to control Continuous mode Slew&Sum is disabled";
