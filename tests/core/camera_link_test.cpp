#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "camera_blocks.h"
#include "app/state.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "store/buffers.h"
#include "test_env.h"

namespace {
using Bytes = std::vector<unsigned char>;

// A camera that records every report written and answers block reads with
// the bytes a test queues (all zero when none is queued).
class RecordingTransport : public CameraTransport {
public:
    CameraDiscovery found { CameraDiscovery::Failure::none, true, true, 5, 7,
        { { 0x04b4, "Maker", 0x8613, "ZQ1" } } };
    std::vector<Bytes> reports;
    std::vector<std::size_t> block_asks;
    std::deque<Bytes> blocks;
    int block_error = 0;
    // The camera is unplugged after this many reports (-1: never).
    int unplug_after = -1;
    // Clock time a block download takes.
    int download_ms = 0;

    CameraDiscovery discover() override { return found; }
    TransferResult write_report(const unsigned char* report, std::size_t length) override
    {
        if (unplug_after >= 0 && static_cast<int>(reports.size()) >= unplug_after)
            return { 0, ENODEV, true };
        reports.emplace_back(report, report + length);
        return { length, 0, false };
    }
    TransferResult read_report(unsigned char*, std::size_t) override { return { 0, ETIMEDOUT, false }; }
    TransferResult read_block(unsigned char* buffer, std::size_t length) override
    {
        block_asks.push_back(length);
        if (unplug_after >= 0 && static_cast<int>(reports.size()) >= unplug_after)
            return { 0, ENODEV, true };
        test_env().clock.advance(download_ms);
        if (block_error != 0)
            return { 0, block_error, false };
        Bytes block = blocks.empty() ? Bytes(length) : blocks.front();
        if (!blocks.empty())
            blocks.pop_front();
        const std::size_t n = std::min(block.size(), length);
        std::copy_n(block.begin(), n, buffer);
        return { n, 0, false };
    }
    void close() override { }

    // Byte 1 of every control command sent, in order.
    std::vector<int> controls() const
    {
        std::vector<int> out;
        for (const Bytes& r : reports)
            if (r.size() == 9 && r[1] == 2)
                out.push_back(r[2]);
        return out;
    }
};

struct CameraTest : testing::Test {
    RecordingTransport camera;
    void SetUp() override
    {
        set_camera_transport(&camera);
        ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
        charimageptr = reinterpret_cast<unsigned char*>(image_int);
        imageptr = intimageptr = image_int;
    }
    void TearDown() override { set_camera_transport(nullptr); }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const RecordedBox& b : test_env().host.boxes)
            out.push_back(b.text);
        return out;
    }
};

// A 128 x 128 window block from samples.
Bytes window_of(const std::vector<unsigned short>& samples)
{
    Bytes block(window_block_bytes);
    std::memcpy(block.data(), samples.data(), block.size());
    return block;
}
} // namespace

