// Contrast curves: each fills the shared stretch table, asks the main window
// to apply it (internal command 888) and appends its history line. The table
// works on sample / 2, so every curve leaves even samples only.
#pragma once

// True when rows 0..9 of `frame` hold a burnt-in label (samples 4 and 5 add
// up to 34); processing then leaves those rows alone.
inline bool frame_labelled(const unsigned short* frame)
{
    return frame[4] + frame[5] == 34;
}

// The tables alone, for the curves below and for tests.
void fill_invert_table();
void fill_log_table();
void fill_antilog_table();
void fill_sine_table();
void fill_power_table(double power);
void fill_varnel_table(unsigned power);
void fill_normal_table(unsigned black_point, unsigned white_point);
void fill_background_table(int level);

// The curve commands: table, command 888, history.
void ContrastNormal();
void ContrastPower();
void ContrastBackground();
void ContrastVarnel();
void ContrastSine();
void logstretch();
void antilog();
void ContrastInvert();

// s' = 2 x stretch_table[s >> 1] over the pixels of `frame` (rows 0..9 kept
// when labelled), in 16 chunks that advance the progress window.
void apply_stretch_table(unsigned short* frame);
