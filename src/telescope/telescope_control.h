// What the telescope dialogs do, without the dialogs: opening the link for
// them, catalogue, planet and coordinate go-tos with their range checks,
// and hand moves driven by scroll-bar codes. The dialogs only read their
// controls, call these and show move_error.
#pragma once

#include <string>

// Scroll codes of the hand-move bars.
constexpr int scroll_line_up = 0; // line up / left: the arrow at the top or left
constexpr int scroll_line_down = 1; // line down / right
constexpr int scroll_end = 8; // the arrow was released

// Control ids of the LX200 dialog's hand-move bars.
constexpr int bar_east_west = 118;
constexpr int bar_north_south = 119;
constexpr int bar_focus = 124;
// ... and of the control-box dialog's.
constexpr int box_bar_east_west = 101;
constexpr int box_bar_north_south = 102;

extern const char* const control_caption; // "Quillon - Control Telescope"
extern const char* const control_help_text;

// Opens the configured link when it is not open yet. False (after "Sorry.
// No Connection to Telescope", with `telescope` set to 'n') when the LX200
// port cannot be opened; then no dialog may open.
bool open_telescope_control();

// A typed number as the dialogs read it: optional blanks and a sign, then
// digits; anything else reads as 0.
int dialog_number(const std::string& text);

// "GoTo Object": the Messier number wins when it is 1..110, else the CNGC
// number 1..7815, else "Object out of range - try again" and nothing is sent.
void goto_object(const std::string& messier, const std::string& cngc);
// A planet by its button id, 104 (Mercury) .. 111 (Pluto).
void goto_planet(int button_id);
// "Go To ": right ascension and declination as typed, checked first.
void goto_coordinates(const std::string& ra_hours, const std::string& ra_minutes,
    const std::string& dec_degrees, const std::string& dec_minutes);

// A scroll-bar code of the LX200 dialog's bars 118, 119 and 124: an arrow
// starts a move (once, however long it is held), the release stops it.
void hand_move_scroll(int bar, int code);
// The same for the control-box dialog's bars 101 and 102.
void box_move_scroll(int bar, int code);
