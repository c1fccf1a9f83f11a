// The five static frame buffers, the frame geometry, single-level undo and
// the processing history. Nothing is allocated per image: a geometry change
// only changes the globals below.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int full_width = 752;
constexpr int full_height = 580;
constexpr int binned_width = 376;
constexpr int binned_height = 290;
// 752 x 580 plus 4 spare samples.
constexpr std::size_t frame_samples = 436164;

extern unsigned short image_int[frame_samples];
extern unsigned short trial_int[frame_samples];
extern unsigned short undo_int[frame_samples];
extern unsigned short save_int[frame_samples];
extern unsigned short comparison_int[frame_samples];

// Always point at their own arrays once the program has started.
extern unsigned short* image;
extern unsigned short* trial;
extern unsigned short* undo;
extern unsigned short* save;
extern unsigned short* comparison;

// Geometry, set together by ZQ_binned() from `binned`.
extern int width1, width1_10, width2, width3, height1, height2;
extern float width1f, height1f, height2f;
extern std::int32_t intlength;
extern int writefile16;

// Sets every geometry global from `binned`; switching to the full frame also
// clears the display flags Big and Geo.
void ZQ_binned();

// Whole-frame copies of `intlength` samples.
void undo_image(const unsigned short* fredptr, unsigned short* undoptr);
void restore_image(unsigned short* fredptr, const unsigned short* undoptr);
void backup_image(const unsigned short* fredptr, unsigned short* trialptr);
void copy_image(unsigned short* fredptr, const unsigned short* trialptr);

// Points image, trial, undo, save and comparison at their arrays.
void point_buffers();
// The start-up test pattern: row r of image, trial and undo holds r x 225
// (mod 65536), save holds 0; comparison is left alone.
void fill_startup_ramp();

// Processing history: 15 entries in use of 17, 40 characters each.
constexpr int history_entries = 15;
constexpr int history_text = 40;
extern char process_info[17][history_text];

// Appends to the first empty entry; dropped when all 15 are in use.
void append_history(const char* text);
// Empties the entry before the first empty one; nothing when the history is
// empty or full.
void remove_last_history();
void clear_history();
// Number of leading non-empty entries.
int history_count();
