#include "app/state.h"

#include <cstring>

int hist_already, intensity_plot;
unsigned short* externptr;
char workfld2[256];

void reset_state_plots()
{
    hist_already = intensity_plot = 0;
    externptr = nullptr;
    std::memset(workfld2, 0, sizeof workfld2);
}
