#include "app/state.h"

char merge_type;
int average, merge_centre;
int orig_x, orig_y, merge_x, merge_y;
int load_darkframe, load_flatfield, load_comparison, delete_file;
std::string ComparisonFileName;
unsigned short* extfredptr;
unsigned short* exttrialptr;
unsigned char pixels_int[872320];

void reset_state_calibration()
{
    merge_type = 0;
    average = merge_centre = 0;
    orig_x = orig_y = merge_x = merge_y = 0;
    load_darkframe = load_flatfield = load_comparison = delete_file = 0;
    ComparisonFileName.clear();
    extfredptr = exttrialptr = nullptr;
}
