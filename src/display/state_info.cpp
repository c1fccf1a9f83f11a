#include "app/state.h"

#include <cstring>

int progress;
char progress_caption[61];
int changecaption;

void reset_state_info()
{
    progress = 0;
    std::memset(progress_caption, 0, sizeof progress_caption);
    changecaption = 0;
}
