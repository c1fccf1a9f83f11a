// The simulated ZQ1 camera behind the CameraTransport seam. It speaks the
// camera's 8-byte command protocol, integrates the light of the shared sky
// model on the program clock, and answers each block read with the bytes the
// camera sends, byte for byte in layout. sim_camera.cpp describes the
// exposure model (how the two interlaced fields collect light between the
// wipe and the transfers that move them).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

#include "camera/camera_transport.h"
#include "sim/sky_model.h"

namespace sim {

// The sensor and the layouts the camera sends.
namespace zq {
    constexpr int width = 752; // full-resolution columns
    constexpr int height = 580; // sensor rows: two interlaced fields of 290 lines
    constexpr int field_lines = 290;
    constexpr int window_size = 128; // the focus and guide window, in samples and field lines

    // Read mode 0: 298 rows of 416 samples, the 376 x 290 binned frame from row 6, sample 14.
    constexpr int binned_rows = 298;
    constexpr int binned_row_samples = 416;
    constexpr int binned_first_row = 6;
    constexpr int binned_first_sample = 14;
    constexpr std::size_t binned_bytes = std::size_t(binned_rows) * binned_row_samples * 2; // 247,936
    // Read mode 2: 298 rows of 832 samples, the 752 x 290 field from row 8, sample 26.
    constexpr int field_rows = 298;
    constexpr int field_row_samples = 832;
    constexpr int field_first_row = 8;
    constexpr int field_first_sample = 26;
    constexpr std::size_t field_bytes = std::size_t(field_rows) * field_row_samples * 2; // 495,872
    // Read mode 1: the 128 x 128 window alone.
    constexpr std::size_t window_bytes = std::size_t(window_size) * window_size * 2; // 32,768

    // Where the window bytes of a read command put the window: its first field
    // line and first column (either may lie off the sensor).
    struct WindowOrigin {
        int line = 0;
        int column = 0;
    };
    // With `guide_alignment` the first line moves on by its own last decimal
    // digit (line + line mod 10), the read-out alignment the guide-frame
    // calculation assumes (it looks for the star focus_y mod 10 lines higher
    // in the window than in the frame).
    WindowOrigin window_origin(unsigned char byte3, unsigned char byte5, bool guide_alignment = false);
} // namespace zq

struct SensorSettings {
    std::uint64_t seed = 1701;
    double bias = 1000; // ADU of an unexposed sample
    double read_noise = 7; // ADU RMS per sample read
    double dark_adu_per_s = 1.2; // dark current per pixel at the cooled temperature
    double dark_spread = 0.15; // pixel-to-pixel spread of the dark current (fraction)
    int hot_pixels = 12;
    double hot_min_adu_per_s = 300;
    double hot_max_adu_per_s = 3000;
    bool shot_noise = true; // photon and dark-current noise
    int binned_download_ms = 1200;
    int field_download_ms = 1700;
    int window_download_ms = 150;
    bool window_guide_alignment = false; // see zq::window_origin
};

// Faults a test can ask for, to exercise the real transport's callers.
struct CameraFaults {
    int short_block_read = 0; // the n-th block read (from 1) delivers half its bytes
    int timed_out_block_read = 0; // the n-th block read times out with nothing
    long disconnect_after_commands = 0; // > 0: the camera goes after this many commands
    bool no_data_channel = false; // discovery finds the command channel alone
};

// A command as the camera received it.
struct CameraCommand {
    std::int64_t ms = 0;
    std::array<unsigned char, 8> bytes {};
};

// What a read delivered: which field, and how long the light it carries was
// collected (per field, in the registers when the read began).
struct ReadRecord {
    std::int64_t ms = 0; // when the data started to flow
    int mode = 0; // byte 7: 0 binned, 1 window, 2 field
    int camera_exposure_ms = 0; // bytes 1-2; 0 when the program timed it
    int field = 0; // the field a field or window read delivered (0 even rows)
    std::array<double, 2> integrated_ms {}; // light held per field (0: none)
};

struct HotPixel {
    int x = 0;
    int y = 0;
    double adu_per_s = 0;
};

// Normal deviates for the noise of whole frames, fast enough for a million
// a frame: 16 random bits pick one of 65,536 equal-probability quantiles.
class FrameNoise {
public:
    void seed(std::uint64_t s);
    double next()
    {
        if (left_ == 0) {
            bits_ = rng_();
            left_ = 4;
        }
        const auto i = static_cast<std::size_t>(bits_ & 0xffff);
        bits_ >>= 16;
        --left_;
        return table()[i];
    }

private:
    static const std::vector<double>& table();
    std::mt19937_64 rng_;
    std::uint64_t bits_ = 0;
    int left_ = 0;
};

class SimCamera : public CameraTransport {
public:
    explicit SimCamera(SkyModel& sky = shared_sky(), const SensorSettings& settings = {});

