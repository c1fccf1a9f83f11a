#include "app/state.h"

#include <cstring>

int progress;
char progress_caption[31];
int changecaption;
long end_exp;

void reset_state_info()
{
    progress = 0;
    std::memset(progress_caption, 0, sizeof progress_caption);
    changecaption = 0;
    end_exp = 0;
}
