// Setting values that the settings file and the defaults dialog both set:
// the background colour, the direction swaps, the auto-save sub-folder and
// the guiding numbers typed by hand.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// default_back = 'l', 'r' or 'g' with its colour in back_r, back_g, back_b;
// any other letter is stored as given and shows the red background.
void set_default_back(char letter);

// Exchange the letters of a direction pair: when n is 'n', n = 's' and
// s = 'n'; otherwise both go back to 'n', 's'. Likewise e and w.
void swap_north_south();
void swap_east_west();

// A sub-folder name that stays inside the auto-save folder: no ":", "\\",
// "/", ".." or quote, at most 79 characters (what the settings file stores).
// The empty name is valid (no sub-folder).
bool valid_auto_save_subdir(const std::string& name);
// Sets auto_save_subdir and derives auto_save_dir from it (the auto-save
// folder itself for the empty name). False, and nothing changed, for a name
// that valid_auto_save_subdir refuses.
bool set_auto_save_subdir(const std::string& name);
// auto_save_dir from the current auto_save_subdir.
void derive_auto_save_dir();

// The six guiding numbers of the dialog; a field that is not a number keeps
// its global. Every number must fit what the settings file stores and its
// range: rates 1..32767 (guiding divides by them), backlash and hysteresis
// 0..20. When one does not, nothing is stored and the text returned names
// the field and its range; an empty text when the numbers were stored.
struct ManualValues {
    std::optional<int> slewx, slewy, backlashx, backlashy, hystx, hysty;
};
std::string apply_manual_values(const ManualValues& values);

// UT for a local date and time: the wall-clock time plus FITS_Diff hours, in
// seconds since 1970, to be broken down with gmtime. It stands for the
// "GMT" + FITS_Diff time zone that the settings load and save would install.
std::int64_t ut_seconds(const std::tm& local);
// UT now, from the program clock's local time.
std::int64_t ut_now();
