// Settings the binary settings file has no room for (its 1,260-byte layout is
// fixed: stored files and other programs rely on it): the INDI server and
// devices, the focal length, dithering, the guiding graph, night vision and
// the like. One small text file, `<root>/quillon.conf`, of `key = value`
// lines; `#` starts a comment. Lines the program does not know are kept as
// they are when it writes the file, so a newer version's keys survive an
// older one.
//
// Read lazily on the first access after a reset; written whole and durably
// by save_text_settings(). Safe to call from any thread.
#pragma once

#include <string>

// The file's path under the data root.
std::string text_settings_path();

// The value stored for `key`, or `fallback` when there is none.
std::string text_setting(const std::string& key, const std::string& fallback = "");
// Numbers and switches: a value that does not parse whole gives `fallback`.
int text_setting_int(const std::string& key, int fallback);
double text_setting_double(const std::string& key, double fallback);
// "1", "true", "yes", "on" are true; "0", "false", "no", "off" false.
bool text_setting_bool(const std::string& key, bool fallback);

// Changes the value in memory; save_text_settings() writes it.
void set_text_setting(const std::string& key, const std::string& value);
void set_text_setting(const std::string& key, double value);
void set_text_setting_bool(const std::string& key, bool value);

// Writes the file (atomically). False when it could not be written; the
// values stay in memory, so the caller can say so and try again.
bool save_text_settings();

// Forgets what was read, so the next access reads the file again (program
// start, each test).
void reset_text_settings();
