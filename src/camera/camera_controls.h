// What the camera control dialog's controls do to the program state. The
// dialog (camera_dialog.h) is a thin view over these: each control calls one
// of them and shows the globals again, so the rules live here, where the
// exposure loop and the tests reach them without a widget.
#pragma once

#include <string>

// Milliseconds per unit of `exp_range`: 'q' 1, 'h' 10, 't' 100, 'm' 60,000,
// anything else 1000.
int exposure_unit_ms(char range);
// The same for self-guiding frames, which have no minutes: 'q' 1, 'h' 10,
// 't' 100, anything else 1000.
int selfguiding_unit_ms(char range);

// The unit radio buttons (701..705): unit, its limit and its start value.
void set_exposure_unit(char range);
// The exposure arrows (bar 104): the down arrow adds one while below
// `max_exp`, the up arrow takes one off while above `min_exp`.
void exposure_arrow(bool down);
// The arrows of the number of exposures (bar 111, 1..99) and of the pause
// between continuous frames (bar 119, 0..20 minutes).
void images_arrow(bool down);
void continuous_delay_arrow(bool down);
// A typed exposure value is taken when it is a whole number above 0 and
// below `max_exp`; anything else leaves `exp_value` as it was.
bool take_typed_exposure(const std::string& text);

// The focus gain bar (124), 10..16.
enum class StretchScroll { line_up, line_down, page_up, page_down, thumb };
void focus_stretch_scroll(StretchScroll code, int position);

// The camera mode radio buttons (126..129): exactly one mode flag is 1, and
// choosing a mode disarms self-guiding.
enum class CameraMode { standard, high_res_fast, high_res_progressive, high_res_interlaced };
void set_camera_mode(CameraMode mode);
CameraMode camera_mode();

// "Series Exposure" (710): a series always auto-saves its frames.
void toggle_series_exposure();

// "Self-Guide Next Exposure" (135) and "Take matching Darkframe" (138).
// Both first make sure the control box's port was tried.
void SetSelfGuiding();
void SetSelfGuidingDarkframe();
// The texts of fields 134 and 136 while self-guiding is armed.
const char* selfguiding_unit_word();
const char* selfguiding_resolution_text();

// Focus mode refuses minutes and values of 100 or more.
bool focus_mode_refused();

// The help box of button 9.
extern const char* const camera_help_caption;
extern const char* const camera_help_text;
