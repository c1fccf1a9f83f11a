// The CameraTransport seam: the camera's two channels as the core sees them.
// The 8-byte commands go out as HID output reports on the command channel;
// image data comes in as one bulk read of a given length on the data channel.
// The real USB camera (libusb) and the simulated camera implement it; the core
// reaches the camera through nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/installed.h"

// One device interface seen by discovery. Informational only.
struct UsbDeviceRecord {
    std::uint16_t vendor = 0;    // 0: no device at this index
    std::string manufacturer;    // "- not present -" when the device gives none
    std::uint16_t product = 0;
    std::string product_name;    // product string, or the data channel's device name
};

// What one discovery found. The transport opens what it finds; the core turns
// the result into the program's flags and messages.
struct CameraDiscovery {
    enum class Failure {
        none,
        no_device_set,   // the system could not list devices at all
        no_system_name,  // a device was listed but its path could not be had
        open_failed,     // a device was found but could not be opened
    };
    Failure failure = Failure::none;
    bool command_channel = false;   // the HID interface for 8-byte commands is open
    bool data_channel = false;      // the bulk data channel is open
    long command_handle = 0;        // numbers shown by the interface-details box
    long data_handle = 0;
    std::vector<UsbDeviceRecord> records;   // at most 20
};

// Outcome of one transfer. `error` is a system error number (errno style),
// 0 when the transfer completed; a read may still be short (bytes < asked).
struct TransferResult {
    std::size_t bytes = 0;
    int error = 0;
    // The device has gone (unplugged, powered off): no later transfer can work.
    bool disconnected = false;
    bool ok() const { return error == 0 && !disconnected; }
};

class CameraTransport {
public:
    virtual ~CameraTransport() = default;

    // Finds and opens the camera's command and data channels.
    virtual CameraDiscovery discover() = 0;
    // Writes one HID output report: `report[0]` is the report id (0), the
    // payload follows; `length` counts both.
    virtual TransferResult write_report(const unsigned char* report, std::size_t length) = 0;
    // Reads one HID input report of `length` bytes (id and payload).
    virtual TransferResult read_report(unsigned char* buffer, std::size_t length) = 0;
    // Reads `length` bytes from the data channel with one bounded transfer.
    virtual TransferResult read_block(unsigned char* buffer, std::size_t length) = 0;
    // Releases both channels.
    virtual void close() = 0;
};

// No camera: discovery finds nothing and every transfer fails with ENODEV.
class NullCameraTransport : public CameraTransport {
public:
    CameraDiscovery discover() override;
    TransferResult write_report(const unsigned char*, std::size_t) override;
    TransferResult read_report(unsigned char*, std::size_t) override;
    TransferResult read_block(unsigned char*, std::size_t) override;
    void close() override {}
};

// The installed transport; the null transport until one is installed.
extern Installed<CameraTransport> installed_camera_transport;
inline CameraTransport& camera_transport()
{
    return installed_camera_transport.current();
}
// Installs `t` (not owned); nullptr restores the null transport.
inline void set_camera_transport(CameraTransport* t)
{
    installed_camera_transport.install(t);
}
