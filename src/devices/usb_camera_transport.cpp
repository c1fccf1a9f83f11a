#include "devices/usb_camera_transport.h"

#include <libusb.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

const char* const not_present = "- not present -";

// HID class requests to the interface (HID 1.11, 7.2).
constexpr std::uint8_t class_interface_out = 0x21;
constexpr std::uint8_t class_interface_in = 0xa1;
constexpr std::uint8_t hid_get_report = 0x01;
constexpr std::uint8_t hid_set_report = 0x09;
constexpr std::uint16_t hid_input_report = 0x0100;
constexpr std::uint16_t hid_output_report = 0x0200;

int errno_of(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS:
        return 0;
    case LIBUSB_ERROR_INVALID_PARAM:
        return EINVAL;
    case LIBUSB_ERROR_ACCESS:
        return EACCES;
    case LIBUSB_ERROR_NO_DEVICE:
        return ENODEV;
    case LIBUSB_ERROR_NOT_FOUND:
        return ENOENT;
    case LIBUSB_ERROR_BUSY:
        return EBUSY;
    case LIBUSB_ERROR_TIMEOUT:
        return ETIMEDOUT;
    case LIBUSB_ERROR_OVERFLOW:
        return EOVERFLOW;
    case LIBUSB_ERROR_PIPE:
        return EPIPE;
    case LIBUSB_ERROR_INTERRUPTED:
        return EINTR;
    case LIBUSB_ERROR_NO_MEM:
        return ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return ENOTSUP;
    default:
        return EIO;
    }
}

// The library's error code for how an asynchronous transfer ended.
int code_of(libusb_transfer_status status)
{
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return LIBUSB_SUCCESS;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_STALL:
        return LIBUSB_ERROR_PIPE;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return LIBUSB_ERROR_NO_DEVICE;
    case LIBUSB_TRANSFER_OVERFLOW:
        return LIBUSB_ERROR_OVERFLOW;
    default:
        return LIBUSB_ERROR_IO;
    }
}

// The string with the given index, narrowed to ASCII by libusb; bounded by
// libusb's own one-second control timeout.
std::string string_descriptor(libusb_device_handle* handle, std::uint8_t index)
{
    if (index == 0)
        return not_present;
    unsigned char text[256] = {};
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    if (n <= 0)
        return not_present;
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n)).c_str();
}

// usbhid owns the camera's HID interface on most systems. Detach a driver only
// when one is bound; auto-detach gives it back when the interface is released.
int claim(libusb_device_handle* handle, int interface)
{
    if (libusb_kernel_driver_active(handle, interface) == 1)
        libusb_set_auto_detach_kernel_driver(handle, 1);
    return libusb_claim_interface(handle, interface);
}

bool is_in(const libusb_endpoint_descriptor& e)
{
    return (e.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
}

int transfer_type(const libusb_endpoint_descriptor& e)
{
    return e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
}

} // namespace

LibUsbCameraTransport::LibUsbCameraTransport(UsbCameraConfig config)
    : config_(config)
{
}

LibUsbCameraTransport::~LibUsbCameraTransport()
{
    close();
    if (context_ != nullptr)
        libusb_exit(context_);
}

CameraDiscovery LibUsbCameraTransport::discover()
{
    close();
    CameraDiscovery result;
    // The library starts here, not at program start: no device is touched
    // before the first camera command.
    if (context_ == nullptr && libusb_init(&context_) != LIBUSB_SUCCESS) {
        context_ = nullptr;
        result.failure = CameraDiscovery::Failure::no_device_set;
        return result;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
        result.failure = CameraDiscovery::Failure::no_device_set;
        return result;
    }

    // The first device with the camera's ids.
    libusb_device* camera = nullptr;
    libusb_device_descriptor descriptor {};
    for (ssize_t i = 0; i < count && camera == nullptr; ++i) {
        libusb_device_descriptor d {};
        if (libusb_get_device_descriptor(list[i], &d) == LIBUSB_SUCCESS && d.idVendor == config_.vendor
            && d.idProduct == config_.product) {
            camera = list[i];
            descriptor = d;
        }
    }
    if (camera == nullptr) {
        libusb_free_device_list(list, 1);
        return result;
    }

    const int opened = libusb_open(camera, &handle_);
    if (opened != LIBUSB_SUCCESS) {
        handle_ = nullptr;
        libusb_free_device_list(list, 1);
        std::fprintf(stderr, "quillon: cannot open the camera %04x:%04x (%s)%s\n", config_.vendor,
            config_.product, libusb_error_name(opened),
            opened == LIBUSB_ERROR_ACCESS ? "; the README's udev rule gives the user access" : "");
        result.failure = CameraDiscovery::Failure::open_failed;
        return result;
    }
    UsbDeviceRecord record;
    record.vendor = descriptor.idVendor;
    record.product = descriptor.idProduct;
    record.manufacturer = string_descriptor(handle_, descriptor.iManufacturer);
    record.product_name = string_descriptor(handle_, descriptor.iProduct);
    result.records.push_back(record);

    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(camera, &config) != LIBUSB_SUCCESS)
        libusb_get_config_descriptor(camera, 0, &config);
    libusb_free_device_list(list, 1);

    find_channels(config);
    libusb_free_config_descriptor(config);

    for (int* interface : { &hid_interface_, &data_interface_ }) {
        if (*interface < 0 || (interface == &data_interface_ && data_interface_ == hid_interface_))
            continue;
        const int claimed = claim(handle_, *interface);
        if (claimed != LIBUSB_SUCCESS) {
            std::fprintf(stderr, "quillon: cannot claim interface %d of the camera (%s)\n", *interface,
                libusb_error_name(claimed));
            close();
            result.failure = CameraDiscovery::Failure::open_failed;
            return result;
        }
        claimed_.push_back(*interface);
    }

    result.command_channel = hid_interface_ >= 0;
    result.data_channel = data_in_ != 0;
    // The details box shows these: the HID interface number and the bulk
    // endpoint address.
    result.command_handle = hid_interface_;
    result.data_handle = data_in_;
    return result;
}

