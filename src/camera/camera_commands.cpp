// The camera command: the exposure loop runs in the core; the window only
// supplies the camera dialog for the length of the command.
#include "app/quillon_window.h"

#include "camera/camera_dialog.h"
#include "camera/exposure_loop.h"

void TQuillonWindow::VN_Control()
{
    const CameraDialogScope dialog([this] {
        TVNDialog vn(this);
        return vn.exec() == 1 ? 1 : 0;
    });
    run_camera_command();
}
