// Auto-save: the current image as a numbered FITS file in the auto-save
// folder, stamped with the UT date and time of mid-exposure. The number
// survives restarts through the settings file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// 0 when the image and then the settings file were written; 1 when the FITS
// write failed (an existing file of the name is untouched); 3 when the
// settings write after a good FITS write failed.
int auto_save(const unsigned short* fredptr);
// Set when auto_save() could not write its FITS file; a run that auto-saves
// clears it before it shows a frame and ends when it is set afterwards.
extern int auto_save_failed;
// Whether showing the frame in memory auto-saves it: when auto-save is on and
// the frame is no guide or focus frame (a window read over the last frame).
bool shown_frame_is_auto_saved();

// Whether a result of auto_save() calls for the settings-write message now.
// A settings file that cannot be written fails every auto-save the same way:
// the user is told once, and again only after a good write in between.
bool settings_failure_to_report(int auto_save_result);
// Forgets that the failure was reported (program start, each test).
void forget_settings_failure_report();

// Whether the image in memory came from an exposure of this run: the
// exposure loop sets start_exp, showing the frame sets end_exp. Auto-save
// stamps such a frame with its mid-exposure time and any other frame with
// the time of the save.
bool frame_was_exposed();
// The image in memory no longer comes from an exposure (a file was opened).
void forget_exposure_times();

// A sub-folder name may not leave the auto-save folder: no "/", "\", ":"
// and no "..". An empty name is safe (the folder itself).
bool auto_save_subdir_is_safe(const char* subdir);
// Sets auto_save_dir to <root>/AUTOSAVE, followed by /auto_save_subdir when
// that is set and safe.
void update_auto_save_dir();
// The path of auto-saved image `number`.
std::string auto_save_path(int number);
// Sets FITS_Time and FITS_Date to the UT of `clock_seconds` (seconds of the
// program clock): local wall-clock time plus FITS_Diff hours. The year is
// always written with four digits.
void stamp_ut(std::int64_t clock_seconds);
// The next number after `number`: 1 .. 65,530, then 1 again.
int next_auto_save_number(int number);

// The first number after `number` that auto-save may write in the current
// folder: next_auto_save_number(number), unless its file was written after
// the file of `number` (a run killed between the image and the settings write,
// or a settings write that failed, left the stored number behind). Such files
// belong to the current cycle of the numbering and are passed over; files
// older than the file of `number` are from the previous cycle and are
// replaced. When the file of `number` is missing every existing file is
// passed over, as no age can be told.
int next_free_auto_save_number(int number);

// The settings-file writes after a good auto-save, and the load and save of
// the FITS text command: the settings file, unless a test has installed its
// own for a scope (to play a full disk).
int save_settings_after_autosave();
int load_settings_for_fits_text();
int save_settings_for_fits_text();

struct SettingsHooks {
    std::function<int()> save_after_autosave, load_for_fits_text, save_for_fits_text;
};
// Installs `hooks` (an empty one keeps the settings file) until it goes out
// of scope, whichever way the scope is left.
class ScopedSettingsHooks {
public:
    explicit ScopedSettingsHooks(SettingsHooks hooks);
    ~ScopedSettingsHooks();
    ScopedSettingsHooks(const ScopedSettingsHooks&) = delete;
    ScopedSettingsHooks& operator=(const ScopedSettingsHooks&) = delete;

private:
    SettingsHooks previous_;
};
