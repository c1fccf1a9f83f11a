#include "app/state.h"

void reset_state_labelling()
{
}
