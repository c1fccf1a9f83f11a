// Night vision for the Qt layer: the application's palette and style sheet
// in dim red on black, and the red colour table for displayed images.
#pragma once

#include <QColor>
#include <QImage>

// Applies the mode to the whole application (every window, dialog and menu,
// now and later) without touching the setting.
void apply_night_vision(bool on);
// Applies the stored choice at start.
void apply_stored_night_vision();

// The image as shown: an indexed image gets a red colour table in night
// vision; any other comes back as it is.
QImage night_vision_display(const QImage& image);

// Colours for custom-drawn windows: `day` as it is, or in night vision red.
QColor night_colour(const QColor& day);
