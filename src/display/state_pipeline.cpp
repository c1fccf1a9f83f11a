#include "app/state.h"

#include <algorithm>

std::uint32_t table[257];
std::int32_t most_pop;
int prep_image, blink_it, back_changed, focussed;

void reset_state_pipeline()
{
    std::fill(std::begin(table), std::end(table), 0u);
    most_pop = 0;
    prep_image = blink_it = back_changed = focussed = 0;
}
