#include "app/state.h"

int fast_par, Mk2_fast_par, default_port, Losmandy_pause, gotcontrolbox, Debug_Mode;
int Show_Interface_Details;

void reset_state_settings()
{
    fast_par = Mk2_fast_par = default_port = Losmandy_pause = gotcontrolbox = Debug_Mode = 0;
    Show_Interface_Details = 0;
}
