#include "app/state.h"

#include "app/text_field.h"

int backlashx, backlashy, hystx, hysty;
int ignore_small;

int Baud, Parity, StopBits, DataBits;
int comfound;
char move_error[100];
char move_direction[7];
char focus_direction[7];
int tele_moving, tele_focussing;
int slew_time;

void reset_state_telescope()
{
    backlashx = backlashy = hystx = hysty = 0;
    ignore_small = 0;

    Baud = 5;
    Parity = StopBits = 0;
    DataBits = 8;
    comfound = 0;
    set_text(move_error, "");
    set_text(move_direction, "");
    set_text(focus_direction, "");
    tele_moving = tele_focussing = 0;
    slew_time = 0;
}
