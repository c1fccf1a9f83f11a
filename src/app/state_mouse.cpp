#include "app/state.h"

int pick_xcent, pick_ycent;
int pick_small;
int centre_it;

void reset_state_mouse()
{
    pick_xcent = pick_ycent = 0;
    pick_small = 0;
    centre_it = 0;
}
