#include "camera/readout.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "app/clock.h"
#include "app/state.h"
#include "camera/timed_wait.h"
#include "camera/usb.h"
#include "store/buffers.h"

// The camera sends samples low byte first; rows are copied as they come.
static_assert(std::endian::native == std::endian::little, "the unpack copies little-endian samples");

unsigned char* charimageptr;
unsigned short* intimageptr;
unsigned short* imageptr;
int interlaced_line;
int selfguiding_exposure;
int switched_frame;

namespace readout {
std::int64_t ticks, endticks;
}

void reset_state_readout()
{
    charimageptr = reinterpret_cast<unsigned char*>(image_int);
    intimageptr = image_int;
    imageptr = image_int;
    interlaced_line = 0;
    selfguiding_exposure = 0;
    switched_frame = 0;
    readout::ticks = readout::endticks = 0;
}

namespace {
constexpr std::size_t binned_row_bytes = 832;
constexpr std::size_t field_row_bytes = 1'664;
constexpr int window_samples = window_side * window_side;
// While the program times an exposure of over 0.6 s it keeps clearing the
// vertical registers, so they hold no more than this much dark charge.
constexpr int clear_interval_ms = 10;

bool control_command(unsigned char sub)
{
    std::memset(camdata, 0, sizeof camdata);
    camdata[0] = 2;
    camdata[1] = sub;
    return WriteUSBdevice(camdata, 8);
}

// Bytes 1 and 2: under 500 ms the camera times the exposure itself.
void exposure_bytes()
{
    const int ms = std::max(exposure, 0);
    camdata[1] = ms < 500 ? static_cast<unsigned char>(ms % 256) : 0;
    camdata[2] = ms < 500 && ms > 255 ? 1 : 0;
}

void read_bytes(unsigned char mode)
{
    exposure_bytes();
    std::memset(camdata + 3, 0, 4);
    camdata[7] = mode;
}

int unit_ms(char range)
{
    switch (range) {
    case 'h':
        return 10;
    case 't':
        return 100;
    case 'q':
        return 1;
    default:
        return 1000;
    }
}

// Times an exposure of `ms` that the program times itself (500 ms or more),
// clearing the vertical registers meanwhile when it is over 0.6 s. False
// when the camera went away during it.
bool time_exposure(int ms)
{
    readout::ticks = program_clock().now_ms();
    readout::endticks = readout::ticks + ms;
    if (ms < 500)
        return true;
    return wait_in_passes(readout::ticks, readout::endticks, [ms] {
        if (ms > 600 && !VN_clearvert() && usb_camera_lost)
            return end_wait;
        return readout::ticks + clear_interval_ms;
    });
}

bool window_read()
{
    read_bytes(1);
    unsigned char window[4];
    focus_window_bytes(window);
    std::memcpy(camdata + 3, window, 4);
    ByteCount = window_block_bytes;
    if (!ReceiveBlock())
        return false;
    unpack_window(ReportBuffer, charimageptr);
    return true;
}
} // namespace

bool VN_wiper()
{
    return control_command(1);
}

bool VN_clearvert()
{
    return control_command(2);
}

bool VN_reader()
{
    return control_command(3);
}

bool VN_reader2()
{
    return control_command(4);
}

bool VN_reader3()
{
    return control_command(5);
}

void unpack_binned(const unsigned char* block, unsigned char* frame)
{
    constexpr std::size_t row = binned_width * sizeof(unsigned short);
    for (int y = 0; y < binned_height; ++y)
        std::memcpy(frame + y * row, block + binned_first_byte + y * binned_row_bytes, row);
}

void unpack_field(const unsigned char* block, unsigned char* frame, int line)
{
    constexpr std::size_t row = full_width * sizeof(unsigned short);
    frame += (line != 0 ? 1 : 0) * row;
    for (int y = 0; y < full_height / 2; ++y)
        std::memcpy(frame + 2 * y * row, block + field_first_byte + y * field_row_bytes, row);
}

void unpack_window(const unsigned char* block, unsigned char* frame)
{
    std::memcpy(frame, block, window_block_bytes);
}

