#include "app/state.h"

int pick_xcent, pick_ycent;

void reset_state_mouse()
{
    pick_xcent = pick_ycent = 0;
}
