// Aligned accumulation of an exposure series: each new frame is registered
// on the running sum (in the trial buffer) and added, and the frame buffer
// is overwritten with the sum so that the display shows the sum so far.
// Star alignment follows the picked star's centroid; profile alignment
// matches row and column brightness profiles of a fixed window.
#pragma once

#include <cstdint>

extern int slew_sum_alt; // align by profiles instead of the star
extern int slew_sum_average; // each frame contributes 1 / total_images
extern int orig_max; // star alignment: the star's peak in the first frame
extern int orig_avg; // profile alignment: mean level of the first frame; 0: no sum yet
extern std::int32_t rowsum_1[100], colsum_1[100], rowsum_2[100], colsum_2[100];

// Results of both methods.
constexpr int accumulate_added = 0;
constexpr int accumulate_lost = 1; // message 33: the series ends
constexpr int accumulate_no_window = 2; // message 34: the series ends

// `frame` is the frame just read (width1 x height1), `sum` the running sum.
int track_accumulate(unsigned short* frame, unsigned short* sum, int& orig_x, int& orig_y, int& merge_x,
    int& merge_y, int& orig_max, int& orig_avg);
int slew_accumulate(unsigned short* frame, unsigned short* sum, int& orig_x, int& orig_y, int& merge_x,
    int& merge_y, int& orig_max, int& orig_avg);

void reset_state_accumulate();
