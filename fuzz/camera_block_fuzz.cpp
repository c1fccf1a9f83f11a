// What the camera sends, into every read mode: the block reads answer with
// the input's bytes (any length, so short, exact and long answers), the
// first bytes choose the mode, the focus origin, the exposure, the transfer
// outcome and the gain; a manual clock times the exposures.
//
// Speed: the passes over whole frames and windows whose path does not depend
// on the bytes (the fast mode's fill of the missing field, 218,000 samples;
// the focus gain) run only on the inputs fuzz_whole_frame picks; exposures
// the program times itself stay under 1.1 s on the manual clock (every 10 ms
// of it is one pass of the clearing loop); the whole program state is reset
// once, the groups the read-out changes every run. Every branch is still
// reached: the clearing loop from 0.6 s, the seconds unit with its values.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "app/clock.h"
#include "app/state.h"
#include "camera/camera_transport.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "fuzz_file.h"
#include "store/buffers.h"

namespace {
class MemoryCamera : public CameraTransport {
public:
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint8_t outcome = 0;

    CameraDiscovery discover() override { return { CameraDiscovery::Failure::none, true, true, 1, 2, {} }; }
    TransferResult write_report(const unsigned char*, std::size_t length) override
    {
        if (outcome == 7)
            return { 0, ENODEV, true };
        return { length, 0, false };
    }
    TransferResult read_report(unsigned char* buffer, std::size_t length) override
    {
        const std::size_t n = std::min(size, length);
        std::memcpy(buffer, data, n);
        return { n + (outcome & 1), 0, false };
    }
    TransferResult read_block(unsigned char* buffer, std::size_t length) override
    {
        const std::size_t n = std::min(size, length);
        std::memcpy(buffer, data, n);
        switch (outcome) {
        case 1:
            return { n, ETIMEDOUT, false };
        case 2:
            return { 0, ENODEV, true };
        case 3:
            // A transport that claims more than it was asked for.
            return { length + 1, 0, false };
        default:
            return { n, 0, false };
        }
    }
    void close() override { }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8)
        return 0;
    static ManualClock clock;
    static MemoryCamera camera;
    static const bool started = [] {
        reset_program_state();
        return true;
    }();
    (void)started;
    // Each run starts from the same state: the read-out changes only the
    // camera's group (USB, read-out, stacking) and the program's (the
    // download time a full read measures); the others never change here.
    reset_state_app();
    reset_state_camera();
    set_clock(&clock);
    set_camera_transport(&camera);
    camera.data = data + 8;
    camera.size = size - 8;
    camera.outcome = data[1] & 7;
    USBHid::CollectingUSBHidInfo(nullptr);

    binned = data[0] & 1;
    ZQ_binned();
    point_buffers();
    charimageptr = reinterpret_cast<unsigned char*>(image);
    imageptr = intimageptr = image;
    focus_x = static_cast<std::int8_t>(data[2]) * 7;
    focus_y = static_cast<std::int8_t>(data[3]) * 3;
    exposure = data[4] * 4;
    exp_range = "qhts"[data[5] & 3];
    exp_value = data[4] % (exp_range == 's' ? 2 : 8);
    selfguiding_exposure = data[5];
    focus_stretch = 8 + data[6] % 10;
    // The gain pass over the window is the same whatever the samples: only
    // the picked inputs take it.
    max_stretch = (data[6] >> 7) | (fuzz_whole_frame(data, size, false) ? 0 : 1);
    interlaced_line = data[7] & 1;
    switched_frame = (data[7] >> 1) & 1;

    switch ((data[0] >> 1) % 8) {
    case 0:
        VN_binned_read();
        break;
    case 1:
        VN_first_read();
        break;
    case 2:
        if (VN_first_read() && fuzz_whole_frame(data, size, false))
            fill_binned(image);
        break;
    case 3:
        VN_focus_read();
        break;
    case 4:
        VN_camera_read();
        break;
    case 5:
        VN_camera_guide();
        break;
    case 6:
        VN_camera_selfguide();
        break;
    default: {
        unsigned char report[256];
        ReadUSBdevice(report, data[4]);
        break;
    }
    }
    set_camera_transport(nullptr);
    set_clock(nullptr);
    return 0;
}
