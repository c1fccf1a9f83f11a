// Auto-save: the current image as a numbered FITS file in the auto-save
// folder, stamped with the UT date and time of mid-exposure. The number
// survives restarts through the settings file.
#pragma once

#include <cstdint>
#include <string>

// 0 when the image and then the settings file were written; 1 when the FITS
// write failed (an existing file of the name is untouched); 3 when the
// settings write after a good FITS write failed.
int auto_save(const unsigned short* fredptr);

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

// The settings-file write after a good auto-save, and the load and save of
// the FITS text command: the settings file by default; tests put fakes here
// to play a full disk.
extern int (*save_settings_after_autosave)();
extern int (*load_settings_for_fits_text)();
extern int (*save_settings_for_fits_text)();