bool VN_binned_read()
{
    read_bytes(0);
    ByteCount = binned_block_bytes;
    if (!ReceiveBlock())
        return false;
    unpack_binned(ReportBuffer, charimageptr);
    return true;
}

bool VN_first_read()
{
    read_bytes(2);
    ByteCount = field_block_bytes;
    Clock& clock = program_clock();
    const bool calibrate = download_time == 3000 && exposure > 500;
    const std::int64_t start = clock.now_ms();
    if (!ReceiveBlock())
        return false;
    // A failed download says nothing about how long a good one takes.
    if (calibrate)
        download_time = static_cast<int>(clock.now_ms() - start);
    unpack_field(ReportBuffer, charimageptr, interlaced_line);
    return true;
}

bool VN_focus_read()
{
    return window_read();
}

bool VN_guide_read()
{
    return window_read();
}

void focus_window_bytes(unsigned char bytes[4])
{
    // The camera skips 235 lines and 250 column groups around the window.
    // An origin beyond those counts would wrap a byte and ask for a window
    // somewhere else entirely, so it is held at the last origin they allow;
    // a window that reaches past the sensor is read as the camera gives it
    // (overscan).
    const int y = std::clamp(focus_y, 0, 226);
    const int group = std::clamp((std::max(focus_x, 0) + 24) / 3, 0, 250);
    bytes[0] = static_cast<unsigned char>(y + 9);
    bytes[1] = static_cast<unsigned char>(226 - y);
    bytes[2] = static_cast<unsigned char>(group);
    bytes[3] = static_cast<unsigned char>(250 - group);
}

int focus_peak(const unsigned short* frame)
{
    int m = 0;
    for (int y = 12; y <= 125; ++y)
        for (int x = 5; x <= 125; ++x) {
            const int v = frame[y * window_side + x] / 4;
            if (v > m && frame[(y - 1) * window_side + x] / 4 > m)
                m = v;
        }
    return m;
}

void apply_focus_stretch(unsigned short* frame)
{
    if (max_stretch != 0 || focus_stretch == 16)
        return;
    // The gains of the palette stretch; a setting out of range is held in it.
    static constexpr int gains[7] = { 48, 32, 16, 8, 4, 2, 1 };
    const int gain = gains[std::clamp(focus_stretch, 10, 16) - 10];
    for (int i = 0; i < window_samples; ++i)
        frame[i] = static_cast<unsigned short>(std::min(frame[i] * gain, 65535));
}

namespace {
unsigned short raw_focus_frame[window_samples];
}

int VN_camera_read()
{
    exposure = exp_value * unit_ms(exp_range);
    VN_clearvert();
    VN_wiper();
    if (!time_exposure(exposure) || !VN_reader() || !VN_focus_read())
        return -1;
    const int m = focus_peak(imageptr);
    std::copy_n(imageptr, window_samples, raw_focus_frame);
    apply_focus_stretch(imageptr);
    return m;
}

const unsigned short* last_focus_frame_raw()
{
    return raw_focus_frame;
}

bool VN_camera_guide()
{
    exposure = exp_value * unit_ms(exp_range);
    VN_clearvert();
    VN_wiper();
    if (!time_exposure(exposure) || !VN_reader() || !VN_guide_read())
        return false;
    apply_focus_stretch(imageptr);
    return true;
}

bool VN_camera_selfguide()
{
    // The main exposure goes on: only the transfer registers are cleared.
    VN_clearvert();
    if (!time_exposure(selfguiding_exposure))
        return false;
    if (!(switched_frame ? VN_reader3() : VN_reader2()) || !VN_guide_read())
        return false;
    apply_focus_stretch(imageptr);
    return true;
}

void fill_binned(unsigned short* frame)
{
    for (int y = 1; y < full_height - 1; y += 2) {
        unsigned short* row = frame + y * full_width;
        const unsigned short* above = row - full_width;
        const unsigned short* below = row + full_width;
        for (int x = 0; x < full_width; ++x)
            row[x] = static_cast<unsigned short>((above[x] + below[x]) / 2);
    }
    // The last row has no row below: it repeats the one above, so the frame
    // holds nothing of an earlier frame.
    unsigned short* last = frame + (full_height - 1) * full_width;
    std::copy_n(last - full_width, full_width, last);
}
