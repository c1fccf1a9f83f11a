#include "app/state.h"

#include <algorithm>

#include "processing/filters.h"

int mask[6][25];
int venetian_flipflop;

void reset_state_filters()
{
    for (int k = 0; k < 6; ++k)
        std::copy(std::begin(filter_kernels[k]), std::end(filter_kernels[k]), mask[k]);
    venetian_flipflop = 0;
}
