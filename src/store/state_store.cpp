#include "app/data_root.h"
#include "app/state.h"
#include "store/buffers.h"
#include "store/settings_values.h"

std::string ini_file;

void reset_state_store()
{
    ZQ_binned();
    point_buffers();
    clear_history();
    ini_file = data_path("AUTOSAVE/Quillon.INI");
    // The auto-save sub-folder is already reset: the plain auto-save folder.
    derive_auto_save_dir();
}
