// The core's camera link and read-out over the real libusb transport: the
// camera is emulated by umockdev from the exact commands the core must send
// and the block data it answers with, so a command the core gets wrong is
// never answered and the replay stalls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "camera_blocks.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/exposure_loop.h"
#include "camera/focus_loop.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "devices/usb_camera_transport.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "test_env.h"
#include "usb_emulation.h"

namespace {

EmulatedCamera zq1()
{
    const UsbCameraConfig ids = default_usb_camera_config();
    return { ids.vendor, ids.product, "Quillon Optics", "ZQ1 CCD" };
}

// The emulated camera answers at once or never: short timeouts.
UsbCameraConfig quick()
{
    UsbCameraConfig config = default_usb_camera_config();
    config.command_timeout_ms = config.block_timeout_ms = 300;
    return config;
}

// A command's 8 bytes as they cross the wire (the report id is not sent).
Bytes command(std::initializer_list<unsigned char> bytes)
{
    Bytes wire(bytes);
    wire.resize(8, 0);
    return wire;
}

unsigned short known(std::size_t i)
{
    return static_cast<unsigned short>(i * 31 ^ 0x5a5a);
}

// A frame no read-out produces, to see whether one was unpacked over it.
void fill_known_frame()
{
    for (std::size_t i = 0; i < frame_samples; ++i)
        image_int[i] = known(i);
}

bool frame_is_known()
{
    for (std::size_t i = 0; i < frame_samples; ++i)
        if (image_int[i] != known(i))
            return false;
    return true;
}

// Hands every call to the real transport and counts the transfers that
// reach it.
class Wiretap : public CameraTransport {
public:
    explicit Wiretap(CameraTransport& usb)
        : usb_(usb)
    {
    }
    int transfers = 0;
    CameraDiscovery discover() override { return usb_.discover(); }
    TransferResult write_report(const unsigned char* report, std::size_t length) override
    {
        ++transfers;
        return usb_.write_report(report, length);
    }
    TransferResult read_report(unsigned char* buffer, std::size_t length) override
    {
        ++transfers;
        return usb_.read_report(buffer, length);
    }
    TransferResult read_block(unsigned char* buffer, std::size_t length) override
    {
        ++transfers;
        return usb_.read_block(buffer, length);
    }
    void close() override { usb_.close(); }

private:
    CameraTransport& usb_;
};

// Stands in for the camera while a run is rehearsed: takes every report and
// answers every block read with zeros, keeping the order of both, so the
// capture for the real run can be made from what the loop sends.
class Rehearsal : public CameraTransport {
public:
    struct Event {
        Bytes wire; // a report as it crosses the wire
        std::size_t block = 0; // else a block read of this length
    };
    std::vector<Event> events;
    // The camera is unplugged during the unplug_at-th transfer that sends
    // unplug_on (empty: a block read); 0: never.
    Bytes unplug_on;
    int unplug_at = 0;

    CameraDiscovery discover() override
    {
        CameraDiscovery found;
        found.command_channel = found.data_channel = true;
        return found;
    }
    TransferResult write_report(const unsigned char* report, std::size_t length) override
    {
        if (gone_)
            return { 0, ENODEV, true };
        events.push_back({ Bytes(report + 1, report + length) });
        if (unplugs(events.back().wire))
            return { 0, ENODEV, true };
        return { length, 0, false };
    }
    TransferResult read_report(unsigned char*, std::size_t) override { return { 0, ETIMEDOUT, false }; }
    TransferResult read_block(unsigned char* buffer, std::size_t length) override
    {
        if (gone_)
            return { 0, ENODEV, true };
        events.push_back({ {}, length });
        if (unplugs({}))
            return { 0, ENODEV, true };
        std::fill(buffer, buffer + length, 0);
        return { length, 0, false };
    }
    void close() override { }

private:
    bool unplugs(const Bytes& wire)
    {
        gone_ = unplug_at > 0 && wire == unplug_on && ++seen_ == unplug_at;
        return gone_;
    }
    int seen_ = 0;
    bool gone_ = false;
};

class UsbCoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", test_env().home.c_str(), 1);
        charimageptr = reinterpret_cast<unsigned char*>(image_int);
        imageptr = intimageptr = image_int;
    }
    void TearDown() override
    {
        unplug();
        unsetenv("XDG_CONFIG_HOME");
    }

    // Plugs in `device` with `capture` as all its traffic and installs the
    // libusb transport for it.
    LibUsbCameraTransport& plug(
        const EmulatedCamera& device, const UsbCapture& capture, const UsbCameraConfig& config = quick())
    {
        unplug();
        bus_.emplace(device, capture, test_env().home);
        usb_.emplace(config);
        set_camera_transport(&*usb_);
        return *usb_;
    }
    void unplug()
    {
        set_camera_transport(nullptr);
        usb_.reset();
        bus_.reset();
    }
    static std::vector<std::string> texts()
    {
        std::vector<std::string> out;
        for (const RecordedBox& b : test_env().host.boxes)
            out.push_back(b.text);
        return out;
    }

