// The image histogram of the display and the stretch dialogs: `table` counts
// the high bytes of the samples, `most_pop` is the background level.
#pragma once

// Counts intlength - width1_10 samples from half a row in; most_pop is the
// mean of the three most populated bins.
void build_histogram(const unsigned short* frame);
// Counts the fixed band of samples 10240..25599; most_pop is its most
// populated bin.
void find_most_pop(const unsigned short* frame);
