// Export of the frame as an 8-bit greyscale TIFF of a fixed layout: one
// directory of 13 entries, the resolution and strip tables, ten strips.
#pragma once

#include <cstddef>

// Writes the high byte of each sample of `fredptr` in the current geometry.
// 0 written; 1 the file could not be written completely (an existing file is
// then untouched).
int SaveTifFile(const char* fileTitle, const unsigned short* fredptr);

// The whole file for the current geometry: 436,406 or 109,286 bytes.
std::size_t tif_file_length();
