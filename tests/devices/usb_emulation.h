// A USB camera emulated by umockdev for the libusb transport: the device is
// described in sysfs (ids and descriptors) and its traffic is a usbmon
// capture (pcap link type 220) that umockdev replays in order. A transfer
// completes only when it matches the next submission of the capture — OUT
// data byte for byte — so the replay checks what the transport sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct EmulatedCamera {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string manufacturer; // empty: the device has no such string
    std::string product_name;
    bool hid_out_endpoint = true; // else commands go as SET_REPORT
    bool bulk_interface = true; // the data channel
};

// The camera's traffic, in order. Endpoint addresses are the emulated
// camera's: HID interrupt IN 0x81 and OUT 0x01, bulk IN 0x82.
class UsbCapture {
public:
    UsbCapture();
    // The string requests libusb makes while discovery reads the camera's names.
    void strings_of(const EmulatedCamera& camera);
    // An interrupt OUT of `wire`, completed with the URB status (as bulk_in).
    void interrupt_out(const Bytes& wire, int status = 0);
    void interrupt_in(std::size_t asked, const Bytes& answer);
    void set_report(std::uint16_t interface, const Bytes& wire);
    // A bulk IN of `asked` bytes answered with `answer` and the URB status
    // (0, or a negative errno as the kernel reports it).
    void bulk_in(std::size_t asked, const Bytes& answer, int status = 0);
    const Bytes& bytes() const { return pcap_; }

private:
    void record(std::uint64_t urb, char event, std::uint8_t type, std::uint8_t endpoint, int status,
        std::size_t length, const Bytes& data, const unsigned char* setup);
    void control_in(const unsigned char (&setup)[8], const Bytes& answer);
    Bytes pcap_;
    std::uint64_t next_urb_ = 1;
    std::uint32_t records_ = 0;
};

// A bus with one emulated camera for the life of the object. Needs the
// umockdev preload library (the test main arranges it).
class EmulatedBus {
public:
    EmulatedBus(const EmulatedCamera& camera, const UsbCapture& capture, const std::string& folder);
    ~EmulatedBus();
    EmulatedBus(const EmulatedBus&) = delete;
    EmulatedBus& operator=(const EmulatedBus&) = delete;

private:
    void* testbed_;
};
