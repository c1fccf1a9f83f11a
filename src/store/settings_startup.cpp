#include "store/settings_startup.h"

#include <filesystem>
#include <system_error>

#include "app/data_root.h"
#include "app/state.h"
#include "store/atomic_file.h"
#include "store/settings_file.h"

int remove_stale_temporaries_at_start()
{
    int removed = remove_stale_temporaries(data_root());
    const std::string autosave = data_path("AUTOSAVE");
    removed += remove_stale_temporaries(autosave);
    std::error_code ec;
    // Every sub-folder the user ever chose, not only the current one.
    for (std::filesystem::directory_iterator it(autosave, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            removed += remove_stale_temporaries(it->path().string());
    }
    return removed;
}

void load_settings_at_start()
{
    remove_stale_temporaries_at_start();
    LoadINIFile(ini_file.c_str());
}
