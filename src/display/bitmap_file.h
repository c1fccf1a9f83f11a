// The temporary 8-bit display bitmap: an uncompressed Windows bitmap with a
// 1078-byte header (file header, 40-byte information header, 256 colours),
// rows stored bottom row first without padding.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "display/palette.h"

constexpr int bitmap_header_bytes = 1078;

// The 1078 header bytes of a width x height bitmap with `palette`.
void build_bitmap_header(
    unsigned char header[bitmap_header_bytes], int width, int height, const PaletteEntry palette[256]);

// An 8-bit bitmap as read back: rows top row first, `width` bytes each.
struct DisplayBitmap {
    int width = 0;
    int height = 0;
    int colours = 0; // entries used in `palette`
    std::array<PaletteEntry, 256> palette {};
    std::vector<unsigned char> pixels;
};

// Writes the display bitmap of `source` (laid out by setup_image) for the
// current mode and palette options; `rows` receives the pixels in bitmap
// order. The file is "quillonf.bmp" (and `focussed` is set) for `focus`,
// `tracking` or `training`, else "quillon.bmp". The new file replaces the old
// one only once complete. Returns 0, or 1 when the file cannot be created, 2
// when the header cannot be written, 3 when the pixels cannot be written; on
// a failure the picture that was not written goes to `unwritten` (when not
// null), so the screen can still show the image in memory.
int write_bmp(
    const unsigned char* source, unsigned char* rows, int focus, int geo, DisplayBitmap* unwritten = nullptr);

// Reads an uncompressed 8-bit bitmap file (rows padded to 4 bytes, either
// row order). False, with `out` untouched, when the file is missing, short
// or not such a bitmap.
bool read_display_bitmap(const std::string& path, DisplayBitmap& out);
// The same from the file's bytes.
bool parse_display_bitmap(const unsigned char* bytes, std::size_t size, DisplayBitmap& out);
