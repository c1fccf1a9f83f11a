// FITS files of the program's own fixed layout: 72 cards in a fixed order,
// big-endian 16-bit (or 8-bit) samples, a zero trailer. The reader checks a
// few columns of the first cards and takes every other value by position.
#pragma once

#include <cstddef>
#include <span>

#include "store/image_io.h"

constexpr int fits_card = 80;
constexpr int fits_cards = 72;
constexpr std::size_t fits_block = 2880;

// Writes `fredptr` in the current geometry. ORIGIN, TIME-OBS, the history
// entries, the numbers and FITS_SBIG come from the globals. 0 written, 1 the
// file could not be written completely (an existing file is then untouched).
int SaveFITSFile(const char* fileTitle, const unsigned short* fredptr, const char* obj, const char* obs,
    const char* date, const char* tel, const char* ins, const char* com, const char* his, int eightbit);

// Reads a 16-bit file of this layout in the current geometry into `fredptr`
// and sets the header globals, history, FITS_SBIG and the camera-mode flags.
// 0 loaded, 1 cannot open or too short, 2 not of this layout. Nothing
// changes unless it returns 0. `oldfile` is always 3.
int LoadFITSFile(const char* fileTitle, int oldfile, unsigned short* fredptr);
// The same from the file's bytes (what the fuzzers feed); bytes past the
// frame's data are not looked at.
int fits_file_from_bytes(std::span<const unsigned char> file, unsigned short* fredptr);

// Empties the processing history and sets the header details to their
// defaults (ORIGIN, the pixel sizes, FITS_Diff and FITS_SBIG are kept).
void ClearFITSInfo();

// Everything the reader takes from a header, held until the whole file has
// been read so that a failed load changes nothing.
struct FitsHeaderValues {
    bool binned = false; // from NAXIS2 (the last axis card decides)
    char obj[70], tel[70], ins[71], obs[70], src[70], date[70], time[70];
    char history[15][40];
    char his[257], com[257];
    char filter[73];
    bool sbig = false;
    FitsData data; // how the stored values become samples
    double pixwidth = 0, pixheight = 0, exptime = 0, focallen = 0, aperture = 0;
};

// Checks and reads the 72 cards at `header` (5,760 bytes): this program's
// by position, another program's by keyword (see read_foreign_fits_header;
// its texts and numbers come from the cards of the same names, FITS_SBIG
// follows its BZERO of 0, the history list stays empty). 0 or 2.
int decode_fits_header(const unsigned char* header, FitsHeaderValues& out);
// Stores the values in the globals (not the camera-mode flags).
void apply_fits_header(const FitsHeaderValues& values);

// The 72 cards for the current geometry (5,760 bytes at `out`).
void build_fits_header(char* out, const char* obj, const char* obs, const char* date, const char* tel,
    const char* ins, const char* com, const char* his, int eightbit);
// Whole-file length written for the current geometry.
std::size_t fits_file_length(int eightbit);
