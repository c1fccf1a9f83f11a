// One ZQ1 exposure as the INDI driver takes it: the camera's own command
// sequence (wipe, clear, transfer, read) through the core's read-out
// routines on whatever CameraTransport is installed, with every wait on the
// program clock and open to an abort at any moment. No INDI and no Qt here,
// so the whole sequence runs in the core's tests on a manual clock.
//
// The core keeps the camera's state in process-wide globals: call these from
// one thread only (the driver's camera thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "camera/camera_transport.h"

namespace zq1 {

// The ZQ1's read-outs. `binned` is the standard 376 x 290 frame; the other
// three give the full 752 x 580: one field with the other filled in (fast),
// both fields of one exposure read one after the other (progressive), or one
// field from each of two exposures of the same length (two_exposure).
enum class Readout { binned, fast, progressive, two_exposure };

// The driver's exposure range: the camera times exposures below half a
// second to the millisecond.
constexpr double min_exposure_s = 0.001;
constexpr double max_exposure_s = 3600;

// Shared between the thread that asks for an abort and the one exposing.
class Abort {
public:
    void request() { flag_.store(true); }
    bool requested() const { return flag_.load(); }

private:
    std::atomic<bool> flag_ { false };
};

// Waits on the program clock until `deadline_ms` in slices short enough that
// an abort ends the wait within about 10 ms. False when aborted.
bool wait_unless_aborted(std::int64_t deadline_ms, const Abort& abort);

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels; // rows from the top, width x height
};

struct ExposureResult {
    enum class Outcome { frame, aborted, failed, no_camera };
    Outcome outcome = Outcome::failed;
    Frame frame;
    // What went wrong, in words for the user (empty with a frame).
    std::string message;
    // The camera is gone (unplugged, or never found): look for it again.
    bool camera_gone = false;
    // The moment the last sample arrived, on the program clock.
    std::int64_t read_out_ms = 0;
};

// Looks for the camera when none is known (got_vn is 0). True when found;
// otherwise `message` says why not.
bool find_camera(std::string& message);

// Takes one exposure of `ms` milliseconds (at least 1) with `readout`. The
// camera is looked for first when none is known, so a camera plugged back in
// is found by the next exposure. An abort seen before the last sample
// arrived drops the frame.
ExposureResult take_exposure(int ms, Readout readout, const Abort& abort);

// The camera's USB cable between the core and a transport, for the
// simulation: unplugged, the camera is gone (every transfer fails as
// disconnected and discovery finds nothing) until it is plugged in again.
class CableTransport : public CameraTransport {
public:
    explicit CableTransport(CameraTransport& inner)
        : inner_(inner)
    {
    }
    void set_plugged(bool plugged) { plugged_.store(plugged); }
    bool plugged() const { return plugged_.load(); }
    // Runs at the start of every block read (tests unplug or abort there).
    std::function<void()> on_block_read;

    CameraDiscovery discover() override;
    TransferResult write_report(const unsigned char* report, std::size_t length) override;
    TransferResult read_report(unsigned char* buffer, std::size_t length) override;
    TransferResult read_block(unsigned char* buffer, std::size_t length) override;
    void close() override { inner_.close(); }

private:
    CameraTransport& inner_;
    std::atomic<bool> plugged_ { true };
};

} // namespace zq1
