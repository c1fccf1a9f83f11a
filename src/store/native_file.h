// The program's own raw image file: the samples of the frame, row by row,
// least significant byte first, no header. A file is recognised by its
// length alone, which also tells this program's FITS files from raw ones.
#pragma once

#include <span>

enum class NativeSave { ok, cannot_create, short_write };

// Writes height1 rows of width1 samples from `fredptr`. An existing file of
// the name is replaced only when the whole frame has been written.
NativeSave save_native_file(const char* path, const unsigned short* fredptr);

enum class ImageLoad {
    ok,
    not_image_file, // missing, unreadable or of none of the four lengths
    fits_foreign, // a FITS length, but not of this program's layout
};

// Opens a raw or FITS file into `dest`: on success the geometry and the
// camera-mode flags follow the file, the FITS details are cleared (a FITS file
// then supplies its own) and the samples are stored. On any failure nothing
// changes: image, geometry, flags, FITS details and history stay as they were.
ImageLoad load_image_file(const char* path, unsigned short* dest);
// The same from the whole file's bytes (what the fuzzers feed).
ImageLoad image_file_from_bytes(std::span<const unsigned char> file, unsigned short* dest);
