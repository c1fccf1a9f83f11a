// Night vision: every window, dialog, menu and the image in dim red on
// black, so that the observer's eyes stay dark-adapted. Remembered in the
// text settings (`night_vision`).
#pragma once

bool night_vision_on();
// Keeps the choice in memory and writes the text settings file.
void set_night_vision_setting(bool on);

// A colour as night vision shows it: its brightness on red alone, dimmed.
struct NightRgb {
    int red, green, blue;
};
NightRgb night_vision_rgb(int red, int green, int blue);
