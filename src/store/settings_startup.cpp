#include "app/main_frame.h"

// The settings load fills this: the main window loads the settings file here
// when it is built; until then the compiled-in values stay in force.
void load_settings_at_start()
{
}