// The HID interface with its interrupt endpoints, and the bulk IN endpoint,
// by kind unless the configuration names them.
void LibUsbCameraTransport::find_channels(const libusb_config_descriptor* config)
{
    if (config == nullptr)
        return;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        if (config->interface[i].num_altsetting < 1)
            continue;
        const libusb_interface_descriptor& alt = config->interface[i].altsetting[0];
        const int number = alt.bInterfaceNumber;
        const bool hid = config_.hid_interface >= 0 ? number == config_.hid_interface
                                                    : alt.bInterfaceClass == LIBUSB_CLASS_HID;
        if (hid && hid_interface_ < 0) {
            hid_interface_ = number;
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                if (transfer_type(ep) != LIBUSB_TRANSFER_TYPE_INTERRUPT)
                    continue;
                unsigned char& slot = is_in(ep) ? hid_in_ : hid_out_;
                if (slot == 0)
                    slot = ep.bEndpointAddress;
            }
        }
        if (data_in_ != 0 || (config_.data_interface >= 0 && number != config_.data_interface))
            continue;
        for (int e = 0; e < alt.bNumEndpoints && data_in_ == 0; ++e) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[e];
            // The configured endpoint may be given with or without its direction bit.
            if (transfer_type(ep) == LIBUSB_TRANSFER_TYPE_BULK && is_in(ep)
                && (config_.data_endpoint < 0
                    || (ep.bEndpointAddress & 0x0f) == (config_.data_endpoint & 0x0f))) {
                data_in_ = ep.bEndpointAddress;
                data_interface_ = number;
            }
        }
    }
}

TransferResult LibUsbCameraTransport::write_report(const unsigned char* report, std::size_t length)
{
    if (report == nullptr || length == 0 || length > INT_MAX)
        return { 0, EINVAL, false };
    if (handle_ == nullptr || gone_ || hid_interface_ < 0)
        return unavailable();
    // Report id 0 marks a device without numbered reports: as every HID stack
    // does, the id byte is not sent and the device sees only the payload.
    const unsigned char id = report[0];
    unsigned char* wire = const_cast<unsigned char*>(id == 0 ? report + 1 : report);
    const int wire_length = static_cast<int>(id == 0 ? length - 1 : length);
    if (hid_out_ == 0 && wire_length > 0xffff)
        return { 0, EINVAL, false }; // more than a control request carries
    int done = 0;
    int code = LIBUSB_SUCCESS;
    if (hid_out_ != 0) {
        code = libusb_interrupt_transfer(
            handle_, hid_out_, wire, wire_length, &done, config_.command_timeout_ms);
    } else {
        const int n = libusb_control_transfer(handle_, class_interface_out, hid_set_report,
            hid_output_report | id, static_cast<std::uint16_t>(hid_interface_), wire,
            static_cast<std::uint16_t>(wire_length), static_cast<unsigned>(config_.command_timeout_ms));
        code = n < 0 ? n : LIBUSB_SUCCESS;
        done = n < 0 ? 0 : n;
    }
    TransferResult result = finish(code, done == wire_length ? length : static_cast<std::size_t>(done));
    if (result.error == 0 && done < wire_length)
        result.error = EIO;
    return result;
}

