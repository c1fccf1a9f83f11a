#include "camera/usb.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/utsname.h>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"

int OpenUSBinterfaces;
int usb_camera_lost;
unsigned char camdata[8];
std::int32_t ByteCount;
unsigned char ReportBuffer[report_buffer_size];
std::uint32_t BytesReturned, BytesWritten;

void reset_state_usb()
{
    OpenUSBinterfaces = 0;
    usb_camera_lost = 0;
    std::memset(camdata, 0, sizeof camdata);
    ByteCount = 0;
    BytesReturned = BytesWritten = 0;
}

namespace {
void show_error_box(const char* text)
{
    event_pump().message_box(text, "Error", BoxButtons::ok, BoxIcon::stop);
}

void show_code(const char* format, int code)
{
    char text[96];
    std::snprintf(text, sizeof text, format, code);
    messages(50, text);
}

// The system's version for the details box: the kernel's major and minor
// release numbers.
void system_version(int& major, int& minor)
{
    major = minor = 0;
    utsname name {};
    if (uname(&name) == 0)
        std::sscanf(name.release, "%d.%d", &major, &minor);
}

// A transfer that found the camera gone: said once, and the camera is
// looked for again by the next camera command.
void camera_gone(const char* format, int code)
{
    if (!usb_camera_lost)
        show_code(format, code);
    usb_camera_lost = 1;
    got_vn = 0;
    OpenUSBinterfaces = 0;
}
} // namespace

int USBHid::CollectingUSBHidInfo(UsbDeviceRecord* records)
{
    const CameraDiscovery found = camera_transport().discover();
    if (records != nullptr)
        for (int j = 0; j < usb_device_records; ++j)
            records[j] = j < static_cast<int>(found.records.size()) ? found.records[j] : UsbDeviceRecord {};
    switch (found.failure) {
    case CameraDiscovery::Failure::none:
        break;
    case CameraDiscovery::Failure::no_device_set:
        messages(50, "Could not attach to PnP node");
        return 0;
    case CameraDiscovery::Failure::no_system_name:
        show_error_box("Could not find the system name for this HID device");
        return 0;
    case CameraDiscovery::Failure::open_failed:
        show_error_box("Could not open HID device");
        return 0;
    }
    const int any = found.records.empty() && !found.command_channel && !found.data_channel ? 0 : 1;
    if (!found.command_channel || !found.data_channel) {
        messages(50, "USB BlockIO device not found");
        OpenUSBinterfaces = 0;
        got_vn = 0;
        return any;
    }
    // Interrupt masking during downloads belongs to another system family.
    Win98 = 0;
    if (Show_Interface_Details) {
        int major = 0, minor = 0;
        system_version(major, minor);
        char text[96];
        std::snprintf(text, sizeof text, "Camera Found, Hid = %6d, BlockIO = %6d\nO/S = %4d.%4d",
            static_cast<int>(found.command_handle), static_cast<int>(found.data_handle), major, minor);
        messages(50, text);
    }
    got_vn = 1;
    OpenUSBinterfaces = 1;
    usb_camera_lost = 0;
    return 1;
}

bool WriteUSBdevice(const unsigned char* data, int count)
{
    if (count > 254) {
        messages(50, "Maximum ByteCount for WriteUSBdevice is 254");
        return false;
    }
    if (count < 0)
        count = 0;
    if (usb_camera_lost)
        return false;
    unsigned char report[255];
    report[0] = 0;
    if (count > 0)
        std::memcpy(report + 1, data, static_cast<std::size_t>(count));
    const TransferResult sent = camera_transport().write_report(report, static_cast<std::size_t>(count) + 1);
    BytesWritten = static_cast<std::uint32_t>(sent.bytes);
    if (sent.disconnected) {
        camera_gone("Error %d trying to send command to USB \n", sent.error != 0 ? sent.error : ENODEV);
        return false;
    }
    if (sent.error != 0) {
        show_code("Error %d trying to send command to USB \n", sent.error);
        return false;
    }
    if (sent.bytes < static_cast<std::size_t>(count) + 1) {
        show_code("Error %d trying to send command to USB \n", EIO);
        return false;
    }
    return true;
}

bool ReadUSBdevice(unsigned char* buffer, int count)
{
    if (count > 254) {
        messages(50, "Maximum ByteCount for ReadUSBdevice is 254");
        return false;
    }
    if (count < 1) {
        messages(50, "Minimum ByteCount for ReadUSBdevice is 1");
        return false;
    }
    if (usb_camera_lost)
        return false;
    const TransferResult got
        = camera_transport().read_report(ReportBuffer, static_cast<std::size_t>(count) + 1);
    BytesReturned = static_cast<std::uint32_t>(got.bytes);
    if (!got.ok() || got.bytes < 1) {
        if (got.disconnected) {
            if (!usb_camera_lost)
                messages(50, "Could not get an Input Report");
            usb_camera_lost = 1;
            got_vn = 0;
            OpenUSBinterfaces = 0;
        } else {
            messages(50, "Could not get an Input Report");
        }
        return false;
    }
    // The report id is dropped; never more than was asked for.
    const std::size_t payload = std::min<std::size_t>(got.bytes - 1, static_cast<std::size_t>(count));
    std::memcpy(buffer, ReportBuffer + 1, payload);
    return true;
}

bool ReceiveBlock()
{
    camdata[0] = 4;
    if (!WriteUSBdevice(camdata, 8))
        return false;
    BytesReturned = 0;
    if (ByteCount <= 0 || static_cast<std::size_t>(ByteCount) > report_buffer_size) {
        show_code("Error %d trying to read BlockIO data from USB\n", EINVAL);
        return false;
    }
    const auto asked = static_cast<std::size_t>(ByteCount);
    const TransferResult got = camera_transport().read_block(ReportBuffer, asked);
    BytesReturned = static_cast<std::uint32_t>(std::min(got.bytes, asked));
    if (got.disconnected) {
        camera_gone("Error %d trying to read BlockIO data from USB\n", got.error != 0 ? got.error : ENODEV);
        return false;
    }
    if (got.error != 0) {
        show_code("Error %d trying to read BlockIO data from USB\n", got.error);
        return false;
    }
    // A short read is a failed one: what is left of the buffer belongs to
    // an earlier frame. It is reported as an input/output error.
    if (got.bytes < asked) {
        show_code("Error %d trying to read BlockIO data from USB\n", EIO);
        return false;
    }
    return true;
}

void CloseUSBdevice()
{
    camera_transport().close();
    OpenUSBinterfaces = 0;
    got_vn = 0;
}
