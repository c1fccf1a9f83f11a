// Calibration and combining: dark subtraction, flat-fielding, averaging, the
// aligned merge, interlaced row assembly and the left-right mirror. All work is
// on unsigned 16-bit frames of the current geometry (width1 x height1,
// intlength samples); sums clamp at 65535 and differences at 0.
#pragma once

#include <span>

// Results of the automatic dark and flat loads.
constexpr int calibration_ok = 0;
constexpr int calibration_cannot_open = 11;
constexpr int calibration_bad_file = 12;

// fred = fred - trial where fred > trial, else 0. Rows 0..9 of a labelled
// fred are left alone.
void do_subtract_image(unsigned short* fredptr, const unsigned short* trialptr);
// fred = (fred + trial) / 2, rounded down. Rows 0..9 of a labelled fred are
// left alone.
void do_average_image(unsigned short* fredptr, const unsigned short* trialptr);
// Flat-fields columns 2 .. width2 - 1 of row `line` against the flat
// `trialptr`, normalised to `avg`.
void do_flat_field(unsigned short* fredptr, const unsigned short* trialptr, double avg, int line);
// The normalising level of a flat: its mean over rows 10..19, columns
// 5 .. width2 - 1.
double flat_level(const unsigned short* flatptr);
// Adds (or averages) fred shifted by (merge - orig) onto the base image
// `trialptr`, then copies the result into fredptr.
void do_merge(unsigned short* fredptr, unsigned short* trialptr, int orig_x, int orig_y, int merge_x,
    int merge_y, int average);
// Interlaced assembly for the exposure loop: every even row of fred takes the
// row of trial, or with `highres21_selfguide` the sum of that row and the next
// row of fred.
void do_add_image(unsigned short* fredptr, const unsigned short* trialptr, int highres21_selfguide);
// Left-right mirror of fred, in place. Rows 0..9 of a labelled image keep
// their orientation. trialptr is not written (the base image of a merge in
// progress lives there).
void mirror_image(unsigned short* fredptr, unsigned short* trialptr);
// The same on any geometry: rows first_row .. height - 1 of a frame `width`
// samples wide, each reversed in place.
void mirror_rows(unsigned short* frame, int width, int first_row, int height);

// Reads a native or FITS dark/flat file of the current geometry into `dest`.
// Returns 0, 11 (cannot open) or 12 (wrong length or geometry, unexpected
// header, short read); on failure `dest` is untouched.
// Anything but a regular file (a pipe, a folder) is refused with 12 without
// waiting for it.
int load_calibration_file(const char* fileName, unsigned short* dest);
// The same from the whole file's bytes (what the fuzzers feed).
int calibration_file_from_bytes(std::span<const unsigned char> file, unsigned short* dest);
// Automatic dark subtraction for each new frame. The file is read into
// `darkptr` only when `darkframe_loaded` is 0; the dark is then taken from
// `undoptr` (the exposure loop passes the undo buffer as both).
int auto_remove(int darkframe_loaded, const char* fileName, unsigned short* darkptr, unsigned short* fredptr,
    unsigned short* undoptr);
// Automatic flat-fielding of rows 2 .. height1 - 1, likewise with the flat
// in `saveptr`.
int auto_flatfield(int flatfield_loaded, const char* fileName, unsigned short* flatptr,
    unsigned short* fredptr, unsigned short* saveptr);

// The Merging-menu operation on image (changed) and trial (the second image)
// for merge_type 's', 'a' or 'f': subtract with a history line, average, or
// flat-field with the progress window and a history line. False for any other
// type (nothing changed).
bool apply_merge_operation(char type);

// The interactive merge. merge_refusal() gives the message that refuses to
// start one (37, 43 or 44), or 0; `fit` is the window's fit-to-window flag.
int merge_refusal(int fit);
// Arms the merge: orig = 1, average = 0, marks 0, merging = 1.
void begin_merge();
// Stores a mark (already snapped to a star when merge_centre asks for it) on
// the base image while orig is set, else on the second image.
void place_merge_mark(int x, int y);
// The Merge button: refused (false) while the base mark is still being set;
// otherwise ends merging, merges and asks for a display rebuild.
bool finish_merge();
// The Cancel button: ends merging, images untouched.
void cancel_merge();
