// The camera's USB link as the program uses it: discovery of the command and
// data channels, 8-byte commands written as HID output reports, and the block
// read of image data. Everything goes through the installed CameraTransport.
//
// A transfer that fails is reported with its message; one that finds the
// camera gone is reported once, clears got_vn so that the next camera command
// looks for the camera again, and every transfer after it fails quietly until
// a discovery finds the camera.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camera/camera_transport.h"

extern int OpenUSBinterfaces; // 1 after a discovery that found both channels
extern int usb_camera_lost; // the camera went away during this run
extern unsigned char camdata[8]; // the command block; byte 0 is the command
extern std::int32_t ByteCount; // length of the next block read
constexpr std::size_t report_buffer_size = 1'000'000;
extern unsigned char ReportBuffer[report_buffer_size];
extern std::uint32_t BytesReturned, BytesWritten;

// The device records one discovery fills.
constexpr int usb_device_records = 20;

struct USBHid {
    // Finds and opens the camera's channels; fills `records` (20 of them,
    // nullptr for none) and sets got_vn, OpenUSBinterfaces and Win98.
    // Returns 1 when any device interface was found, 0 on an early failure.
    static int CollectingUSBHidInfo(UsbDeviceRecord* records);
};

// Sends `count` bytes (at most 254) as one HID output report. True when the
// report was written.
bool WriteUSBdevice(const unsigned char* data, int count);
// Reads one HID input report of `count` payload bytes (1 to 254) into
// `buffer`. True when a report arrived.
bool ReadUSBdevice(unsigned char* buffer, int count);
// Sends the read command in camdata and reads ByteCount bytes into
// ReportBuffer. True only when every byte arrived: a short or failed read is
// reported and must not be taken as a frame.
bool ReceiveBlock();
// Releases both channels.
void CloseUSBdevice();

void reset_state_usb();
