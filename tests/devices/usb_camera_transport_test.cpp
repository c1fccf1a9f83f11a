// The libusb camera transport against a camera umockdev emulates: real libusb
// calls, real usbfs requests, the camera's side replayed from a capture.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "devices/usb_camera_transport.h"
#include "test_env.h"
#include "usb_emulation.h"

namespace {

constexpr std::size_t binned_block = 247936; // what a binned read-out asks for

Bytes pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return b;
}

EmulatedCamera the_camera()
{
    const UsbCameraConfig ids = default_usb_camera_config();
    return { ids.vendor, ids.product, "Quillon Optics", "ZQ1 CCD" };
}

// Short timeouts: the emulated camera answers at once or never.
UsbCameraConfig quick(UsbCameraConfig config = default_usb_camera_config())
{
    config.command_timeout_ms = config.block_timeout_ms = 300;
    return config;
}

// A report as the core writes it: id 0, then the payload.
Bytes report(std::size_t payload, unsigned char first)
{
    Bytes r(payload + 1, 0);
    for (std::size_t i = 1; i < r.size(); ++i)
        r[i] = static_cast<unsigned char>(first + i);
    return r;
}

Bytes payload_of(const Bytes& r)
{
    return Bytes(r.begin() + 1, r.end());
}

class UsbCameraTransportTest : public testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", test_env().home.c_str(), 1); }
    void TearDown() override
    {
        for (const char* v : { "XDG_CONFIG_HOME", "QUILLON_CAMERA_VID", "QUILLON_CAMERA_PID" })
            unsetenv(v);
    }
};

TEST_F(UsbCameraTransportTest, ConfigFileThenEnvironmentOverrideTheBuiltInIds)
{
    const UsbCameraConfig built_in = default_usb_camera_config();
    struct Case {
        const char* file;
        const char* vid;
        const char* pid;
        std::uint16_t vendor, product;
        int endpoint;
        std::size_t problems;
    } cases[] = {
        { "", nullptr, nullptr, built_in.vendor, built_in.product, -1, 0 },
        { "vendor = 0x1234\nproduct=ABCD  # the second camera\n", nullptr, nullptr, 0x1234, 0xabcd, -1, 0 },
        { "vendor = 1234\ndata_endpoint = 0x82\n", "0x0547", nullptr, 0x0547, built_in.product, 0x82, 0 },
        // Each bad line keeps the value it would have set.
        { "vendor = 12345\nproduct\nblock_timeout_ms = 0\ncolour = red\ndata_endpoint = 2x\n", nullptr, "zz",
            built_in.vendor, built_in.product, -1, 6 },
    };
    const std::string folder = test_env().home + "/quillon";
    std::filesystem::create_directories(folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(folder + "/camera.conf") << c.file;
        c.vid != nullptr ? setenv("QUILLON_CAMERA_VID", c.vid, 1) : unsetenv("QUILLON_CAMERA_VID");
        c.pid != nullptr ? setenv("QUILLON_CAMERA_PID", c.pid, 1) : unsetenv("QUILLON_CAMERA_PID");
        const UsbCameraConfig loaded = load_usb_camera_config();
        EXPECT_EQ(loaded.vendor, c.vendor);
        EXPECT_EQ(loaded.product, c.product);
        EXPECT_EQ(loaded.data_endpoint, c.endpoint);
        EXPECT_EQ(loaded.block_timeout_ms, built_in.block_timeout_ms);
        UsbCameraConfig scratch;
        EXPECT_EQ(
            apply_usb_camera_config(c.file, scratch).size() + apply_usb_camera_environment(scratch).size(),
            c.problems);
    }
}

