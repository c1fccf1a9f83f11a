// Telescope commands. The serial and control-box links and the guider are not
// built yet: until they are, each command reports that the telescope cannot
// be reached instead of doing nothing.
#include "app/quillon_window.h"

#include "app/messages.h"
#include "telescope/guide_telescope.h"

void TQuillonWindow::CmTrainGuide() { messages(54); }
void TQuillonWindow::CmStartGuide() { messages(54); }
void TQuillonWindow::CmControl() { messages(36); }
void TQuillonWindow::GuideTelescope()
{
    guide_telescope_frame();
}
