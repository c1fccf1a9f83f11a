// The settings load of the main window's construction.
#pragma once

// Removes the temporary files a killed run left in the data root and the
// auto-save folders, then loads the settings file into the globals; the
// load's result is ignored (the compiled-in values stay when the file cannot
// be read).
void load_settings_at_start();
// The clean-up alone: the data root, the auto-save folder and each of its
// sub-folders. Returns how many files were removed.
int remove_stale_temporaries_at_start();
