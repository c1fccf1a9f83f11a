// Star centroid over a square window and the guide frame around a picked star.
#pragma once

// Centroid of the (2 * rad + 1)-square window centred on (startx, starty) of
// `frame`: 128 x 128 while guiding or tracking, else width1 x height1.
// Returns 0 on success and sets xcent, ycent (and xcentdec, ycentdec in
// guiding precision); returns 0 without touching them when nothing stands
// above the background; returns 1 when the window leaves the frame or is
// overexposed. Shows its own message boxes.
int find_centre(int startx, int starty, const unsigned short* frame, int rad);

// The guide frame origin (focus_x, focus_y) for the star at pick_xcent,
// pick_ycent, and the star's place in that frame (xcent, ycent, drawx,
// drawy). Saves the previous centroid in old_xcent, old_ycent; sets tracking.
void calc_guideframe();

// Background level of mode bin `m` (16 sample values a bin).
unsigned short background_for_mode_bin(int m);
