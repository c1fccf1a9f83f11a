// Autofocus on the program's own camera and telescope: focus frames from
// the camera at the focus frame's place and exposure, the focuser of the
// chosen telescope link moved by timed moves at the speed chosen in the
// telescope dialog.
#pragma once

#include "camera/autofocus.h"

// One focus frame with the camera (no focus gain, so no star is clipped by
// it) and its brightest unsaturated star. `frame_came` is false when the
// camera sent nothing.
StarMeasure take_autofocus_frame(bool& frame_came);

// Finds the camera and opens the telescope link as the exposure and
// guiding commands do, then runs autofocus. Refuses with a message (and
// returns false) when there is no camera, no telescope link with a focuser,
// or the exposure is one the focus mode refuses.
bool autofocus_with_telescope(AutofocusView* view, AutofocusResult& result);
