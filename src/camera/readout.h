// The camera's command set and read-out: control commands, the read commands
// of each mode with the unpack of the received rows into a frame, the fill
// of the missing field, and the short self-timed exposures of the focus,
// guide and self-guiding frames.
//
// A read that does not deliver its whole block leaves the frame as it was
// and returns false: the caller must not show or save it as a new frame.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the next read unpacks to, and the frame the exposure routines
// post-process (the caller points them at a frame buffer).
extern unsigned char* charimageptr;
extern unsigned short* intimageptr;
extern unsigned short* imageptr;
extern int interlaced_line; // a field read fills 0: even rows, 1: odd rows
extern int selfguiding_exposure; // ms, exposure of self-guiding frames
extern int switched_frame; // self-guiding uses the second guide frame

// Start and end of the exposure timed by the focus, guide and self-guiding
// routines: a pair of their own, apart from the exposure loop's.
namespace readout {
extern std::int64_t ticks, endticks;
}

// Byte counts and layouts of the three read modes.
constexpr std::int32_t binned_block_bytes = 247'936; // 298 rows of 416 samples
constexpr std::int32_t field_block_bytes = 495'872; // 298 rows of 832 samples
constexpr std::int32_t window_block_bytes = 32'768; // 128 x 128 samples
constexpr std::size_t binned_first_byte = 5'020; // row 6, sample 14
constexpr std::size_t field_first_byte = 13'364; // row 8, sample 26
constexpr int window_side = 128;

// Control commands: wipe (starts an exposure), clear the vertical
// registers, and the three transfers, which move a field's charge into the
// vertical registers and start that field collecting afresh. True when sent.
bool VN_wiper();
bool VN_clearvert();
// Bytes 2, 3: both fields; a field or window read then delivers field 0.
bool VN_reader();
// Bytes 2, 4: field 1 (the odd rows) alone; a field or window read delivers it.
bool VN_reader2();
// Bytes 2, 5: field 0 (the even rows) alone; a field or window read delivers it.
bool VN_reader3();

// Read commands: fill camdata, read the block, unpack at charimageptr.
bool VN_binned_read();
// One full-resolution field into every second row (interlaced_line). The
// first long read of the run measures download_time.
bool VN_first_read();
bool VN_focus_read();
bool VN_guide_read();

// The window bytes 3 to 6 of a focus or guide read for the current
// focus_x, focus_y.
void focus_window_bytes(unsigned char bytes[4]);

// A whole focus exposure of the 128 x 128 frame at imageptr; returns the
// focus peak (one that a single hot pixel cannot make), -1 when the frame
// did not arrive.
int VN_camera_read();
// The last focus frame as the camera sent it, before the focus gain: the
// star measures need its light unclipped.
const unsigned short* last_focus_frame_raw();
// A whole guide exposure / self-guiding exposure of the 128 x 128 frame.
bool VN_camera_guide();
bool VN_camera_selfguide();

// Peak of a 128 x 128 focus frame: the brightest level / 4 whose upper
// neighbour is as bright.
int focus_peak(const unsigned short* frame);
// Multiplies a 128 x 128 frame by the focus gain of focus_stretch, unless
// max_stretch is on; products saturate at 65535.
void apply_focus_stretch(unsigned short* frame);

// Fills the odd rows 1 .. 577 of a full frame with the mean of their
// neighbours, and row 579 with row 578.
void fill_binned(unsigned short* frame);

// Unpacks a received block into a frame: the binned frame (376 x 290), one
// field into rows `line`, `line` + 2, ... of a 752-wide frame, or a window.
void unpack_binned(const unsigned char* block, unsigned char* frame);
void unpack_field(const unsigned char* block, unsigned char* frame, int line);
void unpack_window(const unsigned char* block, unsigned char* frame);

void reset_state_readout();
