#include "store/settings_startup.h"

#include "app/state.h"
#include "store/settings_file.h"

void load_settings_at_start()
{
    LoadINIFile(ini_file.c_str());
}
