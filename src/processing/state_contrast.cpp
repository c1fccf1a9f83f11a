#include "app/state.h"

#include <algorithm>

unsigned short stretch_table[32768];
std::uint32_t black, white;
double power_str;

void reset_state_contrast()
{
    std::fill(std::begin(stretch_table), std::end(stretch_table), static_cast<unsigned short>(0));
    black = white = 0;
    power_str = 0.0;
}