private:
    std::optional<EmulatedBus> bus_;
    std::optional<LibUsbCameraTransport> usb_;
};

TEST_F(UsbCoreTest, DiscoveryNeedsTheConfiguredIdsAndBothChannels)
{
    const EmulatedCamera other = { 0x046d, 0xc52b, "Someone Else", "Mouse" };
    EmulatedCamera without_data = zq1();
    without_data.bulk_interface = false;
    UsbCameraConfig other_ids = quick();
    other_ids.vendor = other.vendor;
    other_ids.product = other.product;
    UsbCameraConfig other_endpoint = quick();
    other_endpoint.data_endpoint = 0x83;
    struct Case {
        const char* what;
        EmulatedCamera device;
        UsbCameraConfig config;
        int debug; // "Debug Info Mode"
        int result, found;
        const char* text; // nullptr: no box; else the start of the only one
        const char* manufacturer; // of record 0; nullptr: no record
    };
    const Case cases[] = {
        // The HID interface number and the bulk endpoint address (0x82).
        { "the camera, debug info", zq1(), quick(), 1, 1, 1,
            "Camera Found, Hid =      0, BlockIO =    130\nO/S = ", "Quillon Optics" },
        { "the camera", zq1(), quick(), 0, 1, 1, nullptr, "Quillon Optics" },
        { "a device with other ids", other, quick(), 1, 0, 0, "USB BlockIO device not found", nullptr },
        { "its ids configured", other, other_ids, 0, 1, 1, nullptr, "Someone Else" },
        { "no bulk endpoint", without_data, quick(), 1, 1, 0, "USB BlockIO device not found",
            "Quillon Optics" },
        { "another bulk endpoint configured", zq1(), other_endpoint, 0, 1, 0, "USB BlockIO device not found",
            "Quillon Optics" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test_env().host.boxes.clear();
        got_vn = OpenUSBinterfaces = Win98 = 1;
        // As the "Debug Info Mode" control sets them.
        Debug_Mode = Show_Interface_Details = c.debug;
        UsbCapture capture;
        capture.strings_of(c.device);
        // A camera found takes the core's wipe command.
        if (c.found)
            capture.interrupt_out(command({ 2, 1 }));
        plug(c.device, capture, c.config);

        UsbDeviceRecord records[usb_device_records];
        EXPECT_EQ(USBHid::CollectingUSBHidInfo(records), c.result);
        EXPECT_EQ(got_vn, c.found);
        EXPECT_EQ(OpenUSBinterfaces, c.found);
        EXPECT_EQ(records[0].manufacturer, c.manufacturer != nullptr ? c.manufacturer : "");
        EXPECT_EQ(records[1].vendor, 0);
        if (c.found) {
            EXPECT_EQ(Win98, 0);
            EXPECT_TRUE(VN_wiper());
        }
        const std::vector<std::string> said = texts();
        if (c.text == nullptr) {
            EXPECT_TRUE(said.empty());
            continue;
        }
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].substr(0, std::string(c.text).size()), c.text);
        EXPECT_EQ(test_env().host.boxes[0].caption, "Quillon");
    }
}

TEST_F(UsbCoreTest, TheCameraCommandWithoutTheCameraSaysSoBeforeItsDialog)
{
    const EmulatedCamera other = { 0x046d, 0xc52b, "Someone Else", "Mouse" };
    UsbCapture capture;
    capture.strings_of(other);
    plug(other, capture);
    bool asked = false;
    const CameraDialogScope dialog([&asked] {
        asked = true;
        return 1;
    });
    // Twice: the transfer error is said once.
    run_camera_command();
    run_camera_command();
    EXPECT_FALSE(asked);
    EXPECT_EQ(got_vn, 0);
    EXPECT_EQ(test_env().host.frames_shown, 0);
    EXPECT_EQ(texts(),
        (std::vector<std::string> { "USB BlockIO device not found",
            "Error 19 trying to send command to USB \n", "Sorry, No camera found on USB",
            "USB BlockIO device not found", "Sorry, No camera found on USB" }));
}

