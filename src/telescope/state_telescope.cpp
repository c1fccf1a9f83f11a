#include "app/state.h"

int backlashx, backlashy, hystx, hysty;
int ignore_small;

void reset_state_telescope()
{
    backlashx = backlashy = hystx = hysty = 0;
    ignore_small = 0;
}
