#include "app/state.h"

#include <cstring>

char txtbuffer[32];
int auto_FITS_date;

void reset_state_labelling()
{
    std::memset(txtbuffer, 0, sizeof txtbuffer);
    auto_FITS_date = 0;
}