TEST_F(UsbCoreTest, ReportsUpTo254BytesCrossTheWireLongerOnesNeverLeave)
{
    Bytes data(255);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i + 1);
    const Bytes answer = { 9, 8, 7, 6, 5, 4, 3, 2 };
    UsbCapture capture;
    capture.strings_of(zq1());
    capture.interrupt_out(Bytes(data.begin(), data.begin() + 254));
    capture.interrupt_out(command({ 2, 2 }));
    capture.interrupt_in(8, answer);
    Wiretap tap(plug(zq1(), capture));
    ScopedInstall<CameraTransport> tapped(installed_camera_transport, &tap);
    ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);

    EXPECT_TRUE(WriteUSBdevice(data.data(), 254));
    EXPECT_EQ(BytesWritten, 255u);
    EXPECT_FALSE(WriteUSBdevice(data.data(), 255));
    EXPECT_EQ(tap.transfers, 1);
    // The next command is the next thing on the wire.
    EXPECT_TRUE(VN_clearvert());
    EXPECT_EQ(BytesWritten, 9u);
    unsigned char in[8] = {};
    EXPECT_TRUE(ReadUSBdevice(in, 8));
    EXPECT_EQ(Bytes(in, in + 8), answer);
    EXPECT_EQ(tap.transfers, 3);
    EXPECT_EQ(texts(), std::vector<std::string> { "Maximum ByteCount for WriteUSBdevice is 254" });
}