TEST_F(UsbCameraTransportTest, DiscoveryOpensOnlyTheConfiguredCamera)
{
    EmulatedCamera other = { 0x046d, 0xc52b, "Someone Else", "Mouse" };
    EmulatedCamera unnamed = { 0x1234, 0x5678, "", "" };
    UsbCameraConfig for_unnamed = quick();
    for_unnamed.vendor = 0x1234;
    for_unnamed.product = 0x5678;
    EmulatedCamera without_data = the_camera();
    without_data.bulk_interface = false;
    struct Case {
        const char* what;
        EmulatedCamera device;
        UsbCameraConfig config;
        bool command, data;
        const char* manufacturer; // nullptr: no record
        const char* product;
    } cases[] = {
        { "the camera", the_camera(), quick(), true, true, "Quillon Optics", "ZQ1 CCD" },
        { "a device with other ids", other, quick(), false, false, nullptr, nullptr },
        { "configured ids, no strings", unnamed, for_unnamed, true, true, "- not present -",
            "- not present -" },
        { "no bulk endpoint", without_data, quick(), true, false, "Quillon Optics", "ZQ1 CCD" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UsbCapture capture;
        capture.strings_of(c.device);
        EmulatedBus bus(c.device, capture, test_env().home);
        LibUsbCameraTransport transport(c.config);
        const CameraDiscovery found = transport.discover();
        EXPECT_EQ(found.failure, CameraDiscovery::Failure::none);
        EXPECT_EQ(found.command_channel, c.command);
        EXPECT_EQ(found.data_channel, c.data);
        ASSERT_EQ(found.records.size(), c.manufacturer != nullptr ? 1u : 0u);
        if (c.manufacturer != nullptr) {
            EXPECT_EQ(found.records[0].vendor, c.device.vendor);
            EXPECT_EQ(found.records[0].product, c.device.product);
            EXPECT_EQ(found.records[0].manufacturer, c.manufacturer);
            EXPECT_EQ(found.records[0].product_name, c.product);
        }
        // Without its channel a block read fails at once; the camera is not gone.
        unsigned char buffer[16];
        const TransferResult read = transport.read_block(buffer, sizeof buffer);
        EXPECT_EQ(read.error, c.data ? ETIMEDOUT : ENODEV);
        EXPECT_EQ(read.disconnected, !c.command);
    }
}

TEST_F(UsbCameraTransportTest, CommandsAndBlocksCrossTheWireAsGiven)
{
    const EmulatedCamera camera = the_camera();
    const Bytes command = report(8, 3), longest = report(254, 40), block = pattern(binned_block);
    struct Read {
        const char* what;
        std::size_t asked, answered;
        int status;
        std::size_t bytes;
        int error;
    } reads[] = {
        { "a whole binned block", binned_block, binned_block, 0, binned_block, 0 },
        { "a short block", 4096, 1000, 0, 1000, 0 }, { "a stalled endpoint", 4096, 0, -EPIPE, 0, EPIPE },
        { "the endpoint works after its stall", 4096, 4096, 0, 4096, 0 },
        { "the capture's end: no answer", 4096, 0, 1, 0, ETIMEDOUT }, // status 1: not in the capture
    };
    UsbCapture capture;
    capture.strings_of(camera);
    capture.interrupt_out(payload_of(command));
    capture.interrupt_out(payload_of(longest));
    capture.interrupt_in(8, { 9, 8, 7, 6, 5, 4, 3, 2 });
    for (const Read& r : reads) {
        if (r.status != 1)
            capture.bulk_in(r.asked, Bytes(block.begin(), block.begin() + r.answered), r.status);
    }
    EmulatedBus bus(camera, capture, test_env().home);
    LibUsbCameraTransport transport(quick());
    ASSERT_TRUE(transport.discover().data_channel);

    // The replay answers only the bytes it expects: a different command is
    // never taken, the right one is, id byte left off the wire.
    const TransferResult wrong = transport.write_report(report(8, 4).data(), 9);
    EXPECT_EQ(wrong.error, ETIMEDOUT);
    const TransferResult sent = transport.write_report(command.data(), command.size());
    EXPECT_TRUE(sent.ok());
    EXPECT_EQ(sent.bytes, 9u);
    const TransferResult sent_longest = transport.write_report(longest.data(), longest.size());
    EXPECT_TRUE(sent_longest.ok());
    EXPECT_EQ(sent_longest.bytes, 255u);

    unsigned char input[9] = { 0xff };
    const TransferResult got = transport.read_report(input, sizeof input);
    EXPECT_TRUE(got.ok());
    EXPECT_EQ(got.bytes, 9u);
    EXPECT_EQ(Bytes(input, input + 9), (Bytes { 0, 9, 8, 7, 6, 5, 4, 3, 2 }));

    // The window repaints while a read waits: here, the one that times out.
    int waits = 0;
    transport.set_while_waiting([&waits] { ++waits; });
    Bytes buffer(binned_block);
    for (const Read& r : reads) {
        SCOPED_TRACE(r.what);
        std::fill(buffer.begin(), buffer.end(), 0);
        const TransferResult read = transport.read_block(buffer.data(), r.asked);
        EXPECT_EQ(read.bytes, r.bytes);
        EXPECT_EQ(read.error, r.error);
        EXPECT_FALSE(read.disconnected);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + r.bytes, block.begin()));
    }
    EXPECT_GT(waits, 0);
}

