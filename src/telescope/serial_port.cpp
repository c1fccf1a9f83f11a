#include "telescope/serial_port.h"

#include <filesystem>
#include <system_error>

#include "app/data_root.h"

namespace {
NullSerialPort null_port;
} // namespace

Installed<SerialPort> installed_serial_port(null_port);

int serial_baud_rate(int code)
{
    constexpr int rates[] = { 110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };
    if (code < 0 || code >= static_cast<int>(sizeof rates / sizeof rates[0]))
        return -1;
    return rates[code];
}

std::string serial_device_path(int port)
{
    const std::string com = data_path("ports/COM" + std::to_string(port + 1));
    std::error_code ec;
    // A link whose target is gone still names the user's choice: opening it
    // fails and says so, instead of quietly opening another device.
    if (std::filesystem::exists(std::filesystem::symlink_status(com, ec)))
        return com;
    return "/dev/ttyS" + std::to_string(port);
}

