// One guide frame of guider training: the work of internal command 889,
// which training sends after each test move. The window's handler only
// calls it, so training runs whole without a window.
#pragma once

void guide_telescope_frame();
