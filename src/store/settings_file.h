// The settings file "Quillon.INI": 1,260 bytes of positional records (no
// keys; position is everything), read at start-up and by the commands that
// need the settings, written by the defaults dialog, the FITS text command,
// auto-save and guider training.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

constexpr std::size_t settings_file_length = 1260;

// Results of SaveINIFile and LoadINIFile.
constexpr int settings_ok = 0;
constexpr int settings_unreadable = 2; // missing, short, or a bad speed flag
constexpr int settings_write_failed = 3;

// Writes the settings from the globals. The file is replaced only when every
// byte has been written, so a failed write leaves the old file as it was.
// 0 = written, 3 = the file cannot be created or a write came short.
int SaveINIFile(const char* fileTitle);

// Reads the settings into the globals. 0 = loaded or repaired, 2 = the file
// cannot be read, is too short, or its speed flag is not "y"/"n" (then no
// global is changed). A file with an out-of-range record is rewritten from
// the globals (those before the record hold the file's values) and the
// write's result is returned; so is the result of writing the defaults when
// the settings folder did not exist.
// A named pipe, a device or a folder cannot be read (2), without waiting.
int LoadINIFile(const char* fileTitle);

enum class SettingsRead { ok, unreadable, needs_repair };
// The records of a settings file's bytes into the globals, as LoadINIFile
// does, but never writing: `needs_repair` where LoadINIFile would rewrite the
// file (what the fuzzers feed).
SettingsRead settings_from_bytes(std::span<const unsigned char> bytes);

// The 1,260 bytes SaveINIFile writes for the current globals.
std::vector<unsigned char> settings_bytes();
