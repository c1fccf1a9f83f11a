#include "app/state.h"

int obj_x, obj_y, comp_x, comp_y, back_x, back_y;
std::uint32_t obj_val, comp_val, back_val;
int back_select;
int mast_x, mast_y, mast_val;
int comparison_loaded;

void reset_state_photometry()
{
    obj_x = obj_y = comp_x = comp_y = back_x = back_y = 0;
    obj_val = comp_val = back_val = 0;
    back_select = 0;
    mast_x = mast_y = mast_val = 0;
    comparison_loaded = 0;
}
