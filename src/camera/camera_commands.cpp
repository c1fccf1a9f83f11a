// The camera command. Acquisition (USB transport, read-out, exposure loop and
// the camera dialog) is not built yet: until it is, the command says plainly
// that no camera can be reached instead of doing nothing.
#include "app/quillon_window.h"

#include "app/messages.h"

void TQuillonWindow::VN_Control()
{
    messages(50, "Sorry, No camera found on USB");
}
