// The progress window and the guiding information window, as the Qt host
// shows them. Each reads its globals (progress, progress_caption,
// changecaption; info_caption and the guiding values).
#pragma once

// Creates the progress window hidden, replacing one already open.
void create_progress_window();
// Shows the progress window, creating it when there is none.
void show_progress_window();
void update_progress_window();
void close_progress_window();

void show_info_window();
void update_info_window();
void close_info_window();
bool info_window_open();
