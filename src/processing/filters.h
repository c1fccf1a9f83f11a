// Spatial filters on 16-bit frames: the six convolution kernels, the unsharp
// mask, the thresholded median, vertical smoothing and gradient removal.
// Pixels the neighbourhood cannot reach keep their values; rows 0..9 of a
// labelled frame are never written.
#pragma once

// The six kernels as the program starts with them (copied into `mask`).
extern const int (&filter_kernels)[6][25];

// Called once per processed row (progress); may be null.
using RowHook = void (*)();

// Convolves rows first_row + rad .. height - rad - 1 of `src` into `dst`
// (which must already hold a copy of `src`): sum of kernel x neighbourhood in
// 32-bit, divided with truncation, above 65280 stored as 65535, below 0 as 0.
void convolve_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, const int* kernel, int divisor, RowHook row_hook = nullptr);

// Unsharp mask of radius `rad` and power `pwr` from `src` into `dst` (a copy
// of `src`): v = p + (p - box mean) x pwr, clamped as the convolution. The
// right-most rad + 1 columns keep their values.
void unsharp_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, int pwr, RowHook row_hook = nullptr);

// Thresholded median of radius 1..3 from `src` into `dst` (a copy of
// `src`): a pixel takes its neighbourhood's median when it differs from it
// by more than trunc((max - min) x power), min starting at 65000.
void median_frame(const unsigned short* src, unsigned short* dst, int width, int height, int first_row,
    int rad, float power, RowHook row_hook = nullptr);

// The commands' work on the global buffers and geometry.

// Kernel `masknum` of `mask` over `image` (via `trial`), with the progress
// window. The caller saves for undo and rebuilds the display.
void run_enhance(int rad, int masknum, int divisor);
// Unsharp mask over `image` (via `trial`) with the progress window.
void unsharp_mask(int rad, int pwr);
// Median of radius `white` and power `black` / 10; copies the frame into
// `undoptr` first; appends the history line.
void run_median_enhance(unsigned short* fredptr, unsigned short* trialptr, unsigned short* undoptr);
// Averages each row with the next (or, every other call, the previous) row;
// copies the frame into `undoptr` first; appends the history line.
void venetian_blind(unsigned short* fredptr, unsigned short* undoptr);
// Removes a background plane fitted to the modes of the four corner boxes.
void gradient_filter(unsigned short* fredptr);
