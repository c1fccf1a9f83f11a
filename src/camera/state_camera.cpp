#include "app/state.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "processing/accumulate.h"

int exposure;
int exposure_save;
std::int64_t ticks, endticks;
int continuous_delay;
int not_pressed;
int max_value;
int selfguiding_exp_value;
int selfguidinghigh, selfguiding21;
int darkframes, selfguidingframes;
int switching;
int highres21_selfguide;
int last_selfguided;
int pick_star_save;

void reset_state_camera()
{
    exposure = 0;
    exposure_save = 0;
    ticks = endticks = 0;
    continuous_delay = 0;
    not_pressed = 1;
    max_value = 0;
    selfguiding_exp_value = 1;
    selfguidinghigh = selfguiding21 = 0;
    darkframes = selfguidingframes = 0;
    switching = 0;
    highres21_selfguide = 0;
    last_selfguided = 0;
    pick_star_save = 0;
    reset_state_usb();
    reset_state_readout();
    reset_state_accumulate();
}
