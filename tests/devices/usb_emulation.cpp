#include "usb_emulation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <umockdev.h>

namespace {

constexpr const char* device_path = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr std::uint8_t bus = 1;
constexpr std::uint8_t address = 2;
constexpr std::uint8_t urb_interrupt = 1, urb_control = 2, urb_bulk = 3;
constexpr std::uint16_t english = 0x0409;

template <class T> void put(Bytes& out, T value)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

std::string hex(const Bytes& bytes)
{
    std::string text;
    char pair[3];
    for (unsigned char b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

// Device, configuration, interface and endpoint descriptors as the kernel
// keeps them in the sysfs "descriptors" file.
Bytes descriptors_of(const EmulatedCamera& c)
{
    const unsigned char strings_m = c.manufacturer.empty() ? 0 : 1;
    const unsigned char strings_p = c.product_name.empty() ? 0 : 2;
    Bytes d = { 18, 1, 0x00, 0x02, 0, 0, 0, 64, static_cast<unsigned char>(c.vendor),
        static_cast<unsigned char>(c.vendor >> 8), static_cast<unsigned char>(c.product),
        static_cast<unsigned char>(c.product >> 8), 0x00, 0x01, strings_m, strings_p, 0, 1 };
    const unsigned char interfaces = c.bulk_interface ? 2 : 1;
    Bytes config = { 9, 2, 0, 0, interfaces, 1, 0, 0x80, 50 };
    const Bytes hid = { 9, 4, 0, 0, static_cast<unsigned char>(c.hid_out_endpoint ? 2 : 1), 3, 0, 0, 0, 9,
        0x21, 0x11, 0x01, 0, 1, 0x22, 0x20, 0, 7, 5, 0x81, 3, 64, 0, 1 };
    config.insert(config.end(), hid.begin(), hid.end());
    if (c.hid_out_endpoint)
        config.insert(config.end(), { 7, 5, 0x01, 3, 64, 0, 1 });
    if (c.bulk_interface)
        config.insert(config.end(), { 9, 4, 1, 0, 1, 0xff, 0, 0, 0, 7, 5, 0x82, 2, 0x00, 0x02, 0 });
    config[2] = static_cast<unsigned char>(config.size());
    config[3] = static_cast<unsigned char>(config.size() >> 8);
    d.insert(d.end(), config.begin(), config.end());
    return d;
}

Bytes string_descriptor(const std::string& text)
{
    Bytes d = { static_cast<unsigned char>(2 + 2 * text.size()), 3 };
    for (char ch : text)
        d.insert(d.end(), { static_cast<unsigned char>(ch), 0 });
    return d;
}

void write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

UsbCapture::UsbCapture()
{
    put<std::uint32_t>(pcap_, 0xa1b2c3d4);
    put<std::uint16_t>(pcap_, 2);
    put<std::uint16_t>(pcap_, 4);
    put<std::int32_t>(pcap_, 0);
    put<std::uint32_t>(pcap_, 0);
    // Snapshot length. libpcap reads no record over 256 KiB whatever this
    // says: a binned block fits, a whole full-resolution field does not.
    put<std::uint32_t>(pcap_, 1 << 20);
    put<std::uint32_t>(pcap_, 220); // LINKTYPE_USB_LINUX_MMAPPED
}

// The usbmon header before each record's data (the kernel's mon_bin_hdr).
struct UsbmonHeader {
    std::uint64_t urb;
    char event; // 'S' submission, 'C' completion
    std::uint8_t type, endpoint, device;
    std::uint16_t bus;
    char setup_flag, data_flag; // 0 when present
    std::int64_t seconds;
    std::int32_t microseconds, status;
    std::uint32_t length, data_length;
    unsigned char setup[8];
    std::int32_t interval, start_frame;
    std::uint32_t flags, descriptors;
};
static_assert(sizeof(UsbmonHeader) == 64);

// Timestamps advance 1 ms a record.
void UsbCapture::record(std::uint64_t urb, char event, std::uint8_t type, std::uint8_t endpoint, int status,
    std::size_t length, const Bytes& data, const unsigned char* setup)
{
    const std::uint32_t seconds = 1 + records_ / 1000, microseconds = records_ % 1000 * 1000;
    ++records_;
    const auto captured = static_cast<std::uint32_t>(sizeof(UsbmonHeader) + data.size());
    for (std::uint32_t field : { seconds, microseconds, captured, captured })
        put(pcap_, field);
    UsbmonHeader h {};
    h.urb = urb;
    h.event = event;
    h.type = type;
    h.endpoint = endpoint;
    h.device = address;
    h.bus = bus;
    h.setup_flag = setup != nullptr ? 0 : '-';
    h.data_flag = !data.empty() ? 0 : (event == 'S' ? '<' : '>');
    h.seconds = seconds;
    h.microseconds = static_cast<std::int32_t>(microseconds);
    h.status = status;
    h.length = static_cast<std::uint32_t>(length);
    h.data_length = static_cast<std::uint32_t>(data.size());
    if (setup != nullptr)
        std::memcpy(h.setup, setup, sizeof h.setup);
    put(pcap_, h);
    pcap_.insert(pcap_.end(), data.begin(), data.end());
}

// Control URBs carry endpoint 0 as libusb submits them (usbmon shows 0x80
// for IN; this umockdev matches libusb's number).
void UsbCapture::control_in(const unsigned char (&setup)[8], const Bytes& answer)
{
    const std::uint64_t urb = next_urb_++;
    record(urb, 'S', urb_control, 0x00, -115, setup[6] | setup[7] << 8, {}, setup);
    record(urb, 'C', urb_control, 0x00, 0, answer.size(), answer, nullptr);
}

void UsbCapture::strings_of(const EmulatedCamera& camera)
{
    const std::pair<unsigned char, const std::string*> strings[]
        = { { 1, &camera.manufacturer }, { 2, &camera.product_name } };
    for (const auto& [index, text] : strings) {
        if (text->empty())
            continue;
        // libusb asks for the language list (4 bytes), then the string in it.
        control_in({ 0x80, 6, 0, 3, 0, 0, 4, 0 }, { 4, 3, english & 0xff, english >> 8 });
        control_in({ 0x80, 6, index, 3, english & 0xff, english >> 8, 255, 0 }, string_descriptor(*text));
    }
}

void UsbCapture::interrupt_out(const Bytes& wire, int status)
{
    const std::uint64_t urb = next_urb_++;
    record(urb, 'S', urb_interrupt, 0x01, -115, wire.size(), wire, nullptr);
    record(urb, 'C', urb_interrupt, 0x01, status, status == 0 ? wire.size() : 0, {}, nullptr);
}

void UsbCapture::interrupt_in(std::size_t asked, const Bytes& answer)
{
    const std::uint64_t urb = next_urb_++;
    record(urb, 'S', urb_interrupt, 0x81, -115, asked, {}, nullptr);
    record(urb, 'C', urb_interrupt, 0x81, 0, answer.size(), answer, nullptr);
}

void UsbCapture::set_report(std::uint16_t interface, const Bytes& wire)
{
    const std::uint64_t urb = next_urb_++;
    const unsigned char setup[8] = { 0x21, 0x09, 0x00, 0x02, static_cast<unsigned char>(interface),
        static_cast<unsigned char>(interface >> 8), static_cast<unsigned char>(wire.size()),
        static_cast<unsigned char>(wire.size() >> 8) };
    record(urb, 'S', urb_control, 0x00, -115, wire.size(), wire, setup);
    record(urb, 'C', urb_control, 0x00, 0, wire.size(), {}, nullptr);
}

void UsbCapture::bulk_in(std::size_t asked, const Bytes& answer, int status)
{
    const std::uint64_t urb = next_urb_++;
    record(urb, 'S', urb_bulk, 0x82, -115, asked, {}, nullptr);
    record(urb, 'C', urb_bulk, 0x82, status, answer.size(), answer, nullptr);
}

EmulatedBus::EmulatedBus(const EmulatedCamera& camera, const UsbCapture& capture, const std::string& folder)
{
    UMockdevTestbed* testbed = umockdev_testbed_new();
    testbed_ = testbed;
    char ids[64];
    std::snprintf(ids, sizeof ids, "A: idVendor=%04x\nA: idProduct=%04x\n", camera.vendor, camera.product);
    const std::string description = std::string("P: ") + device_path
        + "\nN: bus/usb/001/002\nE: DEVNAME=/dev/bus/usb/001/002\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
          "E: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=002\nE: MAJOR=189\nE: MINOR=1\n"
          "A: busnum=1\nA: devnum=2\nA: speed=480\nA: bConfigurationValue=1\n"
        + ids + "H: descriptors=" + hex(descriptors_of(camera)) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, description.c_str(), &error)) {
        std::fprintf(stderr, "umockdev: %s\n", error->message);
        std::abort();
    }
    const std::string capture_path = folder + "/camera.pcap";
    write_file(capture_path, capture.bytes());
    if (!umockdev_testbed_load_pcap(
            testbed, (std::string("/sys") + device_path).c_str(), capture_path.c_str(), &error)) {
        std::fprintf(stderr, "umockdev: %s\n", error->message);
        std::abort();
    }
}

EmulatedBus::~EmulatedBus()
{
    g_object_unref(static_cast<UMockdevTestbed*>(testbed_));
}
