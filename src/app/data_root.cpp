#include "app/data_root.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string data_root()
{
    if (const char* home = std::getenv("QUILLON_HOME"); home != nullptr && *home != '\0')
        return home;
    const char* user_home = std::getenv("HOME");
    std::filesystem::path base = (user_home != nullptr && *user_home != '\0') ? user_home : ".";
    return (base / "Quillon").string();
}

std::string data_path(const std::string& relative)
{
    return (std::filesystem::path(data_root()) / relative).string();
}

bool ensure_folder(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}
