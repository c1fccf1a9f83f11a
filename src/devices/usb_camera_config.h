// Where the real camera is on the USB bus: its ids and, for a camera whose
// interfaces are not found by their kind, the interface and endpoint numbers.
// Compiled-in defaults (the QUILLON_CAMERA_VENDOR_ID / _PRODUCT_ID build
// settings), then the user's own file, then the environment, so a user can
// point the program at another camera without rebuilding it. The binary
// settings file is never involved: its layout is fixed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UsbCameraConfig {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    int hid_interface = -1; // -1: the first HID-class interface
    int data_interface = -1; // -1: any interface with a bulk IN endpoint
    int data_endpoint = -1; // -1: the first bulk IN endpoint found
    int command_timeout_ms = 1000; // one command or input report
    int block_timeout_ms = 10000; // one image download (a full field takes a few seconds)
};

// The compiled-in ids and default timeouts.
UsbCameraConfig default_usb_camera_config();

// Applies "key = value" lines (`#` starts a comment) to `config`. Keys:
// vendor, product (hex, with or without 0x), hid_interface, data_interface,
// data_endpoint (number or hex address such as 0x82), command_timeout_ms,
// block_timeout_ms. A line that cannot be used leaves its value alone and is
// described in the returned list ("line 3: ...").
std::vector<std::string> apply_usb_camera_config(const std::string& text, UsbCameraConfig& config);

// Applies QUILLON_CAMERA_VID, QUILLON_CAMERA_PID and
// QUILLON_CAMERA_BLOCK_TIMEOUT_MS when set; returns the problems as above.
std::vector<std::string> apply_usb_camera_environment(UsbCameraConfig& config);

// $XDG_CONFIG_HOME/quillon/camera.conf, or ~/.config/quillon/camera.conf.
std::string usb_camera_config_path();

// Defaults, then the file (when it exists), then the environment. Problems
// are written to standard error, since no window is up when this runs.
UsbCameraConfig load_usb_camera_config();
