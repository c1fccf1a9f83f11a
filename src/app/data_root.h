// Every path the program reads or writes goes through data_root(): the folder
// named by $QUILLON_HOME when set, else ~/Quillon. Settings, auto-saves,
// guide logs and the display bitmaps all live below it, so one variable moves
// them all (each test points it at its own temporary folder).
#pragma once

#include <string>

std::string data_root();
// data_root() joined with a relative path ("AUTOSAVE/Quillon.INI").
std::string data_path(const std::string& relative);
// Creates the folder (and its parents) when missing; false when it cannot.
bool ensure_folder(const std::string& path);
