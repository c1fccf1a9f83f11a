#include "app/state.h"

int xcentdec, ycentdec;
int drawx, drawy;

void reset_state_centroid()
{
    xcentdec = ycentdec = 0;
    drawx = drawy = 0;
}
