// The camera command (command 12): finds the camera, runs the camera dialog
// and takes the exposures it asks for - the delay, single, stacked,
// continuous and series runs in the four read-out modes, calibration,
// stacking, display and auto-save of each frame - all on the one thread,
// kept alive through the host's pump and stopped by a key or mouse press.
//
// Everything it shows goes through the Host; the dialog is run through the
// runner the windowing layer installs, so a test runs the whole command
// with a scripted dialog.
#pragma once

#include <functional>

// Shows the camera control dialog modally; returns 1 for "Take Photo".
using CameraDialogRunner = std::function<int()>;

// Installs the dialog for as long as it lives; the one it replaced is
// restored when it goes. Without one the dialog counts as cancelled.
class CameraDialogScope {
public:
    explicit CameraDialogScope(CameraDialogRunner runner);
    ~CameraDialogScope();
    CameraDialogScope(const CameraDialogScope&) = delete;
    CameraDialogScope& operator=(const CameraDialogScope&) = delete;

private:
    CameraDialogRunner previous_;
};

// The whole camera command.
void run_camera_command();

// Exposure in milliseconds from `exp_value` and `exp_range`, and the
// progress steps of one exposure.
int exposure_ms();
int exposure_steps();
