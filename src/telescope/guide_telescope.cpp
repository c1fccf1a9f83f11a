#include "telescope/guide_telescope.h"

// Training cannot run without a telescope link, so no frame is taken yet;
// the guider fills this in.
void guide_telescope_frame()
{
}
