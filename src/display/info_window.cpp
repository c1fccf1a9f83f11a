#include "display/info_window.h"

void show_progress_window() {}
void update_progress_window() {}
void close_progress_window() {}

void show_info_window() {}
void update_info_window() {}
void close_info_window() {}
bool info_window_open() { return false; }
