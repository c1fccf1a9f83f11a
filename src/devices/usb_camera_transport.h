// The real camera on libusb-1.0. The command channel is the camera's HID
// interface (class 3): each report goes out on its interrupt OUT endpoint, or
// as a SET_REPORT control request when the interface has none. The data
// channel is a bulk IN endpoint; a block read is one bulk transfer of the
// asked length. Every transfer has a timeout, so nothing here can hang the
// program when the camera stops answering.
#pragma once

#include "camera/camera_transport.h"
#include "devices/usb_camera_config.h"

#include <functional>
#include <vector>

struct libusb_context;
struct libusb_device_handle;
struct libusb_config_descriptor;

class LibUsbCameraTransport : public CameraTransport {
public:
    explicit LibUsbCameraTransport(UsbCameraConfig config);
    ~LibUsbCameraTransport() override;
    LibUsbCameraTransport(const LibUsbCameraTransport&) = delete;
    LibUsbCameraTransport& operator=(const LibUsbCameraTransport&) = delete;

    CameraDiscovery discover() override;
    TransferResult write_report(const unsigned char* report, std::size_t length) override;
    TransferResult read_report(unsigned char* buffer, std::size_t length) override;
    TransferResult read_block(unsigned char* buffer, std::size_t length) override;
    void close() override;

    const UsbCameraConfig& config() const { return config_; }
    // Called every 50 ms or so while a block read waits for the camera (the
    // program repaints its window there). It must not use the transport.
    void set_while_waiting(std::function<void()> hook);

private:
    // Result of a transfer that libusb finished with `code`; marks the camera
    // gone on LIBUSB_ERROR_NO_DEVICE.
    TransferResult finish(int code, std::size_t bytes);
    TransferResult unavailable() const;
    // Reads and drops what the data endpoint still holds after a block read
    // that ended early.
    void drain_data();
    void find_channels(const libusb_config_descriptor* config);

    UsbCameraConfig config_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    int hid_interface_ = -1;
    unsigned char hid_in_ = 0; // interrupt IN endpoint address, 0: none
    unsigned char hid_out_ = 0; // interrupt OUT endpoint address, 0: SET_REPORT instead
    int data_interface_ = -1;
    unsigned char data_in_ = 0; // bulk IN endpoint address, 0: none
    std::vector<int> claimed_; // interfaces to release on close
    bool gone_ = false; // the device was unplugged since discovery
    std::function<void()> while_waiting_;
};

// Installs the libusb transport (with the user's configuration) as the
// program's camera transport, `while_waiting` running during block reads.
// The device is not touched until discovery.
void install_usb_camera_transport(std::function<void()> while_waiting = {});
