// The display pipeline's core: the 16-bit frame reduced to 8 bits and laid
// out in the display geometry, then written as the temporary display bitmap
// that the main window reads back and paints.
#pragma once

#include <cstddef>
#include <string>

struct DisplayBitmap;

// One byte per displayed pixel, sized for the largest layout (752 x 580 + 4).
constexpr std::size_t display_bytes = 752 * 580 + 4;
extern unsigned char pixels_c[display_bytes]; // filled by setup_image, read by write_bmp
extern unsigned char pixels_bmp[display_bytes]; // the same pixels in bitmap order

struct DisplaySize {
    int width;
    int height;
};

// Size of the display bitmap for the current mode: 128 x 128 for a focus or
// guide frame (`focus` or `tracking`); for a binned frame 564 x 452 with
// `geo`, 564 x 435 with `Big`, else 376 x 290; 752 x 580 for a full frame.
DisplaySize display_size(int focus, int geo);

// Fills `dest` with the high bytes of `source` in the display geometry: the
// 128 x 128 frame, the frame unchanged, or (binned with `geo`) resampled to
// 564 x 452 by bilinear interpolation.
void setup_image(const unsigned short* source, unsigned char* dest, int focus, int geo);

// The reduction step of the rebuild: `image` into `pixels_c`.
void DisplayImage();

// The temporary bitmaps: "quillonf.bmp" for focus and guide frames and frames
// taken while training or tracking, "quillon.bmp" for the rest (the one the
// print command prints).
std::string display_bitmap_path(bool focus_file);

// Sets `image` back to `image_int`, finds the background level when the
// automatic stretch is on, writes the bitmap and shows message 8, 9 or 10 on
// failure, the picture that was not written going to `unwritten` (when not
// null). Returns write_bmp's result.
int write_bitmap(DisplayBitmap* unwritten = nullptr);
