#include "app/state.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "telescope/accumulate.h"

int exposure;
int exposure_save;
std::int64_t ticks, endticks;

void reset_state_camera()
{
    exposure = 0;
    exposure_save = 0;
    ticks = endticks = 0;
    reset_state_usb();
    reset_state_readout();
    reset_state_accumulate();
}
