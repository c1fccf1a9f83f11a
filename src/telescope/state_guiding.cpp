#include "app/state.h"

int x3, y3;
int guide_x1, guide_y1;
int got_guide_image;
int x1dec, y1dec;
int x2, x4, x5, y2, y4, y5;
int set_Messier, set_CNGC, set_RAhr, set_RAmin, set_Decdeg, set_Decmin;
char retchar;

void reset_state_guiding()
{
    x3 = y3 = 0;
    guide_x1 = guide_y1 = 0;
    got_guide_image = 0;
    x1dec = y1dec = 0;
    x2 = x4 = x5 = y2 = y4 = y5 = 0;
    set_Messier = set_CNGC = set_RAhr = set_RAmin = set_Decdeg = set_Decmin = 0;
    retchar = '0';
}
