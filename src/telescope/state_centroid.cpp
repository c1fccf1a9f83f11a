#include "app/state.h"

int xcentdec, ycentdec;
int x3, y3;
int guide_x1, guide_y1;
int got_guide_image;
int drawx, drawy;

void reset_state_centroid()
{
    xcentdec = ycentdec = 0;
    x3 = y3 = 0;
    guide_x1 = guide_y1 = 0;
    got_guide_image = 0;
    drawx = drawy = 0;
}
