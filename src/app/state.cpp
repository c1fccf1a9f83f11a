#include "app/state.h"

// Called once by main() before anything else runs ("at program load") and by
// every test before each case. Not a static initialiser: the groups live in
// several translation units whose construction order is unspecified.
void reset_program_state()
{
    reset_state_app();
    reset_state_camera();
    reset_state_telescope();
    reset_state_processing();
    reset_state_display();
    // Last: the store derives the geometry from `binned` and the paths from
    // the data root.
    reset_state_store();
}
