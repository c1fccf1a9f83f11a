#include "app/state.h"

#include <cstring>

#include "store/autosave.h"

int auto_save_num;
char auto_save_subdir[81];
long start_exp, end_exp;
int auto_save_failed;

void reset_state_autosave()
{
    auto_save_num = 0;
    std::memset(auto_save_subdir, 0, sizeof auto_save_subdir);
    start_exp = end_exp = 0;
    auto_save_failed = 0;
    forget_settings_failure_report();
}