TEST_F(CameraTest, CommandBytes)
{
    struct Case {
        const char* what;
        std::function<bool()> send;
        int exposure_ms, fx, fy;
        Bytes report;
        std::size_t block;
    };
    const std::vector<Case> cases = {
        { "wipe", VN_wiper, 0, 312, 65, { 0, 2, 1, 0, 0, 0, 0, 0, 0 }, 0 },
        { "clear", VN_clearvert, 0, 312, 65, { 0, 2, 2, 0, 0, 0, 0, 0, 0 }, 0 },
        { "transfer", VN_reader, 0, 312, 65, { 0, 2, 3, 0, 0, 0, 0, 0, 0 }, 0 },
        { "transfer 2", VN_reader2, 0, 312, 65, { 0, 2, 4, 0, 0, 0, 0, 0, 0 }, 0 },
        { "transfer 3", VN_reader3, 0, 312, 65, { 0, 2, 5, 0, 0, 0, 0, 0, 0 }, 0 },
        { "binned 499", VN_binned_read, 499, 312, 65, { 0, 4, 243, 1, 0, 0, 0, 0, 0 }, 247'936 },
        { "binned 500", VN_binned_read, 500, 312, 65, { 0, 4, 0, 0, 0, 0, 0, 0, 0 }, 247'936 },
        { "binned 255", VN_binned_read, 255, 312, 65, { 0, 4, 255, 0, 0, 0, 0, 0, 0 }, 247'936 },
        { "binned 256", VN_binned_read, 256, 312, 65, { 0, 4, 0, 1, 0, 0, 0, 0, 0 }, 247'936 },
        { "field 100", VN_first_read, 100, 312, 65, { 0, 4, 100, 0, 0, 0, 0, 0, 2 }, 495'872 },
        { "focus default", VN_focus_read, 400, 312, 65, { 0, 4, 144, 1, 74, 161, 112, 138, 1 }, 32'768 },
        { "guide corner", VN_guide_read, 5000, 0, 0, { 0, 4, 0, 0, 9, 226, 8, 242, 1 }, 32'768 },
        // Origins past what the camera's counts allow are held at the last
        // window they allow instead of wrapping a byte.
        { "focus far", VN_focus_read, 1000, 800, 300, { 0, 4, 0, 0, 235, 0, 250, 0, 1 }, 32'768 },
        { "focus clamp", VN_focus_read, 1000, 686, 226, { 0, 4, 0, 0, 235, 0, 236, 14, 1 }, 32'768 },
    };
    for (const Case& c : cases) {
        camera.reports.clear();
        camera.block_asks.clear();
        exposure = c.exposure_ms;
        focus_x = c.fx;
        focus_y = c.fy;
        EXPECT_TRUE(c.send()) << c.what;
        ASSERT_EQ(camera.reports.size(), 1u) << c.what;
        EXPECT_EQ(camera.reports[0], c.report) << c.what;
        EXPECT_EQ(camera.block_asks,
            c.block == 0 ? std::vector<std::size_t> {} : std::vector<std::size_t> { c.block })
            << c.what;
    }
    EXPECT_TRUE(texts().empty());
}

TEST_F(CameraTest, FocusExposureTimingPeakAndGain)
{
    struct Case {
        int value;
        char range;
        int stretch, max;
        int wait_ms; // the program's own wait
        int byte1, byte2;
        bool clears; // vertical registers cleared while waiting
        unsigned short star, expect_star;
    };
    const std::vector<Case> cases = {
        { 499, 'q', 16, 0, 0, 243, 1, false, 5000, 5000 },
        { 500, 'q', 12, 0, 500, 0, 0, false, 5000, 65535 },
        { 4, 't', 14, 0, 0, 144, 1, false, 5000, 20000 },
        { 2, 's', 12, 1, 2000, 0, 0, true, 5000, 5000 },
        { 30, 'h', 10, 0, 0, 44, 1, false, 1000, 48000 },
    };
    for (const Case& c : cases) {
        exp_value = c.value;
        exp_range = c.range;
        focus_stretch = c.stretch;
        max_stretch = c.max;
        camera.reports.clear();
        // Background 400, a star of 2 x 2 pixels and a single hot pixel
        // whose upper neighbour is dark: only the star makes the peak.
        std::vector<unsigned short> frame(window_side * window_side, 400);
        for (int y : { 60, 61 })
            for (int x : { 70, 71 })
                frame[y * window_side + x] = c.star;
        frame[30 * window_side + 20] = 60000;
        camera.blocks.push_back(window_of(frame));
        const std::int64_t start = test_env().clock.now_ms();

        EXPECT_EQ(VN_camera_read(), c.star / 4) << c.value << c.range;

        EXPECT_EQ(test_env().clock.now_ms() - start, c.wait_ms) << c.value << c.range;
        const Bytes& read = camera.reports.back();
        EXPECT_EQ(read[2], c.byte1);
        EXPECT_EQ(read[3], c.byte2);
        const std::vector<int> controls = camera.controls();
        ASSERT_GE(controls.size(), 3u);
        EXPECT_EQ(controls[0], 2);
        EXPECT_EQ(controls[1], 1);
        EXPECT_EQ(controls.back(), 3);
        EXPECT_EQ(controls.size() > 3, c.clears) << c.value << c.range;
        EXPECT_EQ(image_int[60 * window_side + 70], c.expect_star);
    }
}

TEST_F(CameraTest, ReadsUnpackIntoTheirPlace)
{
    // Binned: sample 14 of received row 6 lands at (0, 0).
    camera.blocks.push_back(block_of(298, 416));
    image_int[376 * 290] = 4242;
    ASSERT_TRUE(VN_binned_read());
    for (int y : { 0, 1, 145, 289 })
        for (int x : { 0, 1, 200, 375 })
            EXPECT_EQ(image_int[y * 376 + x], sample_at(y + 6, x + 14)) << y << "," << x;
    EXPECT_EQ(image_int[376 * 290], 4242);

    // Fields: row 8, sample 26 of the block at the first row of the field.
    for (int line : { 0, 1 }) {
        std::fill(image_int, image_int + frame_samples, 7);
        interlaced_line = line;
        camera.blocks.push_back(block_of(298, 832));
        ASSERT_TRUE(VN_first_read());
        for (int y : { 0, 1, 100, 289 })
            for (int x : { 0, 751 }) {
                EXPECT_EQ(image_int[(2 * y + line) * 752 + x], sample_at(y + 8, x + 26));
                EXPECT_EQ(image_int[(2 * y + 1 - line) * 752 + x], 7);
            }
    }

    // The missing field of the fast mode: the mean of its neighbours.
    for (int y = 0; y < 580; ++y)
        std::fill(image_int + y * 752, image_int + (y + 1) * 752,
            static_cast<unsigned short>(y % 2 ? 9 : 100 + y / 2));
    image_int[2 * 752 + 5] = 201;
    fill_binned(image_int);
    EXPECT_EQ(image_int[1 * 752 + 5], 150);
    EXPECT_EQ(image_int[577 * 752], (100 + 288 + 100 + 289) / 2);
    // The last row has no row below: it repeats row 578.
    EXPECT_EQ(image_int[579 * 752], 100 + 289);
}

TEST_F(CameraTest, DownloadTimeMeasuredOnceFromAWholeLongRead)
{
    camera.download_ms = 3400;
    exposure = 1000;
    camera.block_error = ETIMEDOUT;
    EXPECT_FALSE(VN_first_read());
    EXPECT_EQ(download_time, 3000);
    camera.block_error = 0;
    ASSERT_TRUE(VN_first_read());
    EXPECT_EQ(download_time, 3400);
    camera.download_ms = 3900;
    ASSERT_TRUE(VN_first_read());
    EXPECT_EQ(download_time, 3400);
}

TEST_F(CameraTest, WriteAndReportLimits)
{
    const Bytes data(255, 0xab);
    EXPECT_TRUE(WriteUSBdevice(data.data(), 254));
    ASSERT_EQ(camera.reports.size(), 1u);
    EXPECT_EQ(camera.reports[0].size(), 255u);
    EXPECT_EQ(camera.reports[0][0], 0);
    EXPECT_EQ(camera.reports[0][254], 0xab);
    EXPECT_FALSE(WriteUSBdevice(data.data(), 255));
    EXPECT_EQ(camera.reports.size(), 1u);
    unsigned char in[256];
    EXPECT_FALSE(ReadUSBdevice(in, 0));
    EXPECT_FALSE(ReadUSBdevice(in, 255));
    EXPECT_FALSE(ReadUSBdevice(in, 8));
    EXPECT_EQ(texts(),
        (std::vector<std::string> { "Maximum ByteCount for WriteUSBdevice is 254",
            "Minimum ByteCount for ReadUSBdevice is 1", "Maximum ByteCount for ReadUSBdevice is 254",
            "Could not get an Input Report" }));
}

TEST_F(CameraTest, ShortOrFailedReadIsReportedAndNotTaken)
{
    struct Case {
        std::size_t bytes;
        int error;
        const char* text;
    };
    const std::vector<Case> cases = {
        { 100'000, 0, "Error 5 trying to read BlockIO data from USB\n" },
        { 0, ETIMEDOUT, "Error 110 trying to read BlockIO data from USB\n" },
        { 247'935, 0, "Error 5 trying to read BlockIO data from USB\n" },
    };
    for (const Case& c : cases) {
        test_env().host.boxes.clear();
        std::fill(image_int, image_int + frame_samples, 77);
        camera.blocks.push_back(Bytes(c.bytes, 0x55));
        camera.block_error = c.error;
        EXPECT_FALSE(VN_binned_read());
        EXPECT_EQ(texts(), std::vector<std::string> { c.text });
        EXPECT_TRUE(
            std::all_of(image_int, image_int + frame_samples, [](unsigned short v) { return v == 77; }));
    }
}

TEST_F(CameraTest, UnplugReportedOnceThenFoundAgain)
{
    exp_value = 2;
    exp_range = 's';
    camera.unplug_after = 30;
    // Three focus frames: the first loses the camera during its exposure.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(VN_camera_read(), -1);
    EXPECT_EQ(texts(), std::vector<std::string> { "Error 19 trying to send command to USB \n" });
    EXPECT_EQ(got_vn, 0);
    EXPECT_EQ(camera.reports.size(), 30u);
    // Plugged in again: the next camera command finds it and reads.
    camera.unplug_after = -1;
    ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
    EXPECT_EQ(got_vn, 1);
    EXPECT_GE(VN_camera_read(), 0);
    EXPECT_EQ(texts().size(), 1u);
}

TEST_F(CameraTest, DiscoveryOutcomes)
{
    struct Case {
        CameraDiscovery::Failure failure;
        bool command, data;
        int details;
        int result, got;
        std::string text, caption;
    };
    const std::vector<Case> cases = {
        { CameraDiscovery::Failure::none, true, false, 1, 1, 0, "USB BlockIO device not found", "Quillon" },
        { CameraDiscovery::Failure::no_device_set, false, false, 0, 0, 0, "Could not attach to PnP node",
            "Quillon" },
        { CameraDiscovery::Failure::open_failed, false, false, 0, 0, 0, "Could not open HID device",
            "Error" },
        { CameraDiscovery::Failure::no_system_name, false, false, 0, 0, 0,
            "Could not find the system name for this HID device", "Error" },
        { CameraDiscovery::Failure::none, true, true, 1, 1, 1,
            "Camera Found, Hid =      5, BlockIO =      7\nO/S =", "Quillon" },
        { CameraDiscovery::Failure::none, true, true, 0, 1, 1, "", "" },
    };
    UsbDeviceRecord records[usb_device_records];
    for (const Case& c : cases) {
        test_env().host.boxes.clear();
        got_vn = 0;
        camera.found.failure = c.failure;
        camera.found.command_channel = c.command;
        camera.found.data_channel = c.data;
        Show_Interface_Details = c.details;
        EXPECT_EQ(USBHid::CollectingUSBHidInfo(records), c.result) << c.text;
        EXPECT_EQ(got_vn, c.got) << c.text;
        EXPECT_EQ(OpenUSBinterfaces, c.got) << c.text;
        EXPECT_EQ(records[0].vendor, 0x04b4);
        EXPECT_EQ(records[1].vendor, 0);
        if (c.text.empty()) {
            EXPECT_TRUE(texts().empty());
            continue;
        }
        ASSERT_EQ(texts().size(), 1u) << c.text;
        EXPECT_EQ(texts()[0].substr(0, c.text.size()), c.text);
        EXPECT_EQ(test_env().host.boxes[0].caption, c.caption);
    }
}