TransferResult LibUsbCameraTransport::read_report(unsigned char* buffer, std::size_t length)
{
    if (buffer == nullptr || length == 0 || length > INT_MAX)
        return { 0, EINVAL, false };
    if (handle_ == nullptr || gone_ || hid_interface_ < 0)
        return unavailable();
    // Unnumbered reports arrive without their id: put the 0 back in front.
    buffer[0] = 0;
    const int payload = static_cast<int>(length - 1);
    if (hid_in_ == 0 && payload > 0xffff)
        return { 0, EINVAL, false };
    int done = 0;
    int code = LIBUSB_SUCCESS;
    if (hid_in_ != 0) {
        code = libusb_interrupt_transfer(
            handle_, hid_in_, buffer + 1, payload, &done, config_.command_timeout_ms);
    } else {
        const int n = libusb_control_transfer(handle_, class_interface_in, hid_get_report, hid_input_report,
            static_cast<std::uint16_t>(hid_interface_), buffer + 1, static_cast<std::uint16_t>(payload),
            static_cast<unsigned>(config_.command_timeout_ms));
        code = n < 0 ? n : LIBUSB_SUCCESS;
        done = n < 0 ? 0 : n;
    }
    return finish(code, code == LIBUSB_SUCCESS || done > 0 ? static_cast<std::size_t>(done) + 1 : 0);
}

TransferResult LibUsbCameraTransport::read_block(unsigned char* buffer, std::size_t length)
{
    if (buffer == nullptr || length > INT_MAX)
        return { 0, EINVAL, false };
    if (handle_ == nullptr || gone_ || data_in_ == 0)
        return unavailable();
    // One asynchronous transfer waited for in short slices, so the window can
    // repaint between them during a download of several seconds; libusb's
    // own timeout bounds the whole read.
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr)
        return { 0, ENOMEM, false };
    int completed = 0;
    libusb_fill_bulk_transfer(
        transfer, handle_, data_in_, buffer, static_cast<int>(length),
        [](libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; }, &completed,
        static_cast<unsigned>(config_.block_timeout_ms));
    const int submitted = libusb_submit_transfer(transfer);
    if (submitted != LIBUSB_SUCCESS) {
        libusb_free_transfer(transfer);
        return finish(submitted, 0);
    }
    while (completed == 0) {
        timeval slice { 0, 50000 };
        const int handled = libusb_handle_events_timeout_completed(context_, &slice, &completed);
        if (handled < 0 && handled != LIBUSB_ERROR_INTERRUPTED) {
            // libusb completes a cancelled transfer, so the loop still ends.
            libusb_cancel_transfer(transfer);
            continue;
        }
        if (completed == 0 && while_waiting_)
            while_waiting_();
    }
    const std::size_t done = static_cast<std::size_t>(transfer->actual_length);
    const int code = code_of(transfer->status);
    libusb_free_transfer(transfer);
    // A stalled endpoint fails every later read until its halt is cleared.
    if (code == LIBUSB_ERROR_PIPE)
        libusb_clear_halt(handle_, data_in_);
    if (code == LIBUSB_ERROR_TIMEOUT || (code == LIBUSB_SUCCESS && done < length))
        drain_data();
    // A short read comes back as success with fewer bytes: the caller sees
    // `bytes` < `length` and must not take the buffer for a whole frame.
    return finish(code, done);
}

void LibUsbCameraTransport::drain_data()
{
    // What the camera still sends of a block that ended early would arrive
    // at the start of the next block read and shift that frame: it is read
    // and dropped until the endpoint stays quiet. Bounded by twice the
    // largest block, in case the camera never stops.
    constexpr int piece = 64 * 1024;
    constexpr int quiet_ms = 100;
    std::vector<unsigned char> scratch(piece);
    for (int i = 0; i < 16; ++i) {
        int got = 0;
        const int code = libusb_bulk_transfer(handle_, data_in_, scratch.data(), piece, &got, quiet_ms);
        if (code == LIBUSB_ERROR_NO_DEVICE)
            gone_ = true;
        if (code != LIBUSB_SUCCESS || got == 0)
            return;
    }
}

void LibUsbCameraTransport::set_while_waiting(std::function<void()> hook)
{
    while_waiting_ = std::move(hook);
}

void LibUsbCameraTransport::close()
{
    if (handle_ != nullptr) {
        if (!gone_) {
            for (const int interface : claimed_)
                libusb_release_interface(handle_, interface);
        }
        libusb_close(handle_);
    }
    handle_ = nullptr;
    claimed_.clear();
    hid_interface_ = -1;
    hid_in_ = hid_out_ = 0;
    data_interface_ = -1;
    data_in_ = 0;
    gone_ = false;
}

TransferResult LibUsbCameraTransport::finish(int code, std::size_t bytes)
{
    if (code == LIBUSB_ERROR_NO_DEVICE) {
        // Unplugged: later calls answer at once instead of waiting out a
        // timeout on a handle that can never work again.
        gone_ = true;
        return { bytes, ENODEV, true };
    }
    return { bytes, errno_of(code), false };
}

TransferResult LibUsbCameraTransport::unavailable() const
{
    // No device at all (or one that has gone) is a disconnection; an open
    // camera without the asked channel is only a missing device.
    const bool no_device = handle_ == nullptr || gone_;
    return { 0, ENODEV, no_device };
}

void install_usb_camera_transport(std::function<void()> while_waiting)
{
    static LibUsbCameraTransport transport(load_usb_camera_config());
    transport.set_while_waiting(std::move(while_waiting));
    set_camera_transport(&transport);
}
