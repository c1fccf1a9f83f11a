// The settings load of the main window's construction.
#pragma once

// Loads the settings file into the globals; the result is ignored (the
// compiled-in values stay when the file cannot be read).
void load_settings_at_start();
