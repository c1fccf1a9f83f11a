#include "app/state.h"

#include "store/text_settings.h"
#include "telescope/guide_record.h"

// Called once by main() before anything else runs ("at program load") and by
// every test before each case. Not a static initialiser: the groups live in
// several translation units whose construction order is unspecified.
void reset_program_state()
{
    reset_state_app();
    reset_state_mouse();
    reset_state_camera();
    reset_state_telescope();
    reset_state_centroid();
    reset_state_guiding();
    reset_state_processing();
    reset_state_contrast();
    reset_state_filters();
    reset_state_calibration();
    reset_state_labelling();
    reset_state_display();
    reset_state_pipeline();
    reset_state_info();
    reset_state_plots();
    reset_state_photometry();
    reset_state_native();
    reset_state_fits();
    reset_state_tiff();
    reset_state_settings();
    reset_state_autosave();
    // Last: the store derives the geometry from `binned` and the paths from
    // the data root.
    reset_state_store();
    // The text settings are read again from the (new) data root.
    reset_text_settings();
    // No guiding run is open; its log is closed.
    reset_guide_runs();
}
