#include "app/state.h"

#include <cstring>

unsigned short stretch_table[32768];
std::uint32_t black, white;
double power_str;

void reset_state_contrast()
{
    // One call, not a loop the sanitizers check store by store: the fuzzers
    // reset the state on every run.
    std::memset(stretch_table, 0, sizeof stretch_table);
    black = white = 0;
    power_str = 0.0;
}