TEST_F(UsbCoreTest, AShortOrFailedDownloadIsReportedAndLeavesTheFrameAlone)
{
    const Bytes binned = block_of(298, 416), field = block_of(298, 832);
    const auto short_read = "Error 5 trying to read BlockIO data from USB\n";
    struct Case {
        const char* what;
        bool field;
        std::size_t answered;
        int status; // of the bulk transfer; 1: the camera never answers, 2: the rest comes late
        const char* text; // nullptr: a whole frame
    };
    const Case cases[] = {
        { "binned, cut short", false, 100'000, 0, short_read },
        // The camera goes on sending the rest after the read gave up: it
        // must not end up at the start of the next frame.
        { "binned, the rest sent late", false, 100'000, 2, short_read },
        { "binned, one byte short", false, binned_block_bytes - 1, 0, short_read },
        { "field, cut short", true, 200'000, 0, short_read },
        { "binned, endpoint stalled", false, 0, -EPIPE, "Error 32 trying to read BlockIO data from USB\n" },
        // No whole field: libpcap, which reads the capture, takes no record
        // over 256 KiB, so here only a binned block can arrive whole.
        { "binned, whole", false, binned_block_bytes, 0, nullptr },
        // Last: nothing follows in the capture.
        { "binned, never sent", false, 0, 1, "Error 110 trying to read BlockIO data from USB\n" },
    };
    exposure = 1000; // the program times it: bytes 1 and 2 are 0
    UsbCapture capture;
    capture.strings_of(zq1());
    for (const Case& c : cases) {
        capture.interrupt_out(command({ 4, 0, 0, 0, 0, 0, 0, static_cast<unsigned char>(c.field ? 2 : 0) }));
        const Bytes& block = c.field ? field : binned;
        if (c.status != 1)
            capture.bulk_in(
                block.size(), Bytes(block.begin(), block.begin() + c.answered), c.status == 2 ? 0 : c.status);
        // The late rest, in the pieces the transport asks for.
        for (std::size_t at = c.answered; c.status == 2 && at < block.size(); at += 65'536)
            capture.bulk_in(
                65'536, Bytes(block.begin() + at, block.begin() + std::min(at + 65'536, block.size())));
    }
    plug(zq1(), capture);
    ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test_env().host.boxes.clear();
        fill_known_frame();
        EXPECT_EQ(c.field ? VN_first_read() : VN_binned_read(), c.text == nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(texts(), std::vector<std::string> { c.text });
            EXPECT_TRUE(frame_is_known());
            continue;
        }
        EXPECT_TRUE(texts().empty());
        // Sample 14 of row 6 at (0, 0); nothing past the binned frame.
        for (int y : { 0, 144, 289 })
            for (int x : { 0, 375 })
                EXPECT_EQ(image_int[y * binned_width + x], sample_at(y + 6, x + 14));
        const std::size_t end = binned_width * binned_height;
        EXPECT_EQ(image_int[end], known(end));
    }
    EXPECT_EQ(got_vn, 1);
}

TEST_F(UsbCoreTest, ACameraUnpluggedMidRunIsReportedOnceAndFoundWhenBack)
{
    // A 400 ms binned frame, timed by the camera: clear, wipe, transfer, read.
    const Bytes run[] = { command({ 2, 2 }), command({ 2, 1 }), command({ 2, 3 }), command({ 4, 144, 1 }) };
    const Bytes binned = block_of(298, 416);
    struct Case {
        const char* what;
        std::size_t cut; // the step of the run the kernel ends with -ESHUTDOWN; 4: the download
        const char* text;
    };
    const Case cases[] = {
        { "during the download", 4, "Error 19 trying to read BlockIO data from USB\n" },
        { "at the transfer command", 2, "Error 19 trying to send command to USB \n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test_env().host.boxes.clear();
        UsbCapture capture;
        capture.strings_of(zq1());
        for (std::size_t i = 0; i < std::size(run) && i <= c.cut; ++i)
            capture.interrupt_out(run[i], i == c.cut ? -ESHUTDOWN : 0);
        if (c.cut == 4)
            capture.bulk_in(binned.size(), Bytes(binned.begin(), binned.begin() + 65'536), -ESHUTDOWN);
        // Plugged in again: the next camera command's discovery finds it.
        capture.strings_of(zq1());
        capture.interrupt_out(command({ 2, 1 }));
        Wiretap tap(plug(zq1(), capture));
        // Not left installed past this case's tap, should an assertion end it.
        ScopedInstall<CameraTransport> tapped(installed_camera_transport, &tap);
        ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
        fill_known_frame();
        const std::int64_t start = test_env().clock.now_ms();

        exposure = 400;
        EXPECT_FALSE(VN_clearvert() && VN_wiper() && VN_reader() && VN_binned_read());
        const int transfers = tap.transfers;
        // The rest of the run and later commands fail at once, quietly,
        // without a transfer: the 2 s focus exposure does not wait either.
        exp_value = 2;
        exp_range = 's';
        unsigned char in[8];
        EXPECT_FALSE(VN_binned_read());
        EXPECT_EQ(VN_camera_read(), -1);
        EXPECT_FALSE(VN_camera_guide());
        EXPECT_FALSE(WriteUSBdevice(run[0].data(), 8));
        EXPECT_FALSE(ReadUSBdevice(in, 8));
        EXPECT_EQ(tap.transfers, transfers);
        EXPECT_EQ(test_env().clock.now_ms(), start);
        EXPECT_EQ(texts(), std::vector<std::string> { c.text });
        EXPECT_EQ(got_vn, 0);
        EXPECT_EQ(usb_camera_lost, 1);
        EXPECT_TRUE(frame_is_known());

        ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
        EXPECT_EQ(got_vn, 1);
        EXPECT_EQ(usb_camera_lost, 0);
        EXPECT_TRUE(VN_wiper());
        EXPECT_EQ(texts().size(), 1u);
    }
}

TEST_F(UsbCoreTest, ARunWithAFailedDownloadOrALostCameraShowsAndSavesOnlyWhatArrived)
{
    const auto short_read = "Error 5 trying to read BlockIO data from USB\n";
    const auto gone_reading = "Error 19 trying to read BlockIO data from USB\n";
    const auto gone_sending = "Error 19 trying to send command to USB \n";
    struct Case {
        const char* what;
        int continuous_run, series;
        char unit;
        int value, commands; // exposure; camera commands given
        Bytes cut_on; // the transfer that fails: a report, or a block read (empty)
        int cut_at; // its occurrence
        bool unplug; // else a download cut short
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        { "a download cut short", 0, 0, 't', 4, 2, {}, 2, false, { short_read } },
        // The runs below end by themselves: a continuous run or a series
        // does not go on without its camera until a key press.
        { "unplugged during a download of a continuous run", 1, 0, 't', 4, 1, {}, 2, true, { gone_reading } },
        { "unplugged as a series' second exposure starts", 0, 1, 's', 1, 1, command({ 2, 1 }), 4, true,
            { gone_sending, "Exposure Series Completed" } },
    };
    const Bytes whole = block_of(298, 416);
    TestHost& host = test_env().host;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Binned frames; the short exposures are timed by the camera.
        const CameraDialogScope dialog([&c] {
            set_camera_mode(CameraMode::standard);
            set_exposure_unit(c.unit);
            exp_value = c.value;
            continuous = c.continuous_run;
            if (c.series)
                toggle_series_exposure();
            return 1;
        });
        // Runs the camera commands; returns how long they took. A key press
        // a minute in ends a run that would not end by itself.
        const auto run = [&c, &host] {
            reset_program_state();
            const std::int64_t start = test_env().clock.now_ms();
            for (int i = 0; i < c.commands; ++i) {
                host.press_key_at(test_env().clock.now_ms() + 60'000);
                run_camera_command();
            }
            const std::int64_t took = test_env().clock.now_ms() - start;
            // No press left over for the next run.
            test_env().clock.advance(60'001);
            while (host.pump_for_press()) { }
            return took;
        };
        Rehearsal rehearsal;
        rehearsal.unplug_on = c.cut_on;
        rehearsal.unplug_at = c.unplug ? c.cut_at : 0;
        set_camera_transport(&rehearsal);
        run();

        // The camera sends every other frame whole.
        UsbCapture capture;
        capture.strings_of(zq1());
        int seen = 0;
        for (const Rehearsal::Event& e : rehearsal.events) {
            const bool cut = e.wire == c.cut_on && ++seen == c.cut_at;
            const int status = cut && c.unplug ? -ESHUTDOWN : 0;
            if (e.block == 0)
                capture.interrupt_out(e.wire, status);
            else
                capture.bulk_in(e.block, cut ? Bytes(whole.begin(), whole.begin() + 100'000) : whole, status);
        }
        ASSERT_EQ(seen >= c.cut_at, true);
        plug(zq1(), capture);
        std::filesystem::remove_all(std::filesystem::path(auto_save_path(1)).parent_path());
        host.boxes.clear();
        host.frames_shown = 0;
        int saved = 0;
        std::vector<unsigned short> first;
        host.on_show_frame = [&] {
            saved += auto_save(image) == 0;
            first.assign(image_int, image_int + frame_samples);
        };

        EXPECT_LT(run(), 30'000);
        EXPECT_EQ(texts(), c.texts);
        EXPECT_EQ(got_vn, c.unplug ? 0 : 1);
        ASSERT_EQ(host.frames_shown, 1);
        EXPECT_EQ(saved, 1);
        EXPECT_TRUE(std::filesystem::exists(auto_save_path(1)));
        EXPECT_FALSE(std::filesystem::exists(auto_save_path(2)));
        EXPECT_EQ(first[0], sample_at(6, 14));
        EXPECT_TRUE(std::equal(first.begin(), first.end(), image_int));
        host.on_show_frame = nullptr;
    }
}

TEST_F(UsbCoreTest, FocusModeEndsWhenTheCameraGoes)
{
    // Stops focus mode after 20 steps, should it not end by itself.
    struct View : FocusLoopView {
        int steps = 0, frames = 0;
        void show_values() override { stopit = ++steps == 20 ? 1 : stopit; }
        void frame_ready() override { ++frames; }
    };
    const auto start_focus = [] {
        reset_program_state();
        max_stretch = 1; // the frame stays as read
        focus_delay = 0;
        set_exposure_unit('t');
        exp_value = 4;
        View view;
        ASSERT_EQ(USBHid::CollectingUSBHidInfo(nullptr), 1);
        run_focus_loop(view);
        EXPECT_EQ(view.steps, 3);
        EXPECT_EQ(view.frames, 2);
    };
    Rehearsal rehearsal;
    rehearsal.unplug_at = 3; // the third frame's download
    set_camera_transport(&rehearsal);
    start_focus();

    const Bytes window = block_of(128, 128);
    UsbCapture capture;
    capture.strings_of(zq1());
    int blocks = 0;
    for (const Rehearsal::Event& e : rehearsal.events) {
        if (e.block == 0) {
            capture.interrupt_out(e.wire);
            continue;
        }
        const bool cut = ++blocks == 3;
        capture.bulk_in(
            e.block, cut ? Bytes(window.begin(), window.begin() + 4096) : window, cut ? -ESHUTDOWN : 0);
    }
    plug(zq1(), capture);
    test_env().host.boxes.clear();
    start_focus();
    EXPECT_EQ(texts(), std::vector<std::string> { "Error 19 trying to read BlockIO data from USB\n" });
    EXPECT_EQ(max_value, 0);
    EXPECT_EQ(stopit, 1);
    // The last frame that arrived stays.
    EXPECT_EQ(image_int[0], sample_at(0, 0));
    EXPECT_EQ(image_int[127 * 128 + 127], sample_at(127, 127));
}

} // namespace
