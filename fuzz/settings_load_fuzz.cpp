// Feeds arbitrary bytes to the settings load as the settings file.
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/data_root.h"
#include "app/state.h"
#include "store/settings_file.h"

namespace {
constexpr const char* home_prefix = "quillon-fuzz-";

// A home per fuzzing process, named by its id. libFuzzer ends without running
// exit handlers, so the homes of processes that have ended are removed here.
std::string make_home()
{
    // On a memory file system when there is one: the load may rewrite the file
    // and each write is flushed to disk.
    std::error_code ec;
    const std::filesystem::path base
        = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(home_prefix, 0) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + std::strlen(home_prefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            std::filesystem::remove_all(entry.path(), ec);
    }
    const std::filesystem::path home = base / (home_prefix + std::to_string(getpid()));
    std::filesystem::create_directories(home / "AUTOSAVE");
    setenv("QUILLON_HOME", home.c_str(), 1);
    return home.string();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string home = make_home();
    reset_program_state();
    {
        std::ofstream out(ini_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const int result = LoadINIFile(ini_file.c_str());
    if (result != 0 && result != 2 && result != 3)
        std::abort();
    // Whatever was read, the texts stay terminated and the folder stays inside
    // the auto-save folder.
    if (auto_save_subdir[sizeof auto_save_subdir - 1] != '\0' || FITS_His[sizeof FITS_His - 1] != '\0')
        std::abort();
    const std::string base = data_path("AUTOSAVE");
    if (std::string(auto_save_dir).compare(0, base.size(), base) != 0)
        std::abort();
    if (std::string(auto_save_dir).find("..") != std::string::npos)
        std::abort();
    return 0;
}
