// Feeds arbitrary bytes to the settings load as the settings file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "app/data_root.h"
#include "app/state.h"
#include "store/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The load only builds paths from the data root; nothing is written.
    static const bool started = [] {
        setenv("QUILLON_HOME", "/nonexistent/quillon-fuzz-home", 1);
        return true;
    }();
    (void)started;
    reset_program_state();
    settings_from_bytes(std::span<const unsigned char>(data, size));
    // Whatever was read, the texts stay terminated and the folder stays inside
    // the auto-save folder.
    if (auto_save_subdir[sizeof auto_save_subdir - 1] != '\0' || FITS_His[sizeof FITS_His - 1] != '\0')
        std::abort();
    const std::string base = data_path("AUTOSAVE");
    if (auto_save_dir.compare(0, base.size(), base) != 0)
        std::abort();
    if (auto_save_dir.find("..") != std::string::npos)
        std::abort();
    return 0;
}
