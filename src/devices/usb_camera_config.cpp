#include "devices/usb_camera_config.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#ifndef QUILLON_CAMERA_VENDOR_ID
#define QUILLON_CAMERA_VENDOR_ID 0x04b4
#endif
#ifndef QUILLON_CAMERA_PRODUCT_ID
#define QUILLON_CAMERA_PRODUCT_ID 0x8613
#endif

namespace {

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Whole text as a number in `base` (0: decimal, or hex with 0x); false on
// anything else, so "12abc" or "" never become a silent 12 or 0.
bool parse_number(const std::string& text, int base, long& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    char* end = nullptr;
    errno = 0;
    value = std::strtol(digits.c_str(), &end, base);
    return errno == 0 && end != digits.c_str() && *end == '\0';
}

// Sets one key; an empty result means it was used.
std::string apply_one(const std::string& key, const std::string& value, UsbCameraConfig& config)
{
    long n = 0;
    if (key == "vendor" || key == "product") {
        if (!parse_number(value, 16, n) || n > 0xffff)
            return "\"" + value + "\" is not a 16-bit hex id";
        (key == "vendor" ? config.vendor : config.product) = static_cast<std::uint16_t>(n);
        return {};
    }
    if (key == "hid_interface" || key == "data_interface" || key == "data_endpoint") {
        if (!parse_number(value, 0, n) || n > 255)
            return "\"" + value + "\" is not a number from 0 to 255";
        (key == "hid_interface"           ? config.hid_interface
                : key == "data_interface" ? config.data_interface
                                          : config.data_endpoint)
            = static_cast<int>(n);
        return {};
    }
    if (key == "command_timeout_ms" || key == "block_timeout_ms") {
        // Every transfer must stay bounded: 0 would mean "wait for ever" to libusb.
        if (!parse_number(value, 10, n) || n < 1 || n > 600000)
            return "\"" + value + "\" is not a time from 1 to 600000 ms";
        (key == "command_timeout_ms" ? config.command_timeout_ms : config.block_timeout_ms)
            = static_cast<int>(n);
        return {};
    }
    return "unknown key \"" + key + "\"";
}

} // namespace

UsbCameraConfig default_usb_camera_config()
{
    UsbCameraConfig config;
    config.vendor = QUILLON_CAMERA_VENDOR_ID;
    config.product = QUILLON_CAMERA_PRODUCT_ID;
    return config;
}

std::vector<std::string> apply_usb_camera_config(const std::string& text, UsbCameraConfig& config)
{
    std::vector<std::string> problems;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const auto equals = line.find('=');
        std::string problem = equals == std::string::npos
            ? "expected key = value"
            : apply_one(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), config);
        if (!problem.empty())
            problems.push_back("line " + std::to_string(number) + ": " + problem);
    }
    return problems;
}

std::vector<std::string> apply_usb_camera_environment(UsbCameraConfig& config)
{
    static const std::pair<const char*, const char*> variables[] = {
        { "QUILLON_CAMERA_VID", "vendor" },
        { "QUILLON_CAMERA_PID", "product" },
        { "QUILLON_CAMERA_BLOCK_TIMEOUT_MS", "block_timeout_ms" },
    };
    std::vector<std::string> problems;
    for (const auto& [variable, key] : variables) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        std::string problem = apply_one(key, trimmed(value), config);
        if (!problem.empty())
            problems.push_back(std::string(variable) + ": " + problem);
    }
    return problems;
}

std::string usb_camera_config_path()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/')
        return std::string(xdg) + "/quillon/camera.conf";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.config/quillon/camera.conf";
}

UsbCameraConfig load_usb_camera_config()
{
    UsbCameraConfig config = default_usb_camera_config();
    const std::string path = usb_camera_config_path();
    std::ifstream file(path);
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        for (const auto& problem : apply_usb_camera_config(text.str(), config))
            std::cerr << "quillon: " << path << ", " << problem << ", ignored\n";
    }
    for (const auto& problem : apply_usb_camera_environment(config))
        std::cerr << "quillon: " << problem << ", ignored\n";
    return config;
}