    CameraDiscovery discover() override;
    TransferResult write_report(const unsigned char* report, std::size_t length) override;
    TransferResult read_report(unsigned char* buffer, std::size_t length) override;
    TransferResult read_block(unsigned char* buffer, std::size_t length) override;
    void close() override;

    // Power-on state: empty sensor and registers, no pending read, logs and
    // faults cleared, noise sequence restarted. The sky is left alone.
    void reset();

    CameraFaults& faults() { return faults_; }
    const SensorSettings& settings() const { return settings_; }
    // Window lines as the guider expects the camera to place them (see
    // zq::window_origin).
    void set_window_guide_alignment(bool on) { settings_.window_guide_alignment = on; }
    SkyModel& sky() { return sky_; }
    const std::vector<HotPixel>& hot_pixels() const { return hot_; }
    // The latest commands and reads (the oldest are dropped past a few thousand).
    const std::deque<CameraCommand>& commands() const { return commands_; }
    const std::deque<ReadRecord>& reads() const { return reads_; }
    void clear_log();

private:
    void clear_registers();
    void wipe(int fields);
    void transfer(int fields);
    void expose_field(int field, std::int64_t t0, std::int64_t t1, double dx, double dy);
    std::vector<unsigned char> read_out(int mode, const std::array<unsigned char, 8>& command);
    double sample(double charge);
    int fields_of_last_transfer() const;

    SkyModel& sky_;
    SensorSettings settings_;
    CameraFaults faults_;
    std::vector<float> dark_; // dark current per pixel, ADU/s, hot pixels included
    std::vector<HotPixel> hot_;
    std::vector<float> registers_; // charge moved out of the photosites, per sensor pixel
    bool registers_empty_ = false;
    std::vector<float> scratch_;
    std::array<double, 2> held_ms_ {};
    std::array<std::int64_t, 2> start_ms_ {}; // when each field began collecting
    std::array<double, 2> start_ix_ {};
    std::array<double, 2> start_iy_ {};
    int last_transfer_ = 3;
    bool open_ = false;
    bool gone_ = false;
    bool read_pending_ = false;
    std::array<unsigned char, 8> pending_ {};
    long commands_received_ = 0;
    long block_reads_ = 0;
    FrameNoise noise_;
    std::deque<CameraCommand> commands_;
    std::deque<ReadRecord> reads_;
};

// The simulated camera of the running program, on shared_sky().
SimCamera& simulated_camera();
// Puts the shared sky (default settings) and the simulated camera (closed,
// no faults) back to their start, for the next test.
void reset_simulation();
// Installs simulated_camera() as the program's camera transport and returns
// it. The program calls this at start when QUILLON_SIMULATOR=1. It also sets
// the shared sky's drift and seeing for the running program, from
// QUILLON_SIM_DRIFT ("x,y" pixels per second, default 0.03,-0.015) and
// QUILLON_SIM_SEEING (pixels RMS, default 0.3).
SimCamera& install_simulated_camera();

} // namespace sim