TEST_F(UsbCameraTransportTest, SetReportCarriesCommandsWhenTheHidInterfaceHasNoOutEndpoint)
{
    EmulatedCamera camera = the_camera();
    camera.hid_out_endpoint = false;
    const Bytes command = report(8, 11);
    UsbCapture capture;
    capture.strings_of(camera);
    capture.set_report(0, payload_of(command));
    EmulatedBus bus(camera, capture, test_env().home);
    LibUsbCameraTransport transport(quick());
    ASSERT_TRUE(transport.discover().command_channel);
    const TransferResult sent = transport.write_report(command.data(), command.size());
    EXPECT_TRUE(sent.ok());
    EXPECT_EQ(sent.bytes, 9u);
}

TEST_F(UsbCameraTransportTest, UnplugDuringADownloadIsReportedLaterCallsFailAtOnceAndReplugIsFound)
{
    const EmulatedCamera camera = the_camera();
    const Bytes command = report(8, 3), block = pattern(binned_block);
    UsbCapture capture;
    capture.strings_of(camera);
    capture.interrupt_out(payload_of(command));
    // The kernel ends the URB of a device that went away with -ESHUTDOWN.
    capture.bulk_in(binned_block, Bytes(block.begin(), block.begin() + 65536), -ESHUTDOWN);
    // Plugged in again: the next camera command finds it.
    capture.strings_of(camera);
    capture.interrupt_out(payload_of(command));
    EmulatedBus bus(camera, capture, test_env().home);
    LibUsbCameraTransport transport(quick());
    ASSERT_TRUE(transport.discover().data_channel);
    ASSERT_TRUE(transport.write_report(command.data(), command.size()).ok());

    Bytes buffer(binned_block);
    const TransferResult cut = transport.read_block(buffer.data(), buffer.size());
    EXPECT_TRUE(cut.disconnected);
    EXPECT_EQ(cut.error, ENODEV);
    EXPECT_LT(cut.bytes, binned_block);
    // Nothing more is asked of the device: a transfer would time out instead.
    for (const TransferResult& later : { transport.write_report(command.data(), command.size()),
             transport.read_block(buffer.data(), buffer.size()), transport.read_report(buffer.data(), 9) }) {
        EXPECT_TRUE(later.disconnected);
        EXPECT_EQ(later.error, ENODEV);
    }
    transport.close();
    EXPECT_TRUE(transport.write_report(command.data(), command.size()).disconnected);

    ASSERT_TRUE(transport.discover().data_channel);
    EXPECT_TRUE(transport.write_report(command.data(), command.size()).ok());
}

} // namespace
