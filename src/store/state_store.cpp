#include "app/data_root.h"
#include "app/state.h"
#include "store/buffers.h"

#include <cstring>

std::string ini_file;

void reset_state_store()
{
    ZQ_binned();
    point_buffers();
    clear_history();
    ini_file = data_path("AUTOSAVE/Quillon.INI");
    const std::string autosave = data_path("AUTOSAVE");
    std::memset(auto_save_dir, 0, sizeof auto_save_dir);
    std::strncpy(auto_save_dir, autosave.c_str(), sizeof auto_save_dir - 1);
}
